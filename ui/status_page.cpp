// The status page and the device slots: what the selected enclosure's
// record looks like on the window.
#include <QStackedWidget>

#include "app/engine.h"
#include "monitor/array_health.h"
#include "monitor/status_summary.h"
#include "monitor/status_text.h"
#include "ui/device_texts.h"
#include "ui/main_window.h"
#include "ui/setup_page.h"
#include "ui/widget_factory.h"

namespace raid::ui {
namespace {

const QColor kNavy(0x00, 0x00, 0x80);
const QColor kRed(0xFF, 0x00, 0x00);
const QColor kBlue(0x00, 0x00, 0xFF);

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

bool SerialKnown(const std::array<std::uint8_t, 20>& serial) {
    // Discovery fills the serial of a drive it never saw with blanks.
    for (std::uint8_t c : serial) {
        if (c != 0 && c != ' ') {
            return true;
        }
    }
    return false;
}

}  // namespace

bool MainWindow::SlotTicked(int slot) const {
    // The box of a slot without an enclosure is hidden but keeps its tick;
    // counted as ticked it would be chosen as the slot to show.
    const QCheckBox* box = slotBoxes_[static_cast<std::size_t>(slot)];
    return !box->isHidden() && box->isChecked();
}

bool MainWindow::AnySlotTicked() const {
    return SlotTicked(0) || SlotTicked(1);
}

void MainWindow::ShowDevicePictures() {
    for (int slot = 0; slot < 2; ++slot) {
        const auto i = static_cast<std::size_t>(slot);
        const QString base = QString("Image0_D%1").arg(slot + 1);
        auto* yellow = findChild<PictureButton*>(base + "_Yellow");
        auto* white = findChild<PictureButton*>(base + "_White");
        statusPictures_[i]->SetPicture((slot == state_.poll.shownSlot ? yellow : white)->picture());
        upgradePictures_[i]->SetPicture((slot == upgradeSlot_ ? yellow : white)->picture());
    }
}

void MainWindow::RebuildDeviceList() {
    const DeviceState& dev = state_.devices;
    if (!AnySlotTicked() || dev.table.count == 0) {
        return;
    }
    int slot = state_.CurrentPage == kPageUpgrade ? upgradeSlot_ : state_.poll.shownSlot;
    if (slot >= dev.table.count) {
        slot = 0;
    }
    const std::uint8_t disk = dev.table.Disk(static_cast<std::size_t>(slot));
    const std::string version = BlockFirmwareText(dev.blocks[disk]);
    const auto serial = dev.diskSerials.find(disk);
    deviceLabel_ = DeviceLabelText(version, serial == dev.diskSerials.end() ? "" : serial->second);
    envPanelSupported_ = EnvPanelSupportedFor(version, dev.slots[slot].envRefresh);
    findChild<QLabel*>("StaticText10")->clear();

    std::array<std::string, 2> texts;
    for (int k = 0; k < 2; ++k) {
        const auto i = static_cast<std::size_t>(k);
        if (k < dev.table.count) {
            const std::uint8_t d = dev.table.Disk(i);
            texts[i] = DeviceText(dev.blocks[d], dev.volumes, d);
            slotBoxes_[i]->setToolTip(Q(DiskHint(d)));
        }
        statusPictures_[i]->setToolTip(Q(texts[i]));
        upgradePictures_[i]->setToolTip(Q(texts[i]));
    }
    setWindowTitle(Q(std::string(kAppTitle) + " - " + texts[static_cast<std::size_t>(slot)]));
    // The Setup page and its Set work on the enclosure of the status page,
    // so its button follows that one, whichever enclosure the Upgrade page
    // has chosen.
    const std::size_t shown = state_.poll.shownSlot < dev.table.count ? state_.poll.shownSlot : 0;
    const bool schedule = (dev.slots[shown].features & kFeatureBackup) != 0;
    ShowPageButtons(OfferedButtons(schedule ? kButtonsWithSchedule : kButtonsPlain));
    if (schedule) {
        setupPage_->ApplyScheduleParameters(shown);
    }
}

int MainWindow::ShowStatusPage(bool force) {
    const DeviceState& dev = state_.devices;
    if (state_.CurrentPage != kPageStatus || dev.table.count == 0 || !AnySlotTicked()) {
        return -1;
    }
    const std::size_t slot = state_.poll.shownSlot < dev.table.count ? state_.poll.shownSlot : 0;
    const RaidStatus& r = dev.records[dev.table.Disk(slot)];
    const MonitorSlot& monitor = dev.slots[slot];

    findChild<QLabel*>("Label48")->setText(Q(deviceLabel_));

    auto* fan = findChild<QLabel*>("Label5");
    auto* temperature = findChild<QLabel*>("Label7");
    fan->setText(QString::number(r.fanRpm));
    SetTextColour(fan, (r.envStatus & 0x01) != 0 ? kRed : kBlue);
    temperature->setText(QString::number(r.temperature));
    SetTextColour(temperature, (r.envStatus & 0x04) != 0 ? kRed : kBlue);
    findChild<QWidget*>("Panel11")->setVisible(envPanelSupported_ && ReportsEnvironment(r));

    auto* buzzer = findChild<QCheckBox*>("CheckBox5");
    if ((monitor.features & kFeatureBuzzer) != 0) {
        buzzer->show();
        const bool muted = (r.controlFlags & 0x01) == 0;
        if (state_.flags.StartupPass.load()) {
            settingBuzzerBox_ = true;
            buzzer->setChecked(muted);
            settingBuzzerBox_ = false;
        } else {
            buzzer->setEnabled(!monitor.buzzerChanged);
            // Once the enclosure has answered a change (or when another
            // enclosure is shown) the box shows what the enclosure reports.
            if (!monitor.buzzerChanged) {
                settingBuzzerBox_ = true;
                buzzer->setChecked(muted);
                settingBuzzerBox_ = false;
            }
        }
    } else {
        buzzer->hide();
    }

    findChild<QLabel*>("Label17")->setText(Q(ModeName(r.raidMode)));
    state_.flags.StartupPass.store(0);

    if (force) {
        // Another enclosure (or a full redraw): its percentage was never shown.
        lastShownPercent_ = kNoneShown;
    }
    if (force || r.driveClass != lastShownClass_) {
        lastShownClass_ = r.driveClass;
        ShowDrive(0, r.driveClass & 0x0F, r);
        ShowDrive(1, static_cast<std::uint8_t>(r.driveClass >> 4), r);
        findChild<QLabel*>("Label27")->setText(Q(SizeText(r.arrayCapacity)));
    }

    auto* state = findChild<QLabel*>("Label18");
    if ((r.taskMask & 0x03) != 0) {
        if (r.progressPercent != lastShownPercent_) {
            state->setText(Q(ArrayStateText(r)));
            lastShownPercent_ = r.progressPercent;
        }
        logButton_->show();
    } else {
        state->setText(Q(ArrayStateText(r)));
        lastShownPercent_ = kNoneShown;
    }
    // Beyond the design's black: a state that is not normal cannot be
    // missed at a glance.
    SetAlarmColour(state, HealthOf(r) != ArrayHealth::Normal);
    return 0;
}

// `classBits` in the HDD1 position (0x04 absent, 0x02 present, 0x08 failed,
// 0x01 inserted).
void MainWindow::ShowDrive(int drive, std::uint8_t classBits, const RaidStatus& r) {
    auto* size = findChild<QLabel*>(drive == 0 ? "Label25" : "Label26");
    auto* model = findChild<QLabel*>(drive == 0 ? "Label51" : "Label52");
    const auto& serial = drive == 0 ? r.hdd1Serial : r.hdd2Serial;
    const QString sizeText = Q(SizeText(drive == 0 ? r.hdd1Capacity : r.hdd2Capacity) + "\n");
    const QString modelText = Q(ModelText(drive == 0 ? r.hdd1Model : r.hdd2Model));
    // The bay's name turns red while its drive is gone or failed.
    SetAlarmColour(
        findChild<QWidget*>(drive == 0 ? "Label45" : "Label46"),
        (classBits & kClassPresent) == 0 && (classBits & (kClassAbsent | kClassFailed)) != 0);

    if ((classBits & kClassAbsent) != 0) {
        // A drive that was seen before stays on the page, greyed; one never
        // seen leaves the bay empty rather than showing another enclosure's.
        if (SerialKnown(serial)) {
            size->setText(sizeText);
            model->setText(modelText);
        } else {
            size->clear();
            model->clear();
        }
        size->setEnabled(false);
        model->setEnabled(false);
    } else if ((classBits & kClassPresent) != 0) {
        SetTextColour(size, kNavy);
        size->setText(sizeText);
        model->setText(modelText);
        size->setEnabled(true);
        model->setEnabled(true);
    } else if ((classBits & kClassFailed) != 0) {
        SetTextColour(size, kRed);
        size->setText(sizeText);
        model->setText(modelText);
        size->setEnabled(true);
        model->setEnabled(false);
    } else if ((classBits & kClassInserted) == 0) {
        size->clear();
        model->clear();
    }
}

void MainWindow::DeviceCheckBoxClick(int slot) {
    const auto i = static_cast<std::size_t>(slot);
    const auto other = static_cast<std::size_t>(1 - slot);
    const bool ticked = slotBoxes_[i]->isChecked();
    state_.poll.slotChecked[i].store(ticked);
    if (ticked) {
        const bool present = slot < state_.devices.table.count;
        statusPictures_[i]->setVisible(present);
        upgradePictures_[i]->setVisible(present);
        if (!SlotTicked(static_cast<int>(other))) {
            state_.poll.shownSlot = static_cast<std::uint8_t>(slot);
            upgradeSlot_ = slot;
        }
    } else {
        statusPictures_[i]->hide();
        upgradePictures_[i]->hide();
        if (!SlotTicked(static_cast<int>(other))) {
            // The design kept the last readings here, as if all were well
            // while nothing is watched any more: the page says so instead.
            if (state_.devices.table.count > 0) {
                ClearStatusValues();
                ShowNothingMonitored(true);
            }
            UpdateHealth();
            return;
        }
        state_.poll.shownSlot = static_cast<std::uint8_t>(other);
        upgradeSlot_ = static_cast<int>(other);
    }
    state_.devices.slots[i].failCount = 0;
    ShowNothingMonitored(false);
    ShowDevicePictures();
    RebuildDeviceList();
    SelectPage(state_.CurrentPage);
    if (state_.CurrentPage == kPageStatus) {
        ShowStatusPage(true);
    }
    UpdateHealth();
}

void MainWindow::ShowNothingMonitored(bool shown) {
    nothingMonitored_->setVisible(shown);
}

bool MainWindow::SelectStatusDevice(int slot) {
    if (slot < 0 || slot >= state_.devices.table.count || slot >= static_cast<int>(kMaxSlots)) {
        return false;
    }
    state_.poll.shownSlot = static_cast<std::uint8_t>(slot);
    ShowDevicePictures();
    RebuildDeviceList();
    ShowStatusPage(true);
    return true;
}

void MainWindow::UpgradeDevicePictureClick(int slot) {
    if (state_.flags.flashTargetIndex.load() != kNoFlashTarget ||
        slot >= state_.devices.table.count) {
        return;
    }
    upgradeSlot_ = slot;
    ShowDevicePictures();
    RebuildDeviceList();
    findChild<QLabel*>("Label54")->setText(Q(deviceLabel_));
}

void MainWindow::CheckBox5Click(bool checked) {
    if (settingBuzzerBox_ || state_.flags.StartupPass.load() || engine_ == nullptr) {
        return;
    }
    state_.poll.QueuedCommand.store(checked ? CmdBuzzerMuteOn : CmdBuzzerMuteOff);
    findChild<QCheckBox*>("CheckBox5")->setEnabled(false);
    state_.devices.slots[state_.poll.shownSlot % kMaxDevices].buzzerChanged = true;
    engine_->Request(ReqApplySetting);
}

}  // namespace raid::ui
