#pragma once

#include <QString>

// Where the PDF toolkit is: a "pdftk" shipped in the program folder wins over the one on PATH.
class Toolkit {
public:
    // Resolved once per run of the program; empty when there is none.
    static QString path();

    // The lookup itself, for a given program folder and search path (PATH's syntax).
    static QString locate(const QString& programFolder, const QString& searchPath);
};
