// The pages of Notebook1 and their fixed controls. Pages whose work is not
// built yet (Setup, Upgrade) carry their captions and controls only; the
// E-mail and SMART pages are classes of their own.
#include <QGroupBox>
#include <QHeaderView>
#include <QProgressBar>
#include <QTableWidget>

#include "ui/main_window.h"
#include "ui/smart_page.h"
#include "ui/widget_factory.h"

namespace raid::ui {
namespace {

QString Picture(const QString& name) {
    return ":/pictures/" + name + ".svg";
}

QFont Sized(const QWidget* w, int pixels, bool bold) {
    QFont f = w->font();
    f.setPixelSize(pixels);
    f.setBold(bold);
    return f;
}

}  // namespace

void MainWindow::BuildStatusPage(QWidget* page) {
    for (int slot = 0; slot < 2; ++slot) {
        const QString name = QString("Image0_D%1").arg(slot + 1);
        PictureButton* picture = MakeChoice(page, name, QRect(8 + 110 * slot, 2, 100, 64),
                                            QString("device_%1").arg(slot + 1), slot == 0)
                                     .button;
        connect(picture, &PictureButton::clicked, this, [this, slot] { SelectStatusDevice(slot); });
        statusPictures_[static_cast<std::size_t>(slot)] = picture;
    }

    QFrame* panel11 = MakePanel(page, "Panel11", QRect(232, 2, 226, 48));
    panel11->setFrameStyle(QFrame::NoFrame);
    MakeLabel(panel11, "Label4", "Fan:", QRect(8, 5, 96, 18));
    MakeLabel(panel11, "Label5", QString(), QRect(106, 5, 50, 18));
    MakeLabel(panel11, "Label15", "RPM", QRect(158, 5, 40, 18));
    MakeLabel(panel11, "Label6", "Temperature:", QRect(8, 26, 96, 18));
    MakeLabel(panel11, "Label7", QString(), QRect(106, 26, 50, 18));

    QCheckBox* buzzer = MakeCheckBox(page, "CheckBox5", "Buzzer Mute", QRect(236, 52, 160, 20));
    connect(buzzer, &QCheckBox::toggled, this, [this](bool checked) { CheckBox5Click(checked); });

    const std::array<std::array<const char*, 3>, 3> rows{{
        {"Label43", "Mode:", "Label17"},
        {"Label44", "System Capacity:", "Label27"},
        {"Label47", "Firmware Version:", "Label48"},
    }};
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const int top = 84 + 22 * static_cast<int>(i);
        MakeLabel(page, rows[i][0], rows[i][1], QRect(8, top, 128, 18));
        QLabel* value = MakeLabel(page, rows[i][2], QString(), QRect(140, top, 318, 18));
        value->setFont(Sized(value, 13, true));
    }

    // The two bays, left and right of the array's state.
    for (int drive = 0; drive < 2; ++drive) {
        const int left = drive == 0 ? 8 : 284;
        const char* bay = drive == 0 ? "Label45" : "Label46";
        const char* head = drive == 0 ? "Label49" : "Label50";
        const char* size = drive == 0 ? "Label25" : "Label26";
        const char* model = drive == 0 ? "Label51" : "Label52";
        QLabel* bayLabel =
            MakeLabel(page, bay, drive == 0 ? "HDD1" : "HDD2", QRect(left, 166, 60, 18));
        bayLabel->setFont(Sized(bayLabel, 14, true));
        MakeLabel(page, head, "Capacity", QRect(left + 64, 166, 110, 18));
        QLabel* sizeLabel = MakeLabel(page, size, QString(), QRect(left + 64, 186, 110, 36));
        sizeLabel->setFont(Sized(sizeLabel, 13, true));
        QLabel* modelLabel = MakeLabel(page, model, QString(), QRect(left, 224, 174, 40));
        modelLabel->setWordWrap(true);
    }
    QLabel* state = MakeLabel(page, "Label18", QString(), QRect(186, 162, 94, 96));
    state->setAlignment(Qt::AlignCenter);
    state->setFont(Sized(state, 15, true));
    // The column between the bays is narrower than "Rebuild Failed" in this
    // font; its two words go on two lines, as the other state texts do.
    state->setWordWrap(true);

    MakeLabel(page, "StaticText10", QString(), QRect(8, 300, 390, 18));

    logButton_ = new PictureButton("Image0_Log", page, QRect(410, 296, 48, 44), Picture("log"));
    logButton_->setToolTip("Event Log");
    connect(logButton_, &PictureButton::clicked, this, [this] { Image0_LogClick(); });

    // Beyond the design: what replaces the readings while neither box is
    // ticked, in the detection text's band, and the alarm that waits to be
    // acknowledged, in the empty StaticText10's place left of the log button.
    nothingMonitored_ =
        MakeLabel(page, "LabelNothingMonitored",
                  "Nothing is being monitored: tick Device1 or Device2.", QRect(0, 268, 466, 24));
    nothingMonitored_->setAlignment(Qt::AlignCenter);
    nothingMonitored_->setFont(Sized(nothingMonitored_, 15, true));
    nothingMonitored_->hide();
    alarmMark_ = new QPushButton(page);
    alarmMark_->setObjectName("AlarmAcknowledge");
    alarmMark_->setGeometry(4, 296, 400, 24);
    alarmMark_->setFlat(true);
    QFont bold = Sized(alarmMark_, 13, true);
    alarmMark_->setFont(bold);
    QPalette red = alarmMark_->palette();
    for (const auto group : {QPalette::Active, QPalette::Inactive}) {
        red.setColor(group, QPalette::ButtonText, QColor(0xFF, 0x00, 0x00));
    }
    alarmMark_->setPalette(red);
    alarmMark_->hide();
    connect(alarmMark_, &QPushButton::clicked, this, [this] { tray_->Acknowledge(); });
}

void MainWindow::BuildSetupPage(QWidget* page) {
    MakeChoice(page, "Image1_Initialize", QRect(8, 2, 112, 28), "tab_initialize", false);
    MakeChoice(page, "Image1_Schedule", QRect(124, 2, 112, 28), "tab_schedule", true);

    auto* notebook3 = new QStackedWidget(page);
    notebook3->setObjectName("Notebook3");
    notebook3->setGeometry(0, 36, 466, 310);
    for (const char* name : {"Default", "1"}) {
        auto* sub = new QWidget(notebook3);
        sub->setObjectName(name);
        notebook3->addWidget(sub);
    }
    QWidget* sub = notebook3->widget(1);
    (new PictureButton("Image1_Clock", sub, QRect(8, 8, 64, 64), Picture("clock")))
        ->SetDecorative();
    MakeLabel(sub, "Label_Backep_Period", QString(), QRect(84, 12, 374, 18));
    MakeLabel(sub, "Label_Backup_mess", QString(), QRect(84, 36, 374, 18));
    MakeRadioButton(sub, "RadioButton_10min", "Off", QRect(100, 120, 110, 20));
    MakeRadioButton(sub, "RadioButton_30min", "1 day", QRect(220, 120, 110, 20));
    MakeRadioButton(sub, "RadioButton_1Hour", "7 days", QRect(100, 160, 110, 20));
    MakeRadioButton(sub, "RadioButton_3Hour", "30 days", QRect(220, 160, 110, 20));
    MakeRadioButton(sub, "RadioButton1", "User Period", QRect(100, 192, 110, 20));
    MakeComboBox(sub, "ComboBox1", QRect(212, 190, 52, 22));
    MakeLabel(sub, "Label66", "Day - ", QRect(268, 193, 40, 18));
    MakeComboBox(sub, "ComboBox2", QRect(310, 190, 52, 22));
    MakeLabel(sub, "Label67", "Hour", QRect(366, 193, 40, 18));
    // Beyond the design: the period the user period sets, in words.
    MakeLabel(sub, "LabelUserPeriodSet", QString(), QRect(212, 214, 246, 18));
    MakeCheckBox(sub, "CheckBox_Backup", "Schedule Backup enable", QRect(100, 226, 200, 20));
    new PictureButton("Image1_Set", sub, QRect(366, 262, 92, 30), Picture("button_set"));
    MakePanel(sub, "Panel8", QRect(84, 230, 270, 40));
    auto* bar2 = new QProgressBar(sub);
    bar2->setObjectName("ProgressBar2");
    bar2->setGeometry(84, 276, 270, 16);
    bar2->hide();
}

void MainWindow::BuildUpgradePage(QWidget* page) {
    for (int slot = 0; slot < 2; ++slot) {
        auto* picture = new PictureButton(
            QString("Image2_D%1").arg(slot + 1), page, QRect(8 + 110 * slot, 2, 100, 64),
            Picture(QString("device_%1_%2").arg(slot + 1).arg(slot == 0 ? "yellow" : "white")));
        picture->SetPressMoves(false);
        connect(picture, &PictureButton::clicked, this,
                [this, slot] { UpgradeDevicePictureClick(slot); });
        upgradePictures_[static_cast<std::size_t>(slot)] = picture;
    }
    MakeLabel(page, "Label53", "Firmware Version:", QRect(8, 80, 128, 18));
    QLabel* version = MakeLabel(page, "Label54", QString(), QRect(140, 80, 318, 18));
    version->setFont(Sized(version, 13, true));
    QLineEdit* path = MakeEdit(page, "Edit9", QRect(8, 108, 350, 24));
    path->setReadOnly(true);
    new PictureButton("Image2_Load", page, QRect(366, 105, 92, 30), Picture("button_load"));

    QFrame* warning = MakePanel(page, "Panel2", QRect(8, 144, 450, 86));
    const std::array<std::pair<const char*, const char*>, 4> lines{{
        {"Label55", "Please do not disconnect the device while updating firmware to prevent from"},
        {"Label56", " the update failed."},
        {"Label57", "In case the update firmware failed results in data loss, we strongly suggest"},
        {"Label58", "you backup data to other device  before updating firmware."},
    }};
    for (std::size_t i = 0; i < lines.size(); ++i) {
        QLabel* line = MakeLabel(warning, lines[i].first, lines[i].second,
                                 QRect(6, 5 + 19 * static_cast<int>(i), 440, 18));
        line->setFont(Sized(line, 11, false));
        SetTextColour(line, QColor(0x99, 0x00, 0x00));
    }
    MakeLabel(page, "Label59", "Please contact your local distributor or the retailer",
              QRect(8, 240, 450, 18));
    MakeLabel(page, "Label60", "you purchase from for the latest Firmware version.",
              QRect(8, 258, 450, 18));
    new PictureButton("Image2_Upgrade", page, QRect(366, 300, 92, 30), Picture("button_upgrade"));

    // The progress box, shown only while an upgrade runs; its title is the
    // panel's caption ("Process 1 / 3"). It takes the place of the two lines
    // about the latest firmware (hidden meanwhile), below the warning, which
    // must stay readable while the flash is rewritten.
    auto* progress = new QGroupBox(page);
    progress->setObjectName("Panel1");
    progress->setGeometry(8, 236, 350, 96);
    MakeLabel(progress, "Label12", QString(), QRect(12, 28, 320, 18));
    auto* bar1 = new QProgressBar(progress);
    bar1->setObjectName("ProgressBar1");
    bar1->setGeometry(12, 56, 320, 20);
}

void MainWindow::BuildAboutPage(QWidget* page) {
    auto* logo =
        new PictureButton("Image4_Logo", page, QRect(201, 20, 64, 64), Picture("app_icon"));
    logo->SetDecorative();
    MakeLabel(page, "Label61", QString(), QRect(8, 250, 450, 18));
    MakeLabel(page, "Label62", QString(), QRect(8, 270, 450, 18));
    QLabel* product = MakeLabel(page, "Label63", QString(), QRect(0, 110, 466, 30));
    product->setAlignment(Qt::AlignCenter);
    product->setFont(Sized(product, 20, true));
    QLabel* versionHead = MakeLabel(page, "Label64", "Version : ", QRect(140, 160, 90, 20));
    versionHead->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    QLabel* version = MakeLabel(page, "Label65", QString(), QRect(232, 160, 200, 20));
    version->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    version->setFont(Sized(version, 13, true));
}

void MainWindow::BuildSmartPage(QWidget* page) {
    for (int drive = 0; drive < 2; ++drive) {
        MakeChoice(page, QString("Image5_HDD%1").arg(drive + 1), QRect(8 + 100 * drive, 2, 96, 30),
                   QString("hdd_%1").arg(drive + 1), drive == 0);
    }
    MakeLabel(page, "Label22", QString(), QRect(8, 40, 450, 18));
    const std::array<int, 6>& widths = SmartPage::kColumnWidths;
    QTableWidget* head = MakeGrid(page, "StringGrid4", QRect(8, 62, 392, 22), 6, 1);
    QTableWidget* table = MakeGrid(page, "StringGrid3", QRect(8, 84, 392, 198), 6, 0);
    head->verticalHeader()->setDefaultSectionSize(20);
    table->verticalHeader()->setDefaultSectionSize(16);
    head->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    head->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    for (std::size_t c = 0; c < widths.size(); ++c) {
        head->setColumnWidth(static_cast<int>(c), widths[c]);
        table->setColumnWidth(static_cast<int>(c), widths[c]);
    }
    const std::array<const char*, 6> titles{"ID", "Value", "Worst", "Threshold", "RAW", "Status"};
    for (std::size_t c = 0; c < titles.size(); ++c) {
        auto* item = new QTableWidgetItem(titles[c]);
        item->setTextAlignment(Qt::AlignCenter);
        head->setItem(0, static_cast<int>(c), item);
    }
    head->setFont(Sized(head, 11, true));
    MakeLabel(page, "Label23", QString(), QRect(8, 290, 200, 18));
    MakeLabel(page, "Label24", QString(), QRect(8, 312, 300, 18));
    MakeLabel(page, "Label21", QString(), QRect(250, 290, 208, 18));
    smartPage_ = new SmartPage(page, state_, *statusBar1_, dialogs_);
}

}  // namespace raid::ui
