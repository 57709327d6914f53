#include "PhaseClock.h"

#include <QFile>
#include <QTextStream>
#include <ctime>
#include <sys/resource.h>

namespace {

std::int64_t now(clockid_t clock) {
    timespec time{};
    ::clock_gettime(clock, &time);
    return std::int64_t(time.tv_sec) * 1000000000 + time.tv_nsec;
}

const QString& target() {
    static const QString file = qEnvironmentVariable("METASCRIBE_PHASE_TIMES");
    return file;
}

} // namespace

PhaseClock::Sum PhaseClock::sums_[PhaseClock::Phases];

PhaseClock::Scope::Scope(Phase phase) : phase_(phase) {
    if (!enabled())
        return;
    wall_ = now(CLOCK_MONOTONIC);
    processor_ = now(CLOCK_THREAD_CPUTIME_ID);
}

PhaseClock::Scope::~Scope() {
    if (wall_ < 0)
        return;
    Sum& sum = sums_[phase_];
    sum.count += 1;
    sum.wall += now(CLOCK_MONOTONIC) - wall_;
    sum.processor += now(CLOCK_THREAD_CPUTIME_ID) - processor_;
}

bool PhaseClock::enabled() {
    return !target().isEmpty();
}

QString PhaseClock::nameOf(Phase phase) {
    static const char* const names[] = {"read-original", "toolkit", "finish",
                                        "check",         "commit",  "flush"};
    return QLatin1String(names[phase]);
}

void PhaseClock::report() {
    if (!enabled())
        return;
    QFile file(target());
    if (!file.open(QIODevice::Append | QIODevice::Text))
        return;
    QTextStream out(&file);
    for (int phase = 0; phase < Phases; ++phase) {
        Sum& sum = sums_[phase];
        out << nameOf(Phase(phase)) << ' ' << sum.count.exchange(0) << ' ' << sum.wall.exchange(0)
            << ' ' << sum.processor.exchange(0) << '\n';
    }
    // The program's own processor time so far, every thread: what a toolkit process took is the
    // rest of what the whole run took.
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    const auto nanoseconds = [](const timeval& time) {
        return std::int64_t(time.tv_sec) * 1000000000 + std::int64_t(time.tv_usec) * 1000;
    };
    out << "program 1 0 " << nanoseconds(usage.ru_utime) + nanoseconds(usage.ru_stime) << '\n';
}
