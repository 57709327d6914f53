#pragma once

#include <QPersistentModelIndex>

class FileList;

// Reordering the file list by dragging a row with the mouse: at every move over another row the
// dragged row and that row exchange their texts, so the dragged path travels with the pointer.
class DragReorder {
public:
    // Where the pointer is within the list's visible area, for scrolling along.
    enum class Zone { Top, Middle, Bottom };

    explicit DragReorder(FileList& list);

    void press();
    // A row was clicked: it becomes the dragged row.
    void itemClick();
    // The pointer moved over the row at hoverPosition (0 over empty space).
    void move(int hoverPosition, Zone zone);
    void release();

    bool held() const { return held_; }
    // The dragged row's position, or 0 when there is none (never set, or removed since).
    int draggedPosition() const;

    // Top third of the visible height, middle third or bottom third.
    static Zone zoneOf(int y, int height);

private:
    FileList& list_;
    bool held_ = false;
    // Follows its row when rows above it go, and becomes invalid when the row itself goes, so a
    // row that is no longer in the list is never acted on.
    QPersistentModelIndex dragged_;
};
