#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "ui/desktop/autostart.h"

namespace raid::ui {

std::string AutostartLocation(const char* xdgConfigHome, const char* home) {
    std::string config;
    if (xdgConfigHome != nullptr && xdgConfigHome[0] == '/') {
        config = xdgConfigHome;
    } else if (home != nullptr && home[0] == '/') {
        config = std::string(home) + "/.config";
    } else {
        return {};
    }
    return config + "/autostart/raidgui.desktop";
}

std::string HostAutostartLocation() {
    return AutostartLocation(std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME"));
}

bool SetAutostart(const std::string& location, bool on, const std::string& program,
                  std::string& error) {
    if (location.empty()) {
        error = "no config folder (neither XDG_CONFIG_HOME nor HOME is set)";
        return false;
    }
    namespace fs = std::filesystem;
    const fs::path file(location);
    std::error_code ec;
    if (!on) {
        if (!fs::remove(file, ec) && ec) {
            error = location + ": " + ec.message();
            return false;
        }
        return true;
    }
    fs::create_directories(file.parent_path(), ec);
    if (ec) {
        error = file.parent_path().string() + ": " + ec.message();
        return false;
    }
    // Written beside and renamed, so that a session starting meanwhile never
    // reads half an entry.
    const fs::path temporary = file.string() + ".new";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out << AutostartEntry(program);
        out.flush();
        if (!out) {
            error = temporary.string() + ": " + std::strerror(errno);
            fs::remove(temporary, ec);
            return false;
        }
    }
    fs::rename(temporary, file, ec);
    if (ec) {
        error = location + ": " + ec.message();
        fs::remove(temporary, ec);
        return false;
    }
    return true;
}

std::string ThisProgram() {
    std::error_code ec;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string("raidgui") : self.string();
}

bool AutostartEnabled(const std::string& location) {
    struct stat st {};
    return !location.empty() && ::stat(location.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace raid::ui
