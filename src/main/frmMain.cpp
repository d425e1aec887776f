// The start-up form: the clock window, the host of the main character and its command menu.
#include "frmMain.h"

#include "alarm/frmSettingAlarm.h"
#include "calendar/frmCalendar.h"
#include "character/CharacterServer.h"
#include "devices/MCIFunction.h"
#include "desktop/Monitors.h"
#include "launcher/frmRun.h"
#include "platform/TimeText.h"
#include "desktop/WindowFrame.h"

#include <QCloseEvent>
#include <QMouseEvent>
#include <QDialog>
#include <QGuiApplication>
#include <QIcon>
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

frmMain::frmMain(platform::Platform& platform, character::CharacterServer& server, platform::InstanceLock& instance,
                 devices::MCIFunction& mci)
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::MSWindowsFixedSizeDialogHint),
      platform_(platform), server_(server), instance_(instance), mci_(mci), Agent(server), lblTime(this)
{
    showModal = [](QDialog& dialog) { dialog.exec(); };
    setObjectName(QStringLiteral("frmMain"));
    // No control box: the window manager's close (Alt+F4) still ends the program through closeEvent.
    desktop::WindowFrame::Apply(*this, desktop::WindowFrame::Title);
    setWindowIcon(QIcon(QStringLiteral(":/varrow/varrow-32.png")));
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
    Timer.setInterval(500);
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

frmMain::Loaded frmMain::Form_Load()
{
    myProductName = platform_.version.ProductName;
    if (instance_.PrevInstance())
        return Loaded::PrevInstance;
    hideTime_ = ReadSetting(QStringLiteral("HideTime"), 300);
    hideCountdown_ = hideTime_;
    // Before the character, whose loading starts the speech engine.
    server_.setVoice(speech::VoiceSettings::read(platform_.settings, myProductName, platform_.report));
    SetupCharacter();
    return agentA ? Loaded::Running : Loaded::Failed;
}

void frmMain::SetupCharacter()
{
    const platform::Result<> loaded = Agent.Characters().Load(CharacterId, CharacterFile);
    if (!loaded) {
        loadError_ = loaded.why();
        return;
    }
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
}

void frmMain::start()
{
    setWindowTitle(myProductName);
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
        frmCalendar dialog(platform_, server_, agentA);
        showModal(dialog);
    } else if (name == u"setAlarm") {
        frmSettingAlarm dialog(platform_, server_, agentA, *this);
        showModal(dialog);
    } else if (name == u"run") {
        frmRun dialog(platform_, server_, agentA);
        showModal(dialog);
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
        agentA->Play(QStringLiteral("GetAttention"));
        agentA->Speak(QStringLiteral("It's now ") + platform::TimeText(alarmTime) + QStringLiteral("."));
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

// Nothing else brings back a character that hid itself: a click on the clock does, and so does
// talking to it.
void frmMain::ShowAfterHiding()
{
    if (!hiddenByIdling_ || !agentA || agentA->Visible())
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
    const QString now = platform::TimeText(TimeOfDay::fromQTime(platform_.clock.now().time()));
    if (now != lblTime.text()) {
        lblTime.setText(now);
        IdleHideStep();
    }
    const std::optional<TimeOfDay> shown = platform::ReadTimeOfDay(lblTime.text());
    if (!shown)
        return;
    if (alarmStatus && *shown == alarmTime)
        PerformAction(QStringLiteral("alarm"));
    if (shown->minute() == 0)
        PerformAction(QStringLiteral("sayTimeHour"));
    for (int quarter = 1; quarter <= 3; ++quarter)
        if (shown->minute() == 15 * quarter)
            PerformAction(QStringLiteral("sayTimeQuater"));
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
