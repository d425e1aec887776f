// Makes a microphone's voice profile from its recordings in the background, and keeps it only if it helps.
#pragma once
#include "Adaptation.h"
#include "Decoder.h"
#include "platform/Mailbox.h"
#include "ProfileStore.h"

#include <QObject>
#include <atomic>
#include <memory>
#include <thread>

namespace voice {

// What became of one adaptation.
struct BuildReport {
    bool made = false;      // a profile was made and checked; else `why` says what stopped it
    QString why;
    ProfileKind kind = ProfileKind::None; // what is used now: None when no profile beat the stock model
    bool kept = false;      // the profile there before did better, and stays
    int recordings = 0, checked = 0, words = 0;
    int stockErrors = 0, errors = 0; // words wrong on the recordings held aside
    Room room;
    double seconds = 0;
    qint64 bytes = 0;       // of the profile's files
};

class ProfileBuilder : public QObject {
    Q_OBJECT
public:
    // Every this many recordings one is held aside to check the profile, not adapted on.
    static constexpr int HoldAsideEvery = 5;

    ProfileBuilder(ProfileStore& store, DecoderSettings decoder, AdaptationSetup setup);
    ~ProfileBuilder() override;

    bool busy() const { return worker_.joinable() && !done_; }
    // Adapts on the microphone's recordings on a thread of lower priority; `finished` follows.
    void build(const QString& microphone);
    void cancel();

    // The same on the calling thread.
    static BuildReport buildNow(ProfileStore& store, const QString& microphone, const DecoderSettings& decoder,
                                const AdaptationSetup& setup, const std::atomic<bool>* cancelled = nullptr);

signals:
    void finished(const QString& microphone, const voice::BuildReport& report);

private:
    void join();

    ProfileStore& store_;
    DecoderSettings decoder_;
    AdaptationSetup setup_;
    platform::Mailbox replies_{this};
    std::thread worker_;
    std::atomic<bool> cancelled_{false};
    std::atomic<bool> done_{false};
};

} // namespace voice
