// Speech where there is nothing to hear it through: paces the words by their length, as if spoken.
#include "SilentSpeaker.h"

#include <algorithm>

namespace speech {

SilentSpeaker::SilentSpeaker(double msPerChar, int msPerWord) : msPerChar_(msPerChar), msPerWord_(msPerWord)
{
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, &SilentSpeaker::next);
}

void SilentSpeaker::speakFrom(std::shared_ptr<const SpeechText> text, size_t first)
{
    text_ = std::move(text);
    unit_ = first;
    timer_.start(0);
}

void SilentSpeaker::stop()
{
    timer_.stop();
    text_.reset();
}

void SilentSpeaker::next()
{
    if (!text_)
        return;
    if (unit_ >= text_->units.size()) {
        text_.reset();
        emit finished();
        return;
    }
    const SpeechText::Unit& u = text_->units[unit_];
    emit unitReached(int(unit_));
    ++unit_;
    const double ms = u.pauseBeforeMs + msPerWord_ + msPerChar_ * u.spokenLength;
    timer_.start(int(std::min(ms, 60000.0)));
}

} // namespace speech
