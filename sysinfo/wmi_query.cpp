#include "sysinfo/wmi_query.h"

#include <type_traits>

namespace raid {

std::string FactValueText(const FactValue& value) {
    return std::visit(
        [](const auto& v) -> std::string {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, std::string>) {
                return v;
            } else if constexpr (std::is_same_v<T, std::vector<std::string>>) {
                std::string joined;
                for (std::size_t i = 0; i < v.size(); ++i) {
                    if (i != 0) {
                        joined += ", ";
                    }
                    joined += v[i];
                }
                return joined;
            } else {
                return {};
            }
        },
        value);
}

std::string WmiQueryProperty(SystemFacts& facts, std::string_view className,
                             std::string_view propertyName, bool collectAll,
                             std::vector<std::string>& wmiValueList) {
    wmiValueList.clear();
    const auto objects = facts.Query(className);
    if (!objects || propertyName.empty()) {
        return {};
    }
    for (const FactObject& object : *objects) {
        for (const FactProperty& property : object) {
            if (property.name != propertyName) {
                continue;
            }
            std::string text = FactValueText(property.value);
            if (text.empty()) {
                continue;
            }
            if (!collectAll) {
                return text;
            }
            wmiValueList.push_back(std::move(text));
            break;  // one value per object; the next object may have its own
        }
    }
    return {};
}

}  // namespace raid
