// Times of day and their texts: the clock's, the long time and date, and the alarm's.
#include "TimeText.h"

#include <QLocale>
#include <QStringList>

namespace platform {

namespace {
const QLocale& usEnglish()
{
    static const QLocale locale(QLocale::English, QLocale::UnitedStates);
    return locale;
}

std::optional<int> digitsValue(const QString& field)
{
    if (field.isEmpty() || field.size() > 9)
        return std::nullopt;
    int value = 0;
    for (QChar c : field) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
        value = value * 10 + (c.unicode() - u'0');
    }
    return value;
}
} // namespace

std::optional<TimeOfDay> TimeOfDay::fromHms(int h, int m, int s)
{
    if (h < 0 || h > 23 || m < 0 || m > 59 || s < 0 || s > 59)
        return std::nullopt;
    return TimeOfDay(h * 3600 + m * 60 + s);
}

TimeOfDay TimeOfDay::fromQTime(const QTime& t)
{
    return TimeOfDay(t.hour() * 3600 + t.minute() * 60 + t.second());
}

QString LongTime(const QTime& t)
{
    return usEnglish().toString(t, QStringLiteral("h:mm:ss AP"));
}

QString LongDate(const QDate& d)
{
    return usEnglish().toString(d, QStringLiteral("dddd, MMMM d, yyyy"));
}

QString TimeText(TimeOfDay t)
{
    return LongTime(t.toQTime());
}

std::optional<TimeOfDay> ReadTimeOfDay(const QString& text)
{
    return ParseTwelveHourTime(text);
}

std::optional<TimeOfDay> ParseTwelveHourTime(const QString& text)
{
    const QStringList parts = text.trimmed().split(u' ', Qt::SkipEmptyParts);
    if (parts.size() != 2)
        return std::nullopt;
    const QString half = parts[1].toUpper();
    if (half != u"AM" && half != u"PM")
        return std::nullopt;
    const QStringList hms = parts[0].split(u':');
    if (hms.size() != 3)
        return std::nullopt;
    const auto h = digitsValue(hms[0]), m = digitsValue(hms[1]), s = digitsValue(hms[2]);
    if (!h || !m || !s || *h < 1 || *h > 12)
        return std::nullopt;
    const int hour24 = (*h % 12) + (half == u"PM" ? 12 : 0);
    return TimeOfDay::fromHms(hour24, *m, *s);
}

} // namespace platform
