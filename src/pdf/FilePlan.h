#pragma once

#include "EditPlan.h"
#include "FileValues.h"

#include <QDateTime>
#include <QString>
#include <optional>
#include <variant>

// Works out the parts of a plan that depend on the file they change (templates, a pattern for
// its name, a folder of files to copy from, filling only what is empty), so that what comes out
// is a plan like any other, of literal values, which every later step and check takes as typed.
class FilePlan {
public:
    // What is known of the file being changed.
    struct File {
        QString path;
        // Its document information as read, and its modification time before it was read.
        QMap<QString, QString> info;
        QDateTime modified;
        std::optional<QString> password;
    };

    // The plan for file: literal values only, every key as the file spells it. Why the file
    // cannot be changed ("its name does not match the pattern") otherwise. Reads the file's XMP
    // metadata where a template or --only-empty needs its copyright, and the file it copies from.
    static std::variant<EditPlan, QString> forFile(const EditPlan& plan, const File& file);
    // The plan that sets source's values (the eight, the other keys, the copyright notice and its
    // address), only those fields names when given (as --remove names keys; "copyright" and
    // "copyright-url" the notice and its address). Why a value cannot be written otherwise.
    static std::variant<EditPlan, QString> copiedFrom(const FileValues& source,
                                                      const std::optional<QStringList>& fields);
    // The plan that changes each of the eight fields values has a text for to that text (a date
    // as a person types it), and leaves the others alone: the second page's fields set from a
    // file.
    static EditPlan ofFields(const FileValues& values);
    // The names fields may hold: a key, or copyright or copyright-url. Why name is none.
    static QString fieldNameProblem(const QString& name);
    // Why the file's copyright must be read for plan: its templates or filling only what is
    // empty need it.
    static bool needsCopyright(const EditPlan& plan);
};
