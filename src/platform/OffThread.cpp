#include "OffThread.h"

#include <QEventLoop>
#include <QThread>
#include <exception>
#include <memory>

void OffThread::run(const std::function<void()>& work) {
    std::exception_ptr failure;
    std::unique_ptr<QThread> thread(QThread::create([&] {
        try {
            work();
        } catch (...) {
            failure = std::current_exception();
        }
    }));
    QEventLoop loop;
    QObject::connect(thread.get(), &QThread::finished, &loop, &QEventLoop::quit);
    thread->start();
    if (!thread->isFinished())
        loop.exec();
    // The loop also ends when the program is closing; the work is finished all the same.
    thread->wait();
    if (failure)
        std::rethrow_exception(failure);
}
