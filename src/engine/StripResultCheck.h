#pragma once

struct FileJob;

// The check of a stripped copy before it may replace its destination, done on the commit queue's
// thread: the copy must keep every page of the original and hold none of the removed values.
class StripResultCheck {
public:
    // Throws Rejection when the job's result must not be used.
    static void verify(const FileJob& job);
};
