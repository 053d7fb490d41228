#include <pwd.h>
#include <unistd.h>

#include <array>
#include <cstdlib>

#include "app/folders.h"

namespace raid {

std::string ExecutableFolder() {
    std::array<char, 4096> path{};
    const ssize_t n = readlink("/proc/self/exe", path.data(), path.size() - 1);
    if (n <= 0) {
        return {};
    }
    std::string text(path.data(), static_cast<std::size_t>(n));
    const auto slash = text.rfind('/');
    return slash == std::string::npos ? std::string() : text.substr(0, slash == 0 ? 1 : slash);
}

LogFolder HostLogFolder() {
    const bool root = ::geteuid() == 0;
    const char* home = std::getenv("HOME");
    // A desktop session always has HOME; a cron job or a bare `env -i` may
    // not, and its account still has a home folder.
    std::string accountHome;
    if (home == nullptr || home[0] == '\0') {
        if (const passwd* account = ::getpwuid(::geteuid()); account != nullptr) {
            accountHome = account->pw_dir != nullptr ? account->pw_dir : "";
        }
        home = accountHome.c_str();
    }
    const std::string folder = ChooseLogFolder({
        .logDirOverride = std::getenv("RAIDGUI_LOG_DIR"),
        .runAsRoot = root,
        .xdgStateHome = std::getenv("XDG_STATE_HOME"),
        .home = home,
    });
    // The service's folder has the unit's LogsDirectoryMode; a user's logs
    // and waiting mails name enclosures and mail addresses and stay private.
    return PrepareLogFolder(folder, root ? 0750 : 0700);
}

}  // namespace raid
