#include "HoverPointer.h"

#include "WindowPointer.h"

#include <QAbstractScrollArea>
#include <QMouseEvent>
#include <QWidget>

HoverPointer::HoverPointer(QWidget* control, Rule rule)
    : QObject(control), control_(control), rule_(rule) {}

void HoverPointer::install(QWidget* control, Rule rule) {
    auto* filter = new HoverPointer(control, rule);
    // Moves without a pressed button reach a widget only when it tracks the mouse.
    control->setMouseTracking(true);
    control->installEventFilter(filter);
    if (auto* area = qobject_cast<QAbstractScrollArea*>(control)) {
        area->viewport()->setMouseTracking(true);
        area->viewport()->installEventFilter(filter);
    }
}

void HoverPointer::apply(QWidget* window, Rule rule) {
    if (WindowPointer::isBusy(window))
        return;
    WindowPointer::set(window, rule == Rule::Hand ? WindowPointer::State::Custom
                                                  : WindowPointer::State::Default);
}

bool HoverPointer::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseMove) {
        // A move that a child ignored travels on to its parents; it belongs to the child, so a
        // surface reacts only when the pointer is over the surface itself.
        const auto* widget = static_cast<QWidget*>(watched);
        const auto* move = static_cast<QMouseEvent*>(event);
        if (!widget->childAt(move->position().toPoint()))
            apply(control_->window(), rule_);
    }
    return QObject::eventFilter(watched, event);
}
