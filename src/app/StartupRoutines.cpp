#include "StartupRoutines.h"

#include "Contact.h"
#include "Dialogs.h"
#include "Failure.h"

#include <QRandomGenerator>
#include <QStandardPaths>
#include <QUrl>

namespace {
std::function<int()> replacedDraw;
}

QString StartupRoutines::desktopFolder() {
    const QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    if (desktop.isEmpty())
        throw Failure(QStringLiteral("The desktop folder could not be found"));
    return desktop + QLatin1Char('/');
}

void StartupRoutines::webSiteRoutine() {
    const int number = replacedDraw ? replacedDraw() : QRandomGenerator::global()->bounded(1, 101);
    if (number == LuckyNumber)
        Dialogs::current().openExternally(QUrl(QString::fromLatin1(Contact::WebAddress)));
}

void StartupRoutines::setDraw(std::function<int()> draw) {
    replacedDraw = std::move(draw);
}
