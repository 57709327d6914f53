#pragma once

#include <QStringList>

// metascribe show: prints the eight fields of each given file, and the XMP metadata's values
// where they differ from them, as text or as JSON lines.
class ShowCommand {
public:
    // Reads each file in turn; the exit status.
    static int run(bool json, const QStringList& paths);
};
