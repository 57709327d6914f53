#pragma once

#include <functional>

// SIGTERM (a logout, a shutdown), SIGINT (Ctrl+C in a terminal) and SIGHUP (the terminal went
// away) end the program the way closing its window does: the file being changed is finished or
// removed, finished results are put in place and the toolkit is stopped. A signal handler may do
// almost nothing itself, so it only wakes the event loop, which then runs onSignal. A second
// signal while the first is being handled ends the program at once, as it would have without us.
class TerminationSignals {
public:
    static void install(std::function<void()> onSignal);
    // How many of these signals have arrived so far, whichever they were (tests).
    static int received();
};
