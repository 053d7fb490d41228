#include "maintenance/firmware_upgrade.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "device/enclosure_lock.h"
#include "monitor/status_text.h"

namespace raid {
namespace {

constexpr std::uint32_t kEraseBlock = 0x2000;
constexpr std::uint32_t kDoubleEraseLimit = 0x10000;
constexpr std::uint32_t kProgressSlack = 30;

}  // namespace

std::uint32_t EraseBlockEnd(std::uint32_t size) {
    return (size & ~(kEraseBlock - 1)) + kEraseBlock;
}

std::uint32_t EraseLength(std::uint32_t size) {
    const std::uint32_t e = EraseBlockEnd(size);
    return e <= kDoubleEraseLimit ? 2 * e : e;
}

std::uint32_t ProgressMaximum(std::uint32_t size) {
    const std::uint32_t e = EraseBlockEnd(size);
    return (e / kFlashPage) * 2 + e / kFlashEraseStep + kProgressSlack;
}

FirmwareUpgrade::FirmwareUpgrade(Services services, MaintenanceState& state)
    : s_(services), state_(state) {}

void FirmwareUpgrade::Finish() {
    s_.flags.flashTargetIndex.store(kNoFlashTarget);
    s_.flags.MaintenanceBusy.store(0);
    s_.view.SetDeviceBoxesEnabled(true);
}

UpgradeResult FirmwareUpgrade::Run(std::size_t device) {
    if (s_.flags.MaintenanceBusy.load()) {
        return {UpgradeOutcome::Ignored, {}};
    }
    s_.flags.MaintenanceBusy.store(1);
    s_.view.SetDeviceBoxesEnabled(false);

    const FirmwareImage& image = state_.image;
    if (!image.Loaded()) {
        s_.dialogs.MessageBox(kNoImageText, "Message", DialogIcon::None);
        Finish();
        return {UpgradeOutcome::NotStarted, kNoImageText};
    }
    s_.flags.flashTargetIndex.store(
        static_cast<std::uint16_t>(std::min<std::size_t>(device, kNoFlashTarget)));
    const FoundDevice found = device < kMaxDevices ? s_.devices.devices[device] : FoundDevice{};
    const std::string types = "SPI = " + Hex2(found.flashType) + ", BIN = " + Hex2(image.Type());
    s_.status.SetPanel(kPanelErrors, types);

    if (found.flashType != image.Type() && found.chipVariant == 0) {
        const std::string text = "Incorrect Firmware Type! " + types;
        s_.dialogs.MessageBox(text, "Message", DialogIcon::None);
        Finish();
        return {UpgradeOutcome::NotStarted, text};
    }
    // Every flash address must stay below 8 MiB; past it the 16-bit page
    // number wraps and the erase would hit the start of the flash again.
    if (EraseLength(image.size) > kFlashAddressLimit) {
        const std::string text = "The firmware file is too large for the SPI flash (" +
                                 std::to_string(image.size) + " bytes).";
        s_.status.SetPanel(kPanelErrors, text);
        s_.dialogs.MessageBox(text, "Message", DialogIcon::None);
        Finish();
        return {UpgradeOutcome::NotStarted, text};
    }

    s_.view.SetProgressLabel("Firmware Update...");
    state_.progressCounter.store(0);
    s_.view.SetProgressRange(ProgressMaximum(image.size));
    s_.view.SetProcessCaption("Process 1 / 3");
    s_.view.ShowProgress(true);
    s_.view.SetProgressTimer(true);

    const bool ok = Flash(device);

    s_.view.SetProgressTimer(false);
    s_.view.ShowProgress(false);
    UpgradeResult result;
    if (ok) {
        result = {UpgradeOutcome::Completed, kCompletedText};
        s_.dialogs.MessageBox(kCompletedText, "Firmware Upgrade Message", DialogIcon::Warning);
    } else {
        result = {UpgradeOutcome::Failed, s_.status.Panel4()};
        s_.dialogs.MessageBox(result.text, "Message", DialogIcon::None);
    }
    Finish();
    return result;
}

bool FirmwareUpgrade::Flash(std::size_t device) {
    const FirmwareImage& image = state_.image;
    const std::uint32_t size = image.size;
    // From the first erase to the last compare nobody else of ours may talk
    // to this enclosure.
    std::optional<EnclosureLockHold> hold;
    if (device < s_.devices.table.count) {
        hold.emplace(s_.lock, s_.devices.table.Disk(device), s_.clock, kLockWaitMs, pump_);
        if (!hold->held()) {
            s_.status.SetPanel(kPanelErrors, "The device is in use by another program.");
            return false;
        }
    }
    auto position = [this] { s_.view.SetProgressPosition(state_.progressCounter.load()); };

    const bool erased = s_.flash.EraseSpiFlash(0, EraseLength(size));
    position();
    if (!erased) {
        s_.status.SetPanel(kPanelErrors, "SPI Erase Fail.");
        return false;
    }
    s_.status.SetPanel(kPanelErrors, "SPI Erase OK");
    s_.view.SetProcessCaption("Process 2 / 3");
    const bool programmed = s_.flash.ProgramSpiFlash(0, size, image.bytes);
    position();
    if (!programmed) {
        s_.status.SetPanel(kPanelErrors, "SPI Program Fail.");
        return false;
    }
    s_.status.SetPanel(kPanelErrors, "SPI Program OK");
    std::vector<std::uint8_t> readBack(size);
    s_.view.SetProcessCaption("Process 3 / 3");
    const bool read = s_.flash.ReadSpiFlash(0, size, readBack);
    position();
    if (!read) {
        return false;  // the read's own final text stands in panel 4
    }
    if (!std::equal(readBack.begin(), readBack.end(), image.bytes.begin())) {
        s_.status.SetPanel(kPanelErrors, "SPI Verify fail !!!");
        return false;
    }
    s_.status.SetPanel(kPanelErrors, "SPI Verify OK");
    return true;
}

}  // namespace raid
