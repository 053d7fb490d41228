#include "ui/email_page.h"

#include <QGroupBox>
#include <QHeaderView>
#include <QPointer>
#include <QVBoxLayout>

#include "notify/delivery/mail_dispatcher.h"

namespace raid::ui {
namespace {

QString Picture(const QString& name) {
    return ":/pictures/" + name + ".svg";
}

std::string Std(const QString& text) {
    return text.toStdString();
}

// A memo's lines as a list: a final line break ends the last line and does
// not start another one.
std::vector<std::string> MemoLines(const QPlainTextEdit* memo) {
    const QString text = memo->toPlainText();
    std::vector<std::string> lines;
    if (text.isEmpty()) {
        return lines;
    }
    QStringList parts = text.split('\n');
    if (text.endsWith('\n')) {
        parts.removeLast();
    }
    for (const QString& part : parts) {
        lines.push_back(Std(part));
    }
    return lines;
}

QString MemoText(const std::vector<std::string>& lines) {
    QStringList parts;
    for (const std::string& line : lines) {
        parts.push_back(QString::fromStdString(line));
    }
    return parts.join('\n');
}

// The security choices as shown, and as the settings store them.
constexpr std::array<std::pair<const char*, const char*>, 4> kSecurityChoices{{
    {"auto", "auto"},
    {"none", "none"},
    {"STARTTLS", "starttls"},
    {"TLS", "tls"},
}};

struct KindNames {
    const char *edit, *plus, *minus, *grid, *subjectHead, *subject, *memo, *check, *info;
};
constexpr std::array<KindNames, 2> kKindNames{{
    {"Edit7", "Image3_1P", "Image3_1M", "StringGrid1", "Subject1", "Edit10", "Memo6", "CheckBox2",
     "Hard Disk Fail info. and "},
    {"Edit6", "Image3_2P", "Image3_2M", "StringGrid2", "Subject2", "Edit11", "Memo4", "CheckBox4",
     "Device Removed info. and "},
}};

}  // namespace

EmailPage::EmailPage(QWidget* parent, Dialogs& dialogs) : QWidget(parent), dialogs_(dialogs) {
    setObjectName("EmailPage");
    // The page fills the page of Notebook1 it sits on.
    auto* fill = new QVBoxLayout(parent);
    fill->setContentsMargins(0, 0, 0, 0);
    fill->addWidget(this);
    const std::array<std::pair<const char*, const char*>, 3> sections{{
        {"Image3_Setup", "tab_mail_setup"},
        {"Image3_HDDFail", "tab_mail_hddfail"},
        {"Image3_DeviceRemove", "tab_mail_devremove"},
    }};
    notebook2_ = new QStackedWidget(this);
    notebook2_->setObjectName("Notebook2");
    notebook2_->setGeometry(0, 34, 466, 274);
    for (const char* name : {"Setup", "HDD_Fail", "DeviceRemove"}) {
        auto* sub = new QWidget(notebook2_);
        sub->setObjectName(name);
        notebook2_->addWidget(sub);
    }
    for (std::size_t i = 0; i < sections.size(); ++i) {
        sections_[i] =
            MakeChoice(this, sections[i].first, QRect(8 + 116 * static_cast<int>(i), 2, 112, 28),
                       sections[i].second, i == 0);
        connect(sections_[i].button, &PictureButton::clicked, this,
                [this, i] { SelectSection(static_cast<int>(i)); });
    }
    BuildSetup(notebook2_->widget(kSubSetup));
    BuildKind(notebook2_->widget(kSubHddFail), 0);
    BuildKind(notebook2_->widget(kSubDeviceRemove), 1);

    auto* ok = new PictureButton("Image3_OK", this, QRect(270, 312, 92, 30), Picture("button_ok"));
    auto* ignore =
        new PictureButton("Image3_Ignore", this, QRect(368, 312, 92, 30), Picture("button_ignore"));
    connect(ok, &PictureButton::clicked, this, [this] { Image3_OKClick(); });
    connect(ignore, &PictureButton::clicked, this, [this] { Image3_IgnoreClick(); });
    RefreshGrids();
}

void EmailPage::BuildSetup(QWidget* sub) {
    auto* all = new QGroupBox("E-Mail Setup", sub);
    all->setObjectName("GroupBox_EMailSetup");
    all->setGeometry(4, 0, 458, 272);
    auto* host = new QGroupBox("Connect E-mail Host", all);
    host->setObjectName("GroupBox_ConnectHost");
    host->setGeometry(8, 20, 442, 134);
    MakeLabel(host, "Label_SMTP", "E-Mail Host (SMTP)", QRect(10, 24, 130, 18));
    smtp_ = MakeEdit(host, "Edit2", QRect(146, 21, 286, 22));
    MakeLabel(host, "Label_Port", "Port", QRect(10, 50, 40, 18));
    port_ = MakeEdit(host, "Edit1", QRect(56, 47, 56, 22));
    MakeLabel(host, "Label_PortDefault", "( Default 25 )", QRect(118, 50, 100, 18));
    MakeLabel(host, "Label_TimeOut", "Time Out", QRect(250, 50, 64, 18));
    timeOut_ = MakeEdit(host, "Edit5", QRect(318, 47, 34, 22));
    timeOut_->setMaxLength(2);
    MakeLabel(host, "Label_Sec", "(Sec)", QRect(358, 50, 40, 18));
    login_ = MakeCheckBox(host, "CheckBox8", "SMTP Login Authentication", QRect(10, 76, 230, 20));
    // Beyond the plain exchange: how the connection is secured, in the free
    // space beside the login switch.
    MakeLabel(host, "Label_Security", "Security", QRect(250, 78, 64, 18));
    security_ = MakeComboBox(host, "ComboBox_Security", QRect(318, 74, 114, 22));
    for (const auto& [shown, stored] : kSecurityChoices) {
        security_->addItem(shown, QString(stored));
    }
    loginWidgets_ = {
        MakeLabel(host, "Label19", "Account:", QRect(10, 104, 64, 18)),
        account_ = MakeEdit(host, "Edit12", QRect(76, 101, 140, 22)),
        MakeLabel(host, "Label20", "Password:", QRect(226, 104, 70, 18)),
        password_ = MakeEdit(host, "Edit8", QRect(298, 101, 134, 22)),
    };
    password_->setEchoMode(QLineEdit::Password);
    password_->setMaxLength(15);
    ShowLoginFields(false);

    auto* local = new QGroupBox("Local Information", all);
    local->setObjectName("GroupBox_LocalInformation");
    local->setGeometry(8, 158, 442, 76);
    MakeLabel(local, "Label_Name", "Name", QRect(10, 24, 110, 18));
    name_ = MakeEdit(local, "Edit3", QRect(126, 21, 306, 22));
    MakeLabel(local, "Label_Addr", "E-Mail Address", QRect(10, 50, 110, 18));
    addr_ = MakeEdit(local, "Edit4", QRect(126, 47, 306, 22));

    // A private certificate authority for the server, left of the Test button.
    MakeLabel(all, "Label_CAFile", "CA file", QRect(16, 244, 54, 18));
    caFile_ = MakeEdit(all, "Edit_CAFile", QRect(72, 241, 278, 22));
    caFile_->setPlaceholderText("system certificates");
    auto* test =
        new PictureButton("Image3_Test", all, QRect(358, 238, 92, 30), Picture("button_test"));
    connect(test, &PictureButton::clicked, this, [this] { Image3_TestClick(); });

    WatchEdit(port_, kDirtyPort);
    WatchEdit(smtp_, kDirtySmtp);
    WatchEdit(name_, kDirtyUserName);
    WatchEdit(addr_, kDirtyAddr);
    WatchEdit(timeOut_, kDirtyTimeOut);
    WatchEdit(password_, kDirtyPassword);
    WatchEdit(account_, kDirtyUserId);
    connect(login_, &QCheckBox::toggled, this, [this](bool checked) {
        ShowLoginFields(checked);
        MarkDirty(kDirtyPassword);
    });
    auto securityChanged = [this] {
        if (!filling_) {
            securityEdited_ = true;
        }
    };
    connect(security_, &QComboBox::currentIndexChanged, this, securityChanged);
    connect(caFile_, &QLineEdit::textChanged, this, securityChanged);
}

void EmailPage::BuildKind(QWidget* sub, std::size_t kind) {
    const KindNames& k = kKindNames[kind];
    KindControls& c = kinds_[kind];
    const QString n = QString::number(kind + 1);
    MakeLabel(sub, qPrintable("Label_EMailEdit" + n), "E-Mail Edit", QRect(8, 2, 200, 18));
    c.entry = MakeEdit(sub, k.edit, QRect(8, 20, 196, 22));
    auto* plus = new PictureButton(k.plus, sub, QRect(210, 18, 36, 26), Picture("button_add"));
    auto* minus = new PictureButton(k.minus, sub, QRect(250, 18, 36, 26), Picture("button_remove"));
    MakeLabel(sub, qPrintable("Label_EMailAddress" + n), "E-Mail Address", QRect(8, 48, 200, 18));
    c.grid = MakeGrid(sub, k.grid, QRect(8, 66, 278, 150), 1, kGridRows);
    c.grid->horizontalHeader()->setStretchLastSection(true);
    // All ten rows in sight, as the list holds at most ten.
    c.grid->verticalHeader()->setMinimumSectionSize(14);
    c.grid->verticalHeader()->setDefaultSectionSize(14);
    c.grid->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    c.grid->setSelectionMode(QAbstractItemView::SingleSelection);
    for (int row = 0; row < kGridRows; ++row) {
        c.grid->setItem(row, 0, new QTableWidgetItem(" "));
    }
    MakeLabel(sub, k.subjectHead, "Subject", QRect(296, 2, 160, 18));
    c.subject = MakeEdit(sub, k.subject, QRect(296, 20, 164, 22));
    MakeLabel(sub, qPrintable("Label_Contents" + n), "Contents", QRect(296, 48, 160, 18));
    c.memo = new QPlainTextEdit(sub);
    c.memo->setObjectName(k.memo);
    c.memo->setGeometry(296, 66, 164, 150);
    c.suppress =
        MakeCheckBox(sub, k.check, "Don't send EMail for this event.", QRect(8, 220, 300, 20));
    MakeLabel(sub, qPrintable("Label_AutoAdd" + n), "Auto Add :", QRect(8, 244, 70, 18));
    MakeLabel(sub, qPrintable("Label_AutoInfo" + n), k.info, QRect(80, 244, 380, 18));
    MakeLabel(sub, qPrintable("Label_AutoSystem" + n), "system info. in front of E-Mail contents.",
              QRect(80, 258, 380, 16));

    // Both sub-pages' buttons act on the sub-page they sit on.
    connect(plus, &PictureButton::clicked, this, [this] { AddRecipient(); });
    connect(minus, &PictureButton::clicked, this, [this] { RemoveRecipient(); });
    connect(c.grid, &QTableWidget::currentCellChanged, this,
            [this, kind](int row, int, int, int) { GridCellSelected(kind, row); });
}

void EmailPage::WatchEdit(QLineEdit* edit, std::uint8_t bit) {
    connect(edit, &QLineEdit::textChanged, this, [this, bit] { MarkDirty(bit); });
}

void EmailPage::MarkDirty(std::uint8_t bit) {
    if (filling_) {
        return;
    }
    dirty_ |= bit;
    if (mail_ != nullptr) {
        mail_->settings().MailEditDirty |= bit;
    }
}

void EmailPage::ShowLoginFields(bool shown) {
    for (QWidget* w : loginWidgets_) {
        w->setVisible(shown);
    }
}

void EmailPage::SelectSection(int subPage) {
    if (subPage < kSubSetup || subPage > kSubDeviceRemove) {
        return;
    }
    subPage_ = subPage;
    for (std::size_t k = 0; k < sections_.size(); ++k) {
        sections_[k].Select(static_cast<int>(k) == subPage);
    }
    for (KindControls& c : kinds_) {
        c.entry->clear();
    }
    notebook2_->setCurrentIndex(subPage);
}

void EmailPage::Fill(const MailPageFields& fields) {
    filling_ = true;
    port_->setText(QString::fromStdString(fields.port));
    smtp_->setText(QString::fromStdString(fields.smtp));
    name_->setText(QString::fromStdString(fields.userName));
    addr_->setText(QString::fromStdString(fields.addr));
    timeOut_->setText(QString::fromStdString(fields.timeOut));
    password_->setText(QString::fromStdString(fields.password));
    account_->setText(QString::fromStdString(fields.userId));
    login_->setChecked(fields.login);
    ShowLoginFields(fields.login);
    const int security = security_->findData(QString::fromStdString(fields.security));
    security_->setCurrentIndex(security < 0 ? 0 : security);
    caFile_->setText(QString::fromStdString(fields.caFile));
    for (std::size_t i = 0; i < kinds_.size(); ++i) {
        kinds_[i].suppress->setChecked(fields.suppressed[i]);
        kinds_[i].subject->setText(QString::fromStdString(fields.subjects[i]));
        kinds_[i].memo->setPlainText(MemoText(fields.contents[i]));
    }
    working_ = fields.recipients;
    RefreshGrids();
    filling_ = false;
}

MailPageFields EmailPage::Fields() const {
    MailPageFields fields;
    fields.port = Std(port_->text());
    fields.smtp = Std(smtp_->text());
    fields.userName = Std(name_->text());
    fields.addr = Std(addr_->text());
    fields.timeOut = Std(timeOut_->text());
    fields.password = Std(password_->text());
    fields.userId = Std(account_->text());
    fields.login = login_->isChecked();
    fields.recipients = working_;
    for (std::size_t i = 0; i < kinds_.size(); ++i) {
        fields.suppressed[i] = kinds_[i].suppress->isChecked();
        fields.subjects[i] = Std(kinds_[i].subject->text());
        fields.contents[i] = MemoLines(kinds_[i].memo);
    }
    fields.security = Std(security_->currentData().toString());
    fields.caFile = Std(caFile_->text());
    return fields;
}

void EmailPage::RefreshGrids() {
    const bool wasFilling = filling_;
    filling_ = true;
    for (KindControls& c : kinds_) {
        for (int row = 0; row < kGridRows; ++row) {
            const auto i = static_cast<std::size_t>(row);
            c.grid->item(row, 0)->setText(i < working_.size() ? QString::fromStdString(working_[i])
                                                              : QString(" "));
        }
    }
    filling_ = wasFilling;
}

int EmailPage::ShownKind() const {
    return subPage_ == kSubSetup ? -1 : subPage_ - 1;
}

void EmailPage::Enter() {
    if (mail_ != nullptr && mail_->settings().MailKeyPresent &&
        !mail_->settings().MailSettingsLoaded) {
        // Saved but not reloaded yet: the page would show the fields empty,
        // and an OK then would store them so.
        mail_->ServiceMailFlags();
    }
    if (mail_ != nullptr && mail_->settings().MailKeyPresent) {
        Fill(PageFields(mail_->settings()));
    } else {
        // Nothing saved yet: only the defaults are set; what was typed on an
        // earlier visit stays until the first OK.
        filling_ = true;
        const MailPageFields defaults = PageFields(MailSettings{});
        port_->setText(QString::fromStdString(defaults.port));
        timeOut_->setText(QString::fromStdString(defaults.timeOut));
        login_->setChecked(false);
        ShowLoginFields(false);
        filling_ = false;
    }
    SelectSection(subPage_);
    dirty_ = 0;
    securityEdited_ = false;
    if (mail_ != nullptr) {
        mail_->settings().MailEditDirty = 0;
    }
}

void EmailPage::AddRecipient() {
    const int kind = ShownKind();
    if (kind < 0) {
        return;
    }
    QLineEdit* entry = kinds_[static_cast<std::size_t>(kind)].entry;
    const QString address = entry->text();
    if (address.isEmpty() || working_.size() >= kMaxRecipients) {
        return;
    }
    if (address.contains('@')) {
        working_.push_back(Std(address));
        RefreshGrids();
    } else {
        dialogs_.MessageBox("E-Mail Address formula error!", kMailCaption, DialogIcon::None);
    }
    entry->clear();
}

void EmailPage::RemoveRecipient() {
    const int kind = ShownKind();
    if (kind < 0) {
        return;
    }
    KindControls& c = kinds_[static_cast<std::size_t>(kind)];
    const int row = c.grid->currentRow();
    if (row < 0 || static_cast<std::size_t>(row) >= working_.size()) {
        return;
    }
    working_.erase(working_.begin() + row);
    c.entry->clear();
    RefreshGrids();
}

void EmailPage::GridCellSelected(std::size_t kind, int row) {
    if (filling_ || row < 0 || row >= kGridRows) {
        return;
    }
    kinds_[kind].entry->setText(kinds_[kind].grid->item(row, 0)->text());
}

void EmailPage::Image3_OKClick() {
    if (mail_ == nullptr) {
        return;
    }
    if (port_->text().isEmpty()) {
        port_->setText("25");
    }
    if (timeOut_->text().isEmpty()) {
        timeOut_->setText("0");
    }
    MailSettings& settings = mail_->settings();
    // A reload since the edits began cleared the change set; the page's own
    // record keeps every edited field in it.
    settings.MailEditDirty |= dirty_;
    const std::string error = mail_->Save(Fields());
    if (!error.empty()) {
        // The page keeps what the user typed, so that OK can be pressed again
        // once the cause is mended.
        dialogs_.MessageBox(error, kMailCaption, DialogIcon::Warning);
        return;
    }
    dirty_ = 0;
    securityEdited_ = false;
}

void EmailPage::Image3_IgnoreClick() {
    Enter();
}

void EmailPage::Image3_TestClick() {
    if (mail_ == nullptr) {
        return;
    }
    if (dirty_ != 0 || securityEdited_ || mail_->settings().MailEditDirty != 0) {
        dialogs_.MessageBox(kMailUnsaved, kMailCaption, DialogIcon::None);
        return;
    }
    QPointer<EmailPage> page(this);
    const TestMailStart start = mail_->StartTestMail([page](const SmtpOutcome& outcome) {
        if (page) {
            page->TestMailDone(outcome.accepted, outcome.ErrorText());
        }
    });
    if (start == TestMailStart::NotReady) {
        dialogs_.MessageBox(kMailNotReady, kMailCaption, DialogIcon::None);
    } else if (start == TestMailStart::Unsaved) {
        dialogs_.MessageBox(kMailUnsaved, kMailCaption, DialogIcon::None);
    }
}

void EmailPage::TestMailDone(bool accepted, const std::string& why) {
    if (accepted) {
        dialogs_.MessageBox(kMailSuccess, kMailCaption, DialogIcon::None);
    } else {
        dialogs_.MessageBox("The test mail was not sent: " + why, "", DialogIcon::Error);
    }
}

}  // namespace raid::ui
