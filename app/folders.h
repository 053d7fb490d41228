#pragma once

#include <string>

namespace raid {

// The folder of the running executable, or empty text when it cannot be told.
std::string ExecutableFolder();

// What decides where the event logs, the outbox and the SMART dumps go on
// Linux, as the front end read it from the environment (null or empty: not
// set).
struct LogFolderInputs {
    const char* logDirOverride = nullptr;  // RAIDGUI_LOG_DIR
    bool runAsRoot = false;
    const char* xdgStateHome = nullptr;  // XDG_STATE_HOME
    const char* home = nullptr;          // HOME, or the account's home folder
};

// RAIDGUI_LOG_DIR when set; "/var/log/raidgui" for root; otherwise the user's
// state folder ($XDG_STATE_HOME or $HOME/.local/state) + "/raidgui". Empty
// text when none can be told. Never the executable's folder: that is /usr/bin
// once installed, which a user cannot write and a purge would not clean.
std::string ChooseLogFolder(const LogFolderInputs& inputs);

// The log folder of this run, made when missing.
struct LogFolder {
    std::string path;     // empty: none could be told, the log stays in memory
    std::string problem;  // why the folder cannot be used, or empty text
};

// Makes `path` and its missing parents; the folder itself gets `mode` when it
// is made here (0700 for a user's own logs). The problem text names the folder.
LogFolder PrepareLogFolder(const std::string& path, unsigned mode);

// The folder for the running process: the rule above on Linux, the
// executable's folder (or RAIDGUI_LOG_DIR) on Windows.
LogFolder HostLogFolder();

}  // namespace raid
