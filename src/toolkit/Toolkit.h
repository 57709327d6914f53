#pragma once

#include <QString>

// Where the PDF toolkit is: a "pdftk" shipped in the program folder wins over the one on PATH.
class Toolkit {
public:
    // Resolved once per run of the program; empty when there is none.
    static QString path();

    // The lookup itself, for a given program folder and search path (PATH's syntax).
    static QString locate(const QString& programFolder, const QString& searchPath);

    // Puts another program in the toolkit's place (tests: a fake that misbehaves on purpose);
    // an empty text means none is found. Undone by restore().
    static void replace(const QString& program);
    static void restore();
};
