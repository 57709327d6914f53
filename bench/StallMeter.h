#pragma once

#include <QElapsedTimer>
#include <QTimer>

// The worst lateness of a 10 ms timer while work runs.
class StallMeter {
public:
    StallMeter();
    void start();
    // The worst lateness seen since start, in ms.
    double stop();

private:
    QTimer timer_;
    QElapsedTimer clock_;
    qint64 last_ = 0;
    double worst_ = 0;
};
