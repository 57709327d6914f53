#include "FileDrop.h"

#include "FileList.h"
#include "GivenPaths.h"

#include <QDropEvent>
#include <QMimeData>
#include <QTreeWidget>

FileDrop::FileDrop(FileList& list) : list_(list) {
    list_.view()->setAcceptDrops(true);
    list_.view()->viewport()->setAcceptDrops(true);
    list_.view()->viewport()->installEventFilter(this);
}

bool FileDrop::eventFilter(QObject* watched, QEvent* event) {
    if (watched != list_.view()->viewport())
        return QObject::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* drag = static_cast<QDragMoveEvent*>(event);
        if (GivenPaths::holdLocalFile(drag->mimeData()->urls()))
            drag->acceptProposedAction();
        else
            drag->ignore();
        return true;
    }
    case QEvent::Drop: {
        auto* drop = static_cast<QDropEvent*>(event);
        if (GivenPaths::drop(list_, drop->mimeData()->urls()))
            drop->acceptProposedAction();
        else
            drop->ignore();
        return true;
    }
    default:
        return QObject::eventFilter(watched, event);
    }
}
