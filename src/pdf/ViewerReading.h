#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

// What a PDF viewer shows of a file, as the reader most Linux viewers are built on reads it: a
// second opinion beside our own reader, whose repair of a damaged file can find fewer pages,
// bookmarks or page labels than a viewer does (an older catalog, pages in a half-readable object
// stream). Plain data, so it can be taken on one thread and compared on another.
class ViewerReading {
public:
    // Reads the file at path; the password, when it asks for one, as both owner and user
    // password. countText, given what was read, tells whether each page's text is to be counted
    // too, which takes a pass over every page's content. Nothing when the viewer cannot open the
    // file at all: that alone tells nothing that our own reader does not decide. content, when
    // not empty, is the whole file as another reader has just read it, taken instead of
    // reading the file again.
    static std::optional<ViewerReading>
    read(const QString& path, const std::optional<QString>& password,
         const std::function<bool(const ViewerReading&)>& countText = {},
         const QByteArray& content = {});

    int pages() const { return pages_; }
    // Every entry of the outline (the bookmarks), at every level.
    int outlineEntries() const { return outlineEntries_; }
    // Whether the pages have labels of their own rather than their numbers.
    bool pageLabels() const { return pageLabels_; }
    // For each page, the characters of its text that are not white space; empty unless counted.
    QList<int> textOnPages() const;
    // For each page, its text with white space folded to single spaces; empty unless counted.
    const QStringList& pageTexts() const { return pageTexts_; }

private:
    int pages_ = 0;
    int outlineEntries_ = 0;
    bool pageLabels_ = false;
    QStringList pageTexts_;
};
