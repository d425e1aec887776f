// A modal message box.
#pragma once
#include <QString>

namespace platform {

// A modal message box with one OK button; returns when the user has closed it.
class MessageBox {
public:
    enum class Icon { None, Information, Warning, Critical };
    virtual ~MessageBox() = default;
    virtual void MsgBox(const QString& text, const QString& title, Icon icon = Icon::None) = 0;
};

class QtMessageBox final : public MessageBox {
public:
    void MsgBox(const QString& text, const QString& title, Icon icon) override;
};

} // namespace platform
