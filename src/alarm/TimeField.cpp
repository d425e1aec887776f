// The alarm dialog's hour, minute, second and AM/PM boxes: wrapping, padding, focus and spoken numbers.
#include "TimeField.h"

#include "character/Character.h"

#include <QEvent>
#include <QFocusEvent>
#include <QLineEdit>
#include <QLocale>
#include <QMouseEvent>
#include <QTimer>
#include <charconv>
#include <cmath>
#include <string>

namespace alarms {

namespace {
const QString AM = QStringLiteral("AM");
const QString PM = QStringLiteral("PM");

bool isDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}
} // namespace

std::optional<double> NumericValue(QStringView text)
{
    const qsizetype n = text.size();
    qsizetype i = 0;
    const bool negative = n > 0 && text[0] == u'-';
    if (n > 0 && (text[0] == u'+' || text[0] == u'-'))
        ++i;
    const qsizetype mantissa = i;
    qsizetype intDigits = 0, fracDigits = 0;
    while (i < n && isDigit(text[i]))
        ++i, ++intDigits;
    if (i < n && text[i] == u'.') {
        ++i;
        while (i < n && isDigit(text[i]))
            ++i, ++fracDigits;
    }
    if (intDigits + fracDigits == 0)
        return std::nullopt;
    const qsizetype mantissaEnd = i;
    qint64 exponent = 0;
    if (i < n && (text[i] == u'e' || text[i] == u'E')) {
        ++i;
        const bool negativeExponent = i < n && text[i] == u'-';
        if (i < n && (text[i] == u'+' || text[i] == u'-'))
            ++i;
        if (i == n || !isDigit(text[i]))
            return std::nullopt;
        for (; i < n && isDigit(text[i]); ++i)
            exponent = std::min<qint64>(exponent * 10 + (text[i].unicode() - u'0'), qint64(1) << 40);
        if (negativeExponent)
            exponent = -exponent;
    }
    if (i != n)
        return std::nullopt;

    std::string ascii;
    ascii.reserve(size_t(n));
    for (qsizetype k = negative ? 0 : mantissa; k < n; ++k)
        ascii.push_back(char(text[k].unicode()));
    double value = 0;
    const auto [end, ec] = std::from_chars(ascii.data(), ascii.data() + ascii.size(), value);
    if (ec == std::errc() && end == ascii.data() + ascii.size())
        return value;
    if (ec != std::errc::result_out_of_range)
        return std::nullopt;
    // Too large or too small for a double: which one depends on where the first significant digit stands.
    qint64 lead = 0;
    bool significant = false;
    for (qsizetype k = mantissa, place = intDigits - 1; k < mantissaEnd; ++k) {
        if (text[k] == u'.')
            continue;
        if (text[k] != u'0') {
            lead = place;
            significant = true;
            break;
        }
        --place;
    }
    const double huge = significant && lead + exponent >= 0 ? HUGE_VAL : 0.0;
    return negative ? -huge : huge;
}

QString ShortestText(double v)
{
    return QString::number(v, 'g', QLocale::FloatingPointShortest);
}

QString WrappedText(double v, qint16 minValue, qint16 maxValue)
{
    const double range = double(maxValue) - double(minValue) + 1;
    const QString top = QString::number(maxValue);
    // Minus infinity: no number of steps brings it back, so it goes to the top like any huge value.
    if (std::isnan(v) || std::isinf(v))
        return top;
    // Each step up from a value at or below zero lands exactly on v + k * range, so the steps that
    // stay at or below zero are jumped over at once; fmod is exact, and for values too large for
    // the steps to move by a whole range it is the exact answer they stand for.
    if (v < minValue && v <= 0)
        v = std::fmod(v, range) + 0.0; // -0 becomes 0, as a last step up would give
    for (int steps = 0; steps < 16; ++steps) {
        // Less than one unit above the top: wrapping would swing between the two ends forever.
        if (v > maxValue && v < maxValue + 1.0)
            return top;
        if (v > maxValue)
            v = v - range;
        else if (v < minValue)
            v = v + range;
        else
            return ShortestText(v);
    }
    return top;
}

TimeFields::TimeFields(QWidget& form, QLineEdit& hour, QLineEdit& minute, QLineEdit& second, QLineEdit& ampm)
    : form_(form), ampm_(ampm),
      boxes_{{&hour, 1, 12, false}, {&minute, 0, 59, true}, {&second, 0, 59, true}}
{
}

TimeFields::~TimeFields()
{
    detach();
}

void TimeFields::attach(character::Character* agentA)
{
    agentA_ = agentA;
    if (attached_)
        return;
    attached_ = true;
    connect(boxes_[0].edit, &QLineEdit::textChanged, this, &TimeFields::txtAlarmTimeHour_Change);
    connect(boxes_[1].edit, &QLineEdit::textChanged, this, &TimeFields::txtAlarmTimeMinute_Change);
    connect(boxes_[2].edit, &QLineEdit::textChanged, this, &TimeFields::txtAlarmTimeSecond_Change);
    for (const Box& b : boxes_)
        b.edit->installEventFilter(this);
    ampm_.installEventFilter(this);
}

void TimeFields::detach()
{
    if (!attached_)
        return;
    attached_ = false;
    for (const Box& b : boxes_) {
        disconnect(b.edit, nullptr, this, nullptr);
        b.edit->removeEventFilter(this);
    }
    ampm_.removeEventFilter(this);
    current_ = nullptr;
    clickedInto_ = nullptr;
}

const TimeFields::Box* TimeFields::numberBox(const QWidget* w) const
{
    for (const Box& b : boxes_)
        if (b.edit == w)
            return &b;
    return nullptr;
}

void TimeFields::AdjustTimeField(QLineEdit& timeBox, qint16 minValue, qint16 maxValue, bool addLeadingZero,
                                 const QString& defaultText)
{
    const std::optional<double> value = NumericValue(timeBox.text());
    if (!value) {
        timeBox.setText(defaultText);
        if (form_.focusWidget() != &timeBox) {
            // Qt may be in the middle of moving the focus away from this box: take it back after that.
            QTimer::singleShot(0, &timeBox, [this, &timeBox] {
                if (attached_)
                    timeBox.setFocus(Qt::OtherFocusReason);
            });
        }
        return;
    }
    const double v = *value;
    if (v > 99) {
        timeBox.setText(QString::number(maxValue));
    } else if (v > maxValue || v < minValue) {
        timeBox.setText(WrappedText(v, minValue, maxValue));
    } else if (v < 10 && addLeadingZero) {
        if (prefixedText_.isEmpty()) {
            prefixedText_ = timeBox.text();
            timeBox.setText(QStringLiteral("0") + prefixedText_);
            // The change above clears it when the padded text is a number again; "+5" padded is "0+5",
            // which is not, and a set text left behind would keep the next "7" from becoming "07".
            prefixedText_.clear();
        } else {
            prefixedText_.clear();
        }
    }
}

void TimeFields::SetNumberCommands(qint16 firstNumber, qint16 lastNumber, bool addCommands)
{
    if (!agentA_)
        return;
    for (int n = firstNumber; n <= lastNumber; ++n) {
        const QString name = QString::number(n);
        if (addCommands)
            agentA_->Commands().Add(name, QString(), name, true, false);
        else
            agentA_->Commands().Remove(name);
    }
}

bool TimeFields::NumberCommand(const QString& name)
{
    for (int n = 0; n <= 59; ++n) {
        if (name != QString::number(n))
            continue;
        // Only a number box takes a number: the AM/PM box holds AM or PM and nothing else.
        if (const Box* b = numberBox(form_.focusWidget()))
            b->edit->setText(name);
        return true;
    }
    return false;
}

void TimeFields::changed(const Box& b)
{
    AdjustTimeField(*b.edit, b.minValue, b.maxValue, b.leadingZero, QString());
}

void TimeFields::gotFocus(const Box& b)
{
    SetNumberCommands(b.minValue, b.maxValue, true);
    b.edit->setSelection(0, int(b.edit->text().size()));
}

void TimeFields::lostFocus(const Box& b)
{
    AdjustTimeField(*b.edit, b.minValue, b.maxValue, false, QStringLiteral("00"));
    SetNumberCommands(b.minValue, b.maxValue, false);
}

void TimeFields::txtAlarmTimeHour_Change() { changed(boxes_[0]); }
void TimeFields::txtAlarmTimeMinute_Change() { changed(boxes_[1]); }
void TimeFields::txtAlarmTimeSecond_Change() { changed(boxes_[2]); }

void TimeFields::toggleAMPM()
{
    ampm_.setText(ampm_.text() == AM ? PM : AM);
}

void TimeFields::txtAlarmTimeAMPM_GotFocus()
{
    toggleAMPM();
}

void TimeFields::step(int delta)
{
    QWidget* active = form_.focusWidget();
    if (active == &ampm_) {
        toggleAMPM();
        return;
    }
    const Box* b = numberBox(active);
    if (!b)
        return;
    // An empty box has no value to step from; it is left for the focus rules to fill.
    if (const std::optional<double> v = NumericValue(b->edit->text()))
        b->edit->setText(ShortestText(*v + delta));
}

// The upper arrow lowers the value and the lower one raises it.
void TimeFields::UpDown_UpClick()
{
    step(-1);
}

void TimeFields::UpDown_DownClick()
{
    step(+1);
}

void TimeFields::entered(QLineEdit* box)
{
    if (box == current_)
        return; // the dialog came back to the front with the focus where it was
    if (QLineEdit* previous = current_) {
        current_ = nullptr;
        left(previous);
    }
    current_ = box;
    if (box == &ampm_)
        txtAlarmTimeAMPM_GotFocus();
    else if (const Box* b = numberBox(box))
        gotFocus(*b);
}

void TimeFields::left(QLineEdit* box)
{
    if (current_ == box)
        current_ = nullptr;
    if (const Box* b = numberBox(box))
        lostFocus(*b);
}

bool TimeFields::eventFilter(QObject* watched, QEvent* event)
{
    auto* box = qobject_cast<QLineEdit*>(watched);
    if (!attached_ || !box)
        return false;
    if (event->type() == QEvent::FocusIn) {
        entered(box);
        // The click that brought the focus would put the caret under the mouse and drop the selection.
        const bool byMouse = static_cast<QFocusEvent*>(event)->reason() == Qt::MouseFocusReason;
        clickedInto_ = byMouse && numberBox(box) ? box : nullptr;
    } else if ((event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonRelease) &&
               box == clickedInto_) {
        if (static_cast<QMouseEvent*>(event)->button() != Qt::LeftButton) {
            clickedInto_ = nullptr;
            return false;
        }
        if (event->type() == QEvent::MouseButtonRelease)
            clickedInto_ = nullptr;
        return true;
    } else if (event->type() == QEvent::FocusOut) {
        clickedInto_ = nullptr;
        // Another window or a pop-up menu taking the keyboard leaves the box the dialog's active control.
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason && box == current_)
            left(box);
    }
    return false;
}

} // namespace alarms
