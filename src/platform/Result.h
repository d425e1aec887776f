// The outcome of an operation that can fail: its value, or what went wrong in words a user can read.
#pragma once
#include <QString>

#include <optional>
#include <utility>

namespace platform {

// Failures carry a sentence, not a code: the caller shows it, reports it or passes it on.
struct Failure {
    QString why;
};

inline Failure Fail(QString why)
{
    return Failure{std::move(why)};
}

template <typename T = void> class Result {
public:
    Result(T value) : value_(std::move(value)) {}
    Result(Failure failure) : why_(std::move(failure.why)) {}

    bool ok() const { return value_.has_value(); }
    explicit operator bool() const { return ok(); }
    T& value() { return *value_; }
    const T& value() const { return *value_; }
    T* operator->() { return &*value_; }
    const T* operator->() const { return &*value_; }
    T& operator*() { return *value_; }
    const T& operator*() const { return *value_; }
    // Empty when it succeeded.
    const QString& why() const { return why_; }

private:
    std::optional<T> value_;
    QString why_;
};

template <> class Result<void> {
public:
    Result() = default;
    Result(Failure failure) : ok_(false), why_(std::move(failure.why)) {}

    bool ok() const { return ok_; }
    explicit operator bool() const { return ok_; }
    const QString& why() const { return why_; }

private:
    bool ok_ = true;
    QString why_;
};

} // namespace platform
