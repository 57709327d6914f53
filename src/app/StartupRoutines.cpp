#include "StartupRoutines.h"

#include "Contact.h"
#include "Dialogs.h"
#include "Failure.h"

#include <QRandomGenerator>
#include <QStandardPaths>
#include <QUrl>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

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

bool StartupRoutines::dropUnusableTempFolder() {
    const char* folder = std::getenv("TMPDIR");
    if (!folder)
        return false;
    struct stat info {};
    if (*folder != '\0' && ::stat(folder, &info) == 0 && S_ISDIR(info.st_mode) &&
        ::access(folder, W_OK | X_OK) == 0)
        return false;
    ::unsetenv("TMPDIR");
    return true;
}
