// Times of day and their texts: the clock's, the long time and date, and the alarm's.
#pragma once
#include <QDate>
#include <QDateTime>
#include <QString>
#include <QTime>
#include <optional>

namespace platform {

// A time of day with no date part: whole seconds since midnight, 0..86399.
class TimeOfDay {
public:
    constexpr TimeOfDay() = default;
    static std::optional<TimeOfDay> fromHms(int h, int m, int s);
    static TimeOfDay fromQTime(const QTime& t);

    constexpr int hour() const { return seconds_ / 3600; }
    constexpr int minute() const { return seconds_ / 60 % 60; }
    constexpr int second() const { return seconds_ % 60; }
    QTime toQTime() const { return QTime(hour(), minute(), second()); }

    friend constexpr bool operator==(TimeOfDay a, TimeOfDay b) = default;

private:
    explicit constexpr TimeOfDay(int s) : seconds_(s) {}
    int seconds_ = 0;
};

// The named formats and default conversions of the runtime, always in US English so that
// the spoken texts do not depend on the user's locale.
QString LongTime(const QTime& t);         // "1:05:09 PM"
QString LongDate(const QDate& d);         // "Sunday, December 6, 2026"
QString TimeText(TimeOfDay t);            // default conversion of a time of day to text
std::optional<TimeOfDay> ReadTimeOfDay(const QString& text); // TimeText read back

// A 12-hour clock time "h:m:s AM" (fields are decimal digits, AM/PM in any case) as a time of day.
// 12:xx AM is just after midnight, 12:xx PM just after noon.
std::optional<TimeOfDay> ParseTwelveHourTime(const QString& text);

} // namespace platform
