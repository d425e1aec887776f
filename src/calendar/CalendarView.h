// The calendar dialog's month view, read and written through its date's fields.
#pragma once
#include <QCalendarWidget>
#include <QDate>

// A month calendar read and written through its selected date and the date's three fields.
// A field written past its ends carries into the neighbouring field, as turning the calendar's
// pages would; the day is held to the length of its month; a date outside the calendar's range
// is refused and the selection stays where it was.
class CalendarView : public QCalendarWidget {
    Q_OBJECT
public:
    explicit CalendarView(QWidget* parent = nullptr);

    static QDate MinDate() { return QDate(1753, 1, 1); }
    static QDate MaxDate() { return QDate(9999, 12, 31); }

    QDate Value() const { return selectedDate(); }
    qint16 Year() const { return qint16(Value().year()); }
    qint32 Month() const { return Value().month(); }
    qint16 Day() const { return qint16(Value().day()); }

    // Each returns whether the selection took the new value.
    bool setValue(const QDate& date);
    bool setYear(qint16 year);
    bool setMonth(qint32 month);
    bool setDay(qint16 day);
};
