// PocketSphinx hearing an utterance as one of the phrases, or turning it away as none of them.
#include "Decoder.h"
#include "SpeechSpan.h"
#include "Pronunciation.h"
#include "SpeechEnd.h"
#include "SpokenWords.h"
#include "SphinxLibrary.h"


#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QTemporaryDir>

namespace voice {

// What the words of a search add up to.
struct Segments {
    double acoustic = 0;
    int frames = 0;
    bool speech = false;
    int wordFrames = 0;
    int firstWordFrame = -1, lastWordFrame = -1;
    QStringList pronunciation; // of the words in order
};

namespace {
const char* const commandSearch = "phrases";
const char* const phoneSearch = "phones";
const char* const readingSearch = "reading";
const char* const othersSearchName = "others";
const char* const sentenceSearch = "sentence";
const char* const checkSearch = "check";

// A dictionary word's phones; empty if it is not there.
QStringList phonesOf(const SphinxLibrary& sphinx, ps_decoder_t* ps, const char* word)
{
    QStringList phones;
    if (char* p = sphinx.ps_lookup_word(ps, word)) {
        phones = QString::fromLatin1(p).split(QLatin1Char(' '), Qt::SkipEmptyParts);
        sphinx.ckd_free(p);
    }
    return phones;
}

// The last hypothesis's acoustic score, its length in frames, and whether it holds a real word.
Segments sumSegments(const SphinxLibrary& sphinx, ps_decoder_t* ps)
{
    Segments sums;
    for (ps_seg_t* seg = sphinx.ps_seg_iter(ps); seg; seg = sphinx.ps_seg_next(seg)) {
        int32 a = 0, l = 0, b = 0;
        int sf = 0, ef = 0;
        sphinx.ps_seg_prob(seg, &a, &l, &b);
        sphinx.ps_seg_frames(seg, &sf, &ef);
        sums.acoustic += a;
        sums.frames = std::max(sums.frames, ef + 1);
        const char* w = sphinx.ps_seg_word(seg);
        if (w && w[0] != '<' && w[0] != '[') {
            sums.speech = true;
            sums.wordFrames += ef - sf + 1;
            if (sums.firstWordFrame < 0)
                sums.firstWordFrame = sf;
            sums.lastWordFrame = ef;
            sums.pronunciation << phonesOf(sphinx, ps, w);
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

platform::Result<std::unique_ptr<Decoder>> Decoder::Open(DecoderSettings settings)
{
    if (const QString missing = MissingModelFile(settings); !missing.isEmpty())
        return platform::Fail(QStringLiteral("the speech model is missing (%1); install pocketsphinx-en-us").arg(missing));
    auto opened = SphinxLibrary::Open();
    if (!opened)
        return platform::Fail(opened.why());
    auto sphinx = std::make_unique<const SphinxLibrary>(*opened);
    const QByteArray hmm = settings.model.toLocal8Bit();
    // An empty dictionary: the grammar's words are added with their first pronunciation only, as
    // alternates let unrelated sounds in, and loading all of it costs 150 ms and 20 MB.
    cmd_ln_t* config = sphinx->cmd_ln_init(nullptr, sphinx->ps_args(), TRUE, "-hmm", hmm.constData(), "-dict",
                                           "/dev/null",
                                           // Our front end finds the voice; the library's own dropping of quiet
                                           // frames would leave word times that do not match the sound.
                                           "-remove_silence", "no", nullptr);
    if (!config)
        return platform::Fail(QStringLiteral("the speech recogniser rejected its settings"));
    ps_decoder_s* ps = sphinx->ps_init(config);
    sphinx->cmd_ln_free_r(config);
    if (!ps)
        return platform::Fail(QStringLiteral("the speech recogniser could not load its model from %1").arg(settings.model));
    auto frontEnd = MakeFrontEnd(settings.frontEnd);
    if (!frontEnd) {
        sphinx->ps_free(ps);
        return platform::Fail(frontEnd.why());
    }
    return std::unique_ptr<Decoder>(new Decoder(std::move(settings), std::move(sphinx), ps, std::move(*frontEnd)));
}

Decoder::Decoder(DecoderSettings settings, std::unique_ptr<const SphinxLibrary> sphinx, ps_decoder_s* ps,
                 std::unique_ptr<AudioFrontEnd> frontEnd)
    : settings_(std::move(settings)), sphinx_(std::move(sphinx)), ps_(ps), utterance_(std::move(frontEnd))
{
    setRejection(settings_.rejection);
}

Decoder::~Decoder()
{
    sphinx_->ps_free(ps_);
}

void Decoder::setRejection(const Rejection& r)
{
    settings_.rejection = r;
    if ((r.garbageWeight > 0 || r.phonePass) && !garbageWordsAdded_) {
        const QStringList& words = GarbageWords();
        for (int i = 0; i < words.size(); ++i) {
            const QByteArray w = words[i].toLatin1(), phone = words[i].mid(8).toUpper().toLatin1();
            sphinx_->ps_add_word(ps_, w.constData(), phone.constData(), i + 1 == words.size());
        }
        garbageWordsAdded_ = true;
    }
    if (r.phoneReading && !readingSearchAdded_ && QFileInfo::exists(settings_.phoneModel)) {
        // Plain phones and narrow beams: with context phones and the library's beams the reading
        // takes longer than the utterance and 60 MB more.
        cmd_ln_t* config = sphinx_->ps_get_config(ps_);
        const double beam = sphinx_->cmd_ln_float_r(config, "-beam"), pbeam = sphinx_->cmd_ln_float_r(config, "-pbeam");
        const long plain = sphinx_->cmd_ln_int_r(config, "-allphone_ci");
        sphinx_->cmd_ln_set_float_r(config, "-beam", 1e-20);
        sphinx_->cmd_ln_set_float_r(config, "-pbeam", 1e-20);
        sphinx_->cmd_ln_set_int_r(config, "-allphone_ci", TRUE);
        readingSearchAdded_ = sphinx_->ps_set_allphone_file(ps_, readingSearch, settings_.phoneModel.toLocal8Bit().constData()) == 0;
        sphinx_->cmd_ln_set_float_r(config, "-beam", beam);
        sphinx_->cmd_ln_set_float_r(config, "-pbeam", pbeam);
        sphinx_->cmd_ln_set_int_r(config, "-allphone_ci", plain);
        if (hasGrammar_)
            sphinx_->ps_set_search(ps_, commandSearch);
    }
    if (r.phonePass && !phoneSearchAdded_) {
        // Free phones: the best any speech can score, the yardstick for how well a phrase fits.
        // A grammar loop, as it scores with the same context phones as the phrases.
        const QByteArray loop = "#JSGF V1.0;\ngrammar phones;\npublic <phones> = ( " +
                                GarbageWords().join(QStringLiteral(" | ")).toLatin1() + " )+;\n";
        cmd_ln_t* config = sphinx_->ps_get_config(ps_);
        const double lw = sphinx_->cmd_ln_float_r(config, "-lw");
        if (r.loopWeight > 0)
            sphinx_->cmd_ln_set_float_r(config, "-lw", r.loopWeight);
        phoneSearchAdded_ = sphinx_->ps_set_jsgf_string(ps_, phoneSearch, loop.constData()) == 0;
        sphinx_->cmd_ln_set_float_r(config, "-lw", lw);
        if (hasGrammar_)
            sphinx_->ps_set_search(ps_, commandSearch);
    }
    if (!latest_.phrases.empty())
        setPhrases(std::vector<voice::VoicePhrase>(latest_.phrases));
}

bool Decoder::pronounceable(const QString& word) const
{
    return !pronunciation(word).isEmpty();
}

QStringList Decoder::pronunciation(const QString& word) const
{
    return phonesOf(*sphinx_, ps_, word.toUtf8().constData());
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
        sphinx_->ps_add_word(ps_, it.key().toUtf8().constData(), it.value().toLatin1().constData(), --left == 0);
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

void Decoder::setPhrases(const std::vector<voice::VoicePhrase>& phrases)
{
    latest_.phrases = phrases;
    const QStringList competitors = competitorsFor(phrases);
    latest_.competitors = common_;
    latest_.grammar = BuildGrammar(phrases, [this](const QString& w) { return pronounceable(w); },
                                   settings_.rejection.garbageWeight, competitors);
    grammarPending_ = true;
    if (!inUtterance_)
        applyGrammar();
}

void Decoder::applyGrammar()
{
    if (!grammarPending_)
        return;
    grammarPending_ = false;
    active_ = latest_;
    hasGrammar_ = false;
    if (active_.grammar.empty())
        return;
    if (sphinx_->ps_set_jsgf_string(ps_, commandSearch, active_.grammar.jsgf.constData()) == 0 &&
        sphinx_->ps_set_search(ps_, commandSearch) == 0)
        hasGrammar_ = true;
}

void Decoder::begin()
{
    utterance_.begin();
    inUtterance_ = hasGrammar_;
    listening_ = true;
}

void Decoder::feed(const short* samples, size_t count)
{
    // Without phrases there is nothing to decode, but the voice is still followed, so that
    // listening until the user stops ends all the same.
    if (listening_)
        utterance_.feed(samples, count);
}

bool Decoder::decodeUtterance(const char* search)
{
    if (sphinx_->ps_set_search(ps_, search) != 0 || sphinx_->ps_start_utt(ps_) != 0)
        return false;
    // The model normalises over the whole utterance, so it is decoded in one go once it has ended.
    sphinx_->ps_process_raw(ps_, region_.data(), region_.size(), FALSE, TRUE);
    sphinx_->ps_end_utt(ps_);
    return true;
}

double Decoder::scoreWithPhones(int* frames)
{
    *frames = 0;
    double ascr = 0;
    if (decodeUtterance(phoneSearch)) {
        int32 score = 0;
        sphinx_->ps_get_hyp(ps_, &score);
        const Segments sums = sumSegments(*sphinx_, ps_);
        ascr = sums.acoustic;
        *frames = sums.frames;
    }
    sphinx_->ps_set_search(ps_, commandSearch);
    return ascr;
}

QStringList Decoder::readPhones()
{
    QStringList phones;
    if (decodeUtterance(readingSearch)) {
        for (ps_seg_t* seg = sphinx_->ps_seg_iter(ps_); seg; seg = sphinx_->ps_seg_next(seg)) {
            // All of it, not only where the phrase was placed: speech beside a phrase is a sign of none.
            const char* p = sphinx_->ps_seg_word(seg);
            if (p && p[0] != '+' && p[0] != '<' && p[0] != '[' && qstrcmp(p, "SIL") != 0)
                phones << QString::fromLatin1(p);
        }
    }
    sphinx_->ps_set_search(ps_, commandSearch);
    return phones;
}

bool Decoder::othersSearch(const QString& winner)
{
    // The live grammar without the winner: the same common words, so its score compares with the
    // winner's as it stands. Not the winner's own words with an ending: those are the winner's to
    // lose to in the first search, not a second phrase.
    std::vector<voice::VoicePhrase> others;
    for (const auto& p : active_.phrases)
        if (p.command != winner)
            others.push_back(p);
    if (others.empty())
        return false;
    const CommandGrammar g = BuildGrammar(others, [this](const QString& w) { return !pronunciation(w).isEmpty(); },
                                          settings_.rejection.garbageWeight, active_.competitors);
    // Made afresh each time under one name: kept for every winner, they would cost megabytes.
    const bool made = !g.empty() && sphinx_->ps_set_jsgf_string(ps_, othersSearchName, g.jsgf.constData()) == 0;
    sphinx_->ps_set_search(ps_, commandSearch);
    return made;
}

bool Decoder::hear(Outcome& out, SpeechSpan& span)
{
    Utterance::Cut cut = utterance_.cut(settings_.frontEnd);
    span = std::move(cut.span);
    out.voiceFrames = span.voiceFrames;
    if (span.empty())
        return false;
    out.voiceOverRoomDb = cut.voiceOverRoomDb;
    out.rawSound = cut.rawSound;
    region_ = std::move(cut.region);
    regionFirstFrame_ = cut.firstFrame;
    out.model = modelFor(Room{out.rawSound, out.voiceOverRoomDb});
    if (!useModel(out.model))
        out.model = inUse_;
    return true;
}

ProfileKind Decoder::modelFor(const Room& room) const
{
    if (!profile_ || profile_->room.near(room))
        return profile_ ? profile_->kind : ProfileKind::None;
    // Made in noise, even the transform has cost accuracy in a quiet room; made in quiet, it still
    // helps in noise, where the rest of it has cost as much as it gained.
    return room.quiet ? ProfileKind::None : ProfileKind::Transform;
}

namespace {
// Leaves every mean as it is: what the model is told when it is to hear with the means it is given.
QByteArray identityTransform()
{
    QByteArray t = "1\n3\n";
    for (int s = 0; s < 3; ++s) {
        t += "13\n";
        for (int i = 0; i < 13; ++i) {
            for (int j = 0; j < 13; ++j)
                t += i == j ? "1.0 " : "0.0 ";
            t += "\n";
        }
        t += QByteArray("0.0 ").repeated(13) + "\n" + QByteArray("1.0 ").repeated(13) + "\n";
    }
    return t;
}
} // namespace

platform::Result<> Decoder::setProfile(const std::optional<VoiceProfile>& profile)
{
    // The model goes back to stock first: the files of the profile in use are about to be replaced.
    if (profileCopy_ && !useModel(ProfileKind::None))
        return platform::Fail(QStringLiteral("the speech recogniser could not go back to its own model"));
    profile_.reset();
    if (profileCopy_)
        for (const char* f : {"mllr_matrix", "means", "variances"})
            QFile::remove(profileCopy_->filePath(QLatin1String(f)));
    if (!profile || !profile->usable())
        return {};
    if (!profileCopy_) {
        profileCopy_ = std::make_unique<QTemporaryDir>();
        QFile identity(profileCopy_->filePath(QStringLiteral("identity")));
        if (!profileCopy_->isValid() || !identity.open(QIODevice::WriteOnly) || identity.write(identityTransform()) < 0) {
            profileCopy_.reset();
            return platform::Fail(QStringLiteral("no room for the voice profile in the temporary folder"));
        }
    }
    VoiceProfile copy = *profile;
    copy.folder = profileCopy_->path();
    QStringList files{QStringLiteral("mllr_matrix")};
    if (profile->kind == ProfileKind::Full)
        files << QStringLiteral("means") << QStringLiteral("variances");
    for (const QString& f : files) {
        if (!QFile::copy(profile->folder + u'/' + f, profileCopy_->filePath(f)))
            return platform::Fail(QStringLiteral("the voice profile in %1 could not be read").arg(profile->folder));
    }
    profile_ = copy;
    return {};
}

bool Decoder::useModel(ProfileKind kind)
{
    if (kind == inUse_)
        return true;
    if (!profileCopy_ || (kind != ProfileKind::None && !profile_))
        return false;
    // The means and variances are read again from these and transformed: a few milliseconds, where
    // starting the decoder afresh would take most of a second and every search with it.
    const bool full = kind == ProfileKind::Full;
    const QByteArray means = (full ? profileCopy_->filePath(QStringLiteral("means")) : settings_.model + QStringLiteral("/means")).toLocal8Bit();
    const QByteArray variances =
        (full ? profileCopy_->filePath(QStringLiteral("variances")) : settings_.model + QStringLiteral("/variances")).toLocal8Bit();
    const QByteArray transform =
        profileCopy_->filePath(kind == ProfileKind::Transform ? QStringLiteral("mllr_matrix") : QStringLiteral("identity")).toLocal8Bit();
    ps_mllr_t* mllr = sphinx_->ps_mllr_read(transform.constData());
    if (!mllr)
        return false;
    cmd_ln_t* config = sphinx_->ps_get_config(ps_);
    sphinx_->cmd_ln_set_str_r(config, "_mean", means.constData());
    sphinx_->cmd_ln_set_str_r(config, "_var", variances.constData());
    sphinx_->ps_update_mllr(ps_, mllr); // the decoder keeps it, and frees it with the next

    inUse_ = kind;
    return true;
}

QString Decoder::recognise(const std::vector<short>& heard, const QStringList& vocabulary, ProfileKind model)
{
    if (!useModel(model))
        return {};
    addDictionaryWords(vocabulary);
    QStringList known;
    for (const QString& w : vocabulary)
        if (pronounceable(w))
            known << w;
    if (known.isEmpty())
        return {};
    const QByteArray jsgf = "#JSGF V1.0;\ngrammar check;\npublic <s> = <w>+;\n<w> = " +
                            known.join(QStringLiteral(" | ")).toUtf8() + ";\n";
    QString hyp;
    if (sphinx_->ps_set_jsgf_string(ps_, checkSearch, jsgf.constData()) == 0) {
        region_ = heard;
        if (decodeUtterance(checkSearch))
            if (const char* h = sphinx_->ps_get_hyp(ps_, nullptr))
                hyp = QString::fromUtf8(h);
    }
    if (hasGrammar_)
        sphinx_->ps_set_search(ps_, commandSearch);
    return hyp;
}

Reading Decoder::endReading(const QString& sentence)
{
    Reading r;
    listening_ = false;
    inUtterance_ = false;
    Outcome out;
    SpeechSpan span;
    if (!hear(out, span)) {
        applyGrammar();
        return r;
    }
    r.room = Room{out.rawSound, out.voiceOverRoomDb};
    r.sound = region_;
    const ReadingLimits& limits = settings_.reading;
    std::vector<float> levels;
    qint64 samples = 0, clipped = 0;
    const size_t n = AudioFrontEnd::FrameSamples;
    const std::vector<short>& raw = utterance_.raw();
    for (size_t f = 0; f < span.voice.size() && (f + 1) * n <= raw.size(); ++f) {
        if (!span.voice[f])
            continue;
        levels.push_back(FrameLevelDb(raw.data() + f * n, int(n)));
        for (size_t i = f * n; i < (f + 1) * n; ++i)
            clipped += std::abs(int(raw[i])) >= 32000;
        samples += qint64(n);
    }
    r.clippedShare = samples ? double(clipped) / double(samples) : 0;
    r.levelDb = Median(std::move(levels));
    const std::vector<QStringList> forms = SpokenForms(sentence);
    const QStringList words = forms.empty() ? QStringList() : forms.front();
    addDictionaryWords(words);
    const QByteArray jsgf = "#JSGF V1.0;\ngrammar sentence;\npublic <s> = " + words.join(u' ').toUtf8() + ";\n";
    if (r.clippedShare > limits.clippedShare)
        r.problem = Reading::Problem::Clipped;
    else if (r.levelDb < limits.quietestDb || (!out.rawSound && out.voiceOverRoomDb < limits.lowestOverRoomDb))
        r.problem = Reading::Problem::TooQuiet;
    else if (words.isEmpty() || sphinx_->ps_set_jsgf_string(ps_, sentenceSearch, jsgf.constData()) != 0
             || !decodeUtterance(sentenceSearch))
        r.problem = Reading::Problem::Mismatch;
    else {
        const char* hyp = sphinx_->ps_get_hyp(ps_, nullptr);
        const Segments sums = sumSegments(*sphinx_, ps_);
        r.problem = hyp && *hyp && sums.speech ? Reading::Problem::None : Reading::Problem::Mismatch;
        const int wordsFrom = regionFirstFrame_ + sums.firstWordFrame, wordsTo = regionFirstFrame_ + sums.lastWordFrame;
        for (int f = 0; f < int(span.voice.size()); ++f)
            r.strayFrames += span.voice[size_t(f)] && (f < wordsFrom - 5 || f > wordsTo + 15);
        int phoneFrames = 0;
        const double phones = phoneSearchAdded_ ? scoreWithPhones(&phoneFrames) : 0;
        if (phoneFrames > 0)
            r.phoneGap = (phones - sums.acoustic) / double(std::max(sums.frames, phoneFrames));
        if (r.phoneGap > limits.maxPhoneGap || r.strayFrames > limits.maxStrayFrames)
            r.problem = Reading::Problem::Mismatch;
    }
    if (hasGrammar_)
        sphinx_->ps_set_search(ps_, commandSearch);
    applyGrammar();
    return r;
}

Outcome Decoder::end()
{
    Outcome out;
    listening_ = false;
    const bool decoding = std::exchange(inUtterance_, false);
    SpeechSpan span;
    if (decoding && hear(out, span) && decodeUtterance(commandSearch))
        judge(out, span);
    // A grammar built while this utterance ran takes over now.
    applyGrammar();
    return out;
}

void Decoder::judge(Outcome& out, const SpeechSpan& span)
{
    int32 score = 0;
    const char* hyp = sphinx_->ps_get_hyp(ps_, &score);
    out.words = hyp ? QString::fromUtf8(hyp) : QString();
    const Segments sums = sumSegments(*sphinx_, ps_);
    out.hadSpeech = sums.speech;
    out.phrasePhones = int(sums.pronunciation.size());
    out.wordFrames = sums.wordFrames;
    out.frames = sums.frames;
    out.heard = active_.grammar.lookup(out.words);
    out.margin = 1e9;
    const Rejection& r = settings_.rejection;
    if (sums.speech) {
        // Voice the phrase's words do not account for: the search matched a phrase to part of
        // something longer.
        const int wordsFrom = regionFirstFrame_ + sums.firstWordFrame, wordsTo = regionFirstFrame_ + sums.lastWordFrame;
        for (int f = 0; f < int(span.voice.size()); ++f) {
            const bool voice = span.voice[size_t(f)];
            out.voiceBefore += voice && f < wordsFrom;
            out.voiceAfter += voice && f > wordsTo;
            out.strayFrames += voice && (f < wordsFrom - r.voiceBeforeWords || f > wordsTo + r.voiceAfterWords);
        }
        if (out.strayFrames > r.maxStrayFrames)
            out.heard = {};
    }
    if (!out.heard.command.isEmpty())
        measureMargin(out, span, score);
    if (!out.heard.command.isEmpty() && out.margin < r.minMargin)
        out.heard = {};
    if (!out.heard.command.isEmpty())
        checkPhones(out, sums);
}

// How far the winner's whole path score is above that of the best other phrase, per frame of voice.
void Decoder::measureMargin(Outcome& out, const SpeechSpan& span, int pathScore)
{
    if (!othersSearch(out.heard.command) || !decodeUtterance(othersSearchName))
        return;
    // Whole path scores: the search chose by them, with its penalties for words and silences.
    int32 score = 0;
    if (const char* second = sphinx_->ps_get_hyp(ps_, &score); second && *second) {
        out.runnerUp = QString::fromUtf8(second);
        out.margin = (double(pathScore) - score) / double(std::max(1, span.voiceFrames));
    }
    sphinx_->ps_set_search(ps_, commandSearch);
}

// The phrase against the utterance read as free phones: speech unlike the phrase fits them far better.
void Decoder::checkPhones(Outcome& out, const Segments& sums)
{
    const Rejection& r = settings_.rejection;
    if (r.phoneReading && readingSearchAdded_ && !sums.pronunciation.isEmpty()) {
        const QStringList heard = readPhones();
        out.heardPhones = heard.join(QLatin1Char(' '));
        out.phoneEdits = PhoneDistance(heard, sums.pronunciation);
        if (out.phoneEdits > r.editsPerPhone * double(sums.pronunciation.size()) + r.extraEdits)
            out.heard = {};
    }
    if (!out.heard.command.isEmpty() && r.phonePass && phoneSearchAdded_ && sums.frames > 0) {
        int phoneFrames = 0;
        const double phones = scoreWithPhones(&phoneFrames);
        if (phoneFrames > 0) {
            out.phoneGap = (phones - sums.acoustic) / double(std::max(sums.frames, phoneFrames));
            if (out.phoneGap > r.maxPhoneGap)
                out.heard = {};
        }
    }
}

Outcome Decoder::decode(const std::vector<short>& samples16k)
{
    begin();
    feed(samples16k.data(), samples16k.size());
    return end();
}

} // namespace voice
