#pragma once

#include <cstdint>
#include <string>

#include "device/clock.h"
#include "device/command_channel.h"
#include "device/device_state.h"
#include "device/dialogs.h"
#include "maintenance/last_panel_text.h"
#include "maintenance/maintenance_state.h"
#include "maintenance/spi_flash_access.h"

namespace raid {

// The Upgrade page's progress box and the controls an upgrade locks. The
// window implements it; the command line draws its own progress.
class UpgradeView {
  public:
    virtual ~UpgradeView() = default;
    // CheckBox1 and CheckBox3 ("Device1", "Device2").
    virtual void SetDeviceBoxesEnabled(bool /*enabled*/) {}
    virtual void SetProgressLabel(const std::string& /*text*/) {}  // Label12
    // ProgressBar1: maximum, and the position set to 0.
    virtual void SetProgressRange(std::uint32_t /*maximum*/) {}
    virtual void SetProgressPosition(std::uint32_t /*position*/) {}
    virtual void SetProcessCaption(const std::string& /*text*/) {}  // Panel1
    virtual void ShowProgress(bool /*visible*/) {}                  // Panel1
    virtual void SetProgressTimer(bool /*running*/) {}              // Timer1
};

enum class UpgradeOutcome {
    Ignored,     // another upgrade is running
    NotStarted,  // refused before any flash command
    Failed,
    Completed,
};

struct UpgradeResult {
    UpgradeOutcome outcome = UpgradeOutcome::Ignored;
    std::string text;  // the message shown at the end
};

// Bytes the erase covers for an image of `size` bytes: E = size rounded
// down to 8192 plus one 8192-byte block, doubled while E is at most 64 KiB.
std::uint32_t EraseLength(std::uint32_t size);
std::uint32_t EraseBlockEnd(std::uint32_t size);  // E
// ProgressBar1's maximum: (E / 128) x 2 + E / 4096 + 30.
std::uint32_t ProgressMaximum(std::uint32_t size);

// Image2_UpgradeClick: rewrites the flash of one device with the loaded
// image, reads it back and compares. The image stays loaded whatever the
// result.
class FirmwareUpgrade {
  public:
    struct Services {
        SpiFlashAccess& flash;
        EnclosureLock& lock;
        Clock& clock;
        DeviceState& devices;
        ProcessFlags& flags;
        LastPanelText& status;
        Dialogs& dialogs;
        UpgradeView& view;
    };

    FirmwareUpgrade(Services services, MaintenanceState& state);

    // Lets the window run while the lock is waited for.
    void SetMessagePump(std::function<void()> pump) { pump_ = std::move(pump); }

    // Upgrades the device at device-table index `device`.
    UpgradeResult Run(std::size_t device);

    static constexpr const char* kCompletedText =
        "Firmware Upgrade 3/3 completed!\n"
        "\nPlease power off this device or the system,"
        "\nand power on it to enable the new firmware!";
    static constexpr const char* kNoImageText = "Please Load Firmware File First ";

  private:
    bool Flash(std::size_t device);
    void Finish();

    Services s_;
    MaintenanceState& state_;
    std::function<void()> pump_;
};

}  // namespace raid
