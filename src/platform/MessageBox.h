// A modal message box.
#pragma once
#include <QRect>
#include <QString>

class QWidget;

namespace platform {

// A modal message box with one OK button; returns when the user has closed it.
class MessageBox {
public:
    enum class Icon { None, Information, Warning, Critical };
    virtual ~MessageBox() = default;
    // `keepClear`: a part of the screen where windows stay in front of the box; it stands elsewhere.
    virtual void MsgBox(const QString& text, const QString& title, Icon icon = Icon::None,
                        const QRect& keepClear = {}) = 0;
};

class QtMessageBox final : public MessageBox {
public:
    void MsgBox(const QString& text, const QString& title, Icon icon, const QRect& keepClear) override;
};

// Places `window`, about to show at its size, so that it and its window frame stand clear of `area`
// on the monitor `area` is on: in the middle of the monitor if that is clear, otherwise beside, below
// or above `area`; on a monitor too small for that, where it covers least of `area`. An empty `area`
// leaves the window where it would have shown.
void StandClearOf(QWidget& window, const QRect& area);

} // namespace platform
