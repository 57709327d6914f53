#include "PageTree.h"

#include <qpdf/QPDFObjectHandle.hh>
#include <set>

namespace {

class Walk {
public:
    Walk(PageTree::Manner manner,
         const std::function<PageTree::Step(QPDFObjectHandle, PageTree::Kid)>& visit)
        : manner_(manner), visit_(visit) {}

    void enter(QPDFObjectHandle node, int depth) {
        // Read whatever the depth: the library keeps a warning for a key read of what is not a
        // dictionary (a tree that is missing), and a reading's warnings are part of what it tells.
        QPDFObjectHandle kids = node.getKey("/Kids");
        if (depth > PageTree::deepest)
            return;
        if (manner_ == PageTree::Manner::Counting && node.isIndirect() &&
            !met_.insert(node.getObjGen()).second)
            return;
        if (!kids.isArray())
            return;
        if (node.isIndirect())
            above_.insert(node.getObjGen());
        const int count = kids.getArrayNItems();
        if (manner_ == PageTree::Manner::Repairing) {
            for (int index = count - 1; index >= 0; --index)
                visit(kids, index, depth);
        } else {
            for (int index = 0; index < count; ++index)
                visit(kids, index, depth);
        }
        if (node.isIndirect())
            above_.erase(node.getObjGen());
    }

private:
    void visit(QPDFObjectHandle kids, int index, int depth) {
        QPDFObjectHandle kid = kids.getArrayItem(index);
        const PageTree::Kid kind = kid.isIndirect() && above_.count(kid.getObjGen())
                                       ? PageTree::Kid::BackUp
                                   : PageTree::isNode(kid) ? PageTree::Kid::Node
                                                           : PageTree::Kid::Other;
        switch (visit_(kid, kind)) {
        case PageTree::Step::Enter:
            if (kind == PageTree::Kid::Node)
                enter(kid, depth + 1);
            break;
        case PageTree::Step::Erase:
            kids.eraseItem(index);
            break;
        case PageTree::Step::Pass:
            break;
        }
    }

    PageTree::Manner manner_;
    const std::function<PageTree::Step(QPDFObjectHandle, PageTree::Kid)>& visit_;
    // The nodes from the top down to the one at hand.
    std::set<QPDFObjGen> above_;
    // Every node walked into so far, when each is walked once.
    std::set<QPDFObjGen> met_;
};

} // namespace

bool PageTree::isNode(QPDFObjectHandle object) {
    return object.isDictionary() && object.hasKey("/Kids");
}

void PageTree::walk(QPDFObjectHandle top, Manner manner,
                    const std::function<Step(QPDFObjectHandle kid, Kid kind)>& visit) {
    Walk(manner, visit).enter(top, 0);
}
