#include "ui/desktop/autostart.h"

namespace raid::ui {

std::string AutostartEntry(const std::string& program) {
    // Exec quotes the path as the desktop entry specification asks, so that
    // a folder with blanks still starts the program.
    std::string quoted = "\"";
    for (const char c : program) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') {
            quoted += '\\';
        }
        quoted += c;
    }
    quoted += '"';
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=RAID GUI\n"
           "Comment=Watch the USB RAID enclosures from login on\n"
           "Exec=" +
           quoted +
           "\n"
           "Icon=raidgui\n"
           "Terminal=false\n"
           "X-GNOME-Autostart-enabled=true\n";
}

}  // namespace raid::ui
