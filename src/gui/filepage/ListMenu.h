#pragma once

#include <QString>
#include <functional>

class EditPlan;
class FileList;
class QMenu;
class QWidget;

// The first page's context menu on its file list: "Open", "Show in Folder" and "Remove from
// List" and "Use Values of This File" for the row under the pointer, and "Export Values to CSV…"
// for every listed file.
class ListMenu {
public:
    // page: the menu's parent, and the window whose pointer waits while an export reads the
    // files. mayRemoveRows: whether rows may be removed now (not while the page is busy or a run
    // reads them). removed: runs after the menu removed a row.
    // useFields: shows a file's fields on the second page.
    ListMenu(FileList& list, QWidget* page, std::function<bool()> mayRemoveRows,
             std::function<void()> removed, std::function<void(const EditPlan&)> useFields);

    // The menu for the row at position (0 for none); the caller shows and deletes it.
    QMenu* create(int position);
    // Writes the table of every listed file's values (the same as show --csv) to a file the
    // user chooses; the files without a row are named in one message.
    void exportValues();
    // Reads the fields of the file at path, off the window's thread, and hands them to the
    // second page; a file that cannot be read is named in one message, with the reason.
    void useValuesOf(const QString& path);

private:
    FileList& list_;
    QWidget* page_;
    std::function<bool()> mayRemoveRows_;
    std::function<void()> removed_;
    std::function<void(const EditPlan&)> useFields_;
    bool exporting_ = false;
};
