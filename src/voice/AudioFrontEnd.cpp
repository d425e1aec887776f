// Microphone sound cleaned in 10 ms frames before the recogniser hears it, and which frames hold a voice.
#include "AudioFrontEnd.h"
#include "platform/Library.h"

#include <webrtc/modules/audio_processing/include/audio_processing.h>
#include <webrtc/modules/interface/module_common_types.h>

#include <algorithm>
#include <cmath>

namespace voice {

namespace {

using MakeProcessing = webrtc::AudioProcessing*();

// WebRTC's audio processing, as PulseAudio and PipeWire use it. Its voice decision told speech from
// steady noise far better than speexdsp's, whose own warning calls its decision a stopgap.
class WebRtcFrontEnd : public AudioFrontEnd {
public:
    WebRtcFrontEnd(const FrontEndSettings& s, MakeProcessing* make)
        : AudioFrontEnd(s.cleanForDecoder), make_(make), aggressiveness_(s.aggressiveness), suppression_(s.suppression)
    {
        restart();
    }
    bool ok() const { return apm_ != nullptr; }

private:
    void restart() override
    {
        apm_.reset(make_());
        if (!apm_)
            return;
        apm_->high_pass_filter()->Enable(true);
        const webrtc::NoiseSuppression::Level level[] = {webrtc::NoiseSuppression::kLow, webrtc::NoiseSuppression::kModerate,
                                                        webrtc::NoiseSuppression::kHigh, webrtc::NoiseSuppression::kVeryHigh};
        apm_->noise_suppression()->set_level(level[std::clamp(suppression_, 0, 3)]);
        apm_->noise_suppression()->Enable(true);
        apm_->gain_control()->set_mode(webrtc::GainControl::kAdaptiveDigital);
        apm_->gain_control()->Enable(true);
        const webrtc::VoiceDetection::Likelihood likelihood[] = {
            webrtc::VoiceDetection::kHighLikelihood, webrtc::VoiceDetection::kModerateLikelihood,
            webrtc::VoiceDetection::kLowLikelihood, webrtc::VoiceDetection::kVeryLowLikelihood};
        apm_->voice_detection()->set_likelihood(likelihood[std::clamp(aggressiveness_, 0, 3)]);
        apm_->voice_detection()->set_frame_size_ms(10);
        apm_->voice_detection()->Enable(true);
        frame_.sample_rate_hz_ = 16000;
        frame_.num_channels_ = 1;
        frame_.samples_per_channel_ = FrameSamples;
    }
    bool clean(short* samples) override
    {
        if (!apm_)
            return false;
        std::copy_n(samples, FrameSamples, frame_.data_);
        frame_.sample_rate_hz_ = 16000;
        frame_.num_channels_ = 1;
        frame_.samples_per_channel_ = FrameSamples;
        if (apm_->ProcessStream(&frame_) != 0)
            return false;
        std::copy_n(frame_.data_, FrameSamples, samples);
        return apm_->voice_detection()->stream_has_voice();
    }

    MakeProcessing* make_;
    int aggressiveness_, suppression_;
    std::unique_ptr<webrtc::AudioProcessing> apm_;
    webrtc::AudioFrame frame_;
};

} // namespace

AudioFrontEnd::Heard AudioFrontEnd::process(short* frame)
{
    short cleaned[FrameSamples];
    std::copy_n(frame, FrameSamples, cleaned);
    const bool voice = clean(cleaned);
    if (cleanForDecoder_)
        std::copy_n(cleaned, FrameSamples, frame);
    return {frames_++ >= WarmUpFrames && voice, FrameLevelDb(frame, int(FrameSamples))};
}

float FrameLevelDb(const short* frame, int count)
{
    double sum = 0;
    for (int i = 0; i < count; ++i)
        sum += double(frame[i]) * frame[i];
    return float(10 * std::log10(sum / std::max(1, count) + 1));
}

float Median(std::vector<float> values)
{
    if (values.empty())
        return 0;
    std::nth_element(values.begin(), values.begin() + long(values.size() / 2), values.end());
    return values[values.size() / 2];
}

platform::Result<std::unique_ptr<AudioFrontEnd>> MakeFrontEnd(const FrontEndSettings& settings)
{
    const auto library = platform::Library::Open(QStringLiteral("webrtc_audio_processing"), 1);
    if (!library)
        return platform::Fail(QStringLiteral("the audio front end is not installed (%1); install "
                                             "libwebrtc-audio-processing1").arg(library.why()));
    // webrtc::AudioProcessing::Create(), by its C++ name: the rest of the library is reached through
    // the object it makes.
    MakeProcessing* make = nullptr;
    platform::FunctionTable table{&*library};
    table(make, "_ZN6webrtc15AudioProcessing6CreateEv");
    if (const auto all = table.complete(QStringLiteral("the audio front end")); !all)
        return platform::Fail(all.why());
    auto f = std::make_unique<WebRtcFrontEnd>(settings, make);
    if (!f->ok())
        return platform::Fail(QStringLiteral("the audio front end could not start"));
    return std::unique_ptr<AudioFrontEnd>(std::move(f));
}

} // namespace voice
