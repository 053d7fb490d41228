#pragma once

#include <cstdint>
#include <span>

namespace raid {

struct SmartAttributeName {
    std::uint8_t id;
    const char* name;  // at most 33 characters
};

// The names the SMART page gives attribute IDs, searched from the top.
std::span<const SmartAttributeName> SmartAttributeNames();

// The name of `id`, or nullptr for an ID the table does not know.
const char* SmartAttributeNameOf(std::uint8_t id);

}  // namespace raid
