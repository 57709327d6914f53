#pragma once

#include <QObject>

class QWidget;

// Sets the window's pointer as the mouse moves over a control: the hand over buttons, the arrow
// over surfaces. Neither replaces the wait cursor of a busy page.
class HoverPointer : public QObject {
    Q_OBJECT

public:
    enum class Rule { Hand, Reset };

    // Watches the control (for a list, its viewport too) for the rest of its life.
    static void install(QWidget* control, Rule rule);

    // What a mouse move over a control with that rule does to its window.
    static void apply(QWidget* window, Rule rule);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    HoverPointer(QWidget* control, Rule rule);

    QWidget* control_;
    Rule rule_;
};
