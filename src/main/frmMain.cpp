// The start-up form: the clock window, the host of the main character and its command menu.
#include "frmMain.h"

#include "alarm/frmSettingAlarm.h"
#include "calendar/frmCalendar.h"
#include "character/CharacterStage.h"
#include "character/CharacterServer.h"
#include "devices/MCIFunction.h"
#include "desktop/Monitors.h"
#include "launcher/frmRun.h"
#include "platform/TimeText.h"
#include "desktop/WindowFrame.h"
#include "varrow-32.xpm"

#include <QCloseEvent>
#include <QMouseEvent>
#include <QDialog>
#include <QGuiApplication>
#include <QIcon>
#include <QImage>
#include <QPixmap>
#include <QScreen>

using platform::TimeOfDay;

namespace {
const QString Settings = QStringLiteral("Settings");
const QString CharacterId = QStringLiteral("Genie");
const QString CharacterFile = QStringLiteral("Genie.acs");

// The Main command menu, in the order it is offered.
constexpr character::CommandEntry MainMenu[] = {
    {"CDRom", "Eject CD-Rom", "Eject", true, true},
    {"readClip", "Read Clipboard", "Clipboard", true, true},
    {"sayTime", "Say the time", "Time", true, true},
    {"sayDate", " Say the date", "Date", true, false},
    {"sayNow", "Now", "Now", true, false},
    {"calendar", "Show the Calendar", "Calendar", true, true},
    {"setAlarm", "Set the alarm", "Alarm", true, true},
    {"run", "Run ...", "Run", true, true},
    {"about", "About", "About", true, true},
    {"Quit", "Quit", "Quit", true, true},
};
} // namespace

frmMain::frmMain(platform::Platform& platform, character::CharacterServer& server,
                 desktop::FormActivation& activation, platform::InstanceLock& instance, devices::MCIFunction& mci)
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::MSWindowsFixedSizeDialogHint),
      platform_(platform), server_(server), activation_(activation), instance_(instance), mci_(mci), Agent(server),
      lblTime(this)
{
    activation_.track(*this, *this);
    setObjectName(QStringLiteral("frmMain"));
    // No control box: the window manager's close (Alt+F4) still ends the program through closeEvent.
    desktop::WindowFrame::Apply(*this, desktop::WindowFrame::Title);
    const float TX = platform_.screen.TwipsPerPixelX(), TY = platform_.screen.TwipsPerPixelY();
    auto px = [](double twips, float perPixel) { return platform::TwipsToPixels(twips, perPixel); };
    setFixedSize(px(2760, TX), px(1035, TY));
    lblTime.setObjectName(QStringLiteral("lblTime"));
    lblTime.setGeometry(px(120, TX), px(120, TY), px(2535, TX), px(375, TY));
    QFont font;
    font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("DejaVu Sans"), QStringLiteral("Sans Serif")});
    font.setPointSize(12);
    font.setBold(true);
    lblTime.setFont(font);
    // A fast clock ticks as often, in its own time, as the real one does.
    Timer.setInterval(std::max(1, int(500 / platform_.clock.rate())));
    connect(&Timer, &QTimer::timeout, this, &frmMain::Timer_Timer);
}

frmMain::~frmMain() = default;

qint16 frmMain::ReadSetting(const QString& key, qint16 defaultValue)
{
    const QString text = platform_.settings.GetSetting(myProductName, Settings, key, QString::number(defaultValue));
    if (const auto value = platform::ToInt16(text))
        return *value;
    // Only whole numbers from -32768 to 32767 are meaningful here; anything else would be a guess.
    platform_.report.problem(QStringLiteral("A setting was not understood"),
                             QStringLiteral("the setting %1 holds \"%2\", which is not a whole number from -32768 to "
                                            "32767; %3 is used instead.").arg(key, text.left(40)).arg(defaultValue));
    return defaultValue;
}

platform::Result<bool> frmMain::Form_Load()
{
    myProductName = platform_.version.ProductName;
    if (instance_.PrevInstance())
        return false;
    hideTime_ = ReadSetting(QStringLiteral("HideTime"), 300);
    hideCountdown_ = hideTime_;
    // Before the character, whose loading starts the speech engine.
    server_.setVoice(speech::VoiceSettings::read(platform_.settings, myProductName, platform_.report));
    if (const platform::Result<> set = SetupCharacter(); !set)
        return platform::Failure{set.why()};
    return true;
}

platform::Result<> frmMain::SetupCharacter()
{
    const platform::Result<> loaded = Agent.Characters().Load(CharacterId, CharacterFile);
    if (!loaded)
        return loaded;
    agentA = Agent.Characters().Item(CharacterId);
    connect(agentA, &character::Character::Command, this, &frmMain::Agent_Command);
    connect(agentA, &character::Character::Move, this, &frmMain::Agent_Move);
    connect(agentA, &character::Character::IdleStart, this, &frmMain::Agent_IdleStart);
    connect(agentA, &character::Character::IdleComplete, this, &frmMain::Agent_IdleComplete);
    connect(agentA, &character::Character::ListenStart, this, &frmMain::Agent_ListenStart);
    agentA->setLeft(ReadSetting(QStringLiteral("LastPositionX"), 0));
    agentA->setTop(ReadSetting(QStringLiteral("LastPositionY"), 0));
    agentA->Show();
    agentA->Commands().AddAll(MainMenu);
    return {};
}

void frmMain::start()
{
    setWindowTitle(myProductName);
    // From pixels in the program: a PNG would bring the image plugins and the decoder into memory
    // for one small picture.
    setWindowIcon(QIcon(QPixmap::fromImage(QImage(varrow_32_xpm))));
    // Beside the character, on its right where there is room, on the monitor it stands on. The frame
    // counts: a move() before the window manager has framed the window would place the client area.
    const QMargins frame = desktop::WindowFrame::ExpectedMargins(*this);
    const QRect figure(QPoint(agentA->Left(), agentA->Top()), QSize(agentA->Width(), agentA->Height()));
    const QPoint corner = desktop::Monitors::current().beside(figure, size().grownBy(frame), 12);
    setGeometry(QRect(corner + QPoint(frame.left(), frame.top()), size()));
    show();
    Timer.start();
}

// ---- commands ----

void frmMain::Agent_Command(const character::UserInput& UserInput)
{
    const QString& name = UserInput.Name;
    if (name == u"readClip") {
        PerformAction(QStringLiteral("readClip"));
    } else if (name == u"CDRom") {
        ToggleCDDoor();
    } else if (name == u"sayTime") {
        PerformAction(QStringLiteral("sayTime"));
    } else if (name == u"sayDate") {
        PerformAction(QStringLiteral("sayDate"));
    } else if (name == u"sayNow") {
        PerformAction(QStringLiteral("sayNow"));
    } else if (name == u"calendar") {
        frmCalendar(platform_, server_, activation_, agentA).exec();
    } else if (name == u"setAlarm") {
        frmSettingAlarm(platform_, server_, activation_, agentA, alarm).exec();
    } else if (name == u"run") {
        frmRun(platform_, server_, activation_, agentA).exec();
    } else if (name == u"about") {
        PerformAction(QStringLiteral("tellHollin"));
    } else if (name == u"Quit") {
        Unload();
    }
}

void frmMain::ToggleCDDoor()
{
    character::CharacterCommand* cd = agentA->Commands().Item(QStringLiteral("CDRom"));
    if (!cd)
        return;
    // No door command asks for notification, so a window that is not native yet may pass none.
    const quintptr hWnd = quintptr(internalWinId());
    if (cd->Caption() == u"Eject CD-Rom") {
        mci_.OpenCDDoor(hWnd, false);
        cd->setCaption(QStringLiteral("Close CD-Rom"));
        cd->setVoice(QStringLiteral("Close"));
    } else {
        mci_.CloseCDDoor(hWnd, false);
        cd->setCaption(QStringLiteral("Eject CD-Rom"));
        cd->setVoice(QStringLiteral("Eject"));
    }
}

namespace {
// The product announcement's texts, as the program's version resource gives them.
const QString CompanyName = QStringLiteral("Hollin Company");
const QString Comments = QStringLiteral("A complete new revolution in PC industry. Using Microsoft ActiveX Technology, "
                                        "we bring you a totally voice commanded character as you desktop helper.");
const QString SupportEmail = QStringLiteral("support@hollin.example");
} // namespace

void frmMain::PerformAction(const QString& actionName)
{
    const QDateTime now = platform_.clock.now();
    if (actionName == u"sayTimeHour" || actionName == u"sayTimeQuater") {
        const bool hour = actionName == u"sayTimeHour";
        const auto shown = platform::ReadTimeOfDay(lblTime.text());
        const int moment = shown ? shown->hour() * 60 + shown->minute() : now.time().hour() * 60 + now.time().minute();
        std::optional<int>& last = hour ? lastHourChime : lastQuarterChime;
        if (last == moment)
            return;
        last = moment;
        agentA->Play(hour ? QStringLiteral("Domagic2") : QStringLiteral("Domagic1"));
        PerformAction(QStringLiteral("sayTime"));
    } else if (actionName == u"sayTime") {
        agentA->Speak(QStringLiteral("The time is now ") + platform::LongTime(now.time()));
    } else if (actionName == u"sayDate") {
        agentA->Speak(QStringLiteral("Today is ") + platform::LongDate(now.date()));
    } else if (actionName == u"sayNow") {
        agentA->Speak(QStringLiteral("Now is ") + platform::LongTime(now.time()) + QStringLiteral(" ,") +
                      platform::LongDate(now.date()));
    } else if (actionName == u"alarm") {
        // Heard at its second whatever is being said, and seen: a figure that hid itself comes back.
        agentA->Urgently([this] {
            ShowAfterHiding();
            agentA->Play(QStringLiteral("GetAttention"));
            agentA->Speak(AlarmText());
        });
    } else if (actionName == u"moved") {
        agentA->Play(QStringLiteral("Acknowledge"));
        agentA->Speak(QStringLiteral("Yes Sir!"));
        agentA->Play(QStringLiteral("Write"));
        agentA->Play(QStringLiteral("WriteReturn"));
    } else if (actionName == u"tellHollin") {
        agentA->Play(QStringLiteral("Announce"));
        agentA->Speak(QStringLiteral("\\map=\"Hollin Company\"=\"") + CompanyName +
                      QStringLiteral("\"\\ proudly present to you, ") + platform_.version.ProductName +
                      QStringLiteral(". ") + Comments);
        agentA->Play(QStringLiteral("Congratulate"));
        agentA->Speak(QStringLiteral("Congratulation and Thank you for chosing this product."));
        agentA->Play(QStringLiteral("Read"));
        agentA->Speak(QStringLiteral("Any comments and bug report please report to \\Ctx=\"E-mail\"\\") + SupportEmail);
        agentA->Play(QStringLiteral("ReadReturn"));
    } else if (actionName == u"readClip") {
        const QString text = platform_.clipboard.GetText();
        if (!text.isEmpty()) {
            agentA->Play(QStringLiteral("Reading"));
            agentA->Speak(text);
            agentA->StopAll(QStringLiteral("Play"));
        } else {
            agentA->Play(QStringLiteral("Decline"));
            agentA->Speak(QStringLiteral("There are no text in the clipboard."));
        }
    }
}

void frmMain::Agent_Move(const QString&, int, int, int)
{
    if (agentA->MoveCause() != character::UserMoved)
        return;
    PerformAction(QStringLiteral("moved"));
    auto int16Text = [](int v) { return QString::number(std::clamp(v, -32768, 32767)); };
    platform_.settings.SaveSetting(myProductName, Settings, QStringLiteral("LastPositionX"), int16Text(agentA->Left()));
    platform_.settings.SaveSetting(myProductName, Settings, QStringLiteral("LastPositionY"), int16Text(agentA->Top()));
}

// ---- idle hiding ----

void frmMain::Agent_IdleStart(const QString&)
{
    hideCountdown_ = hideTime_;
    characterIdle_ = true;
}

void frmMain::Agent_IdleComplete(const QString&)
{
    hideCountdown_ = hideTime_;
    characterIdle_ = false;
}

void frmMain::IdleHideStep()
{
    if (hideCountdown_ == 0) {
        agentA->Hide();
        hideCountdown_ = -1;
        hiddenByIdling_ = true;
    } else if (hideCountdown_ > 0 && characterIdle_) {
        --hideCountdown_;
    }
}

// Nothing else brings back a character that hid itself: a click on the clock does, talking to it,
// and the alarm. A dialog showing its own figure meanwhile keeps it.
void frmMain::ShowAfterHiding()
{
    if (!hiddenByIdling_ || !agentA || agentA->stage().shown())
        return;
    hiddenByIdling_ = false;
    hideCountdown_ = hideTime_;
    agentA->Show();
}

void frmMain::mousePressEvent(QMouseEvent* e)
{
    QWidget::mousePressEvent(e);
    ShowAfterHiding();
}

void frmMain::Agent_ListenStart(const QString&)
{
    ShowAfterHiding();
}

// ---- clock ----

void frmMain::Timer_Timer()
{
    const QDateTime now = platform_.clock.now();
    const QString text = platform::TimeText(TimeOfDay::fromQTime(now.time()));
    if (text != lblTime.text()) {
        lblTime.setText(text);
        IdleHideStep();
    }
    const std::optional<TimeOfDay> shown = platform::ReadTimeOfDay(lblTime.text());
    if (!shown)
        return;
    const QDateTime moment(now.date(), shown->toQTime());
    if (alarm.alarmStatus)
        CheckAlarm(moment);
    lastShown_ = moment;
    if (shown->minute() == 0)
        PerformAction(QStringLiteral("sayTimeHour"));
    for (int quarter = 1; quarter <= 3; ++quarter)
        if (shown->minute() == 15 * quarter)
            PerformAction(QStringLiteral("sayTimeQuater"));
}

// The alarm rings on every tick of its second. Ticks do not always come each half second (a busy
// machine, a fast clock, a clock set forward): a step forward over the alarm's second rings it once,
// unless the step is an hour or more (a suspend), where ringing would tell a wrong time: the user is
// told it was missed. A clock set back rings again only where a tick falls in the alarm's second.
void frmMain::CheckAlarm(const QDateTime& shown)
{
    if (shown.time() == alarm.alarmTime.toQTime()) {
        Ring(shown);
        return;
    }
    if (!lastShown_ || shown <= *lastShown_)
        return;
    QDateTime due(shown.date(), alarm.alarmTime.toQTime());
    if (due > shown)
        due = due.addDays(-1);
    if (due <= *lastShown_ || due == lastAlarm_)
        return;
    if (lastShown_->secsTo(shown) < 3600) {
        Ring(due);
        return;
    }
    platform_.notifier.notify(QStringLiteral("Missed alarm"),
                              QStringLiteral("The alarm of %1 did not ring: the clock went from %2 to %3 at once (the "
                                             "computer was asleep, or its clock was set).")
                                  .arg(platform::TimeText(alarm.alarmTime), platform::LongTime(lastShown_->time()),
                                       platform::LongTime(shown.time())));
}

// Also on the desktop, once for each second it rings for: for a user who cannot hear or see Genie.
void frmMain::Ring(const QDateTime& due)
{
    if (due != lastAlarm_) {
        lastAlarm_ = due;
        platform_.notifier.notify(QStringLiteral("Alarm"), AlarmText());
    }
    PerformAction(QStringLiteral("alarm"));
}

QString frmMain::AlarmText() const
{
    return QStringLiteral("It's now ") + platform::TimeText(alarm.alarmTime) + QStringLiteral(".");
}

// ---- ending ----

void frmMain::Unload()
{
    if (unloaded_)
        return;
    unloaded_ = true;
    Timer.stop();
    hide();
    emit unloaded();
}

void frmMain::closeEvent(QCloseEvent* e)
{
    // The window manager's close: end the program the way "Quit" does.
    e->accept();
    Unload();
}
