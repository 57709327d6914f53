#pragma once

#include "FileDescriptor.h"

#include <QString>
#include <condition_variable>
#include <mutex>
#include <sys/types.h>
#include <thread>

// Starts the disk writing a large result while the toolkit is still writing it. The result is
// flushed before it replaces anything, and a result of a gigabyte would otherwise wait there for
// all of it at once: here each few tens of MB the file grew by are handed to the disk as they
// come, and what is left when the toolkit ends, so that the flush before the rename has little
// left to wait for. Only a hint to the system: whether the result is on the disk is still the
// flush's to say, and a failure here changes nothing.
class EarlyWriteback {
public:
    // Inputs larger than this get their result written early; a small result is flushed in
    // one go, without a thread to watch it.
    static constexpr qint64 threshold = 32 * 1024 * 1024;

    // Watches the file at path, which the toolkit is about to write.
    explicit EarlyWriteback(const QString& path);
    // Stops watching, and starts the disk writing what the file grew by since it last did.
    ~EarlyWriteback();
    EarlyWriteback(const EarlyWriteback&) = delete;
    EarlyWriteback& operator=(const EarlyWriteback&) = delete;

private:
    // Hands what the file grew by to the disk, when it is at least minimum bytes.
    void writeGrowth(off_t minimum);

    FileDescriptor descriptor_;
    off_t started_ = 0;
    std::mutex mutex_;
    std::condition_variable_any wakeUp_;
    std::jthread watcher_;
};
