#pragma once

#include <QCursor>
#include <QString>
#include <optional>

class QWidget;

// The mouse pointer of a whole window. A page is busy while its pointer is the wait cursor.
class WindowPointer {
public:
    enum class State { Default = 0, Wait = 11, Custom = 99 };

    static State state(const QWidget* window);
    static void set(QWidget* window, State state);
    static bool isBusy(const QWidget* window) { return state(window) == State::Wait; }

    // Loads the cursor file as the window's custom pointer; a missing or unreadable file leaves
    // the custom pointer as Qt's pointing hand. Gives whether the file was loaded.
    static bool loadCustom(QWidget* window, const QString& cursorFile);

    // A Windows cursor file: its first image with the hot spot its directory entry names.
    static std::optional<QCursor> readCursorFile(const QString& path);
};
