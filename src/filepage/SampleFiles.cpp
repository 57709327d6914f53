#include "SampleFiles.h"

#include "PathHelpers.h"
#include "SettingsStore.h"

#include <QCollator>
#include <QDir>
#include <algorithm>

QString SampleFiles::folder() {
    return PathHelpers::ProgramFolder() + QStringLiteral("/Samples");
}

void SampleFiles::RecordSampleFiles() {
    QStringList names =
        QDir(folder()).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::NoSort);
    // Listed as a file manager shows them, so the recorded order is stable.
    QCollator collator;
    collator.setNumericMode(true);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::sort(names.begin(), names.end(), collator);
    QStringList paths;
    for (const QString& name : names)
        paths << folder() + QLatin1Char('/') + name;
    SettingsStore::save(QStringLiteral("Snapshot"), paths.join(QLatin1Char('|')));
}
