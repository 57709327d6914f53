#pragma once

#include "EditPlan.h"
#include "RunChoices.h"

#include <QString>

// What the batch run reads from whoever lists its files, anew for every file: the list, the
// choices of where results go and whether to ask for passwords, and the fields to change.
class BatchSource {
public:
    virtual ~BatchSource() = default;

    virtual int fileCount() const = 0;
    // Throws Failure for a position no longer in the list.
    virtual QString pathAt(int position) const = 0;
    // The choices as they stand now.
    virtual RunChoices choices() const = 0;
    // The fields to change in the file at position, as they stand now; asked once the file's
    // destination is known, so a change made while the run shows the file reaches it.
    virtual EditPlan plan(int position) const = 0;
};
