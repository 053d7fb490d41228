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
#include "maintenance/upgrade_target.h"

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
    NotStarted,  // refused (or not confirmed) before any flash command
    Accepted,    // a check only: every check passed, nothing was written
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
// ProgressBar1's maximum: the flash commands an upgrade of `size` bytes
// sends (erase steps, then program and read-back commands), so that the bar
// ends full when the upgrade is done.
std::uint32_t ProgressMaximum(std::uint32_t size);

// Image2_UpgradeClick: rewrites the flash of one device with the loaded
// image, reads it back and compares. The image stays loaded whatever the
// result.
class FirmwareUpgrade {
  public:
    struct Services {
        SpiFlashAccess& flash;
        CommandChannel& channel;
        Transport& transport;
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

    // Upgrades the device at device-table index `device`. Every check runs
    // against that device now, whatever it was when the image was loaded;
    // right before the first erase the enclosure is asked again who it is
    // and whether its flash reaches as far as the erase will. The user is
    // asked (naming the image and the target) once every check has passed.
    UpgradeResult Run(std::size_t device);
    // Everything Run checks, without the question and without writing:
    // Accepted, or the refusal Run would give.
    UpgradeResult Check(std::size_t device);

    static constexpr const char* kCompletedText =
        "Firmware Upgrade 3/3 completed!\n"
        "\nPlease power off this device or the system,"
        "\nand power on it to enable the new firmware!";
    static constexpr const char* kNoImageText = "Please Load Firmware File First ";
    static constexpr const char* kDetectingText =
        "The enclosures are being detected; please try again in a moment.";
    static constexpr const char* kInUseText = "The device is in use by another program.";

  private:
    // Up to the first erase; leaves the lock held in `hold` when it passes.
    std::optional<UpgradeResult> Prepare(std::size_t device, bool ask,
                                         std::optional<EnclosureLockHold>& hold);
    UpgradeResult Refuse(const std::string& text, const std::string& caption);
    bool Flash();
    void Finish();

    Services s_;
    MaintenanceState& state_;
    std::function<void()> pump_;
};

}  // namespace raid
