// The characters on the desktop, shared by every form's Agent control: one server per program.
#pragma once
#include "CharacterStage.h"
#include "platform/Result.h"
#include "speech/VoiceSettings.h"

#include <QHash>
#include <QObject>
#include <QStringList>
#include <functional>
#include <memory>

namespace speech {
class SpeechEngine;
}
namespace voice {
class VoiceInput;
}
namespace character {


struct ServerOptions {
    StageOptions stage;
    QStringList searchPath; // folders searched first for a character file named without a folder
    // Default: speech-dispatcher (espeak-ng in process where it fails), or silent without audio.
    std::function<std::unique_ptr<speech::SpeechEngine>()> makeSpeech;
};

class CharacterServer : public QObject {
    Q_OBJECT
public:
    explicit CharacterServer(ServerOptions options = {});
    ~CharacterServer() override;

    const ServerOptions& options() const { return options_; }

    // The stage of character `id`, loading `file` if no connection holds it yet.
    platform::Result<std::shared_ptr<CharacterStage>> load(const QString& id, const QString& file);
    std::shared_ptr<CharacterStage> stage(const QString& id) const;
    QString resolve(const QString& file, QStringList* looked = nullptr) const;

    speech::SpeechEngine& speech();
    // The voice the user chose; for the speech engine made after this.
    void setVoice(speech::VoiceSettings voice) { speechVoice_ = std::move(voice); }
    void setVoiceInput(std::unique_ptr<voice::VoiceInput> voice);

signals:
    void stageCreated(character::CharacterStage* stage);

private:
    void wireVoice(CharacterStage* stage);

    ServerOptions options_;
    QHash<QString, std::weak_ptr<CharacterStage>> stages_;
    speech::VoiceSettings speechVoice_;
    std::unique_ptr<speech::SpeechEngine> speech_;
    std::unique_ptr<voice::VoiceInput> voice_;
};

} // namespace character
