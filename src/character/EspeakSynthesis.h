// Synthesis to samples for the voice tests and benchmarks (to be moved out of the program).
#pragma once
#include <QByteArray>
#include <QString>
#include <vector>

namespace character::espeak {
enum class Mode { Playback, Synchronous };
bool initialize(Mode mode, QString* error);
// Synthesises `ssml` to 16-bit mono samples (Synchronous mode only); returns the sample rate, 0 on failure.
int synthesize(const QByteArray& ssml, const QString& voice, std::vector<short>* samples);
int sampleRate();
} // namespace character::espeak
