// A modal message box.
#include "MessageBox.h"

#include <QMessageBox>

namespace platform {

void QtMessageBox::MsgBox(const QString& text, const QString& title, Icon icon)
{
    QMessageBox box;
    box.setWindowTitle(title);
    box.setText(text);
    box.setStandardButtons(QMessageBox::Ok);
    switch (icon) {
    case Icon::None: box.setIcon(QMessageBox::NoIcon); break;
    case Icon::Information: box.setIcon(QMessageBox::Information); break;
    case Icon::Warning: box.setIcon(QMessageBox::Warning); break;
    case Icon::Critical: box.setIcon(QMessageBox::Critical); break;
    }
    box.exec();
}

} // namespace platform
