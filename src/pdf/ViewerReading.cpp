#include "ViewerReading.h"

#include "Failure.h"
#include "PdfFile.h"

#include <QFile>
#include <memory>
#include <mutex>
#include <poppler-document.h>
#include <poppler-global.h>
#include <poppler-page.h>
#include <poppler-toc.h>
#include <vector>

namespace {

// The library prints every complaint about a damaged file on standard error, which belongs to the
// command line's own messages; what it complains about shows in what it reads.
void ignore(const std::string&, void*) {}

// The library sets up its global state (fonts among it) with the first open document and takes it
// down with the last, which costs more than reading a usual file; one empty document kept open for
// the life of the process keeps it set up. It is never deleted, as a reader on another thread may
// still use that state while the process ends.
const char emptyDocument[] = "%PDF-1.4\n1 0 obj\n<< /Type /Catalog /Pages 2 0 R >>\nendobj\n"
                             "2 0 obj\n<< /Type /Pages /Kids [ ] /Count 0 >>\nendobj\n"
                             "trailer\n<< /Root 1 0 R /Size 3 >>\n%%EOF\n";

void prepareOnce() {
    static std::once_flag prepared;
    std::call_once(prepared, [] {
        poppler::set_debug_error_function(&ignore, nullptr);
        [[maybe_unused]] static const poppler::document* const kept =
            poppler::document::load_from_raw_data(emptyDocument, int(sizeof emptyDocument) - 1);
    });
}

QString textOf(const poppler::ustring& text) {
    return QString::fromUtf16(reinterpret_cast<const char16_t*>(text.data()),
                              static_cast<qsizetype>(text.size()));
}

// Walked without recursion: the library has read the whole outline already, however deep.
int countEntries(const poppler::document& document) {
    const std::unique_ptr<poppler::toc> outline(document.create_toc());
    if (!outline)
        return 0;
    int count = 0;
    std::vector<poppler::toc_item*> waiting{outline->root()};
    while (!waiting.empty()) {
        poppler::toc_item* item = waiting.back();
        waiting.pop_back();
        if (!item)
            continue;
        for (poppler::toc_item* child : item->children()) {
            ++count;
            waiting.push_back(child);
        }
    }
    return count;
}

// The library gives a page without a label its number; any other text is a label of the file's.
bool hasLabels(const poppler::document& document, int pages) {
    for (int index = 0; index < pages; ++index) {
        const std::unique_ptr<poppler::page> page(document.create_page(index));
        if (page && textOf(page->label()) != QString::number(index + 1))
            return true;
    }
    return false;
}

QString pageText(const poppler::document& document, int index) {
    const std::unique_ptr<poppler::page> page(document.create_page(index));
    if (!page)
        return {};
    return textOf(page->text(poppler::rectf(), poppler::page::raw_order_layout)).simplified();
}

} // namespace

QList<int> ViewerReading::textOnPages() const {
    // The texts' white space is folded to single spaces already.
    QList<int> counts;
    for (const QString& text : pageTexts_)
        counts << int(text.size() - text.count(QLatin1Char(' ')));
    return counts;
}

std::optional<ViewerReading>
ViewerReading::read(const QString& path, const std::optional<QString>& password,
                    const std::function<bool(const ViewerReading&)>& countText,
                    const QByteArray& content) {
    prepareOnce();
    QFile file;
    QByteArray read = content;
    if (read.isEmpty()) {
        try {
            if (!file.open(PdfFile::openRegular(path), QIODevice::ReadOnly,
                           QFileDevice::AutoCloseHandle))
                return std::nullopt;
        } catch (const Failure&) {
            return std::nullopt;
        }
    }
    // A usual file is read in one piece, as our own reader takes it; a larger one through the
    // descriptor opened here, so that it is the file that was looked at.
    std::unique_ptr<poppler::document> document;
    if (read.isEmpty() && file.size() <= PdfFile::wholeFileLimit)
        read = file.readAll();
    if (!read.isEmpty()) {
        document.reset(
            poppler::document::load_from_raw_data(read.constData(), static_cast<int>(read.size())));
    } else {
        document.reset(
            poppler::document::load_from_file("/proc/self/fd/" + std::to_string(file.handle())));
    }
    if (document && document->is_locked() && password) {
        const std::string secret = password->toStdString();
        document->unlock(secret, secret);
    }
    if (!document || document->is_locked())
        return std::nullopt;

    ViewerReading reading;
    reading.pages_ = std::max(document->pages(), 0);
    reading.outlineEntries_ = countEntries(*document);
    reading.pageLabels_ = hasLabels(*document, reading.pages_);
    if (countText && countText(reading)) {
        for (int index = 0; index < reading.pages_; ++index)
            reading.pageTexts_ << pageText(*document, index);
    }
    return reading;
}
