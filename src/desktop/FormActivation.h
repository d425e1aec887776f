// The forms' Form_Activate and Form_Deactivate, from the windows gaining the keyboard focus.
#pragma once
#include <QObject>
#include <QPointer>
#include <vector>

class QWindow;
class QWidget;

namespace desktop {

// A form that wants to hear when it becomes, or stops being, the program's active window.
class ActivatableForm {
public:
    virtual ~ActivatableForm() = default;
    virtual void Form_Activate() {}
    virtual void Form_Deactivate() {}
};

// Turns focus-window changes into the forms' activation events the way the forms expect them:
// only a change between two windows of this program counts. Leaving for another program and
// coming back is no activation; pop-up menus and tool windows that never take the focus don't count.
// Only the forms handed to it hear from it, so two trackers never tell one form twice.
class FormActivation : public QObject {
    Q_OBJECT
public:
    FormActivation();
    // `form` (the widget `handler` is) hears its activation from now on, for as long as it lives.
    void track(QWidget& form, ActivatableForm& handler);

private:
    struct Tracked {
        QPointer<QWidget> widget;
        ActivatableForm* handler;
    };
    void focusWindowChanged(QWindow* window);
    const Tracked* formOf(QWindow* window);

    std::vector<Tracked> forms_;
    QPointer<QWidget> active_;
};

} // namespace desktop
