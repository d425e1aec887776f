#include "SpeechEngine.h"

#include "EspeakSpeaker.h"
#include "SilentSpeaker.h"
#include "platform/AudioOutput.h"

namespace character {

std::unique_ptr<SpeechEngine> MakeSpeechEngine(QString* whySilent)
{
    if (!platform::AudioOutputAvailable()) {
        if (whySilent)
            *whySilent = QStringLiteral("no audio device was found, so speech is shown in the balloon only");
        return std::make_unique<SilentSpeaker>();
    }
    return std::make_unique<EspeakSpeaker>();
}

} // namespace character
