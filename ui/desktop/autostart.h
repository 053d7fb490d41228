#pragma once

#include <string>

namespace raid::ui {

// Start at login. On Linux an XDG autostart entry, "raidgui.desktop" in the
// "autostart" folder of the user's config folder; on Windows a value of the
// user's Run key.

// Where the entry lives: "<XDG_CONFIG_HOME>/autostart/raidgui.desktop", with
// "<HOME>/.config" when XDG_CONFIG_HOME is unset or not absolute. Empty when
// neither gives a folder. (Windows: the Run key's name.)
std::string AutostartLocation(const char* xdgConfigHome, const char* home);

// The desktop entry that starts `program` (an absolute path or a name
// found on PATH) at login.
std::string AutostartEntry(const std::string& program);

// Switches start at login on (writing the entry for `program`) or off
// (removing it). False, with `error`, when that failed.
bool SetAutostart(const std::string& location, bool on, const std::string& program,
                  std::string& error);

// Whether the entry is there.
bool AutostartEnabled(const std::string& location);

// The environment's location, as AutostartLocation reads it.
std::string HostAutostartLocation();

// The running program's own path, for the entry to start.
std::string ThisProgram();

}  // namespace raid::ui
