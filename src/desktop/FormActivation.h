// The forms' Form_Activate and Form_Deactivate, from the windows gaining the keyboard focus.
#pragma once
#include <QObject>
#include <QPointer>

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
// One is made with the application and lives as long as it.
class FormActivation : public QObject {
    Q_OBJECT
public:
    FormActivation();
    // Called for every window that gains the focus; public so tests can feed it directly.
    void focusWindowChanged(QWindow* window);

private:
    QPointer<QWidget> active_;
};

} // namespace desktop
