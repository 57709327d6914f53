#include "BackgroundTask.h"

#include <QEventLoop>
#include <QThreadPool>
#include <exception>
#include <future>

void BackgroundTask::run(const std::function<void()>& work) {
    QEventLoop loop;
    std::promise<void> done;
    std::future<void> finished = done.get_future();
    QThreadPool::globalInstance()->start([&] {
        std::exception_ptr failure;
        try {
            work();
        } catch (...) {
            failure = std::current_exception();
        }
        // Posted, so the loop sees it even if it has not started yet; and posted before the
        // promise is kept, since the loop is gone once the caller has its answer.
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
        if (failure)
            done.set_exception(failure);
        else
            done.set_value();
    });
    // The loop also ends when the program is closing; the work is still waited for, since it
    // uses what the caller owns.
    if (finished.wait_for(std::chrono::seconds(0)) != std::future_status::ready)
        loop.exec();
    finished.get();
}
