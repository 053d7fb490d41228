#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace raid {

// One property value as the host's management service delivers it: nothing,
// a scalar already turned into text, or an array of such texts.
using FactValue = std::variant<std::monostate, std::string, std::vector<std::string>>;

struct FactProperty {
    std::string name;
    FactValue value;
};

// One object of a class, its properties in the order the service lists them.
using FactObject = std::vector<FactProperty>;

// Answers "WMI-like" queries: the objects of a class such as "Win32_DiskDrive".
// On Windows this is WMI itself; elsewhere a backend gathers the same facts
// from the operating system under the same class and property names.
class SystemFacts {
  public:
    virtual ~SystemFacts() = default;

    // All objects of `className`, or nullopt when the query itself failed
    // (no service, unknown class, a system call that failed). A class with no
    // objects is an empty list, not a failure.
    virtual std::optional<std::vector<FactObject>> Query(std::string_view className) = 0;
};

}  // namespace raid
