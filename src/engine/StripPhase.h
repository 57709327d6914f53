#pragma once

#include "EditPlan.h"

#include <QList>

struct FileJob;
enum class Flow;

// A run that strips does this in place of the toolkit: the dry run's stripped copy, checked and
// reported without a name, or the stripped result written where the toolkit writes its own.
class StripPhase {
public:
    // Lists what the file would lose, and what it would keep for a person to look at; changes
    // nothing.
    static Flow preview(FileJob& job, const QList<InfoField>& kept);
    // Writes the stripped copy into the job's result file; its check follows on the commit
    // queue's thread.
    static Flow write(FileJob& job, const QList<InfoField>& kept);
};
