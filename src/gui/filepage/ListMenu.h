#pragma once

#include <functional>

class FileList;
class QMenu;
class QWidget;

// The first page's context menu on its file list: "Open", "Show in Folder" and "Remove from
// List" for the row under the pointer, and "Export Values to CSV…" for every listed file.
class ListMenu {
public:
    // page: the menu's parent, and the window whose pointer waits while an export reads the
    // files. mayRemoveRows: whether rows may be removed now (not while the page is busy or a run
    // reads them). removed: runs after the menu removed a row.
    ListMenu(FileList& list, QWidget* page, std::function<bool()> mayRemoveRows,
             std::function<void()> removed);

    // The menu for the row at position (0 for none); the caller shows and deletes it.
    QMenu* create(int position);
    // Writes the table of every listed file's values (the same as show --csv) to a file the
    // user chooses; the files without a row are named in one message.
    void exportValues();

private:
    FileList& list_;
    QWidget* page_;
    std::function<bool()> mayRemoveRows_;
    std::function<void()> removed_;
    bool exporting_ = false;
};
