#include "BackgroundTask.h"

#include <QEventLoop>
#include <QThreadPool>
#include <condition_variable>
#include <exception>
#include <mutex>

struct BackgroundTask::State {
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    std::exception_ptr failure;
    // The loop wait() turns, while it does; told to quit when the work is done.
    QEventLoop* waiting = nullptr;
};

BackgroundTask::BackgroundTask(std::function<void()> work) : state_(std::make_shared<State>()) {
    QThreadPool::globalInstance()->start([state = state_, work = std::move(work)] {
        std::exception_ptr failure;
        try {
            work();
        } catch (...) {
            failure = std::current_exception();
        }
        std::lock_guard lock(state->mutex);
        state->done = true;
        state->failure = failure;
        // Under the lock: wait() lets go of its loop only while holding it.
        if (state->waiting)
            QMetaObject::invokeMethod(state->waiting, &QEventLoop::quit, Qt::QueuedConnection);
        state->finished.notify_all();
    });
}

BackgroundTask::~BackgroundTask() {
    std::unique_lock lock(state_->mutex);
    state_->finished.wait(lock, [this] { return state_->done; });
}

void BackgroundTask::wait() {
    {
        QEventLoop loop;
        std::unique_lock lock(state_->mutex);
        if (!state_->done) {
            state_->waiting = &loop;
            lock.unlock();
            // Also ends when the program is closing; the work is waited for below all the same.
            loop.exec();
            lock.lock();
            state_->waiting = nullptr;
        }
    }
    std::unique_lock lock(state_->mutex);
    state_->finished.wait(lock, [this] { return state_->done; });
    if (state_->failure)
        std::rethrow_exception(std::exchange(state_->failure, nullptr));
}

void BackgroundTask::run(std::function<void()> work) {
    BackgroundTask task(std::move(work));
    task.wait();
}
