#include "WindowConventions.h"

#include "Dialogs.h"
#include "PathHelpers.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QIcon>
#include <QLabel>
#include <QRadioButton>
#include <QWidget>

const QString WindowConventions::DisplayName = QStringLiteral("Metascribe");

QString WindowConventions::titleFrom(const QString& displayName) {
    QString title = displayName;
    while (title.size() > TitleLimit) {
        const qsizetype blank = title.lastIndexOf(QLatin1Char(' '));
        title = blank >= 0 ? title.left(blank) : title.left(TitleLimit);
    }
    return title;
}

void WindowConventions::applyTitle() {
    Dialogs::setApplicationTitle(titleFrom(DisplayName));
}

void WindowConventions::applyCaptionAndIcon(QWidget* window) {
    window->setWindowTitle(DisplayName);
    const QIcon icon(PathHelpers::ProgramFolder() + QStringLiteral("/metascribe.png"));
    if (!icon.isNull())
        window->setWindowIcon(icon);
}

namespace {
void paintButtonFace(QWidget* widget, const QColor& face) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, face);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}
} // namespace

void WindowConventions::applyPlainColour(QWidget* window) {
    const QColor face = window->palette().color(QPalette::Button);
    paintButtonFace(window, face);
    for (QWidget* child : window->findChildren<QWidget*>()) {
        if (qobject_cast<QRadioButton*>(child) || qobject_cast<QCheckBox*>(child) ||
            qobject_cast<QGroupBox*>(child) || qobject_cast<QLabel*>(child))
            paintButtonFace(child, face);
    }
}
