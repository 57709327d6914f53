#pragma once

#include <functional>

// Runs work that may block on the disk (flushing a file, say) on a thread of its own while the
// event loop keeps turning, so the window never freezes; returns when the work is done and
// rethrows what it threw.
class OffThread {
public:
    static void run(const std::function<void()>& work);
};
