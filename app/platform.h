#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "device/clock.h"
#include "device/device_changes.h"
#include "device/disk_catalog.h"
#include "device/enclosure_lock.h"
#include "device/transport.h"
#include "sysinfo/system_facts.h"

namespace raid {

// The operating-system services of one run: the host's, or a simulated
// machine with stand-in enclosures.
struct Platform {
    std::unique_ptr<Transport> transport;
    std::unique_ptr<DiskCatalog> catalog;
    std::unique_ptr<SystemFacts> facts;
    // Set for a simulated machine, whose enclosures come and go on its own
    // timeline; the host's are watched by the front end.
    std::unique_ptr<DeviceChanges> deviceChanges;
    // Keeps our other processes off an enclosure while this one talks to it.
    std::unique_ptr<EnclosureLock> lock;
    // The physical disk number of a device node ("/dev/sdb", or a link to
    // it); unset or nothing when the node is not one of the numbered disks.
    std::function<std::optional<std::uint8_t>(const std::string& node)> diskOfNode;
};

struct PlatformResult {
    bool ok = false;
    std::string error;
    Platform platform;
};

// `traceFile` is the value of RAIDGUI_TRACE (may be null): every transport
// operation is then appended to that file.
PlatformResult MakeHostPlatform(const char* traceFile);

// Stand-in enclosures from `scenarioFile`, or the built-in demo scenario when
// it is empty. Host facts (board, name, addresses) are still the machine's.
PlatformResult MakeSimulatedPlatform(const std::string& scenarioFile, Clock& clock,
                                     const char* traceFile);

// The enclosure lock of a run: lock files in `lockFolder` (the value of
// RAIDGUI_LOCK_DIR) when given, so that processes sharing a stand-in can
// share its locks too; otherwise `fallback`.
std::unique_ptr<EnclosureLock> ChooseEnclosureLock(const char* lockFolder,
                                                   std::unique_ptr<EnclosureLock> fallback);

// Tries to open every disk number and returns a message for the first one
// that was refused for lack of rights, or empty text: "no enclosure" and
// "not allowed to look" must not read the same.
std::string PermissionProblem(Transport& transport);

}  // namespace raid
