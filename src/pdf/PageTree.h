#pragma once

#include <functional>

class QPDFObjectHandle;

// The page tree as it is written in the file, walked from a node down: the one walk for every
// part that looks at the tree itself rather than at the pages the library lists, so that all of
// them stop at the same depth and take the same entries for nodes.
class PageTree {
public:
    // Deeper than any real tree: a file whose tree goes on below it is made to exhaust whoever
    // follows it all the way.
    static constexpr int deepest = 256;

    // A node of the tree: a dictionary with /Kids. The library and the toolkit walk into every
    // one, whatever its /Type says; any other entry of /Kids stands where a page would.
    static bool isNode(QPDFObjectHandle object);

    // What an entry of a node's /Kids is, seen from where the walk is.
    enum class Kid {
        BackUp, // one of the nodes above it: following it would go round for ever
        Node,   // a node, not above it
        Other,  // anything else: a page, or what stands in a page's place
    };
    // What the walk does with the entry next.
    enum class Step {
        Enter, // walks into it (a Node only; for anything else the same as Pass)
        Pass,  // goes on to the next entry
        Erase, // takes it out of the /Kids it is in
    };
    // How the walk goes.
    enum class Manner {
        // Every way to a node is walked, as the library walks the tree when it lists the pages;
        // the entries of a node from last to first, so that the one at hand can be erased.
        Repairing,
        // A node met again, by a loop or by a second parent, is not walked again; the entries
        // of a node from first to last.
        Counting,
    };

    // Walks into top, whatever it is, and into every node below it that visit asks to enter
    // and that is no deeper than deepest, telling visit about every entry of their /Kids.
    static void walk(QPDFObjectHandle top, Manner manner,
                     const std::function<Step(QPDFObjectHandle kid, Kid kind)>& visit);
};
