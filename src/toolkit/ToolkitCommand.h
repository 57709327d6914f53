#pragma once

#include "ToolInvocation.h"

#include <QString>
#include <optional>

// The two toolkit runs: rewriting a file's document information, and dumping it.
class ToolkitCommand {
public:
    // Rewrites the fields of inputPath as the info-update file says, into outputPath. A password
    // is never put among the arguments, where other users could read it: the toolkit is told to
    // ask for it and receives it on its standard input.
    static ToolInvocation update(const QString& toolkit, const QString& inputPath,
                                 const std::optional<QString>& password, const QString& infoFile,
                                 const QString& outputPath);

    // The same for a document the toolkit reads from its standard input (bytes), which a
    // password never accompanies.
    static ToolInvocation updateFromBytes(const QString& toolkit, const QByteArray& bytes,
                                          const QString& infoFile, const QString& outputPath);

    // Dumps the document information of inputPath into dumpFile.
    static ToolInvocation dump(const QString& toolkit, const QString& inputPath,
                               const QString& dumpFile);

    // The toolkit reads an argument that does not start with "/" as a keyword, a handle
    // ("A=...") or an option when it looks like one, so every path it gets is absolute.
    static QString absolute(const QString& path);
};
