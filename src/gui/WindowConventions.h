#pragma once

#include <QString>

class QWidget;

// The look both pages share: caption and icon, the application title of untitled boxes, and
// the plain button-face colours.
class WindowConventions {
public:
    static const QString DisplayName;
    static constexpr int TitleLimit = 40;

    // The display name cut by whole trailing words to at most TitleLimit characters. A name with
    // no blank to cut at is cut at the limit itself.
    static QString titleFrom(const QString& displayName);
    // Makes titleFrom(DisplayName) the caption of every box that names none of its own.
    static void applyTitle();

    // The display name as caption, and the application's icon from the program folder.
    static void applyCaptionAndIcon(QWidget* window);

    // Gives the window, and its option buttons, check boxes, frames and labels, the button-face
    // colour; other controls keep theirs.
    static void applyPlainColour(QWidget* window);
};
