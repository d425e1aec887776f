// One connection to the desktop's sound server (PulseAudio, or PipeWire's PulseAudio service).
#include "SoundServer.h"

#include "PulseLibrary.h"

#include <QElapsedTimer>
#include <optional>

namespace voice {

namespace {
// A sound server that does not answer within this long is taken for none.
constexpr int AnswerMs = 2000;

struct SourceQuery {
    bool answered = false;
    QString defaultSource;
    std::optional<MicrophoneInfo> found;
    bool isMonitor = false;
};

void OnServerInfo(pa_context*, const pa_server_info* info, void* data)
{
    auto* q = static_cast<SourceQuery*>(data);
    if (info && info->default_source_name)
        q->defaultSource = QString::fromUtf8(info->default_source_name);
    q->answered = true;
}

void OnSourceInfo(pa_context*, const pa_source_info* info, int eol, void* data)
{
    auto* q = static_cast<SourceQuery*>(data);
    if (eol) {
        q->answered = true;
        return;
    }
    if (info && !q->found) {
        q->found = MicrophoneInfo{QString::fromUtf8(info->name), QString::fromUtf8(info->description)};
        q->isMonitor = info->monitor_of_sink != PA_INVALID_INDEX;
    }
}

platform::Failure NoServer(const QString& why)
{
    return platform::Fail(QStringLiteral("No sound server answered (%1), so voice commands are off.").arg(why));
}
} // namespace

SoundServer::SoundServer(std::shared_ptr<const PulseLibrary> pulse) : pulse_(std::move(pulse))
{
    loop_ = pulse_->pa_mainloop_new();
    context_ = pulse_->pa_context_new(pulse_->pa_mainloop_get_api(loop_), "Varrow");
}

SoundServer::~SoundServer()
{
    if (context_) {
        pulse_->pa_context_disconnect(context_);
        pulse_->pa_context_unref(context_);
    }
    pulse_->pa_mainloop_free(loop_);
}

platform::Result<std::unique_ptr<SoundServer>> SoundServer::connect(std::shared_ptr<const PulseLibrary>& pulse)
{
    if (!pulse) {
        auto opened = PulseLibrary::Open();
        if (!opened)
            return NoServer(opened.why());
        pulse = std::make_shared<const PulseLibrary>(*opened);
    }
    std::unique_ptr<SoundServer> server(new SoundServer(pulse));
    const PulseLibrary& pa = *server->pulse_;
    if (!server->context_ || pa.pa_context_connect(server->context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0
        || !server->pumpUntil([&] { return pa.pa_context_get_state(server->context_) == PA_CONTEXT_READY; }, AnswerMs))
        return NoServer(server->context_ ? server->lastError() : QStringLiteral("out of memory"));
    return server;
}

bool SoundServer::alive() const
{
    const pa_context_state_t state = pulse_->pa_context_get_state(context_);
    return state != PA_CONTEXT_FAILED && state != PA_CONTEXT_TERMINATED;
}

QString SoundServer::lastError() const
{
    return QString::fromUtf8(pulse_->pa_strerror(pulse_->pa_context_errno(context_)));
}

bool SoundServer::pump(int waitMs)
{
    if (!alive())
        return false;
    if (pulse_->pa_mainloop_prepare(loop_, waitMs * 1000) < 0 || pulse_->pa_mainloop_poll(loop_) < 0
        || pulse_->pa_mainloop_dispatch(loop_) < 0)
        return false;
    return alive();
}

bool SoundServer::pumpUntil(const std::function<bool()>& done, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        const qint64 left = timeoutMs - clock.elapsed();
        if (left <= 0 || !pump(int(left)))
            return false;
    }
    return true;
}

platform::Result<MicrophoneInfo> SoundServer::microphone(const QString& wanted)
{
    SourceQuery q;
    QString name = wanted;
    if (name.isEmpty()) {
        pulse_->pa_operation_unref(pulse_->pa_context_get_server_info(context_, OnServerInfo, &q));
        if (!pumpUntil([&] { return q.answered; }, AnswerMs))
            return NoServer(lastError());
        name = q.defaultSource;
    }
    if (!name.isEmpty()) {
        q.answered = false;
        const QByteArray utf8 = name.toUtf8();
        pulse_->pa_operation_unref(
            pulse_->pa_context_get_source_info_by_name(context_, utf8.constData(), OnSourceInfo, &q));
        if (!pumpUntil([&] { return q.answered; }, AnswerMs))
            return NoServer(lastError());
    }
    if (!q.found && !wanted.isEmpty())
        return platform::Fail(QStringLiteral("The sound server has no microphone named %1, so voice commands are off.")
                                  .arg(wanted));
    if (!q.found)
        return platform::Fail(QStringLiteral("The sound server has no microphone, so voice commands are off."));
    if (q.isMonitor && wanted.isEmpty())
        return platform::Fail(QStringLiteral("The sound server has no microphone (only %1, which records what is "
                                             "played), so voice commands are off.").arg(q.found->description));
    return *q.found;
}

} // namespace voice
