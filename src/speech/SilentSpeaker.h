// Speech where there is nothing to hear it through: paces the words by their length, as if spoken.
#pragma once
#include "SpeechEngine.h"

#include <QTimer>

namespace speech {

class SilentSpeaker final : public SpeechEngine {
    Q_OBJECT
public:
    // `msPerChar` scales the pace; tests use a small value to run long texts quickly.
    explicit SilentSpeaker(double msPerChar = 55.0, int msPerWord = 120);
    void speak(std::shared_ptr<const SpeechText> text) override { speakFrom(std::move(text), 0); }
    // Goes on with a text another engine began, from unit `first`.
    void speakFrom(std::shared_ptr<const SpeechText> text, size_t first);
    void stop() override;

private:
    void next();
    std::shared_ptr<const SpeechText> text_;
    size_t unit_ = 0;
    QTimer timer_;
    double msPerChar_;
    int msPerWord_;
};

} // namespace speech
