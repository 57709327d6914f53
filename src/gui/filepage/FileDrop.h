#pragma once

#include <QObject>

class FileList;

// The file list as a place to drop files and folders on: a drag is taken when it carries a
// local file, and a drop appends what it carries.
class FileDrop : public QObject {
    Q_OBJECT

public:
    // Watches the list's view from now on.
    explicit FileDrop(FileList& list);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    FileList& list_;
};
