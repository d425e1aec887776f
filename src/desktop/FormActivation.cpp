// The forms' Form_Activate and Form_Deactivate, from the windows gaining the keyboard focus.
#include "FormActivation.h"

#include <QApplication>
#include <QWidget>
#include <QWindow>

namespace desktop {

FormActivation::FormActivation()
{
    connect(qApp, &QGuiApplication::focusWindowChanged, this, &FormActivation::focusWindowChanged);
}

namespace {
QWidget* formOf(QWindow* window)
{
    if (!window)
        return nullptr;
    const Qt::WindowType type = window->type();
    if (type == Qt::Popup || type == Qt::ToolTip || type == Qt::Desktop)
        return nullptr;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->windowHandle() == window)
            return w;
    return nullptr;
}
} // namespace

void FormActivation::focusWindowChanged(QWindow* window)
{
    QWidget* form = formOf(window);
    if (!form || form == active_)
        return;
    QPointer<QWidget> previous = active_;
    active_ = form;
    if (previous)
        if (auto* f = dynamic_cast<ActivatableForm*>(previous.data()))
            f->Form_Deactivate();
    if (active_ == form)
        if (auto* f = dynamic_cast<ActivatableForm*>(form))
            f->Form_Activate();
}

} // namespace desktop
