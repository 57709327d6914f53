#pragma once

#include <QString>
#include <atomic>
#include <cstdint>

// Where a run's time goes, phase by phase, for the benchmarks: the time each phase took on the
// thread that ran it, by the clock and in processor time, summed over the run's files. Off, and
// free, unless METASCRIBE_PHASE_TIMES names a file, to which the sums are added as a line each
// when the run ends.
class PhaseClock {
public:
    enum Phase { ReadOriginal, Toolkit, Finish, Check, Commit, Flush, Phases };

    // Times the phase from here to the end of the scope.
    class Scope {
    public:
        explicit Scope(Phase phase);
        ~Scope();
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;

    private:
        Phase phase_;
        std::int64_t wall_ = -1;
        std::int64_t processor_ = 0;
    };

    static bool enabled();
    // Appends the sums so far to the file, as "phase count wall-ns processor-ns" lines, and
    // starts them again from nothing; then the program's processor time so far, as "program 1 0
    // processor-ns".
    static void report();
    static QString nameOf(Phase phase);

private:
    struct Sum {
        std::atomic<std::int64_t> count{0};
        std::atomic<std::int64_t> wall{0};
        std::atomic<std::int64_t> processor{0};
    };
    static Sum sums_[Phases];
};
