#include "ui/dialogs.h"

#include <QMessageBox>

namespace ui {

void QtDialogs::showMessage(form::MessageKind kind, const std::string& title,
                            const std::string& text) {
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QString caption = QString::fromStdString(title);
    switch (kind) {
        case form::MessageKind::StartupError:
            // No owner and no title of our own: the window system shows its default.
            icon = QMessageBox::Critical;
            caption.clear();
            break;
        case form::MessageKind::Information:
            icon = QMessageBox::NoIcon;
            break;
        case form::MessageKind::StopError:
            icon = QMessageBox::Critical;
            break;
    }
    // Parentless, so Qt centres the box on the screen.
    QMessageBox box(icon, caption, QString::fromStdString(text), QMessageBox::Ok);
    box.exec();
}

}  // namespace ui
