#pragma once

#include "FolderWalker.h"

#include <QList>
#include <QStringList>

class FileList;
class QUrl;

// Files and folders handed to the first page from outside: dropped on its list, or given when
// the program was started ("Open With" in a file manager). A file joins the list; a folder adds
// the files in it and in every folder beneath it.
class GivenPaths {
public:
    // Whether the dragged data names a local file, so that the list takes it.
    static bool holdLocalFile(const QList<QUrl>& urls);
    // Appends the dropped local files and, walked, the dropped folders (every file in them);
    // tells which files found there were not added. Gives whether the data held any local file.
    static bool drop(FileList& list, const QList<QUrl>& urls);

    // What the program was started with that did not join the list.
    struct Left {
        // Given paths that do not exist.
        QStringList missing;
        // Names that are not UTF-8, and files a folder holds that cannot be changed.
        QList<FolderWalker::Found> passedOver;
    };
    // Appends the files and, as "Add All PDF File(s) In Folder" does, the PDF files of the
    // folders. undecodable: paths given whose bytes are not UTF-8; they are left out, since read
    // as text they name another file or none.
    static Left open(FileList& list, const QStringList& paths, const QStringList& undecodable);
    // Names the missing paths in one message, then what was passed over in another; nothing
    // when all joined.
    static void tell(const Left& left);
};
