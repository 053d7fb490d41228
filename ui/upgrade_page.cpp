#include "ui/upgrade_page.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>

#include "app/engine.h"
#include "maintenance/firmware_image.h"
#include "ui/picture_button.h"

namespace raid::ui {

UpgradePage::UpgradePage(QWidget* page, AppState& state, Engine& engine, FileChooser& files,
                         QTimer& timer1, std::array<QCheckBox*, 2> deviceBoxes,
                         std::function<int()> selectedDevice)
    : QObject(page),
      page_(page),
      state_(state),
      engine_(engine),
      files_(files),
      timer1_(timer1),
      deviceBoxes_(deviceBoxes),
      selectedDevice_(std::move(selectedDevice)) {
    setObjectName("UpgradePage");
    edit9_ = page->findChild<QLineEdit*>("Edit9");
    panel1_ = page->findChild<QGroupBox*>("Panel1");
    label12_ = page->findChild<QLabel*>("Label12");
    progressBar1_ = page->findChild<QProgressBar*>("ProgressBar1");
    if (auto* load = page->findChild<PictureButton*>("Image2_Load")) {
        connect(load, &PictureButton::clicked, this, [this] { Image2_LoadClick(); });
    }
    if (auto* upgrade = page->findChild<PictureButton*>("Image2_Upgrade")) {
        connect(upgrade, &PictureButton::clicked, this, [this] { Image2_UpgradeClick(); });
    }
    connect(&timer1_, &QTimer::timeout, this, [this] { Timer1Timer(); });
}

void UpgradePage::Image2_LoadClick() {
    if (state_.flags.MaintenanceBusy.load()) {
        return;
    }
    QPointer<UpgradePage> self(this);
    files_.ChooseFileToOpen(page_, kFilter, [self](std::optional<QString> path) {
        if (self && path) {
            self->OpenDialog1CanClose(*path);
        }
    });
}

void UpgradePage::OpenDialog1CanClose(const QString& path) {
    if (state_.flags.MaintenanceBusy.load()) {
        return;  // an upgrade started while the dialog was open
    }
    if (edit9_ != nullptr) {
        edit9_->setText(path);
    }
    auto file = MakeDiskImageFile();
    const bool loaded = engine_.LoadFirmware(
        path.toStdString(), *file, static_cast<std::size_t>(std::max(0, selectedDevice_())));
    // A refused file is not loaded: its path must not stay as if it were.
    if (!loaded && edit9_ != nullptr) {
        edit9_->clear();
    }
}

void UpgradePage::Image2_UpgradeClick() {
    engine_.UpgradeFirmware(static_cast<std::size_t>(std::max(0, selectedDevice_())), *this);
}

void UpgradePage::Timer1Timer() {
    SetProgressPosition(state_.maintenance.progressCounter.load());
}

void UpgradePage::SetDeviceBoxesEnabled(bool enabled) {
    for (QCheckBox* box : deviceBoxes_) {
        if (box != nullptr) {
            box->setEnabled(enabled);
        }
    }
}

void UpgradePage::SetProgressLabel(const std::string& text) {
    if (label12_ != nullptr) {
        label12_->setText(QString::fromStdString(text));
    }
}

void UpgradePage::SetProgressRange(std::uint32_t maximum) {
    if (progressBar1_ != nullptr) {
        progressBar1_->setRange(0, static_cast<int>(maximum));
        progressBar1_->setValue(0);
    }
}

void UpgradePage::SetProgressPosition(std::uint32_t position) {
    if (progressBar1_ != nullptr) {
        progressBar1_->setValue(
            static_cast<int>(std::min<std::uint32_t>(position, progressBar1_->maximum())));
    }
}

void UpgradePage::SetProcessCaption(const std::string& text) {
    if (panel1_ != nullptr) {
        panel1_->setTitle(QString::fromStdString(text));
    }
}

void UpgradePage::ShowProgress(bool visible) {
    for (const char* name : {"Label59", "Label60"}) {
        if (auto* line = page_->findChild<QLabel*>(name)) {
            line->setVisible(!visible);
        }
    }
    if (panel1_ != nullptr) {
        panel1_->setVisible(visible);
        if (visible) {
            panel1_->raise();
        }
    }
}

void UpgradePage::SetProgressTimer(bool running) {
    if (running) {
        timer1_.start();
    } else {
        timer1_.stop();
    }
}

}  // namespace raid::ui
