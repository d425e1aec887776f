// The requests a character carries out, and the queue they wait in.
#include "RequestQueue.h"

#include <QStringList>
#include <algorithm>

namespace character {

unsigned ParseStopKinds(const QString& types)
{
    if (types.trimmed().isEmpty())
        return StopEverything;
    unsigned kinds = 0;
    for (const QString& t : types.split(u',', Qt::SkipEmptyParts)) {
        const QString k = t.trimmed().toLower();
        if (k == u"play")
            kinds |= StopPlay;
        else if (k == u"speak")
            kinds |= StopSpeak;
    }
    return kinds;
}

bool StoppedBy(const Request& r, unsigned kinds)
{
    switch (r.kind) {
    case Request::Kind::Play:
    case Request::Kind::Gesture: return kinds & StopPlay;
    case Request::Kind::Speak: return kinds & StopSpeak;
    case Request::Kind::Show:
    case Request::Kind::Hide: return false; // showing and hiding are never cancelled
    }
    return false;
}

void RequestQueue::pushUrgent(Request r)
{
    const auto at = std::find_if(queue_.begin(), queue_.end(), [](const Request& w) { return !w.urgent; });
    // A showing or hiding that is overtaken was asked before this one: once it runs, the figure must
    // still end up as the connections want it now.
    if (r.kind == Request::Kind::Show || r.kind == Request::Kind::Hide)
        for (auto it = at; it != queue_.end(); ++it)
            if (it->kind == Request::Kind::Show || it->kind == Request::Kind::Hide)
                it->figureShownAfter = r.figureShownAfter;
    queue_.insert(at, std::move(r));
}

std::optional<Request> RequestQueue::pop()
{
    if (queue_.empty())
        return std::nullopt;
    Request r = std::move(queue_.front());
    queue_.pop_front();
    return r;
}

size_t RequestQueue::stopAll(int owner, unsigned kinds)
{
    const auto end = std::remove_if(queue_.begin(), queue_.end(),
                                    [&](const Request& r) { return r.owner == owner && StoppedBy(r, kinds); });
    const size_t dropped = size_t(queue_.end() - end);
    queue_.erase(end, queue_.end());
    return dropped;
}

} // namespace character
