#include "DestinationPlan.h"

#include "FileStamp.h"
#include "PathHelpers.h"

DestinationPlan::DestinationPlan(const QStringList& inputs)
    : programFolder_(PathHelpers::PlaceOf(PathHelpers::ProgramFolder()) + QLatin1Char('/')) {
    for (const QString& input : inputs) {
        const QStringList keys = keysOf(input);
        started_.insert(keys.constFirst(), keys);
        for (const QString& key : keys)
            inputs_.insert(key);
    }
}

QStringList DestinationPlan::keysOf(const QString& path) {
    QStringList keys{QStringLiteral("p:") + PathHelpers::PlaceOf(path)};
    if (const std::optional<FileStamp> stamp = FileStamp::of(path))
        keys << QStringLiteral("i:%1:%2").arg(stamp->identity.device).arg(stamp->identity.inode);
    return keys;
}

QString DestinationPlan::claim(const QString& input, const QString& destination,
                               bool besideOriginal) {
    const QStringList inputKeys = keysOf(input);
    // In place, the destination is the input: its names are known already.
    const QStringList keys = destination == input ? inputKeys : keysOf(destination);
    // The program's own files (its sample files among them) are never changed: installed, they
    // belong to the system, and a results folder there would mix user files into them. The
    // first key is the destination's place.
    if (keys.constFirst().mid(2).startsWith(programFolder_))
        return QStringLiteral("would write into this program's own folder ") +
               PathHelpers::FolderOf(destination);
    bool itself = false;
    bool listed = false;
    for (const QString& key : keys) {
        itself = itself || inputKeys.contains(key);
        listed = listed || inputs_.contains(key);
    }
    const bool exists = keys.size() > 1;
    if (exists && !itself && (besideOriginal || listed))
        return QStringLiteral("would replace ") + destination +
               QStringLiteral(", which is another file");
    // The same file listed twice writes its own result twice, which harms nothing; its inode
    // may have changed in between, its place has not.
    for (const QString& key : keys) {
        const auto writer = claimed_.constFind(key);
        if (writer == claimed_.constEnd() || *writer == inputKeys.constFirst())
            continue;
        // Replaced by another program since the run began, a file can get the inode number of
        // one this run has replaced: that is no other file of the run.
        const auto started = started_.constFind(inputKeys.constFirst());
        if (started != started_.constEnd() && *started != inputKeys)
            return QStringLiteral("it was changed by another program during the run");
        return QStringLiteral("another file of this run writes ") + destination;
    }
    for (const QString& key : keys)
        claimed_.insert(key, inputKeys.constFirst());
    return {};
}
