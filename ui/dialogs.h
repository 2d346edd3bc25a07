// Message boxes for the program: QMessageBox run with exec(), whose nested event loop keeps the
// QTimers ticking while the user reads (start-up relies on that). UI thread only.
#pragma once

#include "form/dialogs.h"

namespace ui {

class QtDialogs : public form::Dialogs {
public:
    void showMessage(form::MessageKind kind, const std::string& title,
                     const std::string& text) override;
};

}  // namespace ui
