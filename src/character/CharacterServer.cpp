// The characters on the desktop, shared by every form's Agent control: one server per program.
#include "CharacterServer.h"

#include "speech/EspeakSpeaker.h"
#include "speech/SilentSpeaker.h"
#include "speech/SpeechDispatcherSpeaker.h"
#include "platform/AudioOutput.h"
#include "platform/UserReport.h"
#include "voice/VoiceInput.h"

#include <QCoreApplication>
#include <QMenu>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace character {

CharacterServer::CharacterServer(ServerOptions options) : options_(std::move(options)) {}
CharacterServer::~CharacterServer() = default;

QString CharacterServer::resolve(const QString& file, QStringList* looked) const
{
    if (QFileInfo(file).isAbsolute())
        return file;
    QStringList dirs = options_.searchPath;
    const QString appDir = QCoreApplication::applicationDirPath();
    dirs << appDir << appDir + QStringLiteral("/../share/varrow");
#ifdef VARROW_DATADIR
    dirs << QStringLiteral(VARROW_DATADIR);
#endif
    for (const QString& d : QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation))
        dirs << d + QStringLiteral("/varrow");
    for (const QString& d : dirs) {
        const QString candidate = QDir::cleanPath(d + u'/' + file);
        if (looked && !looked->contains(QDir::toNativeSeparators(QFileInfo(d).absoluteFilePath())))
            looked->append(QDir::toNativeSeparators(QFileInfo(d).absoluteFilePath()));
        if (QFileInfo(candidate).isFile())
            return candidate;
    }
    return {};
}

platform::Result<std::shared_ptr<CharacterStage>> CharacterServer::load(const QString& id, const QString& file)
{
    if (auto existing = stages_.value(id).lock())
        return existing;
    QStringList looked;
    const QString path = resolve(file, &looked);
    if (path.isEmpty())
        return platform::Fail(
            QStringLiteral("The character file %1 was not found. Looked in: %2.").arg(file, looked.join(u", ")));
    platform::Result<CharacterData> read = ReadCharacterFile(path);
    if (!read)
        return platform::Fail(read.why());
    auto data = std::make_shared<const CharacterData>(std::move(*read));
    auto stage = std::make_shared<CharacterStage>(id, std::move(data), speech(), options_.stage);
    stages_.insert(id, stage);
    wireVoice(stage.get());
    emit stageCreated(stage.get());
    return stage;
}

std::shared_ptr<CharacterStage> CharacterServer::stage(const QString& id) const
{
    return stages_.value(id).lock();
}

speech::SpeechEngine& CharacterServer::speech()
{
    if (!speech_) {
        auto report = [r = options_.stage.report](const QString& why) {
            if (r)
                r->problem(QStringLiteral("Speech is shown, not heard"), why);
        };
        if (options_.makeSpeech) {
            speech_ = options_.makeSpeech();
        } else if (platform::AudioOutputAvailable()) {
            speech_ = std::make_unique<speech::SpeechDispatcherSpeaker>(
                speechVoice_, [] { return std::make_unique<speech::EspeakSpeaker>(); });
        } else {
            speech_ = std::make_unique<speech::SilentSpeaker>();
            report(QStringLiteral("no audio device was found, so speech is shown in the balloon only."));
        }
        connect(speech_.get(), &speech::SpeechEngine::problem, this, [report](const QString& why) { report(why + u'.'); });
        connect(speech_.get(), &speech::SpeechEngine::notice, this,
                [r = options_.stage.report](const QString& summary, const QString& why) {
                    if (r)
                        r->problem(summary, why);
                });
    }
    return *speech_;
}

void CharacterServer::setVoiceInput(std::unique_ptr<voice::VoiceInput> voice)
{
    voice_ = std::move(voice);
    for (const auto& weak : std::as_const(stages_))
        if (auto s = weak.lock())
            wireVoice(s.get());
}

void CharacterServer::wireVoice(CharacterStage* stage)
{
    voice::VoiceInput* voice = voice_.get();
    if (!voice)
        return;
    auto feed = [stage, voice] { voice->setPhrases(stage->voicePhrasesInEffect()); };
    QObject::connect(stage, &CharacterStage::commandsInEffectChanged, voice, feed);
    QObject::connect(voice, &voice::VoiceInput::heard, stage,
                     [stage](const QString& command, const QString& phrase) { stage->deliverCommand(command, phrase); });
    QObject::connect(voice, &voice::VoiceInput::notUnderstood, stage, [stage] { stage->showCue(QStringLiteral("?")); });
    QObject::connect(voice, &voice::VoiceInput::refused, stage,
                     [stage] { stage->showCue(QStringLiteral("Voice commands are off")); });
    QObject::connect(voice, &voice::VoiceInput::listeningChanged, stage, &CharacterStage::setListening);
    QObject::connect(stage, &CharacterStage::listenRequested, voice, &voice::VoiceInput::hold);
    // For a user with neither the key nor a middle button.
    QObject::connect(stage, &CharacterStage::menuAboutToShow, voice, [voice](QMenu* menu) {
        if (!voice->usable())
            return;
        menu->addSeparator();
        QObject::connect(menu->addAction(QStringLiteral("Listen")), &QAction::triggered, voice,
                         &voice::VoiceInput::listenForPhrase);
    });
    feed();
}

} // namespace character
