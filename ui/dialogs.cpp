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
    QWidget* parent = kind != form::MessageKind::StartupError && m_owner && m_owner->isVisible() &&
                              !m_owner->isMinimized()
                          ? m_owner.data()
                          : nullptr;
    QMessageBox box(icon, caption, QString::fromStdString(text), QMessageBox::Ok, parent);
    if (!parent)
        box.setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowCloseButtonHint);
    box.exec();
}

}  // namespace ui
