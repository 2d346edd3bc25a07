// Message boxes, behind an interface: Qt message boxes in the program (their nested event loop
// keeps timers ticking while the user reads), a recorder in tests. UI thread only.
#pragma once

#include <string>

namespace form {

enum class MessageKind {
    StartupError,  // no owner window, the system's default title, error icon, OK
    Information,   // OK, titled with the application title, no icon
    StopError,     // stop (critical) icon, OK, titled with the application title
};

class Dialogs {
public:
    virtual ~Dialogs() = default;
    // Shows the message and returns when the user has dismissed it.
    virtual void showMessage(MessageKind kind, const std::string& title,
                             const std::string& text) = 0;
};

}  // namespace form
