// Rooms and microphones for test speech: noise, level, a click, echo and pace around a clean clip.
#pragma once
#include <QString>
#include <cstdint>
#include <functional>
#include <vector>

namespace voicetest {

// How a room and a microphone change clean speech: what surrounds it, noise, level, echo, pace.
struct Condition {
    enum class Kind {
        DigitalSilence, // behind a noise suppressor: exact zeros around the speech
        Faint,          // a quiet microphone's own hiss
        White, Pink, Brown, // steady noise at `value` dB under the speech
        Level,          // the speech `value` dB louder or quieter, clipped where it overflows
        Click,          // a click a moment before the phrase
    };
    static constexpr size_t beforeSamples = 16000 * 4 / 10; // room before the speech
    static constexpr size_t afterSamples = 16000 / 2;       // and after it

    Condition(QString name = {}, Kind kind = Kind::Faint, double value = 0) : name(std::move(name)), kind(kind), value(value) {}

    QString name;
    Kind kind;
    double value;
    // What else the room does, before the noise: to the speech alone (its pace), and to the speech in
    // its silence (an echo). Empty when it fails.
    std::function<std::vector<short>(const std::vector<short>&)> pace, echo;

    // Clean 16 kHz speech as the microphone would give it in this condition, with room before and
    // after (the room alone if there is no speech); empty when `pace` or `echo` fails. `seed` draws
    // the noise.
    std::vector<short> apply(const std::vector<short>& speech, uint32_t seed) const;
};

} // namespace voicetest
