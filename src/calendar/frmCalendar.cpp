// The calendar dialog: a month calendar opened at today, stepped by voice a day, a month or a year.
#include "frmCalendar.h"

#include "character/PlaceDialog.h"
#include "platform/TimeText.h"

#include <QPainter>

namespace {
// Added in this order; only "OK" has a caption and is listed in the menu, the steps are spoken.
constexpr character::CommandEntry CalendarCommands[] = {
    {"OK", "OK", "Okay", true, true},
    {"nextYear", "", "Next Year", true, false},
    {"nextMonth", "", "Next Month", true, false},
    {"nextDay", "", "Next Day", true, false},
    {"previousYear", "", "Previous Year", true, false},
    {"previousMonth", "", "Previous Month", true, false},
    {"previousDay", "", "Previous Day", true, false},
};
} // namespace

frmCalendar::frmCalendar(platform::Platform& platform, character::CharacterServer& server, desktop::FormActivation& activation,
                         character::Character* mainAgentA)
    : CharacterDialog(server, activation, mainAgentA, Qt::Dialog | Qt::FramelessWindowHint), platform_(platform), MonthView(this)
{
    setObjectName(QStringLiteral("frmCalendar"));
    // Modal to no window in particular: the character on the desktop must still take clicks and
    // drags while the calendar is open, or its "OK" could not be picked.
    setWindowModality(Qt::WindowModal);
    setWindowTitle(QStringLiteral("Calendar")); // never drawn (no frame), but read by assistive tools
    MonthView.setObjectName(QStringLiteral("MonthView"));
    const float TX = platform_.screen.TwipsPerPixelX(), TY = platform_.screen.TwipsPerPixelY();
    auto px = [](double twips, float perPixel) { return platform::TwipsToPixels(twips, perPixel); };
    // The calendar keeps its designed size unless its text needs more; a one-pixel border runs round it.
    const QSize designed(px(2730, TX), px(2370, TY));
    const QSize view = designed.expandedTo(MonthView.minimumSizeHint());
    const int below = std::max(0, px(2385, TY) - designed.height());
    MonthView.setGeometry(1, 1, view.width(), view.height());
    setFixedSize(view.width() + 2, view.height() + below + 2);
    Form_Load();
}

void frmCalendar::Form_Load()
{
    borrowCharacter(CalendarCommands, QStringLiteral("the calendar"));
    const QDate today = platform_.clock.now().date();
    MonthView.setValue(today);
    if (agentA)
        agentA->Speak(QStringLiteral("Today is ") + platform::LongDate(today));
}

void frmCalendar::Form_Activate()
{
    if (agentA && holding())
        character::PlaceDialogBesideCharacter(*this, *agentA, platform_.screen);
}

void frmCalendar::Agent_Command(const character::UserInput& UserInput)
{
    const QString& name = UserInput.Name;
    if (name == u"nextYear") {
        MonthView.setYear(qint16(MonthView.Year() + 1));
    } else if (name == u"nextMonth") {
        MonthView.setMonth(MonthView.Month() + 1);
    } else if (name == u"nextDay") {
        MonthView.setDay(qint16(MonthView.Day() + 1));
    } else if (name == u"previousYear") {
        platform_.messageBox.MsgBox(QString::number(MonthView.Year()), platform_.version.ProductName);
        MonthView.setYear(qint16(MonthView.Year() - 1));
    } else if (name == u"previousMonth") {
        MonthView.setMonth(MonthView.Month() - 1);
    } else if (name == u"previousDay") {
        MonthView.setDay(qint16(MonthView.Day() - 1));
    } else if (name == u"OK") {
        accept();
    }
}

void frmCalendar::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setPen(palette().color(QPalette::WindowText));
    p.drawRect(rect().adjusted(0, 0, -1, -1));
}
