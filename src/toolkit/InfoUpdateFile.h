#pragma once

#include "EditPlan.h"

#include <QByteArray>
#include <QString>

// The file that tells the toolkit which document-information fields to set.
class InfoUpdateFile {
public:
    // The bytes for one input file: for every field not kept, "InfoBegin", "InfoKey: <key>" and
    // "InfoValue: <value>", each line ending in CR LF, then one more CR LF. Without a line
    // "InfoBegin" before each key the toolkit applies only the first pair.
    static QByteArray content(const EditPlan& plan, const QString& titleFromName);

    // The toolkit decodes character references and named entities in values, so a value is
    // written as plain ASCII: "&" as "&amp;" and every character outside printable ASCII as a
    // decimal reference. What the user typed then arrives unchanged.
    static QByteArray encodeValue(const QString& value);

    // Creates or truncates the file and writes it in one piece. Throws Failure.
    static void write(const QString& path, const QByteArray& content);
};
