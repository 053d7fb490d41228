#pragma once

#include "sysinfo/system_facts.h"

#include <map>
#include <string>
#include <utility>

namespace raid {

// Fixed answers, for tests and for running without the host's own facts.
// A class that was never set fails its query, as an unknown class does.
class CannedSystemFacts final : public SystemFacts {
  public:
    void Set(std::string className, std::vector<FactObject> objects) {
        classes_[std::move(className)] = std::move(objects);
    }

    std::optional<std::vector<FactObject>> Query(std::string_view className) override {
        const auto it = classes_.find(std::string(className));
        if (it == classes_.end()) {
            return std::nullopt;
        }
        return it->second;
    }

  private:
    std::map<std::string, std::vector<FactObject>> classes_;
};

}  // namespace raid
