// PocketSphinx hearing an utterance as one of the phrases, or turning it away as none of them.
#include "Decoder.h"
#include "SpeechSpan.h"
#include "Pronunciation.h"
#include "SpeechEnd.h"
#include "SpokenWords.h"

#include <pocketsphinx.h>
#include <sphinxbase/err.h>

#include <QFileInfo>
#include <QSet>

namespace voice {

namespace {
const char* const commandSearch = "phrases";
const char* const phoneSearch = "phones";
const char* const readingSearch = "reading";
const char* const othersSearchName = "others";
const size_t maxUtteranceSamples = 16000 * 20;
const int regionPadFrames = 25; // searched around the voice, so its first and last sounds are whole

struct Quiet {
    Quiet() { err_set_logfp(nullptr); }
};

// A dictionary word's phones; empty if it is not there.
QStringList phonesOf(ps_decoder_t* ps, const char* word)
{
    QStringList phones;
    if (char* p = ps_lookup_word(ps, word)) {
        phones = QString::fromLatin1(p).split(QLatin1Char(' '), Qt::SkipEmptyParts);
        ckd_free(p);
    }
    return phones;
}

// The last hypothesis's acoustic score, its length in frames, and whether it holds a real word.
struct Segments {
    double acoustic = 0;
    int frames = 0;
    bool speech = false;
    int wordFrames = 0;
    int firstWordFrame = -1, lastWordFrame = -1;
    QStringList pronunciation; // of the words in order
};

Segments sumSegments(ps_decoder_t* ps)
{
    Segments sums;
    for (ps_seg_t* seg = ps_seg_iter(ps); seg; seg = ps_seg_next(seg)) {
        int32 a = 0, l = 0, b = 0;
        int sf = 0, ef = 0;
        ps_seg_prob(seg, &a, &l, &b);
        ps_seg_frames(seg, &sf, &ef);
        sums.acoustic += a;
        sums.frames = std::max(sums.frames, ef + 1);
        const char* w = ps_seg_word(seg);
        if (w && w[0] != '<' && w[0] != '[') {
            sums.speech = true;
            sums.wordFrames += ef - sf + 1;
            if (sums.firstWordFrame < 0)
                sums.firstWordFrame = sf;
            sums.lastWordFrame = ef;
            sums.pronunciation << phonesOf(ps, w);
        }
    }
    return sums;
}
} // namespace

QString MissingModelFile(const DecoderSettings& s)
{
    for (const QString& path : {s.model, s.dictionary})
        if (!QFileInfo::exists(path))
            return path;
    return {};
}

Decoder::Decoder(DecoderSettings settings) : settings_(std::move(settings))
{
    // The library's own log would go to stderr. It is process-wide: a "-logfn" per decoder would
    // close the log file another thread's decoder is writing to, and hang both.
    static Quiet quiet;
    if (const QString missing = MissingModelFile(settings_); !missing.isEmpty()) {
        error_ = QStringLiteral("the speech model is missing (%1); install pocketsphinx-en-us").arg(missing);
        return;
    }
    const QByteArray hmm = settings_.model.toLocal8Bit();
    // An empty dictionary: the grammar's words are added with their first pronunciation only, as
    // alternates let unrelated sounds in, and loading all of it costs 150 ms and 20 MB.
    cmd_ln_t* config = cmd_ln_init(nullptr, ps_args(), TRUE, "-hmm", hmm.constData(), "-dict", "/dev/null",
                                   // Our front end finds the voice; the library's own dropping of quiet frames
                                   // would leave word times that do not match the sound.
                                   "-remove_silence", "no", nullptr);
    if (!config) {
        error_ = QStringLiteral("the speech recogniser rejected its settings");
        return;
    }
    ps_ = ps_init(config);
    cmd_ln_free_r(config);
    if (!ps_) {
        error_ = QStringLiteral("the speech recogniser could not load its model from %1").arg(settings_.model);
        return;
    }
    QString why;
    frontEnd_ = MakeFrontEnd(settings_.frontEnd, &why);
    if (!frontEnd_) {
        ps_free(ps_);
        ps_ = nullptr;
        error_ = why;
        return;
    }
    setRejection(settings_.rejection);
}

Decoder::~Decoder()
{
    if (ps_)
        ps_free(ps_);
}

void Decoder::setRejection(const Rejection& r)
{
    settings_.rejection = r;
    if (!ps_)
        return;
    if ((r.garbageWeight > 0 || r.phonePass) && !garbageWordsAdded_) {
        const QStringList& words = GarbageWords();
        for (int i = 0; i < words.size(); ++i) {
            const QByteArray w = words[i].toLatin1(), phone = words[i].mid(8).toUpper().toLatin1();
            ps_add_word(ps_, w.constData(), phone.constData(), i + 1 == words.size());
        }
        garbageWordsAdded_ = true;
    }
    if (r.phoneReading && !readingSearchAdded_ && QFileInfo::exists(settings_.phoneModel)) {
        // Plain phones and narrow beams: with context phones and the library's beams the reading
        // takes longer than the utterance and 60 MB more.
        cmd_ln_t* config = ps_get_config(ps_);
        const double beam = cmd_ln_float64_r(config, "-beam"), pbeam = cmd_ln_float64_r(config, "-pbeam");
        const long plain = cmd_ln_boolean_r(config, "-allphone_ci");
        cmd_ln_set_float64_r(config, "-beam", 1e-20);
        cmd_ln_set_float64_r(config, "-pbeam", 1e-20);
        cmd_ln_set_boolean_r(config, "-allphone_ci", TRUE);
        readingSearchAdded_ = ps_set_allphone_file(ps_, readingSearch, settings_.phoneModel.toLocal8Bit().constData()) == 0;
        cmd_ln_set_float64_r(config, "-beam", beam);
        cmd_ln_set_float64_r(config, "-pbeam", pbeam);
        cmd_ln_set_boolean_r(config, "-allphone_ci", plain);
        if (hasGrammar_)
            ps_set_search(ps_, commandSearch);
    }
    if (r.phonePass && !phoneSearchAdded_) {
        // Free phones: the best any speech can score, the yardstick for how well a phrase fits.
        // A grammar loop, as it scores with the same context phones as the phrases.
        const QByteArray loop = "#JSGF V1.0;\ngrammar phones;\npublic <phones> = ( " +
                                GarbageWords().join(QStringLiteral(" | ")).toLatin1() + " )+;\n";
        cmd_ln_t* config = ps_get_config(ps_);
        const double lw = cmd_ln_float32_r(config, "-lw");
        if (r.loopWeight > 0)
            cmd_ln_set_float32_r(config, "-lw", r.loopWeight);
        phoneSearchAdded_ = ps_set_jsgf_string(ps_, phoneSearch, loop.constData()) == 0;
        cmd_ln_set_float32_r(config, "-lw", lw);
        if (hasGrammar_)
            ps_set_search(ps_, commandSearch);
    }
    if (!phrases_.empty())
        setPhrases(std::vector<voice::VoicePhrase>(phrases_));
}

bool Decoder::pronounceable(const QString& word) const
{
    return !pronunciation(word).isEmpty();
}

QStringList Decoder::pronunciation(const QString& word) const
{
    return phonesOf(ps_, word.toUtf8().constData());
}

void Decoder::addDictionaryWords(QStringList words)
{
    words.removeDuplicates();
    QStringList missing;
    for (const QString& w : std::as_const(words))
        if (pronunciation(w).isEmpty())
            missing << w;
    const QHash<QString, QString> found = FirstPronunciations(settings_.dictionary, missing);
    int left = int(found.size());
    for (auto it = found.begin(); it != found.end(); ++it)
        ps_add_word(ps_, it.key().toUtf8().constData(), it.value().toLatin1().constData(), --left == 0);
}

QStringList Decoder::competitorsFor(const std::vector<voice::VoicePhrase>& phrases)
{
    const Rejection& r = settings_.rejection;
    const QStringList candidates = CommonWords().mid(0, std::max(0, r.competitors));
    QStringList own;
    for (const auto& p : phrases)
        for (const QStringList& form : SpokenForms(p.phrase))
            own << form;
    // A phrase's word with an ending is another word, said by someone who meant something else:
    // "timer", "alarming", "closes". Where the dictionary has it, it competes too.
    QStringList endings;
    if (r.inflections) {
        for (const QString& w : std::as_const(own)) {
            if (w.endsWith(u'.'))
                continue; // a spelled letter
            // Only endings that add a syllable: a lone "s", "d" or "th" is too faint to tell in a noisy
            // room, and would take "time" for "timed".
            const QString stem = w.endsWith(u'e') ? w.chopped(1) : w;
            for (const QString& e : {w + "es", w + "er", stem + "er", w + "ers", stem + "ing", w + "ing", w + "ful", w + "y"})
                if (!own.contains(e))
                    endings << e;
        }
        endings.removeDuplicates();
    }
    addDictionaryWords(own + candidates + endings);
    std::vector<QStringList> ownPhones;
    for (const QString& w : std::as_const(own))
        ownPhones.push_back(pronunciation(w));
    QStringList chosen;
    for (const QString& c : candidates) {
        const QStringList phones = pronunciation(c);
        if (phones.isEmpty())
            continue;
        // A word that sounds (almost) like one of the phrase's would take its place: "won" for "one".
        bool close = false;
        for (const QStringList& o : ownPhones)
            close = close || PhoneDistance(phones, o) <= r.competitorMargin;
        if (!close)
            chosen << c;
    }
    common_ = chosen;
    for (const QString& e : std::as_const(endings))
        if (!pronunciation(e).isEmpty() && !chosen.contains(e))
            chosen << e;
    return chosen;
}

void Decoder::setPhrases(const std::vector<voice::VoicePhrase>& phrases, QStringList* unsayable)
{
    phrases_ = phrases;
    if (!ps_)
        return;
    const QStringList competitors = competitorsFor(phrases);
    competitors_ = common_;
    grammar_ = BuildGrammar(phrases, [this](const QString& w) { return pronounceable(w); },
                            settings_.rejection.garbageWeight, competitors);
    if (unsayable)
        *unsayable = grammar_.unsayable;
    grammarPending_ = true;
    if (!inUtterance_)
        applyGrammar();
}

void Decoder::applyGrammar()
{
    if (!grammarPending_)
        return;
    grammarPending_ = false;
    activeGrammar_ = grammar_;
    activePhrases_ = phrases_;
    activeCompetitors_ = competitors_;
    hasGrammar_ = false;
    if (activeGrammar_.empty())
        return;
    if (ps_set_jsgf_string(ps_, commandSearch, activeGrammar_.jsgf.constData()) == 0 &&
        ps_set_search(ps_, commandSearch) == 0)
        hasGrammar_ = true;
}

void Decoder::begin()
{
    utterance_.clear();
    raw_.clear();
    partial_.clear();
    voiced_.clear();
    levels_.clear();
    if (frontEnd_)
        frontEnd_->reset();
    inUtterance_ = ps_ && hasGrammar_;
    listening_ = frontEnd_ != nullptr;
}

void Decoder::feed(const short* samples, size_t count)
{
    // Without phrases there is nothing to decode, but the voice is still followed, so that
    // listening until the user stops ends all the same.
    if (!listening_)
        return;
    // A key held down for minutes must not grow without bound; commands are a few seconds long.
    const size_t room = maxUtteranceSamples - std::min(maxUtteranceSamples, utterance_.size() + partial_.size());
    partial_.insert(partial_.end(), samples, samples + std::min(count, room));
    const size_t whole = partial_.size() / AudioFrontEnd::FrameSamples * AudioFrontEnd::FrameSamples;
    for (size_t at = 0; at < whole; at += AudioFrontEnd::FrameSamples) {
        short frame[AudioFrontEnd::FrameSamples];
        std::copy_n(partial_.data() + at, AudioFrontEnd::FrameSamples, frame);
        raw_.insert(raw_.end(), frame, frame + AudioFrontEnd::FrameSamples);
        const AudioFrontEnd::Heard heard = frontEnd_->process(frame);
        voiced_.push_back(heard.voice);
        levels_.push_back(heard.levelDb);
        utterance_.insert(utterance_.end(), frame, frame + AudioFrontEnd::FrameSamples);
    }
    partial_.erase(partial_.begin(), partial_.begin() + long(whole));
}

bool Decoder::decodeUtterance(const char* search)
{
    if (ps_set_search(ps_, search) != 0 || ps_start_utt(ps_) != 0)
        return false;
    // The model normalises over the whole utterance, so it is decoded in one go once it has ended.
    ps_process_raw(ps_, region_.data(), region_.size(), FALSE, TRUE);
    ps_end_utt(ps_);
    return true;
}

double Decoder::scoreWithPhones(int* frames)
{
    *frames = 0;
    double ascr = 0;
    if (decodeUtterance(phoneSearch)) {
        int32 score = 0;
        ps_get_hyp(ps_, &score);
        const Segments sums = sumSegments(ps_);
        ascr = sums.acoustic;
        *frames = sums.frames;
    }
    ps_set_search(ps_, commandSearch);
    return ascr;
}

QStringList Decoder::readPhones()
{
    QStringList phones;
    if (decodeUtterance(readingSearch)) {
        for (ps_seg_t* seg = ps_seg_iter(ps_); seg; seg = ps_seg_next(seg)) {
            // All of it, not only where the phrase was placed: speech beside a phrase is a sign of none.
            const char* p = ps_seg_word(seg);
            if (p && p[0] != '+' && p[0] != '<' && p[0] != '[' && qstrcmp(p, "SIL") != 0)
                phones << QString::fromLatin1(p);
        }
    }
    ps_set_search(ps_, commandSearch);
    return phones;
}

bool Decoder::othersSearch(const QString& winner)
{
    // The live grammar without the winner: the same common words, so its score compares with the
    // winner's as it stands. Not the winner's own words with an ending: those are the winner's to
    // lose to in the first search, not a second phrase.
    std::vector<voice::VoicePhrase> others;
    for (const auto& p : activePhrases_)
        if (p.command != winner)
            others.push_back(p);
    if (others.empty())
        return false;
    const CommandGrammar g = BuildGrammar(others, [this](const QString& w) { return !pronunciation(w).isEmpty(); },
                                          settings_.rejection.garbageWeight, activeCompetitors_);
    // Made afresh each time under one name: kept for every winner, they would cost megabytes.
    const bool made = !g.empty() && ps_set_jsgf_string(ps_, othersSearchName, g.jsgf.constData()) == 0;
    ps_set_search(ps_, commandSearch);
    return made;
}

namespace {
float median(std::vector<float> v)
{
    std::nth_element(v.begin(), v.begin() + long(v.size() / 2), v.end());
    return v[v.size() / 2];
}
} // namespace

float Decoder::voiceOverRoomDb(const SpeechSpan& span) const
{
    std::vector<float> voice, room;
    const size_t n = AudioFrontEnd::FrameSamples;
    for (int f = 0; size_t(f + 1) * n <= raw_.size() && size_t(f) < span.voice.size(); ++f) {
        const float level = FrameLevelDb(raw_.data() + size_t(f) * n, int(n));
        if (span.voice[size_t(f)])
            voice.push_back(level);
        else if (!voiced_[size_t(f)] && (f < span.first - regionPadFrames || f > span.last + regionPadFrames))
            room.push_back(level);
    }
    return voice.empty() || room.empty() ? 0 : median(voice) - median(room);
}

Outcome Decoder::end()
{
    Outcome out;
    listening_ = false;
    if (!inUtterance_) {
        applyGrammar();
        return out;
    }
    inUtterance_ = false;
    const SpeechSpan span = SpeechSpan::find(voiced_);
    out.voiceFrames = span.voiceFrames;
    if (span.empty()) { // nobody spoke
        applyGrammar();
        return out;
    }
    // Cleaning is what lets a phrase through noise; in a quiet room it only distorts the voice.
    out.voiceOverRoomDb = voiceOverRoomDb(span);
    out.rawSound = settings_.frontEnd.cleanForDecoder && out.voiceOverRoomDb >= settings_.frontEnd.rawAboveDb;
    const std::vector<short>& sound = out.rawSound ? raw_ : utterance_;
    const int firstFrame = std::max(0, span.first - regionPadFrames);
    const size_t from = size_t(firstFrame) * AudioFrontEnd::FrameSamples;
    const size_t to = std::min(sound.size(), size_t(span.last + 1 + regionPadFrames) * AudioFrontEnd::FrameSamples);
    region_.assign(sound.begin() + long(from), sound.begin() + long(to));
    // A faint hiss, as from a quiet microphone: exact zeros around the voice (a microphone behind
    // noise suppression) have no spectrum, and the model's features of them are far from anything
    // it learnt, which throws its normalisation over the utterance.
    uint32_t x = 12345;
    for (short& v : region_) {
        int hiss = 0;
        for (int k = 0; k < 4; ++k) {
            x = x * 1664525u + 1013904223u;
            hiss += int(x >> 27) - 16;
        }
        v = short(std::clamp(int(v) + hiss / 2, -32768, 32767));
    }
    if (!decodeUtterance(commandSearch)) {
        applyGrammar();
        return out;
    }
    int32 score = 0;
    const char* hyp = ps_get_hyp(ps_, &score);
    out.words = hyp ? QString::fromUtf8(hyp) : QString();
    const Segments sums = sumSegments(ps_);
    const double ascr = sums.acoustic;
    const int frames = sums.frames;
    const double pathScore = score;
    out.hadSpeech = sums.speech;
    out.phrasePhones = int(sums.pronunciation.size());
    out.wordFrames = sums.wordFrames;
    out.frames = frames;
    out.heard = activeGrammar_.lookup(out.words);
    out.margin = 1e9;
    const Rejection& r = settings_.rejection;
    if (sums.speech) {
        // Voice the phrase's words do not account for: the search matched a phrase to part of
        // something longer.
        const int wordsFrom = firstFrame + sums.firstWordFrame, wordsTo = firstFrame + sums.lastWordFrame;
        for (int f = 0; f < int(span.voice.size()); ++f) {
            const bool voice = span.voice[size_t(f)];
            out.voiceBefore += voice && f < wordsFrom;
            out.voiceAfter += voice && f > wordsTo;
            out.strayFrames += voice && (f < wordsFrom - r.voiceBeforeWords || f > wordsTo + r.voiceAfterWords);
        }
        if (out.strayFrames > r.maxStrayFrames)
            out.heard = {};
    }
    if (!out.heard.command.isEmpty()) {
        if (othersSearch(out.heard.command) && decodeUtterance(othersSearchName)) {
            // Whole path scores: the search chose by them, with its penalties for words and silences.
            if (const char* second = ps_get_hyp(ps_, &score); second && *second) {
                out.runnerUp = QString::fromUtf8(second);
                out.margin = (pathScore - score) / double(std::max(1, span.voiceFrames));
            }
            ps_set_search(ps_, commandSearch);
        }
        if (out.margin < r.minMargin)
            out.heard = {};
    }
    if (!out.heard.command.isEmpty() && r.phoneReading && readingSearchAdded_ && !sums.pronunciation.isEmpty()) {
        const QStringList heard = readPhones();
        out.heardPhones = heard.join(QLatin1Char(' '));
        out.phoneEdits = PhoneDistance(heard, sums.pronunciation);
        if (out.phoneEdits > r.editsPerPhone * double(sums.pronunciation.size()) + r.extraEdits)
            out.heard = {};
    }
    if (!out.heard.command.isEmpty() && r.phonePass && phoneSearchAdded_ && frames > 0) {
        int phoneFrames = 0;
        const double phones = scoreWithPhones(&phoneFrames);
        if (phoneFrames > 0) {
            out.phoneGap = (phones - ascr) / double(std::max(frames, phoneFrames));
            if (out.phoneGap > settings_.rejection.maxPhoneGap)
                out.heard = {};
        }
    }
    // A grammar built while this utterance ran takes over now.
    applyGrammar();
    return out;
}

Outcome Decoder::decode(const std::vector<short>& samples16k)
{
    begin();
    feed(samples16k.data(), samples16k.size());
    return end();
}

} // namespace voice
