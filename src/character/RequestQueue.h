// The requests a character carries out, and the queue they wait in.
#pragma once
#include <QPoint>
#include <QString>
#include <deque>
#include <optional>

namespace character {

struct Request {
    enum class Kind : unsigned char { Show, Hide, Play, Speak, Gesture };
    Kind kind = Kind::Play;
    int owner = 0;      // the connection that asked
    QString name;       // animation, or text to speak
    QPoint at;          // GestureAt
    bool fast = false;  // Show/Hide without animation
    bool figureShownAfter = false; // Show/Hide: whether any connection wants the figure shown after this call
    bool urgent = false; // goes before what waits, and cuts short what runs (see Character::Urgently)
};

// Kinds of request as StopAll names them: "Play" (animations and gestures) and "Speak".
enum StopKind : unsigned { StopPlay = 1, StopSpeak = 2, StopEverything = 3 };
unsigned ParseStopKinds(const QString& types); // comma-separated, case-insensitive; empty means all
bool StoppedBy(const Request& r, unsigned kinds);

// Requests wait here in call order until the stage carries them out.
class RequestQueue {
public:
    void push(Request r) { queue_.push_back(std::move(r)); }
    // Before every waiting request that is not urgent itself, after those that are.
    void pushUrgent(Request r);
    std::optional<Request> pop();
    const Request& front() const { return queue_.front(); }
    // Drops the owner's waiting requests of the given kinds; returns how many. One pass over the queue.
    size_t stopAll(int owner, unsigned kinds);
    size_t size() const { return queue_.size(); }
    bool empty() const { return queue_.empty(); }

private:
    std::deque<Request> queue_;
};

} // namespace character
