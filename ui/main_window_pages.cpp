// The pages of Notebook1 and their fixed controls. Pages whose work is not
// built yet (Setup, Upgrade, E-mail) carry their captions and controls only.
#include <QGroupBox>
#include <QHeaderView>
#include <QPlainTextEdit>
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

// A picture button with hidden yellow and white holders beside it, which
// lend it their pictures.
struct Choice {
    PictureButton* button;
    QString yellow;
    QString white;
    void Select(bool selected) const { button->SetPicture(selected ? yellow : white); }
};

Choice MakeChoice(QWidget* parent, const QString& name, const QRect& geometry,
                  const QString& pictureBase, bool selected) {
    auto* yellow =
        new PictureButton(name + "_Yellow", parent, geometry, Picture(pictureBase + "_yellow"));
    auto* white =
        new PictureButton(name + "_White", parent, geometry, Picture(pictureBase + "_white"));
    yellow->hide();
    white->hide();
    auto* button =
        new PictureButton(name, parent, geometry, selected ? yellow->picture() : white->picture());
    // Choosing pictures do not sink when pressed.
    button->SetPressMoves(false);
    return Choice{button, yellow->picture(), white->picture()};
}

QTableWidget* MakeGrid(QWidget* parent, const char* name, const QRect& geometry, int columns,
                       int rows) {
    auto* grid = new QTableWidget(rows, columns, parent);
    grid->setObjectName(name);
    grid->setGeometry(geometry);
    grid->horizontalHeader()->hide();
    grid->verticalHeader()->hide();
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    return grid;
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
    new PictureButton("Image1_Clock", sub, QRect(8, 8, 64, 64), Picture("clock"));
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
    // panel's caption ("Process 1 / 3").
    auto* progress = new QGroupBox(page);
    progress->setObjectName("Panel1");
    progress->setGeometry(60, 120, 346, 96);
    MakeLabel(progress, "Label12", QString(), QRect(12, 28, 320, 18));
    auto* bar1 = new QProgressBar(progress);
    bar1->setObjectName("ProgressBar1");
    bar1->setGeometry(12, 56, 320, 20);
}

void MainWindow::BuildEmailPage(QWidget* page) {
    const std::array<std::pair<const char*, const char*>, 3> sections{{
        {"Image3_Setup", "tab_mail_setup"},
        {"Image3_HDDFail", "tab_mail_hddfail"},
        {"Image3_DeviceRemove", "tab_mail_devremove"},
    }};
    auto* notebook2 = new QStackedWidget(page);
    notebook2->setObjectName("Notebook2");
    notebook2->setGeometry(0, 34, 466, 274);
    for (const char* name : {"Setup", "HDD_Fail", "DeviceRemove"}) {
        auto* sub = new QWidget(notebook2);
        sub->setObjectName(name);
        notebook2->addWidget(sub);
    }
    std::array<Choice, 3> choices{};
    for (std::size_t i = 0; i < sections.size(); ++i) {
        choices[i] =
            MakeChoice(page, sections[i].first, QRect(8 + 116 * static_cast<int>(i), 2, 112, 28),
                       sections[i].second, i == 0);
    }
    // The section buttons only switch the sub-page; the mail settings
    // themselves are not wired yet.
    for (std::size_t i = 0; i < choices.size(); ++i) {
        connect(choices[i].button, &PictureButton::clicked, this, [page, notebook2, choices, i] {
            for (std::size_t k = 0; k < choices.size(); ++k) {
                choices[k].Select(k == i);
            }
            page->findChild<QLineEdit*>("Edit6")->clear();
            page->findChild<QLineEdit*>("Edit7")->clear();
            notebook2->setCurrentIndex(static_cast<int>(i));
        });
    }

    QWidget* setup = notebook2->widget(0);
    auto* all = new QGroupBox("E-Mail Setup", setup);
    all->setObjectName("GroupBox_EMailSetup");
    all->setGeometry(4, 0, 458, 272);
    auto* host = new QGroupBox("Connect E-mail Host", all);
    host->setObjectName("GroupBox_ConnectHost");
    host->setGeometry(8, 20, 442, 134);
    MakeLabel(host, "Label_SMTP", "E-Mail Host (SMTP)", QRect(10, 24, 130, 18));
    MakeEdit(host, "Edit2", QRect(146, 21, 286, 22));
    MakeLabel(host, "Label_Port", "Port", QRect(10, 50, 40, 18));
    MakeEdit(host, "Edit1", QRect(56, 47, 56, 22));
    MakeLabel(host, "Label_PortDefault", "( Default 25 )", QRect(118, 50, 100, 18));
    MakeLabel(host, "Label_TimeOut", "Time Out", QRect(250, 50, 64, 18));
    QLineEdit* timeOut = MakeEdit(host, "Edit5", QRect(318, 47, 34, 22));
    timeOut->setMaxLength(2);
    MakeLabel(host, "Label_Sec", "(Sec)", QRect(358, 50, 40, 18));
    MakeCheckBox(host, "CheckBox8", "SMTP Login Authentication", QRect(10, 76, 240, 20));
    QLabel* account = MakeLabel(host, "Label19", "Account:", QRect(10, 104, 64, 18));
    QLineEdit* accountEdit = MakeEdit(host, "Edit12", QRect(76, 101, 140, 22));
    QLabel* password = MakeLabel(host, "Label20", "Password:", QRect(226, 104, 70, 18));
    QLineEdit* passwordEdit = MakeEdit(host, "Edit8", QRect(298, 101, 134, 22));
    passwordEdit->setEchoMode(QLineEdit::Password);
    passwordEdit->setMaxLength(15);
    // The login fields appear with the authentication switch.
    for (QWidget* w :
         std::initializer_list<QWidget*>{account, accountEdit, password, passwordEdit}) {
        w->hide();
    }
    auto* local = new QGroupBox("Local Information", all);
    local->setObjectName("GroupBox_LocalInformation");
    local->setGeometry(8, 158, 442, 76);
    MakeLabel(local, "Label_Name", "Name", QRect(10, 24, 110, 18));
    MakeEdit(local, "Edit3", QRect(126, 21, 306, 22));
    MakeLabel(local, "Label_Addr", "E-Mail Address", QRect(10, 50, 110, 18));
    MakeEdit(local, "Edit4", QRect(126, 47, 306, 22));
    new PictureButton("Image3_Test", all, QRect(358, 238, 92, 30), Picture("button_test"));

    struct Recipients {
        int sub;
        const char *edit, *plus, *minus, *grid, *subjectHead, *subject, *memo, *check, *info;
    };
    const std::array<Recipients, 2> kinds{{
        {1, "Edit7", "Image3_1P", "Image3_1M", "StringGrid1", "Subject1", "Edit10", "Memo6",
         "CheckBox2", "Hard Disk Fail info. and "},
        {2, "Edit6", "Image3_2P", "Image3_2M", "StringGrid2", "Subject2", "Edit11", "Memo4",
         "CheckBox4", "Device Removed info. and "},
    }};
    for (const Recipients& k : kinds) {
        QWidget* sub = notebook2->widget(k.sub);
        const QString n = QString::number(k.sub);
        MakeLabel(sub, qPrintable("Label_EMailEdit" + n), "E-Mail Edit", QRect(8, 2, 200, 18));
        MakeEdit(sub, k.edit, QRect(8, 20, 196, 22));
        new PictureButton(k.plus, sub, QRect(210, 18, 36, 26), Picture("button_add"));
        new PictureButton(k.minus, sub, QRect(250, 18, 36, 26), Picture("button_remove"));
        MakeLabel(sub, qPrintable("Label_EMailAddress" + n), "E-Mail Address",
                  QRect(8, 48, 200, 18));
        QTableWidget* grid = MakeGrid(sub, k.grid, QRect(8, 66, 278, 150), 1, 10);
        grid->horizontalHeader()->setStretchLastSection(true);
        grid->verticalHeader()->setDefaultSectionSize(18);
        MakeLabel(sub, k.subjectHead, "Subject", QRect(296, 2, 160, 18));
        MakeEdit(sub, k.subject, QRect(296, 20, 164, 22));
        MakeLabel(sub, qPrintable("Label_Contents" + n), "Contents", QRect(296, 48, 160, 18));
        auto* memo = new QPlainTextEdit(sub);
        memo->setObjectName(k.memo);
        memo->setGeometry(296, 66, 164, 150);
        MakeCheckBox(sub, k.check, "Don't send EMail for this event.", QRect(8, 220, 300, 20));
        MakeLabel(sub, qPrintable("Label_AutoAdd" + n), "Auto Add :", QRect(8, 244, 70, 18));
        MakeLabel(sub, qPrintable("Label_AutoInfo" + n), k.info, QRect(80, 244, 380, 18));
        MakeLabel(sub, qPrintable("Label_AutoSystem" + n),
                  "system info. in front of E-Mail contents.", QRect(80, 258, 380, 16));
    }
    new PictureButton("Image3_OK", page, QRect(270, 312, 92, 30), Picture("button_ok"));
    new PictureButton("Image3_Ignore", page, QRect(368, 312, 92, 30), Picture("button_ignore"));
}

void MainWindow::BuildAboutPage(QWidget* page) {
    auto* logo =
        new PictureButton("Image4_Logo", page, QRect(201, 20, 64, 64), Picture("app_icon"));
    logo->SetPressMoves(false);
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
