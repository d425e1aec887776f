#include "Decoder.h"
#include "Pronunciation.h"

#include <pocketsphinx.h>
#include <sphinxbase/err.h>

#include <QFileInfo>
#include <QSet>

namespace voice {

namespace {
const char* const commandSearch = "phrases";
const char* const phoneSearch = "phones";

struct Quiet {
    Quiet() { err_set_logfp(nullptr); }
};

// The last hypothesis's acoustic score, its length in frames, and whether it holds a real word.
struct Segments {
    double acoustic = 0;
    int frames = 0;
    bool speech = false;
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
        if (w && w[0] != '<' && w[0] != '[')
            sums.speech = true;
    }
    return sums;
}
} // namespace

Decoder::Decoder(DecoderSettings settings) : settings_(std::move(settings))
{
    static Quiet quiet; // the library's own log would go to stderr
    for (const QString& path : {settings_.model, settings_.dictionary})
        if (!QFileInfo::exists(path)) {
            error_ = QStringLiteral("the speech model is missing (%1); install pocketsphinx-en-us").arg(path);
            return;
        }
    const QByteArray hmm = settings_.model.toLocal8Bit(), dict = settings_.dictionary.toLocal8Bit();
    cmd_ln_t* config = cmd_ln_init(nullptr, ps_args(), TRUE, "-hmm", hmm.constData(), "-dict", dict.constData(),
                                   "-logfn", "/dev/null", nullptr);
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
    setRejection(settings_.rejection);
}

Decoder::~Decoder()
{
    if (ps_) {
        if (inUtterance_)
            ps_end_utt(ps_);
        ps_free(ps_);
    }
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
    if (r.phonePass && !phoneSearchAdded_) {
        // Free phones: the best any speech can score, the yardstick for how well a phrase fits.
        // A grammar loop rather than the allphone search, which is some hundred times slower here.
        const QByteArray loop = "#JSGF V1.0;\ngrammar phones;\npublic <phones> = ( " +
                                GarbageWords().join(QStringLiteral(" | ")).toLatin1() + " )+;\n";
        phoneSearchAdded_ = ps_set_jsgf_string(ps_, phoneSearch, loop.constData()) == 0;
        if (hasGrammar_)
            ps_set_search(ps_, commandSearch);
    }
    if (!phrases_.empty())
        setPhrases(std::vector<character::VoicePhrase>(phrases_));
}

bool Decoder::pronounceable(const QString& word, QStringList* derived)
{
    const QByteArray w = word.toUtf8();
    if (char* known = ps_lookup_word(ps_, w.constData())) {
        ckd_free(known);
        return true;
    }
    const QString phones = DerivePronunciation(word);
    if (phones.isEmpty())
        return false;
    if (ps_add_word(ps_, w.constData(), phones.toLatin1().constData(), TRUE) < 0)
        return false;
    if (derived)
        *derived << word;
    return true;
}

void Decoder::setPhrases(const std::vector<character::VoicePhrase>& phrases, QStringList* derived,
                         QStringList* unsayable)
{
    phrases_ = phrases;
    if (!ps_)
        return;
    grammar_ = BuildGrammar(phrases, [this, derived](const QString& w) { return pronounceable(w, derived); },
                            settings_.rejection.garbageWeight);
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
    if (!ps_ || !hasGrammar_)
        return;
    if (inUtterance_)
        ps_end_utt(ps_);
    inUtterance_ = ps_start_utt(ps_) == 0;
}

void Decoder::feed(const short* samples, size_t count)
{
    if (!inUtterance_)
        return;
    if (phoneSearchAdded_)
        utterance_.insert(utterance_.end(), samples, samples + count);
    ps_process_raw(ps_, samples, count, FALSE, FALSE);
}

bool Decoder::inSpeech() const
{
    return inUtterance_ && ps_get_in_speech(ps_);
}

double Decoder::scoreWithPhones(int* frames)
{
    *frames = 0;
    if (ps_set_search(ps_, phoneSearch) != 0)
        return 0;
    double ascr = 0;
    if (ps_start_utt(ps_) == 0) {
        ps_process_raw(ps_, utterance_.data(), utterance_.size(), FALSE, TRUE);
        ps_end_utt(ps_);
        int32 score = 0;
        ps_get_hyp(ps_, &score);
        const Segments sums = sumSegments(ps_);
        ascr = sums.acoustic;
        *frames = sums.frames;
    }
    ps_set_search(ps_, commandSearch);
    return ascr;
}

Outcome Decoder::end()
{
    Outcome out;
    if (!inUtterance_) {
        applyGrammar();
        return out;
    }
    ps_end_utt(ps_);
    inUtterance_ = false;
    int32 score = 0;
    const char* hyp = ps_get_hyp(ps_, &score);
    out.words = hyp ? QString::fromUtf8(hyp) : QString();
    const Segments sums = sumSegments(ps_);
    const double ascr = sums.acoustic;
    const int frames = sums.frames;
    out.hadSpeech = sums.speech;
    out.heard = activeGrammar_.lookup(out.words);
    if (!out.heard.command.isEmpty() && settings_.rejection.phonePass && phoneSearchAdded_ && frames > 0) {
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
