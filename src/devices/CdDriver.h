// The CD drive's door, reached through the kernel's CD-ROM interface.
#pragma once
#include <QString>

namespace devices {

// How the command-string layer reaches the CD drive; tests put their own drive in its place.
class CdDriver {
public:
    enum class Outcome { Ok, NoDrive, PermissionDenied, Busy, CannotClose, Failed };
    struct Status {
        Outcome outcome = Outcome::Ok;
        QString systemMessage; // the system's own words, for Failed
        bool ok() const { return outcome == Outcome::Ok; }
    };
    virtual ~CdDriver() = default;
    // Opens the drive for shared use; `handle` identifies it to the other calls.
    virtual Status open(int* handle) = 0;
    virtual Status eject(int handle) = 0;
    virtual Status closeTray(int handle) = 0;
    virtual void release(int handle) = 0;
};

// The first CD drive of this machine: /dev/cdrom, else the first /dev/sr*. Never blocks: the device
// is opened non-blocking, so an empty or spinning-up drive answers at once.
class LinuxCdDriver final : public CdDriver {
public:
    Status open(int* handle) override;
    Status eject(int handle) override;
    Status closeTray(int handle) override;
    void release(int handle) override;

    static QString findDrive(); // empty when the machine has none
};

} // namespace devices
