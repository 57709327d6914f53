#pragma once

#include "EditPlan.h"

#include <QByteArray>
#include <QString>

// The file that tells the toolkit which document-information fields to set.
class InfoUpdateFile {
public:
    // The bytes for one input file: for every field not kept, "InfoBegin", "InfoKey: <key>" and
    // "InfoValue: <value>", each line ending in CR LF, then one more CR LF. Without a line
    // "InfoBegin" before each key the toolkit applies only the first pair. The plan's other keys
    // follow the eight, but for Trapped and removed keys, which the toolkit cannot write (it
    // writes every value as a string and an empty value as an empty string). The toolkit takes
    // a key as it stands, with no references decoded, and writes it as a PDF name with "#"
    // and the like encoded, so keys go as they are: EditPlan::keyProblem keeps out the
    // characters it would misread (line ends, anything not ASCII).
    static QByteArray content(const EditPlan& plan, const QString& titleFromName);

    // The toolkit decodes character references and named entities in values, so a value is
    // written as plain ASCII: "&" as "&amp;" and every character outside printable ASCII as a
    // decimal reference. What the user typed then arrives unchanged.
    static QByteArray encodeValue(const QString& value);

    // Creates or truncates the file and writes it in one piece. Throws Failure.
    static void write(const QString& path, const QByteArray& content);
};
