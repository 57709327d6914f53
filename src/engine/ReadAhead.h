#pragma once

#include "OutputFile.h"
#include "PdfSnapshot.h"

#include <QString>
#include <memory>
#include <optional>

class BackgroundTask;
struct FileJob;

// What the next file needs that takes time but changes nothing (reading its original, creating
// the file its result goes into), done on a thread of the pool while the toolkit changes the
// file before it. It fills the next file's record, which the run takes over when that file's
// turn comes.
class ReadAhead {
public:
    // Starts on job, whose input and destination are known, reading it with password (the
    // run's one password) and, unless createOutput is false, creating its output file;
    // forResult as for readOriginal().
    ReadAhead(std::unique_ptr<FileJob> job, const std::optional<QString>& password,
              PdfSnapshot::Sharing sharing, bool createOutput, bool forResult);
    // Waited for: the task works on the job.
    ~ReadAhead();
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    // Waits until it is done; gives the job when it is the one for input, nothing when it is
    // for another file.
    std::unique_ptr<FileJob> take(const QString& input);

    // Reads an original with password. When that is the run's one password for every protected
    // file and this file does not take it, the file is read without one: a file protected only
    // against changes opens without a password, and its result is protected again as it was.
    // forResult: the file is to get a result, whose check needs a viewer's reading of it too.
    static PdfSnapshot readOriginal(const QString& input, std::optional<QString>& password,
                                    bool sharedPassword, PdfSnapshot::Sharing sharing,
                                    bool forResult);

private:
    std::unique_ptr<FileJob> job_;
    std::unique_ptr<BackgroundTask> task_;
};
