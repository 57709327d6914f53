#pragma once

#include "BatchRun.h"
#include "PdfStripper.h"

#include <QStringList>

struct FileJob;

// The check of a stripped copy before it may replace its destination, done on the commit queue's
// thread: the copy must keep every page of the original and hold none of the removed values but
// in what the document shows, which the outcome then names.
class StripResultCheck {
public:
    // Throws Rejection when the job's result must not be used; otherwise gives the job's outcome
    // what was removed and what is left for a person to look at.
    static void verify(FileJob& job);

    // What the outcome says of a stripped copy that passed: stripped, and the check's places
    // where removed values remain.
    static void report(BatchRun::Outcome& outcome, const PdfStripper::Stripped& stripped,
                       const QStringList& remains);
};
