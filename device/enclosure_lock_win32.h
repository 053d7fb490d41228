#pragma once

// Windows only (the *_win32.cpp files).
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "device/enclosure_lock.h"

namespace raid {

// The mutex that keeps every session's processes of ours apart on physical
// disk `disk`: "Global\RAIDGUI_PhysicalDrive<N>".
std::string EnclosureMutexName(std::uint8_t disk);

// The lock of real enclosures on Windows, which has no flock on a disk: the
// named mutex `nameOf(disk)`. A mutex that cannot be created or opened (one
// made by a service under another account that denies us, a name taken by
// another kind of object) is refused like a held one: that other program may
// be talking to the enclosure. A mutex belongs to the thread that took it, so
// nesting counts within a thread and another thread of this process waits
// like another process.
std::unique_ptr<EnclosureLock> MakeMutexEnclosureLock(
    std::function<std::string(std::uint8_t disk)> nameOf);

}  // namespace raid
