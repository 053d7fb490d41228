#pragma once

#include "sysinfo/system_facts.h"

#include <string>
#include <string_view>
#include <vector>

namespace raid {

// The text a property value reads as: array elements joined with ", ",
// a scalar as it is, nothing as empty text.
std::string FactValueText(const FactValue& value);

// Reads one property of a class. `wmiValueList` is cleared on every call.
// Without `collectAll`: the first non-empty value of `propertyName` over all
// objects in order. With `collectAll`: every object's first non-empty value of
// it is appended to `wmiValueList` (so objects without one leave no gap) and
// the empty text is returned. A failed query gives empty text and an empty list.
std::string WmiQueryProperty(SystemFacts& facts, std::string_view className,
                             std::string_view propertyName, bool collectAll,
                             std::vector<std::string>& wmiValueList);

}  // namespace raid
