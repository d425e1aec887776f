// espeak-ng in this process, saying texts into memory to make test utterances.
#pragma once
#include <QString>
#include <vector>

namespace voicetest {

// espeak-ng in this process, saying texts into memory rather than to a sound card, for making
// test utterances. espeak-ng is one per process, started by the first of these; they share it.
class Synthesiser {
public:
    Synthesiser();
    Synthesiser(const Synthesiser&) = delete;
    Synthesiser& operator=(const Synthesiser&) = delete;

    bool ready() const { return rate_ > 0; }
    const QString& error() const { return error_; }
    // `text` in espeak-ng `voice` ("en-us", "en+f2", ...) at its own rate (sampleRate()); empty when
    // the voice is unknown.
    std::vector<short> say(const QString& text, const QString& voice);
    int sampleRate() const { return rate_; }

private:
    int rate_ = 0;
    QString error_;
};

} // namespace voicetest
