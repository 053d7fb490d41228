#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "notify/settings/settings_store.h"

namespace raid {

namespace setting {
// The program and its arguments, one per line; empty: no command.
inline constexpr const char* NotifyCommand = "NotifyCommand";
// Degrees Celsius from which an enclosure is over heat.
inline constexpr const char* OverHeatLimit = "OverHeatLimit";
}  // namespace setting

// A user's command run for every notification: a program and its arguments,
// started without a shell.
struct HookCommand {
    std::string program;  // an absolute path
    std::vector<std::string> args;
    bool operator==(const HookCommand&) const = default;
};

// Why the command cannot be stored or run, or empty text: the program must be
// an absolute path (a service has no useful PATH or working folder), and no
// part may hold a line break or NUL.
std::string HookCommandProblem(const HookCommand& command);

// The stored command; none when there is none or it is unusable (then
// `problem` says why).
std::optional<HookCommand> ReadHookCommand(SettingsStore& store, std::string* problem = nullptr);

// Stores the command (none: removes it) and commits. Returns an error text.
std::string SaveHookCommand(SettingsStore& store, const std::optional<HookCommand>& command);

// The program and its arguments as a user reads them: arguments quoted.
std::string HookCommandText(const HookCommand& command);

inline constexpr std::uint32_t kLowestHeatLimit = 20;
inline constexpr std::uint32_t kHighestHeatLimit = 100;

// The stored over-heat limit, or the default when none (or one out of range) is stored.
std::uint8_t ReadHeatLimit(SettingsStore& store);
std::string SaveHeatLimit(SettingsStore& store, std::uint32_t celsius);

}  // namespace raid
