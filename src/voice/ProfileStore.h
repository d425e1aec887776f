// Where a user's voice profiles and the recordings they were made from are kept: a folder per microphone.
#pragma once
#include "VoiceProfile.h"
#include "platform/Result.h"

#include <QString>
#include <QStringList>
#include <vector>

namespace voice {

// A recording kept to adapt on: what the recogniser heard, and what was said.
struct StoredRecording {
    QString path;
    QString text;     // the sentence read, or the phrase of the command
    Room room;
    bool command = false;
};

// Under `root` (the user's data folder): per microphone, named after the sound server's name for it,
//   profile/           the profile in use: profile.ini and its model files
//   readings/          the sentences read in training (list.tsv and their sound)
//   commands/          commands kept while the user agrees to it, bounded in number and size
//   microphone.ini     whether to keep commands, and how many came since the last adaptation
// Nothing else is written anywhere, and nothing leaves the machine.
class ProfileStore {
public:
    static constexpr int MaxCommands = 150;
    static constexpr qint64 MaxCommandBytes = 8 * 1024 * 1024;

    explicit ProfileStore(QString root) : root_(std::move(root)) {}
    const QString& root() const { return root_; }
    QString folderFor(const QString& microphone) const;

    // The profile of this microphone, checked against `model` (the stock model's folder).
    platform::Result<VoiceProfile> profile(const QString& microphone, const QString& model) const;
    // Puts the profile made in `folder` in place of this microphone's.
    platform::Result<> install(const QString& microphone, const QString& folder);
    // Leaves the microphone without a profile, keeping its recordings.
    void dropProfile(const QString& microphone);

    // Replaces the microphone's training readings.
    platform::Result<> saveReadings(const QString& microphone, const std::vector<StoredRecording>& readings,
                                    const std::vector<std::vector<short>>& sounds);
    // Keeps a command heard with a safe margin; the oldest go when there are too many.
    platform::Result<> keepCommand(const QString& microphone, const QString& phrase, const Room& room,
                                   const std::vector<short>& sound);
    std::vector<StoredRecording> recordings(const QString& microphone) const;

    bool learning(const QString& microphone) const;
    void setLearning(const QString& microphone, bool on);
    int keptSinceAdaptation(const QString& microphone) const;
    void markAdapted(const QString& microphone);

    // Deletes every profile and recording of every microphone.
    platform::Result<> forget();
    bool empty() const;

private:
    std::vector<StoredRecording> list(const QString& folder, bool commands) const;
    platform::Result<> writeList(const QString& folder, const std::vector<StoredRecording>& items) const;

    QString root_;
};

// Raw 16-bit samples to a file, and back.
platform::Result<> WriteSound(const QString& path, const std::vector<short>& sound);
std::vector<short> ReadSound(const QString& path);

} // namespace voice
