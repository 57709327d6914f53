#pragma once

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>

// Where the files of one run go, so that a run never writes one destination twice and never
// replaces a file the user did not mean: two inputs with the same name into one results folder,
// or "doc.PDF" beside an unrelated "doc.pdf".
class DestinationPlan {
public:
    // inputs: every file of the run, so that none of them is overwritten by another's result.
    explicit DestinationPlan(const QStringList& inputs);

    // Records that input writes destination; when it must not, why (and nothing is recorded).
    // besideOriginal: results go into the folder of each input, where an existing file other
    // than the input itself belongs to the user and is never replaced.
    QString claim(const QString& input, const QString& destination, bool besideOriginal);

private:
    // Every name for the place a path stands for: its resolved path and, for an existing file,
    // its device and inode (hard links, folders that ignore letter case).
    static QStringList keysOf(const QString& path);

    QString programFolder_;               // resolved, with a trailing "/"
    QSet<QString> inputs_;                // keys of every input
    QHash<QString, QStringList> started_; // the place of each input -> its keys as the run began
    QHash<QString, QString> claimed_;     // key -> the place of the input that writes there
};
