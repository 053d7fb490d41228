#pragma once

#include <string>

namespace raid {

enum class DialogIcon { None, Information, Warning, Error };

// Modal messages to the user. The window shows a message box; the command
// line prints to standard error; tests record them. Implementations are
// called on the main thread only.
class Dialogs {
  public:
    virtual ~Dialogs() = default;
    // An empty caption means the platform's default caption.
    virtual void MessageBox(const std::string& text, const std::string& caption,
                            DialogIcon icon) = 0;
    // A yes/no question before something that cannot be undone; true only
    // when the user said yes. One that cannot ask says no.
    virtual bool Ask(const std::string& /*question*/, const std::string& /*caption*/) {
        return false;
    }
};

}  // namespace raid
