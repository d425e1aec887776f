// The forms' Form_Activate and Form_Deactivate, from the windows gaining the keyboard focus.
#include "FormActivation.h"

#include <QGuiApplication>
#include <QWidget>
#include <QWindow>
#include <vector>

namespace desktop {

FormActivation::FormActivation()
{
    connect(qApp, &QGuiApplication::focusWindowChanged, this, &FormActivation::focusWindowChanged);
}

void FormActivation::track(QWidget& form, ActivatableForm& handler)
{
    forms_.push_back({&form, &handler});
}

const FormActivation::Tracked* FormActivation::formOf(QWindow* window)
{
    std::erase_if(forms_, [](const Tracked& t) { return !t.widget; });
    if (!window)
        return nullptr;
    const Qt::WindowType type = window->type();
    if (type == Qt::Popup || type == Qt::ToolTip || type == Qt::Desktop)
        return nullptr;
    for (const Tracked& t : forms_)
        if (t.widget->windowHandle() == window)
            return &t;
    return nullptr;
}

void FormActivation::focusWindowChanged(QWindow* window)
{
    const Tracked* found = formOf(window);
    if (!found || found->widget == active_)
        return;
    const Tracked now = *found;
    const QPointer<QWidget> previous = active_;
    active_ = now.widget;
    ActivatableForm* left = nullptr;
    for (const Tracked& t : forms_)
        if (previous && t.widget == previous)
            left = t.handler;
    if (left)
        left->Form_Deactivate();
    // Deactivating the last form may have brought up another.
    if (active_ == now.widget && now.widget)
        now.handler->Form_Activate();
}

} // namespace desktop
