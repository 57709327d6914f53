#include "DragReorder.h"

#include "FileList.h"

#include <QTreeWidget>

DragReorder::DragReorder(FileList& list) : list_(list) {}

void DragReorder::press() {
    held_ = true;
}

void DragReorder::itemClick() {
    const int selected = list_.SelectedPosition();
    dragged_ = selected > 0 ? QPersistentModelIndex(list_.view()->model()->index(selected - 1, 0))
                            : QPersistentModelIndex();
}

int DragReorder::draggedPosition() const {
    return dragged_.isValid() ? dragged_.row() + 1 : 0;
}

void DragReorder::move(int hoverPosition, Zone zone) {
    if (!held_)
        return;
    const int draggedPosition = this->draggedPosition();
    if (hoverPosition < 1 || hoverPosition > list_.Count() || draggedPosition == 0)
        return;
    const QString draggedText = list_.PathAt(draggedPosition);
    const QString hoverText = list_.PathAt(hoverPosition);
    if (draggedText == hoverText)
        return;
    list_.setPathAt(draggedPosition, hoverText);
    list_.setPathAt(hoverPosition, draggedText);
    list_.select(hoverPosition);
    dragged_ = QPersistentModelIndex(list_.view()->model()->index(hoverPosition - 1, 0));
    if (zone == Zone::Top && hoverPosition > 1)
        list_.ensureVisible(hoverPosition - 1);
    else if (zone == Zone::Bottom && hoverPosition + 1 <= list_.Count())
        list_.ensureVisible(hoverPosition + 1);
}

void DragReorder::release() {
    held_ = false;
}

DragReorder::Zone DragReorder::zoneOf(int y, int height) {
    if (y * 3 < height)
        return Zone::Top;
    if (y * 3 >= height * 2)
        return Zone::Bottom;
    return Zone::Middle;
}
