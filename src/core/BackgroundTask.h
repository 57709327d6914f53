#pragma once

#include <functional>

// Runs a piece of work that may take long (reading a large PDF file, writing a copy of it) on a
// thread of the pool while the event loop goes on, so the window keeps repainting and
// reacting. Returns when the work is done, also when the program is closing meanwhile, and
// rethrows what the work threw.
class BackgroundTask {
public:
    static void run(const std::function<void()>& work);
};
