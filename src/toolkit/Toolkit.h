#pragma once

#include <QString>
#include <QStringList>

// Where the PDF toolkit is: a "pdftk" shipped in the program folder wins over the one on PATH.
// And what it is: a launcher script that starts Java says which jars and class make the toolkit,
// so Java can be started directly, or kept running for many requests.
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

    // The jars a toolkit launcher script puts on Java's class path; empty when the toolkit is
    // not such a script.
    static QStringList launcherJars(const QString& launcher);
    // The class such a script starts, when one line of it plainly starts Java with nothing but
    // the class path, the class and the script's own arguments; empty otherwise.
    static QString launcherMainClass(const QString& launcher);
};
