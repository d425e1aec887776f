// Clean speech of the bench's texts in every synthetic voice, made once and kept in a cache folder.
#pragma once
#include "SpeechClips.h"

#include <QDir>
#include <QString>
#include <QStringList>
#include <map>
#include <vector>

namespace voicebench {

// A synthetic speaker: espeak-ng in process, or Debian's flite and festival through their commands.
struct Voice {
    enum class Engine { Espeak, Flite, Festival };
    QString name; // as reported: "espeak en-us", "flite kal16", "festival kal"
    Engine engine;
    QString id;   // espeak voice, flite voice, festival voice function

    static std::vector<Voice> all();
};

// Clean 16 kHz speech of every text in every voice, made once and kept in a cache folder, since the
// external speakers take up to a second a text.
class Voices {
public:
    Voices(voicetest::Synthesiser& espeak, QString cacheDir) : espeak_(espeak), cache_(std::move(cacheDir)) {}
    // Makes what is missing; false with why when a speaker cannot be run.
    bool prepare(const std::vector<Voice>& voices, const QStringList& texts, QString* why);
    const std::vector<short>& clean(const QString& voice, const QString& text) const;

private:
    bool prepareExternal(const Voice& v, const QStringList& texts, QString* why);
    QString file(const Voice& v, const QString& text) const;

    voicetest::Synthesiser& espeak_;
    QString cache_;
    std::map<std::pair<QString, QString>, std::vector<short>> clips_;
    std::vector<short> none_;
};

} // namespace voicebench
