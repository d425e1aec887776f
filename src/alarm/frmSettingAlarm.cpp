// The alarm dialog: sets the time of day the main form's clock fires at, and arms or disarms it.
#include "frmSettingAlarm.h"

#include "character/PlaceDialog.h"
#include "platform/ScreenMetrics.h"
#include "platform/TimeText.h"
#include "desktop/WindowFrame.h"

#include <QFont>

namespace {
const QString SetAlarmOnName = QStringLiteral("setAlarmOn");
const QString SetAlarmOffName = QStringLiteral("setAlarmOff");

// The first eight of the dialog's commands; "setAlarmOn" takes the place of "setAlarmOff" while disarmed.
constexpr character::CommandEntry AlarmCommands[] = {
    {"setHour", "", "Hour", true, false},
    {"setMinute", "", "Minute", true, false},
    {"setSecond", "", "Second", true, false},
    {"setAM", "", "AM", true, false},
    {"setPM", "", "PM", true, false},
    {"OK", "OK", "Okay", true, true},
    {"Cancel", "Cancel", "Cancel", true, true},
    {"setAlarmOff", "Alarm Off", "Alarm Off", true, true},
};

QFont sansSerif(int points, bool bold)
{
    QFont font;
    font.setFamilies({QStringLiteral("MS Sans Serif"), QStringLiteral("DejaVu Sans"), QStringLiteral("Sans Serif")});
    font.setPointSize(points);
    font.setBold(bold);
    return font;
}
} // namespace

frmSettingAlarm::frmSettingAlarm(platform::Platform& platform, character::CharacterServer& server, desktop::FormActivation& activation,
                                 character::Character* mainAgentA, alarms::AlarmState& alarm)
    : CharacterDialog(server, activation, mainAgentA, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      fraAlarmTime(this), txtAlarmTimeHour(&fraAlarmTime), txtAlarmTimeMinute(&fraAlarmTime),
      txtAlarmTimeSecond(&fraAlarmTime), txtAlarmTimeAMPM(&fraAlarmTime), UpDown(&fraAlarmTime),
      lblAlarmStatus(this), platform_(platform), main_(alarm),
      timeFields_(*this, txtAlarmTimeHour, txtAlarmTimeMinute, txtAlarmTimeSecond, txtAlarmTimeAMPM)
{
    setObjectName(QStringLiteral("frmSettingAlarm"));
    desktop::WindowFrame::Apply(*this, desktop::WindowFrame::Title | desktop::WindowFrame::CloseBox);
    setWindowTitle(QStringLiteral("Alarm Settings"));
    // Modal to its (absent) parent only: the character's own window must still take clicks.
    setWindowModality(Qt::WindowModal);
    setFont(sansSerif(8, false));
    const float TX = platform_.screen.TwipsPerPixelX(), TY = platform_.screen.TwipsPerPixelY();
    auto place = [TX, TY](QWidget& w, double left, double top, double width, double height) {
        w.setGeometry(platform::TwipsToPixels(left, TX), platform::TwipsToPixels(top, TY),
                      platform::TwipsToPixels(width, TX), platform::TwipsToPixels(height, TY));
    };
    setFixedSize(platform::TwipsToPixels(3150, TX), platform::TwipsToPixels(960, TY));

    fraAlarmTime.setObjectName(QStringLiteral("fraAlarmTime"));
    fraAlarmTime.setTitle(QStringLiteral("&Alarm"));
    place(fraAlarmTime, 120, 120, 1935, 735);
    struct BoxSetup {
        QLineEdit& box;
        const char* name;
        const char* text;
        double left;
    };
    for (const BoxSetup& s : {BoxSetup{txtAlarmTimeHour, "txtAlarmTimeHour", "00", 120},
                              BoxSetup{txtAlarmTimeMinute, "txtAlarmTimeMinute", "00", 480},
                              BoxSetup{txtAlarmTimeSecond, "txtAlarmTimeSecond", "00", 840},
                              BoxSetup{txtAlarmTimeAMPM, "txtAlarmTimeAMPM", "AM", 1200}}) {
        s.box.setObjectName(QString::fromLatin1(s.name));
        s.box.setText(QString::fromLatin1(s.text));
        s.box.setAlignment(Qt::AlignCenter);
        s.box.setTextMargins(0, 0, 0, 0);
        place(s.box, s.left, 240, 375, 375);
    }
    txtAlarmTimeAMPM.setReadOnly(true);
    UpDown.setObjectName(QStringLiteral("UpDown"));
    place(UpDown, 1560, 240, 240, 375);
    lblAlarmStatus.setObjectName(QStringLiteral("lblAlarmStatus"));
    lblAlarmStatus.setText(QStringLiteral("On"));
    lblAlarmStatus.setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    lblAlarmStatus.setFont(sansSerif(18, true));
    place(lblAlarmStatus, 2160, 360, 975, 375);
    QWidget::setTabOrder(&txtAlarmTimeHour, &txtAlarmTimeMinute);
    QWidget::setTabOrder(&txtAlarmTimeMinute, &txtAlarmTimeSecond);
    QWidget::setTabOrder(&txtAlarmTimeSecond, &txtAlarmTimeAMPM);
    connect(&UpDown, &alarms::UpDownArrows::UpClick, &timeFields_, &alarms::TimeFields::UpDown_UpClick);
    connect(&UpDown, &alarms::UpDownArrows::DownClick, &timeFields_, &alarms::TimeFields::UpDown_DownClick);

    Form_Load();
}

void frmSettingAlarm::Form_Load()
{
    borrowCharacter(AlarmCommands, QStringLiteral("the alarm dialog"));
    timeFields_.attach(agentA);

    const platform::TimeOfDay t = main_.alarmTime;
    txtAlarmTimeHour.setText(QString::number(t.hour()));
    txtAlarmTimeMinute.setText(QString::number(t.minute()));
    txtAlarmTimeSecond.setText(QString::number(t.second()));
    txtAlarmTimeAMPM.setText(t.hour() >= 12 ? QStringLiteral("PM") : QStringLiteral("AM"));

    if (!main_.alarmStatus)
        setArmed(false);
    // The hour box comes first: it has the focus when the dialog opens.
    txtAlarmTimeHour.setFocus(Qt::OtherFocusReason);
}

void frmSettingAlarm::Form_Activate()
{
    if (!holding() || !agentA)
        return;
    // Coming back after another window of ours was in front: take the character back, so that
    // this dialog's commands are the ones in effect again.
    borrowed().takeAgain();
    character::PlaceDialogBesideCharacter(*this, *agentA, platform_.screen);
    agentA->Speak(QStringLiteral("In this dialog you can set you alarm."));
    agentA->Play(QStringLiteral("RestPose"));
}

void frmSettingAlarm::Form_Deactivate()
{
    if (holding())
        borrowed().lendBack();
}

void frmSettingAlarm::setArmed(bool armed)
{
    lblAlarmStatus.setText(armed ? QStringLiteral("On") : QStringLiteral("Off"));
    main_.alarmStatus = armed;
    if (!agentA)
        return;
    const QString offered = armed ? QStringLiteral("Alarm Off") : QStringLiteral("Alarm On");
    agentA->Commands().Remove(armed ? SetAlarmOnName : SetAlarmOffName);
    agentA->Commands().Add(armed ? SetAlarmOffName : SetAlarmOnName, offered, offered, true, true);
    if (armed) {
        agentA->Play(QStringLiteral("Acknowledge"));
        agentA->Speak(QStringLiteral("Yes sir, I'll inform you in the scheduled time."));
    }
}

void frmSettingAlarm::StoreAlarmTime()
{
    const QString joined = txtAlarmTimeHour.text() + u':' + txtAlarmTimeMinute.text() + u':' +
                           txtAlarmTimeSecond.text() + u' ' + txtAlarmTimeAMPM.text();
    if (const std::optional<platform::TimeOfDay> t = platform::ParseTwelveHourTime(joined)) {
        main_.alarmTime = *t;
        accept();
        return;
    }
    // Storing a guess would fire the alarm at a time nobody chose: keep the old one, say so, stay open.
    if (agentA) {
        const QString shown = joined.size() > 40 ? joined.left(37) + QStringLiteral("...") : joined;
        agentA->Play(QStringLiteral("Decline"));
        agentA->Speak(QStringLiteral("\"%1\" is not a time I can set. The alarm stays at %2.")
                          .arg(shown, platform::TimeText(main_.alarmTime)));
    }
}

void frmSettingAlarm::Agent_Command(const character::UserInput& UserInput)
{
    if (!holding())
        return;
    const QString& name = UserInput.Name;
    if (name == u"setHour") {
        txtAlarmTimeHour.setFocus(Qt::OtherFocusReason);
    } else if (name == u"setMinute") {
        txtAlarmTimeMinute.setFocus(Qt::OtherFocusReason);
    } else if (name == u"setSecond") {
        txtAlarmTimeSecond.setFocus(Qt::OtherFocusReason);
    } else if (name == SetAlarmOffName) {
        setArmed(false);
    } else if (name == SetAlarmOnName) {
        setArmed(true);
    } else if (name == u"OK") {
        StoreAlarmTime();
    } else if (name == u"Cancel") {
        reject();
    } else if (name == u"setAM") {
        txtAlarmTimeAMPM.setText(QStringLiteral("AM"));
    } else if (name == u"setPM") {
        txtAlarmTimeAMPM.setText(QStringLiteral("PM"));
    } else {
        timeFields_.NumberCommand(name);
    }
}

// Every way of closing (OK, Cancel, the close box, Escape) ends here.
void frmSettingAlarm::done(int r)
{
    if (holding())
        timeFields_.detach();
    CharacterDialog::done(r);
}
