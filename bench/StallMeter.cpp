#include "StallMeter.h"

#include <algorithm>

StallMeter::StallMeter() {
    QObject::connect(&timer_, &QTimer::timeout, [this] {
        const qint64 now = clock_.nsecsElapsed();
        worst_ = std::max(worst_, (now - last_) / 1e6 - 10);
        last_ = now;
    });
}

void StallMeter::start() {
    clock_.start();
    last_ = 0;
    worst_ = 0;
    timer_.start(10);
}

double StallMeter::stop() {
    timer_.stop();
    return worst_;
}
