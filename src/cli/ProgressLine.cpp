#include "ProgressLine.h"

#include "Console.h"

#include <QFileInfo>
#include <unistd.h>

ProgressLine::ProgressLine() : terminal_(::isatty(STDERR_FILENO)) {}

void ProgressLine::show(int position, int count, const QString& input) {
    if (!terminal_)
        return;
    // Redrawn about ten times a second: a terminal is slower than the batch.
    if (shown_.isValid() && !shown_.hasExpired(100) && position < count)
        return;
    shown_.start();
    const QString name = QFileInfo(input).fileName();
    Console::err() << "\r\033[K[" << position << "/" << count << "] " << name.left(60);
    Console::err().flush();
    drawn_ = true;
}

void ProgressLine::clear() {
    if (drawn_) {
        Console::err() << "\r\033[K";
        Console::err().flush();
        drawn_ = false;
    }
}
