// Where the program reads the time from.
#pragma once
#include <QDateTime>

namespace platform {

// Where the program reads "now" from; tests and the soak run put their own in its place.
class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;
    // How many of its seconds pass in a second of real time.
    virtual double rate() const { return 1; }
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
    double rate() const override { return rate_; }

private:
    QDateTime start_;
    qint64 startMs_;
    double rate_;
};

} // namespace platform
