#pragma once

#include <optional>

#include "notify/settings/settings_folder.h"

namespace raid::cli {

// Where this run's settings live; none, with the reason on standard error,
// when no place can be told.
std::optional<SettingsPlace> SettingsPlaceOrComplain();

}  // namespace raid::cli
