#include "TerminationSignals.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <atomic>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int wakeFds[2] = {-1, -1};
std::atomic<int> caught{0};
std::function<void()> handler;
constexpr int signalsCaught[] = {SIGTERM, SIGINT, SIGHUP};

void onSignal(int number) {
    caught.fetch_add(1);
    // From now on the default action: a second signal ends the program at once.
    for (int each : signalsCaught)
        ::signal(each, SIG_DFL);
    const char byte = static_cast<char>(number);
    [[maybe_unused]] const ssize_t written = ::write(wakeFds[0], &byte, 1);
}

} // namespace

void TerminationSignals::install(std::function<void()> onSignalDo) {
    handler = std::move(onSignalDo);
    if (wakeFds[0] < 0) {
        if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, wakeFds) != 0)
            return;
        auto* notifier =
            new QSocketNotifier(wakeFds[1], QSocketNotifier::Read, QCoreApplication::instance());
        QObject::connect(notifier, &QSocketNotifier::activated, notifier, [] {
            char byte;
            while (::read(wakeFds[1], &byte, 1) > 0) {
            }
            if (handler)
                handler();
        });
    }
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int each : signalsCaught)
        ::sigaction(each, &action, nullptr);
}

int TerminationSignals::received() {
    return caught.load();
}
