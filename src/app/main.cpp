// Varrow's start: the window system, the platform services, the character service and the main form.
#include "character/CharacterServer.h"
#include "character/CharacterStage.h"
#include "speech/SpeechEngine.h"
#include "input/TalkKey.h"
#include "voice/SpeechEnd.h"
#include "voice/SphinxVoiceInput.h"
#include "devices/MCIFunction.h"
#include "speech/SpeechDispatcherSpeaker.h"
#include "main/frmMain.h"
#include "training/VoiceCoach.h"
#include "desktop/FormActivation.h"
#include "platform/InstanceLock.h"
#include "platform/Platform.h"
#include "DisplayChoice.h"
#include "FirstPaint.h"
#include "RunOptions.h"
#include "Trace.h"

#include <QApplication>
#include <QMenu>
#include <QSocketNotifier>
#include <QTextStream>
#include <QStandardPaths>

#include <algorithm>
#include <csignal>
#include <malloc.h>
#include <optional>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>

namespace {
int signalPipe[2] = {-1, -1};

void onTerminate(int)
{
    const char c = 1;
    [[maybe_unused]] const ssize_t n = ::write(signalPipe[1], &c, 1);
}

// SIGTERM and SIGINT end the program through the event loop, like "Quit".
void quitOnSignals(QApplication& app, Trace& trace)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0)
        return;
    auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, [&trace] {
        char c;
        [[maybe_unused]] const ssize_t n = ::read(signalPipe[0], &c, 1);
        // A run that ends unasked says who ended it.
        trace.line(QStringLiteral("quit by signal"));
        QCoreApplication::quit();
    });
    struct sigaction sa {};
    sa.sa_handler = onTerminate;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
}
// Voice commands from the microphone (or the file a test run gives), with the Pause key to talk, and
// the way to teach Genie the user's voice from its menu.
std::unique_ptr<training::VoiceCoach> startVoice(const RunOptions& options, character::CharacterServer& server,
                                                 frmMain& form, input::TalkKey& key, platform::Platform& platform,
                                                 Trace& trace)
{
    const QString off = QStringLiteral("Voice commands are off");
    // A microphone chosen by the sound server's name for it; none follows the desktop's default input.
    const QString microphone = platform.settings.GetSetting(platform.version.ProductName, QStringLiteral("Settings"),
                                                            QStringLiteral("Microphone"), {}).trimmed();
    auto made = voice::MakeVoiceInput(options.microphoneFile, microphone);
    if (!made) {
        platform.report.problem(off, made.why());
        return nullptr;
    }
    std::unique_ptr<voice::SphinxVoiceInput> recogniser = std::move(*made);
    voice::SphinxVoiceInput* listener = recogniser.get();
    trace.watch(*listener);
    QObject::connect(listener, &voice::VoiceInput::turnedOff, listener,
                     [&report = platform.report, off](const QString& why) { report.problem(off, why); });
    server.setVoiceInput(std::move(recogniser));
    QObject::connect(&key, &input::TalkKey::heldChanged, listener, &voice::VoiceInput::hold);
    key.start();

    character::CharacterStage& stage = form.agentA->stage();
    training::VoiceCoach::Hooks hooks;
    hooks.say = [&form](const QString& text) { form.agentA->Speak(text); };
    hooks.figure = [&stage] { return stage.window() ? stage.window()->geometry() : QRect(); };
    const QString data = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) + QStringLiteral("/voice");
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::CacheLocation) + QStringLiteral("/speech-model");
    auto coach = std::make_unique<training::VoiceCoach>(*listener, data, cache, platform.report, std::move(hooks));
    trace.watch(*coach);
    // After the menu's own entries and "Listen".
    QObject::connect(&stage, &character::CharacterStage::menuAboutToShow, coach.get(), &training::VoiceCoach::addMenuEntries);
    return coach;
}

// `varrow --voices`: what SpeechModule and SpeechVoice can name, one voice a line.
int listVoices()
{
    const auto voices = speech::SpeechDispatcherSpeaker::voices(30000);
    if (!voices) {
        platform::UserReport(nullptr).problem({}, voices.why());
        return 1;
    }
    QTextStream out(stdout);
    out << "MODULE\tVOICE\tLANGUAGE\n";
    for (const auto& v : *voices)
        out << v.module << '\t' << v.name << '\t' << v.language << '\n';
    return 0;
}

void nameTheProgram()
{
    QCoreApplication::setApplicationName(QStringLiteral("Varrow"));
    // The desktop entry's name: desktops find the icon and the menu entry of the windows by it.
    QGuiApplication::setDesktopFileName(QStringLiteral("com.hollin.varrow"));
    QCoreApplication::setApplicationVersion(platform::VersionInfo::program().Version);
}
} // namespace

int main(int argc, char** argv)
{
    // libspeechd writes to its socket with write(): a daemon gone in between must not end the program.
    std::signal(SIGPIPE, SIG_IGN);
    // Frame-sized images (from 2x on) stay outside the heap, so the memory of one freed goes back to
    // the system. glibc would otherwise raise the threshold past them once the first is freed.
    mallopt(M_MMAP_THRESHOLD, 128 * 1024);
    // Without a desktop Qt would abort; --help, --version and --voices need none.
    const DisplayChoice display =
        ChooseDisplay(DisplayEnvironment::of(argc, argv), XServerAnswers, WaylandPluginInstalled());
    if (!display.usable()) {
        QCoreApplication app(argc, argv);
        nameTheProgram();
        platform::UserReport terminal(nullptr);
        const auto options = ParseRunOptions(app);
        if (!options) {
            terminal.problem({}, options.why());
            return 2;
        }
        if (options->listVoices)
            return listVoices();
        terminal.problem({}, display.problem);
        return 1;
    }
    // The platform is ours to choose for Varrow only: programs started from the Run dialog must not
    // inherit it (a Qt program would open on XWayland in a Wayland session).
    const std::optional<QByteArray> usersPlatform =
        qEnvironmentVariableIsSet("QT_QPA_PLATFORM") ? std::optional(qgetenv("QT_QPA_PLATFORM")) : std::nullopt;
    if (!display.platform.isEmpty())
        qputenv("QT_QPA_PLATFORM", display.platform);
    QApplication app(argc, argv);
    if (usersPlatform)
        qputenv("QT_QPA_PLATFORM", *usersPlatform);
    else
        qunsetenv("QT_QPA_PLATFORM");
    nameTheProgram();
    QApplication::setQuitOnLastWindowClosed(false);

    // Before the platform's report exists, the command line's mistakes go to the terminal alone.
    platform::UserReport terminal(nullptr);
    const platform::Result<RunOptions> parsed = ParseRunOptions(app);
    if (!parsed) {
        terminal.problem({}, parsed.why());
        return 2;
    }
    const RunOptions& options = *parsed;
    if (options.listVoices)
        return listVoices();
    Trace trace;
    if (!options.tracePath.isEmpty()) {
        if (const platform::Result<> opened = trace.open(options.tracePath); !opened) {
            terminal.problem({}, opened.why());
            return 2;
        }
    }
    std::unique_ptr<platform::Clock> clock;
    if (options.clockRate != 1.0 || options.clockStart)
        clock = std::make_unique<platform::ScaledClock>(options.clockStart.value_or(QDateTime::currentDateTime()),
                                                        options.clockRate);
    platform::QtPlatform services(std::move(clock));
    platform::Platform& platform = services.platform();
    platform::InstanceLock instance(platform.version.ProductName);
    devices::MciInterpreter interpreter;
    devices::MCIFunction mci(platform.messageBox, platform.version.ProductName, interpreter);
    desktop::FormActivation activation;
    trace.watch(platform.report);
    character::ServerOptions serverOptions;
    serverOptions.stage.report = &platform.report;
    character::CharacterServer server(std::move(serverOptions));
    trace.watch(server);

    frmMain form(platform, server, activation, instance, mci);
    const platform::Result<bool> running = form.Form_Load();
    if (!running) {
        terminal.problem({}, running.why());
        platform.messageBox.MsgBox(running.why(), platform.version.ProductName, platform::MessageBox::Icon::Critical);
        return 1;
    }
    if (!*running)
        return 0;
    // Only a running instance loads the recogniser; it takes up the phrases of the menu already in effect.
    // Neither it, the microphone nor the desktop's talk key is needed for the first frame: they start
    // once the character has been drawn.
    std::unique_ptr<input::TalkKey> listenKey;
    std::unique_ptr<training::VoiceCoach> coach;
    FirstPaint afterFirstFrame(*form.agentA->stage().window(), [&] {
        // Opening the sound output takes a second or more: done now, the first word comes at once.
        server.speech().prepare();
        // The clock window's text brings in the fonts, which the character does not need to appear.
        form.start();
        // Held no longer than an utterance heard without a key may last.
        listenKey = input::MakeTalkKey(voice::SpeechEndDetector::Limits{}.longestMs, platform.report);
        coach = startVoice(options, server, form, *listenKey, platform, trace);
    });
    if (!display.notice.isEmpty())
        platform.report.problem(QStringLiteral("Running as a Wayland program"), display.notice);
    QObject::connect(&form, &frmMain::unloaded, &app, &QCoreApplication::quit);
    quitOnSignals(app, trace);
    trace.line(QStringLiteral("ready"));
    const int rc = app.exec();
    trace.line(QStringLiteral("ended"));
    return rc;
}
