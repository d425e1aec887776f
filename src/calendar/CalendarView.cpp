// The calendar dialog's month view, read and written through its date's fields.
#include "CalendarView.h"

#include <algorithm>

CalendarView::CalendarView(QWidget* parent) : QCalendarWidget(parent)
{
    setDateRange(MinDate(), MaxDate());
    setGridVisible(false);
    setVerticalHeaderFormat(QCalendarWidget::NoVerticalHeader);
    setHorizontalHeaderFormat(QCalendarWidget::SingleLetterDayNames);
    setFirstDayOfWeek(Qt::Sunday);
}

bool CalendarView::setValue(const QDate& date)
{
    if (!date.isValid() || date < MinDate() || date > MaxDate())
        return false;
    setSelectedDate(date);
    showSelectedDate();
    return true;
}

namespace {
// The date `year`-`month`-`day`, with the day cut to the month's length; months beyond 1..12
// count on into the following or back into the earlier years. Invalid when the year leaves
// what a date can hold.
QDate monthDate(long long year, long long month, int day)
{
    const long long index = year * 12 + (month - 1);
    const long long y = index >= 0 ? index / 12 : -((-index + 11) / 12);
    const int m = int(index - y * 12) + 1;
    if (y < 1 || y > 9999)
        return {};
    const QDate first(int(y), m, 1);
    return QDate(int(y), m, std::clamp(day, 1, first.daysInMonth()));
}
} // namespace

bool CalendarView::setYear(qint16 year)
{
    const QDate d = Value();
    return setValue(monthDate(year, d.month(), d.day()));
}

bool CalendarView::setMonth(qint32 month)
{
    const QDate d = Value();
    return setValue(monthDate(d.year(), month, d.day()));
}

bool CalendarView::setDay(qint16 day)
{
    const QDate d = Value();
    return setValue(QDate(d.year(), d.month(), 1).addDays(day - 1));
}
