#include "ui/main_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QIcon>
#include <QScreen>

#include "app/engine.h"
#include "sysinfo/system_info.h"
#include "ui/accessible_names.h"
#include "ui/desktop/autostart.h"
#include "ui/email_page.h"
#include "ui/log_viewer.h"
#include "ui/setup_page.h"
#include "ui/smart_page.h"
#include "ui/widget_factory.h"

namespace raid::ui {
namespace {

constexpr int kStatusBarHeight = 20;
constexpr QRect kNotebookGeometry(150, 70, 466, 346);
// The detection text ("Drive detecting", "No Drive found! ") spans the page
// in the free band below the drives' models and above StaticText10 and the
// log button, so that it cannot run into any caption of the status page.
constexpr QRect kStaticText1Geometry(150, 338, 466, 24);
constexpr int kButtonLeft = 11;
constexpr int kButtonTop = 78;
constexpr int kButtonStep = 44;
constexpr QSize kButtonSize(124, 36);

struct PageButtonSpec {
    const char* name;
    const char* picture;  // page_<picture>_yellow.svg / _white.svg
    int page;
};

// In the bit order of a page-button set.
constexpr std::array<PageButtonSpec, 6> kPageButtons{{
    {"Image_Sts", "sts", kPageStatus},
    {"Image_Setup", "setup", kPageSetup},
    {"Image_FWUpg", "fwupg", kPageUpgrade},
    {"Image_Email", "email", kPageEmail},
    {"Image_SMART", "smart", kPageSmart},
    {"Image_About", "about", kPageAbout},
}};

QString Picture(const QString& name) {
    return ":/pictures/" + name + ".svg";
}

}  // namespace

MainWindow::MainWindow(AppState& state, Dialogs& dialogs, FileChooser& files)
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                           Qt::WindowCloseButtonHint),
      state_(state),
      dialogs_(dialogs),
      files_(files) {
    setObjectName("TForm1");
    BuildFrame();
    BuildPageButtons();
    BuildDeviceSlots();

    notebook1_ = new QStackedWidget(this);
    notebook1_->setObjectName("Notebook1");
    notebook1_->setGeometry(kNotebookGeometry);
    // Page order of Notebook1: 0 Status, 1 schedule_backup, 2 Upgrade,
    // 3 E-mail, 4 About, 5 SMART.
    const std::array<const char*, 6> pageNames{"Status", "schedule_backup", "Upgrade",
                                               "E-mail", "About",           "SMART"};
    for (const char* name : pageNames) {
        auto* page = new QWidget(notebook1_);
        page->setObjectName(name);
        notebook1_->addWidget(page);
    }
    BuildStatusPage(notebook1_->widget(kPageStatus));
    BuildSetupPage(notebook1_->widget(kPageSetup));
    setupPage_ =
        std::make_unique<SetupPage>(notebook1_->widget(kPageSetup), state_, dialogs_, *statusBar1_);
    BuildUpgradePage(notebook1_->widget(kPageUpgrade));
    emailPage_ = new EmailPage(notebook1_->widget(kPageEmail), dialogs_);
    BuildAboutPage(notebook1_->widget(kPageAbout));
    BuildSmartPage(notebook1_->widget(kPageSmart));

    staticText1_ = MakeLabel(this, "StaticText1", QString(), kStaticText1Geometry);
    staticText1_->setAlignment(Qt::AlignCenter);
    QFont big = font();
    big.setPixelSize(15);
    big.setBold(true);
    staticText1_->setFont(big);
    staticText1_->raise();

    tray_ = new TrayAlarm(this);
    connect(tray_, &TrayAlarm::showRequested, this, [this] { ShowToFront(); });
    connect(tray_, &TrayAlarm::quitRequested, this, [this] { Quit(); });
    connect(tray_, &TrayAlarm::autostartToggled, this, [this](bool on) { AutostartToggled(on); });
    connect(tray_, &TrayAlarm::changed, this, [this] { UpdateAlarmMark(); });
    SetAutostartLocation(HostAutostartLocation());

    MakeTimers();
    FormCreate();
    NameControls(this);
}

MainWindow::~MainWindow() = default;

void MainWindow::BuildFrame() {
    setFixedSize(kClientWidth, kClientHeight);
    setAutoFillBackground(true);
    setPalette(DesignPalette());
    QFont arial("Arial");
    arial.setPixelSize(13);
    setFont(arial);

    const QRect full(0, 0, kClientWidth, kClientHeight - kStatusBarHeight);
    auto* background = new PictureButton("Image_Background", this, full);
    background->SetDecorative();
    // The two flavours' backgrounds; ApplyProductTitle copies one of them.
    new PictureButton("Image_Background_RAID", this, full, Picture("background_raid"));
    new PictureButton("Image_Background_OEM", this, full, Picture("background_oem"));
    for (const char* name : {"Image_Background_RAID", "Image_Background_OEM"}) {
        findChild<QWidget*>(name)->hide();
    }
    statusBar1_ = new StatusPanels(
        this, QRect(0, kClientHeight - kStatusBarHeight, kClientWidth, kStatusBarHeight));
    connect(statusBar1_, &StatusPanels::doubleClicked, this, [this] { StatusBar1DblClick(); });
}

void MainWindow::BuildPageButtons() {
    for (std::size_t i = 0; i < kPageButtons.size(); ++i) {
        const PageButtonSpec& spec = kPageButtons[i];
        PageButton& b = pageButtons_[i];
        const QRect geometry(QPoint(kButtonLeft, kButtonTop + kButtonStep * static_cast<int>(i)),
                             kButtonSize);
        const QString base = QString("page_") + spec.picture;
        b.button = new PictureButton(spec.name, this, geometry, Picture(base + "_white"));
        b.yellow = new PictureButton(QString(spec.name) + "_Yellow", this, geometry,
                                     Picture(base + "_yellow"));
        b.white = new PictureButton(QString(spec.name) + "_White", this, geometry,
                                    Picture(base + "_white"));
        b.yellow->hide();
        b.white->hide();
        b.page = spec.page;
        connect(b.button, &PictureButton::clicked, this,
                [this, i] { PageButtonClick(static_cast<int>(i)); });
    }
}

void MainWindow::BuildDeviceSlots() {
    const std::array<const char*, 2> names{"CheckBox1", "CheckBox3"};
    for (int slot = 0; slot < 2; ++slot) {
        QCheckBox* box =
            MakeCheckBox(this, names[static_cast<std::size_t>(slot)],
                         QString("Device%1").arg(slot + 1), QRect(18, 352 + 24 * slot, 120, 20));
        box->setChecked(true);
        connect(box, &QCheckBox::toggled, this, [this, slot](bool) { DeviceCheckBoxClick(slot); });
        slotBoxes_[static_cast<std::size_t>(slot)] = box;
    }
}

void MainWindow::MakeTimers() {
    auto make = [this](const char* name, int interval) {
        auto* timer = new QTimer(this);
        timer->setObjectName(name);
        timer->setInterval(interval);
        return timer;
    };
    // Timer1 moves the firmware upgrade's progress bar; the upgrade enables it.
    timer1_ = make("Timer1", 1000);
    timer2_ = make("Timer2", 5000);
    timer3_ = make("Timer3", 1000);
    timer4_ = make("Timer4", 500);
    connect(timer2_, &QTimer::timeout, this, [this] {
        if (engine_ != nullptr) {
            engine_->Timer2Tick();
        }
    });
    connect(timer3_, &QTimer::timeout, this, [this] {
        if (engine_ != nullptr) {
            engine_->Timer3Tick();
        }
    });
    connect(timer4_, &QTimer::timeout, this, [this] {
        if (engine_ != nullptr) {
            engine_->Timer4Tick();
            // Nothing left to follow up: Timer4 rests until a device change
            // or a hand-over gives it work again.
            if (engine_->FollowUpIdle()) {
                timer4_->stop();
            }
        }
    });
}

void MainWindow::FormCreate() {
    const QIcon icon(Picture("app_icon"));
    setWindowIcon(icon);
    QApplication::setWindowIcon(icon);

    SetStatusText("Drive detecting", true);

    // ComboBox1: "00" to "09" in hexadecimal, then "10" to "30" in decimal.
    if (auto* days = findChild<QComboBox*>("ComboBox1")) {
        days->clear();
        for (int i = 0; i <= 9; ++i) {
            days->addItem(QString("%1").arg(i, 2, 16, QChar('0')).toUpper());
        }
        for (int i = 10; i <= 30; ++i) {
            days->addItem(QString::number(i));
        }
        days->setCurrentIndex(0);
    }

    for (const char* name : {"Panel1", "Panel8", "Panel11", "CheckBox5"}) {
        if (auto* w = findChild<QWidget*>(name)) {
            w->hide();
        }
    }
    for (PageButton& b : pageButtons_) {
        b.slot = b.button->pos();
        b.button->setEnabled(false);
    }
    for (const char* name : {"Image2_Load", "Image2_Upgrade"}) {
        findChild<QWidget*>(name)->setEnabled(false);
    }

    logButton_->hide();
    for (QCheckBox* box : slotBoxes_) {
        box->hide();
    }
    for (const char* name : {"StaticText10", "Label23", "Label18", "Label17", "Label27", "Label25",
                             "Label51", "Label26", "Label52", "Label48", "Label21"}) {
        findChild<QLabel*>(name)->clear();
    }
    state_.flags.StartupPass.store(1);

    ApplyProductTitle();
    for (const char* name : {"CheckBox_Backup", "Image4_Logo", "Label61", "Label62"}) {
        findChild<QWidget*>(name)->hide();
    }
    findChild<QLabel*>("Label65")->setText(kVersionText);

    for (int slot = 0; slot < 2; ++slot) {
        statusPictures_[static_cast<std::size_t>(slot)]->hide();
        upgradePictures_[static_cast<std::size_t>(slot)]->hide();
    }
    state_.poll.shownSlot = 0;
    upgradeSlot_ = 0;
    PrepareSchedulePage();
    SelectPage(kPageStatus);
    ShowDevicePictures();

    // Centred on the screen.
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame(QPoint(), size());
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
}

void MainWindow::Attach(Engine& engine) {
    engine_ = &engine;
    upgradePage_ = new UpgradePage(notebook1_->widget(kPageUpgrade), state_, engine, files_,
                                   *timer1_, slotBoxes_, [this] { return upgradeSlot_; });
    setupPage_->Attach(engine);
}

void MainWindow::StartTimers() {
    timersStarted_ = true;
    timer2_->start();
    timer3_->start();
    timer4_->start();
}

void MainWindow::DeviceChanged() {
    if (engine_ == nullptr) {
        return;
    }
    engine_->DeviceChanged();
    WakeFollowUp();
}

void MainWindow::WakeFollowUp() {
    if (timersStarted_ && !timer4_->isActive() && !engine_->FollowUpIdle() &&
        !engine_->state().flags.AppClosing.load()) {
        timer4_->start();
    }
}

void MainWindow::RunHandOvers() {
    if (engine_ == nullptr) {
        return;
    }
    // Counted down however the work ends: a count left standing by an
    // exception would put every later close off for good.
    struct Depth {
        int& depth;
        explicit Depth(int& d) : depth(d) { ++depth; }
        ~Depth() { --depth; }
        Depth(const Depth&) = delete;
        Depth& operator=(const Depth&) = delete;
    } depth(handOverDepth_);
    engine_->queue().RunPending();
    WakeFollowUp();
}

// --- FrontEnd ---

void MainWindow::SetStatusText(const std::string& text, bool visible) {
    staticText1_->setText(QString::fromStdString(text));
    statusTextShown_ = visible;
    // It lies over the notebook: on another page it would cover that page.
    staticText1_->setVisible(visible && state_.CurrentPage == kPageStatus);
}

void MainWindow::SetSlotAvailable(int slot, bool available) {
    if (slot < 0 || slot > 1) {
        return;
    }
    const auto i = static_cast<std::size_t>(slot);
    slotBoxes_[i]->setVisible(available);
    slotBoxes_[i]->setEnabled(available);
    statusPictures_[i]->setVisible(available);
    upgradePictures_[i]->setVisible(available);
}

void MainWindow::ClearStatusValues() {
    for (const char* name :
         {"Label18", "Label17", "Label27", "Label25", "Label51", "Label26", "Label52", "Label48"}) {
        findChild<QLabel*>(name)->clear();
    }
    for (const char* name : {"Label18", "Label45", "Label46"}) {
        SetAlarmColour(findChild<QWidget*>(name), false);
    }
    findChild<QWidget*>("Panel11")->hide();
    findChild<QWidget*>("CheckBox5")->hide();
    lastShownClass_ = kNoneShown;
    lastShownPercent_ = kNoneShown;
}

void MainWindow::SlotUnchecked(int slot) {
    if (slot >= 0 && slot <= 1) {
        // Unticking runs the box's own handler, as a click would.
        slotBoxes_[static_cast<std::size_t>(slot)]->setChecked(false);
    }
}

void MainWindow::DevicesApplied(int count) {
    const bool any = count > 0;
    for (PageButton& b : pageButtons_) {
        // The pages that need no enclosure stay open without one: mail can
        // be set up before the first enclosure is plugged in.
        b.button->setEnabled(any || b.page == kPageStatus || b.page == kPageEmail ||
                             b.page == kPageAbout);
    }
    for (const char* name : {"Image2_Load", "Image2_Upgrade"}) {
        findChild<QWidget*>(name)->setEnabled(any);
    }
    ShowNothingMonitored(false);
    if (!any) {
        // The enclosure that was shown is gone: its drives must not stay on
        // the page as if it were still there.
        ClearStatusValues();
        UpdateHealth();
        return;
    }
    if (upgradeSlot_ >= count) {
        upgradeSlot_ = count - 1;
    }
    // The enclosure on the page may be another one now (the shown one went
    // away): the next drawing starts afresh, even if the drives' classes
    // happen to match.
    lastShownClass_ = kNoneShown;
    lastShownPercent_ = kNoneShown;
    logButton_->show();
    RebuildDeviceList();
    ShowDevicePictures();
    UpdateHealth();
}

void MainWindow::SetUpgradeEnabled(bool enabled) {
    findChild<QWidget*>("Image2_Upgrade")->setEnabled(enabled);
}

void MainWindow::RedrawStatus(std::uint8_t /*changedMask*/, bool full) {
    // Away from the status page a full redraw stays owed until the page is
    // shown again.
    if (state_.CurrentPage == kPageStatus && ShowStatusPage(full) == 0) {
        state_.log.FullRedrawRequested = false;
    }
    if (state_.CurrentPage == kPageSetup) {
        setupPage_->Refresh();
    }
}

void MainWindow::SetMailStatus(int panel, const std::string& text) {
    statusBar1_->SetPanel(panel, text);
}

// A notification that failed is tried again later; a box for every attempt
// would stand in the user's way, so the error panel carries it.
void MainWindow::MailProblem(const std::string& text) {
    statusBar1_->SetPanel(kPanelErrors, text);
}

void MainWindow::SetSmartLabel(const std::string& text) {
    findChild<QLabel*>("Label21")->setText(QString::fromStdString(text));
}

void MainWindow::PollDone() {
    UpdateHealth();
}

void MainWindow::NotificationRaised(const NotificationAlarm& alarm) {
    tray_->Raise(alarm);
}

void MainWindow::UpdateHealth() {
    const DeviceState& dev = state_.devices;
    std::optional<ArrayHealth> worst;
    QStringList words;
    for (int slot = 0; slot < static_cast<int>(kMaxSlots) && slot < dev.table.count; ++slot) {
        if (!SlotTicked(slot)) {
            continue;
        }
        const ArrayHealth health =
            HealthOf(dev.records[dev.table.Disk(static_cast<std::size_t>(slot))]);
        worst = worst ? std::max(*worst, health) : health;
        words << QString("Device%1 %2").arg(slot + 1).arg(HealthName(health));
    }
    tray_->SetHealth(worst, words.join(", "));
}

void MainWindow::UpdateAlarmMark() {
    const QStringList& pending = tray_->pendingAlarms();
    alarmMark_->setVisible(!pending.isEmpty());
    if (pending.isEmpty()) {
        return;
    }
    QString text = "Alarm: " + pending.last();
    if (pending.size() > 1) {
        text += QString(" (+%1 more)").arg(pending.size() - 1);
    }
    const QFontMetrics metrics(alarmMark_->font());
    alarmMark_->setText(metrics.elidedText(text, Qt::ElideMiddle, alarmMark_->width() - 12));
    alarmMark_->setToolTip(pending.join("\n") + "\nClick to acknowledge.");
}

void MainWindow::ShowToFront() {
    if (isMinimized()) {
        showNormal();
    }
    show();
    raise();
    activateWindow();
}

void MainWindow::Quit() {
    quitting_ = true;
    close();
    if (state_.flags.MaintenanceBusy.load()) {
        quitting_ = false;  // refused during an upgrade; the close box hides again later
    }
}

void MainWindow::SetAutostartLocation(const std::string& location) {
    autostartLocation_ = location;
    tray_->autostartAction().setChecked(AutostartEnabled(location));
}

void MainWindow::AutostartToggled(bool on) {
    std::string error;
    if (!SetAutostart(autostartLocation_, on, ThisProgram(), error)) {
        dialogs_.MessageBox(
            "Start at login could not be switched " + std::string(on ? "on" : "off") + ": " + error,
            "Error", DialogIcon::Error);
    }
    tray_->autostartAction().setChecked(AutostartEnabled(autostartLocation_));
}

void MainWindow::SmartDataRead() {
    if (state_.CurrentPage == kPageSmart) {
        smartPage_->Rebuild();
    }
}

// --- closing ---

void MainWindow::closeEvent(QCloseEvent* event) {
    // The user chose to keep watching from the tray: the close box hides.
    if (!quitting_ && tray_->keepWatchingWhenClosed() && TrayAlarm::TrayShown()) {
        hide();
        event->ignore();
        return;
    }
    if (engine_ == nullptr) {
        event->accept();
        return;
    }
    if (state_.flags.MaintenanceBusy.load()) {
        engine_->Close();  // refuses, with the message
        event->ignore();
        return;
    }
    if (handOverDepth_ > 0) {
        // Engine work further up this stack is waiting in the event loop; the
        // workers cannot be stopped under it. Make it give up, and close once
        // it has returned.
        state_.flags.AppClosing.store(1);
        event->ignore();
        QTimer::singleShot(0, this, [this] { close(); });
        return;
    }
    if (!engine_->Close()) {
        event->ignore();
        return;
    }
    for (QTimer* timer : {timer1_, timer2_, timer3_, timer4_}) {
        timer->stop();
    }
    if (viewer_) {
        viewer_->close();
    }
    event->accept();
}

bool MainWindow::QueryEndSession() {
    if (state_.flags.MaintenanceBusy.load()) {
        dialogs_.MessageBox(Engine::kUpgradeRunning, "Message", DialogIcon::Information);
        return false;
    }
    Quit();
    return true;
}

// --- the status bar and the log button ---

void MainWindow::StatusBar1DblClick() {
    dialogs_.MessageBox(SystemInfoText(state_.systemInfoLines), "System Information",
                        DialogIcon::None);
}

void MainWindow::Image0_LogClick() {
    if (viewer_) {
        return;  // one viewer at a time
    }
    auto* viewer = new LogViewer(state_, dialogs_, files_, this);
    viewer->setAttribute(Qt::WA_DeleteOnClose);
    viewer_ = viewer;
    viewer->setWindowModality(Qt::ApplicationModal);
    viewer->show();
}

}  // namespace raid::ui
