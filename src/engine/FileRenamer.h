#pragma once

#include "FieldTemplate.h"
#include "FileIdentity.h"

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

class OriginalKeeper;

// Renames files, each in its own folder, to what a template makes of its values. No file's
// content is touched, and no file is ever replaced: a name that is taken, on the disk or by an
// earlier file of the run, gets a number ("Report (2).pdf"), and the rename itself refuses to
// replace. Each rename is in the run's journal before it happens, so that undo takes it back.
class FileRenamer {
public:
    struct Outcome {
        QString path;
        // The name it gets (or, in a dry run, would get); its own when it has that name already.
        QString destination;
        // Why it is not renamed; empty when it is.
        QString reason;
        // The file's own identity, as it was when its name was planned.
        std::optional<FileIdentity> identity;
        // The name the template made, before a number and the extension.
        QString stem;

        bool unchanged() const { return reason.isEmpty() && destination == path; }
    };
    // What the template reads of a file. Throws Failure, a reason phrase starting with "it".
    using Reader = std::function<FieldTemplate::FileFacts(const QString& path)>;

    // The name the template makes of facts, without extension: a slash, NUL and control
    // characters become "_", spaces and dots at either end go, and it is cut at a character's
    // end so that with suffix (" (2).pdf") it fits in 255 bytes. Why it makes none ("it has no
    // Title", "the name is empty") as reason, when it does not.
    static QString nameFrom(const FieldTemplate& to, const FieldTemplate::FileFacts& facts,
                            QString& reason);
    static QString fitted(QString stem, const QString& suffix);

    // Plans the new name of each file, in the order given: read reads what the template needs.
    static QList<Outcome> plan(const QStringList& files, const FieldTemplate& to,
                               const Reader& read);
    // Renames the planned files, journaled by keeper first, and gives their final outcomes; a
    // name taken meanwhile gets the next number. report is told of each outcome as it is final.
    static void carryOut(QList<Outcome>& planned, OriginalKeeper& keeper,
                         const std::function<void(const Outcome&)>& report);
};
