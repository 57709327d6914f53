#include "PreviewReader.h"

#include "BackgroundTask.h"
#include "BatchRun.h"
#include "ErrorTrap.h"
#include "MetadataPreview.h"
#include "PathHelpers.h"
#include "PrivateTempFolder.h"
#include "ToolRunner.h"
#include "Toolkit.h"
#include "ToolkitCommand.h"
#include "XmpPacket.h"

#include <QFileInfo>
#include <QMap>
#include <sys/stat.h>

QStringList PreviewReader::rows(const QString& path, const std::function<bool()>& stillWanted) {
    const QString toolkit = Toolkit::path();
    if (path.isEmpty() || toolkit.isEmpty())
        return {};
    // The toolkit would wait on a FIFO until its time limit, and read a device without end.
    struct stat info {};
    if (::stat(PathHelpers::native(path).constData(), &info) == 0 && !S_ISREG(info.st_mode))
        return {};
    // Each preview has a dump file of its own: one started while another waits, or in
    // another copy of the program, must not read the other's.
    const TaggedFile dump = PrivateTempFolder::createFile(PrivateTempFolder::Kind::Dump);
    const QString dumpFile = dump.path();
    const ToolResult dumped = ToolRunner::run(ToolkitCommand::dump(toolkit, path, dumpFile),
                                              BatchRun::timeLimit(QFileInfo(path).size()));
    if (!dumped.succeeded()) {
        PathHelpers::RemoveFile(dumpFile);
        return {};
    }
    DumpReader::Values values;
    const bool read = ErrorTrap::shielded("preview", [&] {
        values = DumpReader::ReadInfoValues(dumpFile, MetadataPreview::dumpKeys);
    });
    PathHelpers::RemoveFile(dumpFile);
    if (!read || !stillWanted())
        return {};
    QStringList rows = MetadataPreview::rows(values, path);
    // Stale XMP metadata is what many viewers show; the user should see it before changing
    // anything. A file that cannot be read here simply shows no such rows.
    QMap<QString, QString> xmp;
    ErrorTrap::shielded("preview", [&] {
        BackgroundTask::run([&] {
            if (const std::optional<QByteArray> packet = XmpPacket::readFromPdf(path, std::nullopt))
                xmp = XmpPacket::read(*packet);
        });
    });
    if (!stillWanted())
        return {};
    return rows + MetadataPreview::xmpRows(values, xmp);
}
