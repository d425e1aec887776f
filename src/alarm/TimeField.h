// The alarm dialog's hour, minute, second and AM/PM boxes: wrapping, padding, focus and spoken numbers.
#pragma once
#include <QObject>
#include <QString>
#include <QStringView>
#include <optional>

class QLineEdit;
class QWidget;

namespace character {
class Character;
}

namespace alarms {

// A number in ordinary decimal notation: optional sign, digits with an optional point, optional
// exponent. Nothing else counts: no spaces, no hex, no "inf", no digits of other scripts.
std::optional<double> NumericValue(QStringView text);

// The shortest decimal text that reads back as `v`.
QString ShortestText(double v);

// The text a box ends with when `v`, which lies outside minValue..maxValue, is wrapped back one
// range at a time. Done in a bounded number of steps whatever `v` is.
QString WrappedText(double v, qint16 minValue, qint16 maxValue);

// The rules of the alarm dialog's hour, minute, second and AM/PM boxes, its arrows and the spoken
// numbers. The dialog owns the widgets; this keeps them in range and follows the focus.
class TimeFields : public QObject {
    Q_OBJECT
public:
    TimeFields(QWidget& form, QLineEdit& hour, QLineEdit& minute, QLineEdit& second, QLineEdit& ampm);
    ~TimeFields() override;

    // From here on every text change and focus move is handled; number commands go to `agentA`.
    void attach(character::Character* agentA);
    // The dialog is closing: nothing is handled any more.
    void detach();

    void AdjustTimeField(QLineEdit& timeBox, qint16 minValue, qint16 maxValue, bool addLeadingZero,
                         const QString& defaultText);
    void SetNumberCommands(qint16 firstNumber, qint16 lastNumber, bool addCommands);
    // The number-command rule: true when `name` is one of "0".."59" (and so was handled).
    bool NumberCommand(const QString& name);

    void txtAlarmTimeHour_Change();
    void txtAlarmTimeMinute_Change();
    void txtAlarmTimeSecond_Change();
    void txtAlarmTimeAMPM_GotFocus();
    void UpDown_UpClick();
    void UpDown_DownClick();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Box {
        QLineEdit* edit;
        qint16 minValue, maxValue;
        bool leadingZero;
    };
    const Box* numberBox(const QWidget* w) const;
    void changed(const Box& b);
    void gotFocus(const Box& b);
    void lostFocus(const Box& b);
    void entered(QLineEdit* box);
    void left(QLineEdit* box);
    void step(int delta);
    void toggleAMPM();

    QWidget& form_;
    QLineEdit& ampm_;
    Box boxes_[3];
    character::Character* agentA_ = nullptr;
    QLineEdit* current_ = nullptr; // the box whose focus-gained handling ran last
    QLineEdit* clickedInto_ = nullptr; // entered by a left click still going on: its press and release are ours
    QString prefixedText_;
    bool attached_ = false;
};

} // namespace alarms
