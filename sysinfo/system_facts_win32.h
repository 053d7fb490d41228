#pragma once

#include "sysinfo/system_facts.h"

namespace raid {

inline constexpr const char* kCoInitializeSecurityError = "CoInitializeSecurity error!";

enum class ComSetup { Ok, InitializeFailed, SecurityFailed };

// Prepares COM on the calling (main) thread for WMI: CoInitialize, then
// process-wide security at packet authentication with impersonation. On
// SecurityFailed the application shows kCoInitializeSecurityError and ends.
ComSetup InitializeComForWmi();

// The facts straight from WMI (root\cimv2), one WQL "Select * from" query per
// call. COM must have been prepared on the calling thread.
class WmiSystemFacts final : public SystemFacts {
  public:
    std::optional<std::vector<FactObject>> Query(std::string_view className) override;
};

}  // namespace raid
