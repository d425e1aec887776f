// PocketSphinx hearing an utterance as one of the phrases, or turning it away as none of them.
#pragma once
#include "AudioFrontEnd.h"
#include "Grammar.h"
#include "Utterance.h"
#include "VoiceProfile.h"

#include <memory>
#include <optional>
#include <vector>

class QTemporaryDir;

struct ps_decoder_s;

namespace voice {

struct Segments;
struct SphinxLibrary;

// How speech that is none of the phrases gets turned away.
struct Rejection {
    double garbageWeight = 0;     // weight of the phone loop beside the phrases; 0 leaves it out
    bool phonePass = true;        // score the utterance again with free phones and compare
    double maxPhoneGap = 10;      // reject when the free phones beat the phrase by more than this per frame
    // Language weight of the free phones; 0: the library's, under which the loop saves on phone
    // changes and fits other speech worse than a phrase does.
    double loopWeight = 1;
    // Read the utterance as phones and reject when more edits than this turn them into the phrase's:
    // the reading is rough, so only speech far longer or unlike the phrase is caught here.
    bool phoneReading = false;
    double editsPerPhone = 0.7; // per phone of the phrase
    double extraEdits = 2.5;
    int competitors = 150;    // how many of the common words may be heard instead of a phrase; 0: none
    int competitorMargin = 3; // common words this few phone edits from a phrase word are left out
    bool inflections = true;  // a phrase's words with an ending compete too
    // More frames of voice than the phrase's words last, by this many (10 ms): other speech.
    int maxStrayFrames = 10;
    // Voice this near the phrase's words is theirs: a breath before, the voice decision's hangover after.
    int voiceBeforeWords = 5, voiceAfterWords = 15;
    // The best other phrase of the set must fit the sound worse than the winner by this much per
    // frame of voice; closer, and the user gets asked again rather than a command they did not mean.
    double minMargin = 1.5;
    // A command heard this far ahead of every other is safe to adapt the model on.
    double keepMargin = 3;
};

// When a sentence read aloud to adapt the model is asked for again.
struct ReadingLimits {
    double clippedShare = 0.002; // of the voice's samples at full scale
    float quietestDb = 40;       // the voice's median level (about -50 dBFS)
    float lowestOverRoomDb = 3;  // the voice's level over the room's (its pauses count as voice)
    double maxPhoneGap = 6;      // per frame: free phones fit far better than the sentence's words
    int maxStrayFrames = 40;     // voice beyond the sentence's words: something else was said too
};

struct DecoderSettings {
    QString model = QStringLiteral("/usr/share/pocketsphinx/model/en-us/en-us");
    QString dictionary = QStringLiteral("/usr/share/pocketsphinx/model/en-us/cmudict-en-us.dict");
    QString phoneModel = QStringLiteral("/usr/share/pocketsphinx/model/en-us/en-us-phone.lm.bin");
    Rejection rejection;
    ReadingLimits reading;
    FrontEndSettings frontEnd;
};

// The first model file that is not there; empty when all are.
QString MissingModelFile(const DecoderSettings& s);

struct Outcome {
    Heard heard;           // empty command: not understood
    QString words;         // what the grammar search settled on
    double phoneGap = 0;   // per frame; large means the phrase fits the sound badly
    int phoneEdits = 0;    // between the utterance read as phones and the phrase
    QString heardPhones;   // the utterance read as phones, silence left out
    bool hadSpeech = false;
    int phrasePhones = 0, wordFrames = 0, frames = 0;
    int voiceFrames = 0, strayFrames = 0; // frames of voice; of them more than the phrase's words
    int voiceBefore = 0, voiceAfter = 0;  // frames of voice before and after the words
    double margin = 0;     // per frame of voice, over the best other phrase; large when there is none
    float voiceOverRoomDb = 0; // the voice's level over the room's, as the microphone gave them
    bool rawSound = false;     // the recogniser heard the microphone's sound, not the cleaned
    QString runnerUp;      // the best other phrase's words
    ProfileKind model = ProfileKind::None; // of the speaker's profile, what the recogniser used
};

// A sentence read aloud for adapting the model, as the recogniser heard it.
struct Reading {
    enum class Problem { None, Empty, TooQuiet, Clipped, Mismatch };
    Problem problem = Problem::Empty;
    std::vector<short> sound; // what the recogniser heard: what the model is to be adapted on
    Room room;
    QString microphone;
    double phoneGap = 0;
    int strayFrames = 0;
    float levelDb = 0;
    double clippedShare = 0;
};

// One PocketSphinx decoder. Not thread-safe: it belongs to the thread that uses it.
class Decoder {
public:
    // A decoder with its model loaded, or why there can be none.
    static platform::Result<std::unique_ptr<Decoder>> Open(DecoderSettings settings = {});
    ~Decoder();
    Decoder(const Decoder&) = delete;
    Decoder& operator=(const Decoder&) = delete;


    // Listens for these phrases from the next utterance on; those with a word the model's dictionary
    // lacks are left out.
    void setPhrases(const std::vector<voice::VoicePhrase>& phrases);
    void setRejection(const Rejection& r);

    void begin();
    void feed(const short* samples, size_t count);
    // The front end's voice decision for each whole 10 ms frame of the utterance so far.
    const std::vector<bool>& voiced() const { return utterance_.voiced(); }
    // Each of those frames' level as the recogniser hears it, in dB.
    const std::vector<float>& levels() const { return utterance_.levels(); }
    Outcome end();
    Outcome decode(const std::vector<short>& samples16k);
    // Ends the utterance as a reading of `sentence` rather than a command.
    Reading endReading(const QString& sentence);
    // What the recogniser heard of the last utterance: the stretch around the voice, cleaned or not.
    const std::vector<short>& heardSound() const { return region_; }

    // The speaker's profile from the next utterance on; nullopt for the stock model. Its files are
    // copied, so the stored profile may change or go while this one is in use.
    platform::Result<> setProfile(const std::optional<VoiceProfile>& profile);
    // Which of the profile's models an utterance in `room` is heard with: all of it only in a room
    // near the one it was made in, its transform in a noisier one, none in a quieter one.
    ProfileKind modelFor(const Room& room) const;
    // What the recogniser heard (heardSound() of some utterance) as any string of these words.
    QString recognise(const std::vector<short>& heard, const QStringList& vocabulary, ProfileKind model);

private:
    Decoder(DecoderSettings settings, std::unique_ptr<const SphinxLibrary> sphinx, ps_decoder_s* ps,
            std::unique_ptr<AudioFrontEnd> frontEnd);
    bool pronounceable(const QString& word) const;
    void addDictionaryWords(QStringList words);
    QStringList pronunciation(const QString& word) const;
    QStringList competitorsFor(const std::vector<voice::VoicePhrase>& phrases);
    QStringList readPhones();
    bool decodeUtterance(const char* search); // the buffered utterance through this search
    void applyGrammar();
    double scoreWithPhones(int* frames);
    bool othersSearch(const QString& winner); // a search for the phrases of every other command
    bool hear(Outcome& out, SpeechSpan& span); // finds the voice and what the recogniser hears of it
    void judge(Outcome& out, const SpeechSpan& span); // the command search's answer, and its checks
    void measureMargin(Outcome& out, const SpeechSpan& span, int pathScore);
    void checkPhones(Outcome& out, const Segments& sums);
    bool useModel(ProfileKind kind);


    DecoderSettings settings_;
    std::unique_ptr<const SphinxLibrary> sphinx_;
    ps_decoder_s* ps_;
    // Phrases with their grammar and the common words that compete with them.
    struct Listened {
        std::vector<voice::VoicePhrase> phrases;
        CommandGrammar grammar;
        QStringList competitors;
    };
    Listened latest_;         // waiting for the utterance under way to end
    Listened active_;         // what the decoder listens with
    bool grammarPending_ = false;
    QStringList common_;      // the common words that compete with the latest phrases
    bool hasGrammar_ = false;
    bool phoneSearchAdded_ = false;
    bool readingSearchAdded_ = false;
    bool inUtterance_ = false; // listening, with a grammar to decode by
    bool listening_ = false;
    bool garbageWordsAdded_ = false;
    Utterance utterance_;
    std::vector<short> region_;    // the part of the utterance that is searched
    int regionFirstFrame_ = 0;
    std::optional<VoiceProfile> profile_;
    std::unique_ptr<QTemporaryDir> profileCopy_; // the profile's files in use, and a transform that changes nothing
    ProfileKind inUse_ = ProfileKind::None;
};

} // namespace voice
