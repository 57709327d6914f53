#include "CommandLine.h"

#include <cstdio>

// Writes the manual page to standard output; the build installs what it writes.
int main() {
    std::fputs(CommandLine::manualPage().toUtf8().constData(), stdout);
    return 0;
}
