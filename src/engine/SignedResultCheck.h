#pragma once

struct FileJob;

// The check of a change added to a signed file before it may replace its destination, done on
// the commit queue's thread: the result must begin with exactly the original's bytes, which its
// signatures cover, and pass the check every toolkit result passes.
class SignedResultCheck {
public:
    // Throws Rejection when the job's result must not be used.
    static void verify(const FileJob& job);
};
