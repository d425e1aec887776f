// The sound of one utterance as it comes in: through the front end frame by frame, kept as cleaned and as the microphone gave it.
#include "Utterance.h"

#include <algorithm>
#include <cstdint>

namespace voice {

namespace {
// A key held down for minutes must not grow without bound; commands are a few seconds long.
const size_t maxSamples = 16000 * 20;
const int regionPadFrames = 25; // searched around the voice, so its first and last sounds are whole
} // namespace

Utterance::Utterance(std::unique_ptr<AudioFrontEnd> frontEnd) : frontEnd_(std::move(frontEnd)) {}

void Utterance::begin()
{
    cleaned_.clear();
    raw_.clear();
    partial_.clear();
    voiced_.clear();
    levels_.clear();
    frontEnd_->reset();
}

void Utterance::feed(const short* samples, size_t count)
{
    const size_t room = maxSamples - std::min(maxSamples, cleaned_.size() + partial_.size());
    partial_.insert(partial_.end(), samples, samples + std::min(count, room));
    const size_t n = AudioFrontEnd::FrameSamples;
    const size_t whole = partial_.size() / n * n;
    for (size_t at = 0; at < whole; at += n) {
        short frame[AudioFrontEnd::FrameSamples];
        std::copy_n(partial_.data() + at, n, frame);
        raw_.insert(raw_.end(), frame, frame + n);
        const AudioFrontEnd::Heard heard = frontEnd_->process(frame);
        voiced_.push_back(heard.voice);
        levels_.push_back(heard.levelDb);
        cleaned_.insert(cleaned_.end(), frame, frame + n);
    }
    partial_.erase(partial_.begin(), partial_.begin() + long(whole));
}

float Utterance::voiceOverRoomDb(const SpeechSpan& span) const
{
    std::vector<float> voice, room;
    const size_t n = AudioFrontEnd::FrameSamples;
    for (int f = 0; size_t(f + 1) * n <= raw_.size() && size_t(f) < span.voice.size(); ++f) {
        const float level = FrameLevelDb(raw_.data() + size_t(f) * n, int(n));
        if (span.voice[size_t(f)])
            voice.push_back(level);
        else if (!voiced_[size_t(f)] && (f < span.first - regionPadFrames || f > span.last + regionPadFrames))
            room.push_back(level);
    }
    return voice.empty() || room.empty() ? 0 : Median(voice) - Median(room);
}

Utterance::Cut Utterance::cut(const FrontEndSettings& settings) const
{
    Cut c;
    c.span = SpeechSpan::find(voiced_);
    if (c.span.empty())
        return c;
    // Cleaning is what lets a phrase through noise; in a quiet room it only distorts the voice.
    c.voiceOverRoomDb = voiceOverRoomDb(c.span);
    c.rawSound = settings.cleanForDecoder && c.voiceOverRoomDb >= settings.rawAboveDb;
    const std::vector<short>& sound = c.rawSound ? raw_ : cleaned_;
    c.firstFrame = std::max(0, c.span.first - regionPadFrames);
    const size_t from = size_t(c.firstFrame) * AudioFrontEnd::FrameSamples;
    const size_t to = std::min(sound.size(), size_t(c.span.last + 1 + regionPadFrames) * AudioFrontEnd::FrameSamples);
    c.region.assign(sound.begin() + long(from), sound.begin() + long(to));
    // A faint hiss, as from a quiet microphone: exact zeros around the voice (a microphone behind
    // noise suppression) have no spectrum, and the model's features of them are far from anything
    // it learnt, which throws its normalisation over the utterance.
    uint32_t x = 12345;
    for (short& v : c.region) {
        int hiss = 0;
        for (int k = 0; k < 4; ++k) {
            x = x * 1664525u + 1013904223u;
            hiss += int(x >> 27) - 16;
        }
        v = short(std::clamp(int(v) + hiss / 2, -32768, 32767));
    }
    return c;
}

} // namespace voice
