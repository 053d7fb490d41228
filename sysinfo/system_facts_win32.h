#pragma once

#include "sysinfo/system_facts.h"

namespace raid {

inline constexpr const char* kCoInitializeSecurityError = "CoInitializeSecurity error!";

enum class ComSetup { Ok, InitializeFailed, SecurityFailed };

// Prepares COM on the calling (main) thread for WMI: CoInitialize, then
// process-wide security at packet authentication with impersonation (once
// per process; security set before is taken as it is). `initialized` tells
// whether a CoUninitialize is owed on this thread. On SecurityFailed the
// application shows kCoInitializeSecurityError and ends.
ComSetup InitializeComForWmi(bool& initialized);

// The facts straight from WMI (root\cimv2), one WQL "Select * from" query per
// call. Made on the main thread, which it prepares for COM for its lifetime
// (and must be destroyed there); a query on any thread joins COM for its
// own duration.
class WmiSystemFacts final : public SystemFacts {
  public:
    WmiSystemFacts();
    ~WmiSystemFacts() override;
    WmiSystemFacts(const WmiSystemFacts&) = delete;
    WmiSystemFacts& operator=(const WmiSystemFacts&) = delete;

    ComSetup setup() const { return setup_; }
    std::optional<std::vector<FactObject>> Query(std::string_view className) override;

  private:
    bool initialized_ = false;
    ComSetup setup_;
};

}  // namespace raid
