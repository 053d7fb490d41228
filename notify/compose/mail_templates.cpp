#include "notify/compose/mail_templates.h"

#include "monitor/log_file.h"
#include "notify/settings/mail_settings.h"
#include "notify/settings/private_file.h"
#include "notify/settings/stored_text.h"

namespace raid {
namespace {

constexpr std::size_t kMaxTemplateBytes = 1 << 20;

std::string Caption(std::uint8_t kind) {
    return kind >= 1 && kind <= kMailKinds ? kMailKindCaptions[kind - 1] : "";
}

}  // namespace

std::string SubjectTemplatePath(const std::string& directory, std::uint8_t kind) {
    return directory + "EmailSubject " + Caption(kind) + ".txt";
}

std::string ContentsTemplatePath(const std::string& directory, std::uint8_t kind) {
    return directory + "EmailContens " + Caption(kind) + ".txt";
}

std::vector<std::string> LoadTemplate(const std::string& path) {
    const PrivateFileLoad load = LoadPrivateFile(path, kMaxTemplateBytes);
    if (load.outcome != PrivateFileLoad::Outcome::Loaded) {
        return {};
    }
    return SplitLogLines(CleanStoredText(load.data));
}

std::string SaveTemplate(const std::string& path, const std::vector<std::string>& lines) {
    return SavePrivateFile(path, JoinLogLines(lines));
}

std::string DeleteTemplate(const std::string& path) {
    return RemovePrivateFile(path);
}

}  // namespace raid
