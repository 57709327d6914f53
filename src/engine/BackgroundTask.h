#pragma once

#include <functional>
#include <memory>

// A piece of work that may take long (reading a large PDF file, writing a copy of it) on a
// thread of the pool, so the window keeps repainting and reacting. It starts when the task is
// made; wait() returns when it is done, also when the program is closing meanwhile, and rethrows
// what the work threw. A task that is dropped unwaited is still waited for, since its work may
// use what its maker owns.
class BackgroundTask {
public:
    explicit BackgroundTask(std::function<void()> work);
    ~BackgroundTask();
    BackgroundTask(const BackgroundTask&) = delete;
    BackgroundTask& operator=(const BackgroundTask&) = delete;

    // Waits with the event loop turning.
    void wait();

    // Starts work and waits for it.
    static void run(std::function<void()> work);

private:
    struct State;
    std::shared_ptr<State> state_;
};
