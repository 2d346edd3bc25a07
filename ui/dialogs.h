// Message boxes for the program: QMessageBox run with exec(), whose nested event loop keeps the
// QTimers ticking while the user reads (start-up relies on that). UI thread only.
#pragma once

#include <QPointer>
#include <QWidget>

#include "form/dialogs.h"

namespace ui {

// A box belongs to the owner window while that window is on screen (the window manager then
// keeps it over the window); otherwise, and always for start-up errors, it stands alone. A box
// standing alone is an ordinary top-level window without WM_TRANSIENT_FOR, since Qt would
// otherwise point a parentless dialog at its hidden client-leader window, which window managers
// reject.
class QtDialogs : public form::Dialogs {
public:
    void setOwner(QWidget* owner) { m_owner = owner; }
    void showMessage(form::MessageKind kind, const std::string& title,
                     const std::string& text) override;

private:
    QPointer<QWidget> m_owner;
};

}  // namespace ui
