#include "ui/guarded_application.h"

#include <cstdio>
#include <exception>

#include "app/escaped_exception.h"

namespace raid::ui {

GuardedApplication::GuardedApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool GuardedApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        const std::string text = EscapedExceptionText(std::current_exception());
        if (display_) {
            display_(text);
        } else {
            std::fprintf(stderr, "raidgui: %s\n", text.c_str());
        }
        return false;
    }
}

}  // namespace raid::ui
