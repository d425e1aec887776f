// Varrow's start: the window system, the platform services, the character service and the main form.
#include "character/CharacterServer.h"
#include "character/CharacterStage.h"
#include "input/TalkKey.h"
#include "voice/SpeechEnd.h"
#include "voice/SphinxVoiceInput.h"
#include "devices/MCIFunction.h"
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
#include <QStandardPaths>

#include <algorithm>
#include <csignal>
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
    QString why;
    auto recogniser = voice::MakeVoiceInput(options.microphoneFile, microphone, &why);
    if (!recogniser) {
        platform.report.problem(off, why);
        return nullptr;
    }
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

void nameTheProgram()
{
    QCoreApplication::setApplicationName(QStringLiteral("Varrow"));
    QCoreApplication::setApplicationVersion(platform::VersionInfo::program().Version);
}
} // namespace

int main(int argc, char** argv)
{
    // Without a desktop Qt would abort; --help and --version need none.
    const DisplayChoice display =
        ChooseDisplay(DisplayEnvironment::of(argc, argv), XServerAnswers, WaylandPluginInstalled());
    if (!display.usable()) {
        QCoreApplication app(argc, argv);
        nameTheProgram();
        if (const RunOptions options = ParseRunOptions(app); !options.error.isEmpty()) {
            std::fprintf(stderr, "Varrow: %s\n", qPrintable(options.error));
            return 2;
        }
        std::fprintf(stderr, "%s\n", qPrintable(display.problem));
        return 1;
    }
    if (!display.platform.isEmpty())
        qputenv("QT_QPA_PLATFORM", display.platform);
    QApplication app(argc, argv);
    nameTheProgram();
    QApplication::setQuitOnLastWindowClosed(false);

    const RunOptions options = ParseRunOptions(app);
    if (!options.error.isEmpty()) {
        std::fprintf(stderr, "Varrow: %s\n", qPrintable(options.error));
        return 2;
    }
    Trace trace;
    if (!options.tracePath.isEmpty()) {
        if (const platform::Result<> opened = trace.open(options.tracePath); !opened) {
            std::fprintf(stderr, "Varrow: %s\n", qPrintable(opened.why()));
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

    frmMain form(platform, server, instance, mci);
    switch (form.Form_Load()) {
    case frmMain::Loaded::PrevInstance:
        return 0;
    case frmMain::Loaded::Failed:
        std::fprintf(stderr, "Varrow: %s\n", qPrintable(form.loadError()));
        platform.messageBox.MsgBox(form.loadError(), platform.version.ProductName,
                                   platform::MessageBox::Icon::Critical);
        return 1;
    case frmMain::Loaded::Running:
        break;
    }
    // Only a running instance loads the recogniser; it takes up the phrases of the menu already in effect.
    // Neither it, the microphone nor the desktop's talk key is needed for the first frame: they start
    // once the character has been drawn.
    std::unique_ptr<input::TalkKey> listenKey;
    std::unique_ptr<training::VoiceCoach> coach;
    FirstPaint afterFirstFrame(*form.agentA->stage().window(), [&] {
        // The clock window's text brings in the fonts, which the character does not need to appear.
        form.start();
        // Held no longer than an utterance heard without a key may last.
        listenKey = input::MakeTalkKey(voice::SpeechEndDetector::Limits{}.longestMs, [&platform](const QString& why) {
            platform.report.problem(QStringLiteral("No key to talk"), why);
        });
        coach = startVoice(options, server, form, *listenKey, platform, trace);
    });
    if (!display.notice.isEmpty())
        platform.report.problem(QStringLiteral("Running as a Wayland program"), display.notice);
    QObject::connect(&form, &frmMain::unloaded, &app, &QCoreApplication::quit);
    quitOnSignals(app, trace);
    // A fast clock ticks as often, in its own time, as the real one does.
    form.timer().setInterval(std::max(1, int(form.timer().interval() / options.clockRate)));
    trace.line(QStringLiteral("ready"));
    const int rc = app.exec();
    trace.line(QStringLiteral("ended"));
    return rc;
}
