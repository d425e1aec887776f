// Where the program reads the time from.
#pragma once
#include <QDateTime>

namespace platform {

// Where the program reads "now" from; tests and the soak run put their own in its place.
class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;
};

class SystemClock final : public Clock {
public:
    QDateTime now() const override { return QDateTime::currentDateTime(); }
};

// Runs from a chosen start at a multiple of real time.
class ScaledClock final : public Clock {
public:
    ScaledClock(QDateTime start, double rate);
    QDateTime now() const override;

private:
    QDateTime start_;
    qint64 startMs_;
    double rate_;
};

} // namespace platform
