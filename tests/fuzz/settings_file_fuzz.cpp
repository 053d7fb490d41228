// The settings file as a user's editor or a broken disk may leave it: what
// parses writes back to the same values.
#include <map>
#include <string>

#include "notify/settings/file_settings_store.h"
#include "tests/fuzz/fuzz_target.h"

FUZZ_TARGET(settings_file) {
    using namespace raid;
    std::map<std::string, SettingValue> values;
    const std::string error = ParseSettings(std::string(fuzz::AsText(input)), values);
    if (!error.empty()) {
        return;
    }
    const std::string text = FormatSettings(values);
    std::map<std::string, SettingValue> again;
    FUZZ_CHECK(ParseSettings(text, again).empty());
    FUZZ_CHECK(again == values);
    FUZZ_CHECK(FormatSettings(again) == text);
}
