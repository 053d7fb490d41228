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

}  // namespace

std::uint32_t EraseBlockEnd(std::uint32_t size) {
    return (size & ~(kEraseBlock - 1)) + kEraseBlock;
}

std::uint32_t EraseLength(std::uint32_t size) {
    const std::uint32_t e = EraseBlockEnd(size);
    return e <= kDoubleEraseLimit ? 2 * e : e;
}

std::uint32_t ProgressMaximum(std::uint32_t size) {
    const std::uint32_t pages = (size + kFlashPage - 1) / kFlashPage;
    return EraseLength(size) / kFlashEraseStep + 2 * pages;
}

FirmwareUpgrade::FirmwareUpgrade(Services services, MaintenanceState& state)
    : s_(services), state_(state) {}

void FirmwareUpgrade::Finish() {
    s_.flags.flashTargetIndex.store(kNoFlashTarget);
    s_.flags.MaintenanceBusy.store(0);
    s_.view.SetDeviceBoxesEnabled(true);
}

UpgradeResult FirmwareUpgrade::Refuse(const std::string& text, const std::string& caption) {
    s_.dialogs.MessageBox(text, caption, caption == "Error" ? DialogIcon::Error : DialogIcon::None);
    return {UpgradeOutcome::NotStarted, text};
}

std::optional<UpgradeResult> FirmwareUpgrade::Prepare(std::size_t device, bool ask,
                                                      std::optional<EnclosureLockHold>& hold) {
    const FirmwareImage& image = state_.image;
    if (!image.Loaded()) {
        return Refuse(kNoImageText, "Message");
    }
    const DeviceState& dev = s_.devices;
    // A discovery writes the tables the checks read; none starts while
    // MaintenanceBusy is set, so once this one has been applied they hold
    // still until the end.
    if (dev.DetectionRunning.load() || dev.DetectDone.load()) {
        return Refuse(kDetectingText, "Message");
    }
    s_.flags.flashTargetIndex.store(
        static_cast<std::uint16_t>(std::min<std::size_t>(device, kNoFlashTarget)));
    if (dev.table.count == 0) {
        s_.status.SetPanel(kPanelErrors, "Device not found!!!");
        return Refuse("No Device found !", "Message");
    }
    if (device >= dev.table.count) {
        s_.status.SetPanel(kPanelErrors, "No Upgrade Mode!!!");
        return Refuse("No Upgrade Mode !", "Message");
    }
    if (dev.table.InUse(device)) {
        return Refuse(kInUseText, "Message");
    }

    // Every check again, against the device the upgrade goes to now: another
    // enclosure may have been chosen, or found, since the file was loaded.
    const UpgradeTarget target = KnownTarget(dev, device);
    s_.status.SetPanel(kPanelErrors, FirmwareTypesText(target.facts.flashType, image.Type()));
    if (const auto refused = CheckUpgradeImage(image.bytes, target.facts)) {
        return Refuse(refused->text, refused->caption);
    }
    if (ask) {
        const std::string question =
            "Rewrite the firmware of Device" + std::to_string(device + 1) + " (disk " +
            std::to_string(target.disk) + ": " + TargetNameText(target) + ", firmware " +
            TargetFirmwareText(target) + ") with " + image.path + " (" +
            std::to_string(image.size) + " bytes, " + ChecksumText(ImageChecksum(image.bytes)) +
            ")? Do not disconnect it meanwhile.";
        if (!s_.dialogs.Ask(question, "Firmware Upgrade Message")) {
            return UpgradeResult{UpgradeOutcome::NotStarted, "Cancelled."};
        }
    }

    // From here to the last compare nobody else of ours talks to it.
    hold.emplace(s_.lock, target.disk, s_.clock, kLockWaitMs, pump_);
    if (!hold->held()) {
        s_.status.SetPanel(kPanelErrors, kInUseText);
        return Refuse(kInUseText, "Message");
    }
    // The enclosure at that disk may have been swapped since it was found.
    const auto now = AskTarget(s_.channel, s_.transport, dev, target);
    if (!now) {
        return Refuse("The device did not answer before the upgrade; nothing was written.",
                      "Message");
    }
    if (const std::string differs = IdentityDifference(target, *now); !differs.empty()) {
        return Refuse("The device at disk " + std::to_string(target.disk) +
                          " is not the one the firmware was checked against (" + differs +
                          " changed); nothing was written.",
                      "Message");
    }
    // A flash smaller than the erase range would be erased whole and then
    // fail past its end: the last page the erase covers must be readable, and
    // so must the first.
    const std::uint32_t lastPage = EraseLength(image.size) - kFlashPage;
    FlashChunk probe{};
    for (const std::uint32_t address : {lastPage, std::uint32_t{0}}) {
        if (!s_.flash.ReadSpiFlash(address, kFlashPage, probe)) {
            return Refuse("The SPI flash cannot be read at address " + FlashAddressText(address) +
                              ", which the erase would cover; nothing was erased.",
                          "Message");
        }
    }
    return std::nullopt;
}

UpgradeResult FirmwareUpgrade::Check(std::size_t device) {
    if (s_.flags.MaintenanceBusy.load()) {
        return {UpgradeOutcome::Ignored, {}};
    }
    s_.flags.MaintenanceBusy.store(1);
    std::optional<EnclosureLockHold> hold;
    std::optional<UpgradeResult> refused = Prepare(device, false, hold);
    hold.reset();
    s_.flags.flashTargetIndex.store(kNoFlashTarget);
    s_.flags.MaintenanceBusy.store(0);
    return refused ? *refused : UpgradeResult{UpgradeOutcome::Accepted, {}};
}

UpgradeResult FirmwareUpgrade::Run(std::size_t device) {
    if (s_.flags.MaintenanceBusy.load()) {
        return {UpgradeOutcome::Ignored, {}};
    }
    s_.flags.MaintenanceBusy.store(1);
    s_.view.SetDeviceBoxesEnabled(false);

    std::optional<EnclosureLockHold> hold;
    if (std::optional<UpgradeResult> refused = Prepare(device, true, hold)) {
        hold.reset();
        Finish();
        return *refused;
    }

    const FirmwareImage& image = state_.image;
    s_.view.SetProgressLabel("Firmware Update...");
    state_.progressCounter.store(0);
    s_.view.SetProgressRange(ProgressMaximum(image.size));
    // Shown before its first caption: a front end that holds stop signals
    // back while the box shows has them held before anyone can see the
    // upgrade begin.
    s_.view.ShowProgress(true);
    s_.view.SetProcessCaption("Process 1 / 3");
    s_.view.SetProgressTimer(true);

    const bool ok = Flash();

    s_.view.SetProgressTimer(false);
    s_.view.ShowProgress(false);
    hold.reset();
    UpgradeResult result;
    if (ok) {
        result = {UpgradeOutcome::Completed, kCompletedText};
        s_.dialogs.MessageBox(kCompletedText, "Firmware Upgrade Message", DialogIcon::Information);
    } else {
        result = {UpgradeOutcome::Failed, s_.status.Panel4()};
        s_.dialogs.MessageBox(result.text, "Message", DialogIcon::None);
    }
    Finish();
    return result;
}

bool FirmwareUpgrade::Flash() {
    const FirmwareImage& image = state_.image;
    const std::uint32_t size = image.size;
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
