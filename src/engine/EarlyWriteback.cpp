#include "EarlyWriteback.h"

#include "PathHelpers.h"

#include <algorithm>
#include <chrono>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// How much the result grows by before the disk is given it: large enough that the disk writes
// long runs, small enough that little is left for the flush at the end.
constexpr off_t piece = 32 * 1024 * 1024;

} // namespace

EarlyWriteback::EarlyWriteback(const QString& path)
    : descriptor_(::open(PathHelpers::native(path).constData(), O_RDONLY | O_CLOEXEC)) {
    if (!descriptor_.isOpen())
        return;
    watcher_ = std::jthread([this](std::stop_token stop) {
        std::unique_lock lock(mutex_);
        // Woken early only to stop.
        while (!wakeUp_.wait_for(lock, stop, std::chrono::milliseconds(20),
                                 [&] { return stop.stop_requested(); }))
            writeGrowth(piece);
    });
}

EarlyWriteback::~EarlyWriteback() {
    if (!descriptor_.isOpen())
        return;
    watcher_.request_stop();
    watcher_.join();
    writeGrowth(1);
}

void EarlyWriteback::writeGrowth(off_t minimum) {
    struct stat info {};
    if (::fstat(descriptor_.get(), &info) != 0)
        return;
    // A run repeated after a failure starts the file anew.
    started_ = std::min(started_, info.st_size);
    if (info.st_size - started_ < minimum)
        return;
    ::sync_file_range(descriptor_.get(), started_, info.st_size - started_, SYNC_FILE_RANGE_WRITE);
    started_ = info.st_size;
}
