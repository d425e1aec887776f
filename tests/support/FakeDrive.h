// A CD drive for tests.
#pragma once
#include "devices/CdDriver.h"

#include <QStringList>

namespace testsupport {

// A CD drive that does what it is told to, or fails the way it is told to, and logs what it was asked.
class FakeDrive final : public devices::CdDriver {
public:
    Outcome openOutcome = Outcome::Ok;
    Outcome doorOutcome = Outcome::Ok;
    QStringList log;
    int openHandles = 0;

    Status open(int* handle) override
    {
        log << "open";
        if (openOutcome != Outcome::Ok)
            return {openOutcome, "it said no"};
        *handle = ++openHandles + 100;
        return {};
    }
    Status eject(int) override { return door("eject"); }
    Status closeTray(int) override { return door("closeTray"); }
    void release(int) override
    {
        log << "release";
        --openHandles;
    }

private:
    Status door(const QString& what) { log << what; return {doorOutcome, "Input/output error"}; }
};

} // namespace testsupport
