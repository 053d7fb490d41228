#pragma once

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <array>
#include <functional>

#include "app/app_state.h"
#include "maintenance/firmware_upgrade.h"
#include "ui/qt_dialogs.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QWidget;

namespace raid {
class Engine;
}

namespace raid::ui {

class PictureButton;

// The Upgrade page's behaviour on top of its controls: Image2_Load with its
// file dialog, Image2_Upgrade, and the progress box (Panel1 with Label12 and
// ProgressBar1) that Timer1 moves while the upgrade runs on this thread and
// lets the window handle its events between flash commands.
class UpgradePage final : public QObject, public UpgradeView {
    Q_OBJECT

  public:
    // `page` holds the controls; `deviceBoxes` are CheckBox1 and CheckBox3;
    // `selectedDevice` is the device chosen on the page (Image2_D1/_D2).
    UpgradePage(QWidget* page, AppState& state, Engine& engine, FileChooser& files, QTimer& timer1,
                std::array<QCheckBox*, 2> deviceBoxes, std::function<int()> selectedDevice);

    void Image2_LoadClick();
    void Image2_UpgradeClick();
    // OpenDialog1CanClose: the confirmed file is loaded and checked.
    void OpenDialog1CanClose(const QString& path);
    void Timer1Timer();

    // --- UpgradeView ---
    void SetDeviceBoxesEnabled(bool enabled) override;
    void SetProgressLabel(const std::string& text) override;
    void SetProgressRange(std::uint32_t maximum) override;
    void SetProgressPosition(std::uint32_t position) override;
    void SetProcessCaption(const std::string& text) override;
    void ShowProgress(bool visible) override;
    void SetProgressTimer(bool running) override;

    // "*" rather than "*.*": an image file need not have a dot in its name.
    static constexpr const char* kFilter = "Binary code (*.bin);;All files (*)";

  private:
    QWidget* page_;
    AppState& state_;
    Engine& engine_;
    FileChooser& files_;
    QTimer& timer1_;
    std::array<QCheckBox*, 2> deviceBoxes_;
    std::function<int()> selectedDevice_;
    QLineEdit* edit9_ = nullptr;
    QGroupBox* panel1_ = nullptr;
    QLabel* label12_ = nullptr;
    QProgressBar* progressBar1_ = nullptr;
};

}  // namespace raid::ui
