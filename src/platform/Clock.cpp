// Where the program reads the time from.
#include "Clock.h"

#include <QElapsedTimer>
#include <cmath>

namespace platform {

namespace {
qint64 monotonicMs()
{
    static QElapsedTimer timer = [] { QElapsedTimer t; t.start(); return t; }();
    return timer.elapsed();
}
} // namespace

ScaledClock::ScaledClock(QDateTime start, double rate) : start_(std::move(start)), startMs_(monotonicMs()), rate_(rate) {}

QDateTime ScaledClock::now() const
{
    const double elapsed = double(monotonicMs() - startMs_) * rate_;
    return start_.addMSecs(qint64(std::llround(elapsed)));
}

} // namespace platform
