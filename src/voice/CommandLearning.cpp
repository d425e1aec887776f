// Commands heard with a safe margin, kept to adapt on where the user agreed to it, unless undone.
#include "CommandLearning.h"

namespace voice {

CommandLearning::CommandLearning(ProfileStore& store) : store_(store)
{
    timer_.setSingleShot(true);
    timer_.setInterval(UndoMs);
    connect(&timer_, &QTimer::timeout, this, &CommandLearning::commit);
}

bool CommandLearning::undoes(const QString& command) const
{
    return pending_ && since_.elapsed() < UndoMs
           && (command == pending_->command || command == QLatin1String("Cancel"));
}

void CommandLearning::offer(const QString& microphone, const QString& command, const QString& phrase, const Room& room,
                            const std::vector<short>& sound)
{
    if (undoes(command))
        pending_.reset();
    commit();
    justOffered_ = true;
    if (!store_.learning(microphone))
        return;
    pending_ = Pending{microphone, command, phrase, room, sound};
    since_.start();
    timer_.start();
}

void CommandLearning::heard(const QString& command)
{
    // The command just offered arrives here too, right after.
    if (std::exchange(justOffered_, false))
        return;
    if (undoes(command))
        pending_.reset();
}

void CommandLearning::commit()
{
    timer_.stop();
    if (!pending_)
        return;
    const Pending p = std::move(*pending_);
    pending_.reset();
    if (!store_.learning(p.microphone) || !store_.keepCommand(p.microphone, p.phrase, p.room, p.sound))
        return;
    if (store_.keptSinceAdaptation(p.microphone) >= AdaptEvery)
        emit enoughToAdapt(p.microphone);
}

} // namespace voice
