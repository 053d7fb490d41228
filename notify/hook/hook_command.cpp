#include "notify/hook/hook_command.h"

#include "monitor/alert_state.h"
#include "notify/compose/escaped_text.h"

namespace raid {
namespace {

bool HasBreak(const std::string& text) {
    return text.find_first_of(std::string("\r\n\0", 3)) != std::string::npos;
}

bool IsAbsolute(const std::string& path) {
#ifdef _WIN32
    return path.size() > 2 && ((path[1] == ':' && (path[2] == '\\' || path[2] == '/')) ||
                               (path[0] == '\\' && path[1] == '\\'));
#else
    return !path.empty() && path[0] == '/';
#endif
}

}  // namespace

std::string HookCommandProblem(const HookCommand& command) {
    if (!IsAbsolute(command.program)) {
        return "the program must be given with its absolute path";
    }
    if (HasBreak(command.program)) {
        return "the program's path holds a line break";
    }
    for (const std::string& arg : command.args) {
        if (HasBreak(arg)) {
            return "an argument holds a line break";
        }
    }
    return {};
}

std::optional<HookCommand> ReadHookCommand(SettingsStore& store, std::string* problem) {
    const std::optional<std::string> text = store.ReadString(setting::NotifyCommand);
    if (!text || text->empty()) {
        return std::nullopt;
    }
    HookCommand command;
    std::size_t start = 0;
    bool first = true;
    while (start <= text->size()) {
        const std::size_t end = std::min(text->find('\n', start), text->size());
        std::string part = text->substr(start, end - start);
        if (first) {
            command.program = std::move(part);
            first = false;
        } else {
            command.args.push_back(std::move(part));
        }
        start = end + 1;
    }
    const std::string why = HookCommandProblem(command);
    if (!why.empty()) {
        if (problem != nullptr) {
            *problem = "The stored NotifyCommand is not used: " + why;
        }
        return std::nullopt;
    }
    return command;
}

std::string SaveHookCommand(SettingsStore& store, const std::optional<HookCommand>& command) {
    std::string text;
    if (command) {
        if (std::string why = HookCommandProblem(*command); !why.empty()) {
            return why;
        }
        text = command->program;
        for (const std::string& arg : command->args) {
            text += "\n" + arg;
        }
    }
    store.Write(setting::NotifyCommand, SettingValue::String(text));
    return store.Commit();
}

std::string HookCommandText(const HookCommand& command) {
    std::string text = EscapedText(command.program);
    for (const std::string& arg : command.args) {
        text += " '" + EscapedText(arg) + "'";
    }
    return text;
}

std::uint8_t ReadHeatLimit(SettingsStore& store) {
    const std::optional<std::uint32_t> limit = store.ReadInteger(setting::OverHeatLimit);
    if (!limit || *limit < kLowestHeatLimit || *limit > kHighestHeatLimit) {
        return kDefaultHeatLimit;
    }
    return static_cast<std::uint8_t>(*limit);
}

std::string SaveHeatLimit(SettingsStore& store, std::uint32_t celsius) {
    if (celsius < kLowestHeatLimit || celsius > kHighestHeatLimit) {
        return "the heat limit must lie between " + std::to_string(kLowestHeatLimit) + " and " +
               std::to_string(kHighestHeatLimit) + " degrees";
    }
    store.Write(setting::OverHeatLimit, SettingValue::Integer(celsius));
    return store.Commit();
}

}  // namespace raid
