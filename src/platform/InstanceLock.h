// One running instance per user.
#pragma once
#include <QString>
#include <memory>

class QLockFile;

namespace platform {

// One running instance per user. The lock is a file holding the owner's process id; a lock left
// behind by a crashed instance is seen as stale and taken over.
class InstanceLock {
public:
    explicit InstanceLock(const QString& appName, QString directory = {});
    ~InstanceLock();
    // True when another instance holds the lock (the runtime's PrevInstance).
    bool PrevInstance();
    QString path() const { return path_; }

private:
    QString path_;
    std::unique_ptr<QLockFile> lock_;
    bool checked_ = false;
    bool previous_ = false;
};

} // namespace platform
