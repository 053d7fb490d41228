#pragma once

#include <QCheckBox>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QStackedWidget>
#include <QTimer>
#include <QWidget>
#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "app/app_state.h"
#include "app/front_end.h"
#include "device/dialogs.h"
#include "ui/desktop/tray_alarm.h"
#include "ui/log_viewer.h"
#include "ui/picture_button.h"
#include "ui/qt_dialogs.h"
#include "ui/status_panels.h"
#include "ui/upgrade_page.h"

namespace raid {
class Engine;
}

namespace raid::ui {

class SetupPage;
class SmartPage;
class EmailPage;

// Page numbers of Notebook1, as CurrentPage holds them.
enum Page : int {
    kPageStatus = 0,
    kPageSetup = 1,
    kPageUpgrade = 2,
    kPageEmail = 3,
    kPageAbout = 4,
    kPageSmart = 5,
};

// Bits of a page-button set, in the order the buttons are laid out.
inline constexpr std::uint8_t kButtonStatus = 0x01;
inline constexpr std::uint8_t kButtonSetup = 0x02;
inline constexpr std::uint8_t kButtonUpgrade = 0x04;
inline constexpr std::uint8_t kButtonEmail = 0x08;
inline constexpr std::uint8_t kButtonSmart = 0x10;
inline constexpr std::uint8_t kButtonAbout = 0x20;
// The sets a device offers: with a backup schedule, and without.
inline constexpr std::uint8_t kButtonsWithSchedule = 55;
inline constexpr std::uint8_t kButtonsPlain = 61;
// The mail settings are the same for every enclosure, so the E-mail page is
// offered with every set (the designed set of a hybrid enclosure left it
// out, and a user with only such enclosures could never set up mail).
constexpr std::uint8_t OfferedButtons(std::uint8_t designed) {
    return static_cast<std::uint8_t>(designed | kButtonEmail);
}
inline constexpr std::uint8_t kNoneShown = 0xFF;

// TForm1, the main window: the pages, the page buttons, the device slots and
// the status page, on top of the engine. Everything here runs on the
// window's thread.
class MainWindow final : public QWidget, public FrontEnd {
    Q_OBJECT

  public:
    MainWindow(AppState& state, Dialogs& dialogs, FileChooser& files);
    ~MainWindow() override;

    // The engine is made after the window, whose status bar and front end it
    // uses; attach it before the first event.
    void Attach(Engine& engine);
    StatusPanels& statusPanels() { return *statusBar1_; }
    // Starts Timer2, Timer3 and Timer4, which drive the engine's ticks.
    void StartTimers();
    // Runs the work that worker threads handed over (the engine's
    // notifyMain posts this to the window's thread).
    void RunHandOvers();
    // A device notification: the engine's countdown, and Timer4 to follow it.
    void DeviceChanged();

    // --- FrontEnd ---
    void SetStatusText(const std::string& text, bool visible) override;
    void SetSlotAvailable(int slot, bool available) override;
    void SlotUnchecked(int slot) override;
    void DevicesApplied(int count) override;
    void SetUpgradeEnabled(bool enabled) override;
    void RedrawStatus(std::uint8_t changedMask, bool full) override;
    void SetSmartLabel(const std::string& text) override;
    void SetMailStatus(int panel, const std::string& text) override;
    void MailProblem(const std::string& text) override;
    void SmartDataRead() override;
    void PollDone() override;
    void NotificationRaised(const NotificationAlarm& alarm) override;

    // --- the desktop ---
    TrayAlarm& tray() { return *tray_; }
    // Brings the window to the front: a second start, the tray's Show.
    void ShowToFront();
    // Ends the program, whatever the tray's choice for the close box is.
    void Quit();
    // Where "Start at login" writes its entry (tests point it elsewhere).
    void SetAutostartLocation(const std::string& location);
    // The worst state of the monitored enclosures, for the tray.
    void UpdateHealth();

    // --- status presentation ---
    void ApplyProductTitle();
    void ShowPageButtons(std::uint8_t set);
    void SelectPage(int page);
    // Opens `page` as a click on its page button does, whether or not the
    // current button set shows that button; false when navigation is locked.
    bool OpenPage(int page);
    int currentPage() const { return state_.CurrentPage; }
    void RebuildDeviceList();
    // 0 when the page was filled, -1 when there was nothing to fill.
    int ShowStatusPage(bool force);
    // Shows enclosure `slot` on the status page, as a click on its picture
    // does; false when there is no such enclosure.
    bool SelectStatusDevice(int slot);
    int shownSlot() const { return state_.poll.shownSlot; }
    // Chooses enclosure `slot` on the Upgrade page, as its picture does.
    void SelectUpgradeDevice(int slot) { UpgradeDevicePictureClick(slot); }
    int deviceCount() const { return state_.devices.table.count; }

    bool EnvPanelSupported() const { return envPanelSupported_; }
    const std::string& DeviceLabel() const { return deviceLabel_; }
    int upgradeSlot() const { return upgradeSlot_; }
    std::uint8_t lastPageButtonSet() const { return lastButtonSet_; }

    // The desktop session is ending (log-off or shutdown): false refuses.
    bool QueryEndSession();

    LogViewer* logViewer() const { return viewer_.data(); }
    UpgradePage* upgradePage() const { return upgradePage_; }
    SetupPage& setupPage() { return *setupPage_; }
    SmartPage& smartPage() { return *smartPage_; }
    EmailPage* emailPage() const { return emailPage_; }

    static constexpr int kClientWidth = 620;
    static constexpr int kClientHeight = 440;

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void WakeFollowUp();
    struct PageButton {
        PictureButton* button = nullptr;
        PictureButton* yellow = nullptr;  // hidden; lends the picture of the current page
        PictureButton* white = nullptr;   // hidden; the picture of any other page
        int page = 0;
        QPoint slot;  // saved at start-up; the k-th visible button goes to slot k
    };

    // Construction, one part of the window each.
    void BuildFrame();
    void BuildPageButtons();
    void BuildDeviceSlots();
    void BuildStatusPage(QWidget* page);
    void BuildSetupPage(QWidget* page);
    void BuildUpgradePage(QWidget* page);
    void BuildAboutPage(QWidget* page);
    void BuildSmartPage(QWidget* page);
    void FormCreate();
    void MakeTimers();

    // Handlers.
    void PageButtonClick(int index);
    void DeviceCheckBoxClick(int slot);
    void UpgradeDevicePictureClick(int slot);
    void CheckBox5Click(bool checked);
    void StatusBar1DblClick();
    void Image0_LogClick();

    void ShowDevicePictures();
    void PrepareSchedulePage();
    void ShowDrive(int drive, std::uint8_t classBits, const RaidStatus& record);
    // A device slot's box is ticked and its slot has an enclosure.
    bool SlotTicked(int slot) const;
    bool AnySlotTicked() const;
    // Every page is locked while a firmware target is set; until the first
    // status has been shown, all but those that need no enclosure.
    bool PageLocked(int page) const;
    void ClearStatusValues();
    void ShowNothingMonitored(bool shown);
    void UpdateAlarmMark();
    void AutostartToggled(bool on);

    AppState& state_;
    Dialogs& dialogs_;
    FileChooser& files_;
    Engine* engine_ = nullptr;

    StatusPanels* statusBar1_ = nullptr;
    QStackedWidget* notebook1_ = nullptr;
    QLabel* staticText1_ = nullptr;
    std::array<PageButton, 6> pageButtons_{};
    std::array<QCheckBox*, 2> slotBoxes_{};            // CheckBox1, CheckBox3
    std::array<PictureButton*, 2> statusPictures_{};   // Image0_D1, Image0_D2
    std::array<PictureButton*, 2> upgradePictures_{};  // Image2_D1, Image2_D2
    PictureButton* logButton_ = nullptr;               // Image0_Log
    SmartPage* smartPage_ = nullptr;
    EmailPage* emailPage_ = nullptr;

    QTimer* timer1_ = nullptr;
    QTimer* timer2_ = nullptr;
    QTimer* timer3_ = nullptr;
    QTimer* timer4_ = nullptr;
    bool timersStarted_ = false;

    std::uint8_t lastButtonSet_ = kNoneShown;
    std::uint8_t lastShownClass_ = kNoneShown;
    std::uint8_t lastShownPercent_ = kNoneShown;
    bool envPanelSupported_ = false;
    std::string deviceLabel_;
    int upgradeSlot_ = 0;
    int handOverDepth_ = 0;
    bool settingBuzzerBox_ = false;
    QPointer<LogViewer> viewer_;
    UpgradePage* upgradePage_ = nullptr;
    std::unique_ptr<SetupPage> setupPage_;

    TrayAlarm* tray_ = nullptr;
    QPushButton* alarmMark_ = nullptr;    // AlarmAcknowledge, on the status page
    QLabel* nothingMonitored_ = nullptr;  // LabelNothingMonitored, on the status page
    bool statusTextShown_ = false;        // StaticText1 as the engine wants it
    bool quitting_ = false;
    std::string autostartLocation_;
};

}  // namespace raid::ui
