// The E-mail page: its fields and change set, the recipient list, OK and
// Ignore through the mail dispatch's save path, and the test mail.
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QStackedWidget>
#include <QTableWidget>
#include <QtTest>
#include <future>
#include <memory>

#include "app/platform.h"
#include "notify/delivery/mail_dispatcher.h"
#include "notify/settings/file_settings_store.h"
#include "notify/settings/memory_settings_store.h"
#include "tests/support/smtp_peer.h"
#include "tests/ui/test_classes.h"
#include "tests/ui/window_rig.h"
#include "ui/email_page.h"
#include "ui/event_loop_clock.h"
#include "ui/gui_runtime.h"
#include "ui/screenshot.h"

using raid::MailDispatcher;
using raid::SettingValue;
using raid::ui::EmailPage;
using raid::ui::PictureButton;
using raid::uitest::WindowRig;

namespace {

// A mail server in the test's hands: it takes every mail, or holds the next
// exchange until the test lets it go.
class HeldServer {
  public:
    raid::MailSender Sender() {
        return [this](const raid::SmtpServer& server, const raid::MailMessage& message,
                      raid::Clock&, const raid::SmtpEvents& events) {
            std::shared_future<void> hold;
            {
                std::lock_guard lock(mutex_);
                servers_.push_back(server);
                messages_.push_back(message);
                hold = hold_;
            }
            if (events.connected) {
                events.connected();
            }
            if (hold.valid()) {
                hold.wait();
            }
            raid::SmtpOutcome outcome;
            outcome.accepted = true;
            return outcome;
        };
    }
    void Hold() {
        std::lock_guard lock(mutex_);
        release_ = std::promise<void>();
        hold_ = release_.get_future().share();
    }
    void Release() { release_.set_value(); }
    std::vector<raid::MailMessage> Messages() {
        std::lock_guard lock(mutex_);
        return messages_;
    }
    std::vector<raid::SmtpServer> Servers() {
        std::lock_guard lock(mutex_);
        return servers_;
    }

  private:
    std::mutex mutex_;
    std::promise<void> release_;
    std::shared_future<void> hold_;
    std::vector<raid::SmtpServer> servers_;
    std::vector<raid::MailMessage> messages_;
};

// The window on the stand-in enclosures, with a mail dispatch of its own
// bound to the E-mail page. The second enclosure has no backup schedule, so
// it offers the E-mail page.
struct EmailRig {
    // The templates go to `templateFolder` on a first start, by default the
    // window's log folder.
    EmailRig(raid::SettingsStore& store, raid::MailSender sender,
             const QString& templateFolder = {})
        : dispatcher(
              raid::MailDispatchServices{
                  .store = store,
                  .clock = window.clock,
                  .devices = window.state.devices,
                  .systemInfo = window.state.systemInfoLines,
                  .mailFlags = window.state.MailFlags,
                  .sender = std::move(sender),
                  .outboxFolder = window.logFolder.filePath("outbox").toStdString(),
                  .defaultTemplateDirectory =
                      (templateFolder.isEmpty() ? window.logFolder.path() : templateFolder)
                          .toStdString() +
                      "/",
                  .appTitle = raid::kAppTitle,
              },
              raid::MailDispatchHooks{
                  .statusText =
                      [this](int panel, const std::string& text) {
                          window.window.statusPanels().SetPanel(panel, text);
                      },
                  .logLines = {},
                  .error = {},
                  .wake = {},  // the tests run the mail passes themselves
              }) {
        window.state.systemInfoLines = {"\nCPU: test"};
        page().Attach(dispatcher);
        dispatcher.Initialise();
        dispatcher.ServiceMailFlags();
        window.StartUp();
        window.window.SelectStatusDevice(1);
        Click("Image_Email");
    }

    EmailPage& page() { return *window.window.emailPage(); }
    template <typename W = QLineEdit>
    W* Find(const char* name) {
        return window.window.findChild<W*>(name);
    }
    void Click(const char* name) { QTest::mouseClick(Find<QWidget>(name), Qt::LeftButton); }
    void Type(const char* name, const QString& text) {
        Find(name)->clear();
        QTest::keyClicks(Find(name), text);
    }
    // Fills the Setup fields as a user would and presses OK, then lets the
    // mail pass reload the settings.
    void SaveSetup(const QString& host, int port, const QString& addr) {
        Type("Edit2", host);
        Type("Edit1", QString::number(port));
        Type("Edit4", addr);
        Find<QComboBox>("ComboBox_Security")->setCurrentIndex(1);  // none
        Click("Image3_OK");
        dispatcher.ServiceMailFlags();
    }
    // Runs the mail passes until a message box appears (or 20 s have passed).
    bool WaitForBox(std::size_t count = 1) {
        QElapsedTimer waited;
        waited.start();
        while (Boxes().size() < count && waited.elapsed() < 20000) {
            dispatcher.ServiceMailFlags();
            QCoreApplication::processEvents();
            QTest::qWait(10);
        }
        return Boxes().size() >= count;
    }
    std::vector<raid::testing::RecordedBox>& Boxes() { return window.dialogs.boxes; }
    std::string LastBox() { return Boxes().empty() ? std::string() : Boxes().back().text; }
    std::uint8_t Dirty() { return dispatcher.settings().MailEditDirty; }
    QString GridRow(const char* grid, int row) {
        return Find<QTableWidget>(grid)->item(row, 0)->text();
    }

    WindowRig window;
    MailDispatcher dispatcher;
};

QMessageBox* ShownBox() {
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* box = qobject_cast<QMessageBox*>(w); box != nullptr && box->isVisible()) {
            return box;
        }
    }
    return nullptr;
}

std::optional<std::string> Stored(raid::MemorySettingsStore& store, const char* name) {
    return store.ReadString(name);
}

}  // namespace

class EmailPageTest : public QObject {
    Q_OBJECT

  private Q_SLOTS:
    void firstStartShowsTheDefaults() {
        raid::MemorySettingsStore store;
        HeldServer server;
        EmailRig rig(store, server.Sender());
        QCOMPARE(rig.window.state.CurrentPage, int(raid::ui::kPageEmail));
        QCOMPARE(rig.Find("Edit1")->text(), QString("25"));
        QCOMPARE(rig.Find("Edit5")->text(), QString("0"));
        QVERIFY(!rig.Find<QCheckBox>("CheckBox8")->isChecked());
        QCOMPARE(rig.Find<QComboBox>("ComboBox_Security")->currentText(), QString("auto"));
        QCOMPARE(rig.GridRow("StringGrid1", 0), QString(" "));
        QCOMPARE(rig.GridRow("StringGrid2", 9), QString(" "));
        QCOMPARE(rig.Dirty(), std::uint8_t{0});

        // OK and Ignore sink 2 pixels while pressed (released away from them,
        // so that nothing is saved yet).
        for (const char* name : {"Image3_OK", "Image3_Ignore"}) {
            auto* button = rig.Find<QWidget>(name);
            const QPoint up = button->pos();
            QTest::mousePress(button, Qt::LeftButton);
            QCOMPARE(button->pos(), up + QPoint(0, 2));
            QTest::mouseRelease(button, Qt::LeftButton, {}, QPoint(-20, -20));
            QCOMPARE(button->pos(), up);
        }
        QVERIFY(!store.KeyExists());

        // Until the first OK a visit sets only the defaults and keeps the rest.
        rig.Type("Edit2", "mail.example.com");
        rig.Type("Edit1", "587");
        rig.Find<QCheckBox>("CheckBox8")->setChecked(true);
        rig.Click("Image_About");
        rig.Click("Image_Email");
        QCOMPARE(rig.Find("Edit2")->text(), QString("mail.example.com"));
        QCOMPARE(rig.Find("Edit1")->text(), QString("25"));
        QVERIFY(!rig.Find<QCheckBox>("CheckBox8")->isChecked());
        QVERIFY(rig.Find<QWidget>("Edit8")->isHidden());
        QCOMPARE(rig.Dirty(), std::uint8_t{0});
    }

    void loginFieldsFollowTheSwitch() {
        raid::MemorySettingsStore store;
        HeldServer server;
        EmailRig rig(store, server.Sender());
        const std::array<const char*, 4> login{"Label19", "Edit12", "Label20", "Edit8"};
        for (const char* name : login) {
            QVERIFY2(rig.Find<QWidget>(name)->isHidden(), name);
        }
        rig.Find<QCheckBox>("CheckBox8")->click();
        for (const char* name : login) {
            QVERIFY2(!rig.Find<QWidget>(name)->isHidden(), name);
        }
        QCOMPARE(rig.Find("Edit8")->echoMode(), QLineEdit::Password);
        rig.Type("Edit8", "0123456789abcdefXYZ");
        QCOMPARE(rig.Find("Edit8")->text(), QString("0123456789abcde"));

        // Stored with login: entering the page shows the fields at once.
        rig.Type("Edit12", "raid");
        rig.SaveSetup("127.0.0.1", 25, "raid@example.com");
        rig.Click("Image_About");
        rig.Click("Image_Email");
        QVERIFY(rig.Find<QCheckBox>("CheckBox8")->isChecked());
        QVERIFY(!rig.Find<QWidget>("Edit8")->isHidden());
        QCOMPARE(rig.Find("Edit8")->text(), QString("0123456789abcde"));
        rig.Find<QCheckBox>("CheckBox8")->click();
        for (const char* name : login) {
            QVERIFY2(rig.Find<QWidget>(name)->isHidden(), name);
        }
    }

    void eachSetupEditSetsItsBit_data() {
        QTest::addColumn<QString>("control");
        QTest::addColumn<int>("bit");
        QTest::newRow("Edit1 port") << "Edit1" << 0x01;
        QTest::newRow("Edit2 server") << "Edit2" << 0x02;
        QTest::newRow("Edit3 name") << "Edit3" << 0x04;
        QTest::newRow("Edit4 address") << "Edit4" << 0x08;
        QTest::newRow("Edit5 time-out") << "Edit5" << 0x10;
        QTest::newRow("Edit8 password") << "Edit8" << 0x20;
        QTest::newRow("CheckBox8 login") << "CheckBox8" << 0x20;
        QTest::newRow("Edit12 account") << "Edit12" << 0x80;
    }
    void eachSetupEditSetsItsBit() {
        QFETCH(QString, control);
        QFETCH(int, bit);
        raid::MemorySettingsStore store;
        HeldServer server;
        EmailRig rig(store, server.Sender());
        rig.SaveSetup("mail.example.com", 25, "raid@example.com");
        rig.Find<QCheckBox>("CheckBox8")->setChecked(true);
        rig.Type("Edit8", "secret");
        rig.Type("Edit12", "raid");
        rig.Click("Image3_OK");
        rig.dispatcher.ServiceMailFlags();
        // Entering fills every field from the store; that is no edit.
        rig.Click("Image_About");
        rig.Click("Image_Email");
        QCOMPARE(rig.Dirty(), std::uint8_t{0});

        if (control == "CheckBox8") {
            rig.Find<QCheckBox>("CheckBox8")->click();
        } else {
            QTest::keyClicks(rig.Find(qPrintable(control)), "7");
        }
        QCOMPARE(int(rig.Dirty()), bit);
        rig.Click("Image3_Test");
        QCOMPARE(rig.LastBox(), std::string(raid::kMailUnsaved));
        QCOMPARE(rig.Boxes().back().caption, std::string("E-Mail Message"));
        QVERIFY(server.Messages().empty());
    }

    void testMailRefusals() {
        raid::MemorySettingsStore store;
        HeldServer server;
        EmailRig rig(store, server.Sender());
        // Nothing saved yet.
        rig.Click("Image3_Test");
        QCOMPARE(rig.LastBox(), std::string("E-Mail setting isn't ready!"));

        // Saved, but the mail pass has not reloaded the settings yet.
        rig.Type("Edit2", "mail.example.com");
        rig.Type("Edit4", "raid@example.com");
        rig.Click("Image3_OK");
        rig.Click("Image3_Test");
        QCOMPARE(rig.LastBox(), std::string(raid::kMailUnsaved));
        rig.dispatcher.ServiceMailFlags();

        // The security choice and the CA file are setup edits too.
        rig.Find<QComboBox>("ComboBox_Security")->setCurrentIndex(3);
        rig.Click("Image3_Test");
        QCOMPARE(rig.LastBox(), std::string(raid::kMailUnsaved));
        rig.Click("Image3_Ignore");
        rig.Type("Edit_CAFile", "/etc/ssl/private-ca.pem");
        rig.Click("Image3_Test");
        QCOMPARE(rig.LastBox(), std::string(raid::kMailUnsaved));
        QVERIFY(server.Messages().empty());

        // Reverted: the test mail goes to the sender address only.
        rig.Click("Image3_Ignore");
        rig.Click("Image3_Test");
        QVERIFY(rig.WaitForBox(5));
        QCOMPARE(rig.LastBox(), std::string("Send mail Success!"));
        QCOMPARE(server.Messages().size(), std::size_t{1});
        QCOMPARE(server.Messages()[0].recipients, std::vector<std::string>{"raid@example.com"});
        QCOMPARE(server.Messages()[0].subject,
                 std::string("[RAID GUI v0.50.11-5b Message] Mail Test "));
    }

    void addAndRemoveRecipients() {
        raid::MemorySettingsStore store;
        HeldServer server;
        EmailRig rig(store, server.Sender());
        rig.SaveSetup("mail.example.com", 25, "raid@example.com");
        rig.Click("Image3_HDDFail");
        // No "@": refused with the message, and the entry is cleared.
        rig.Type("Edit7", "nobody.example.com");
        rig.Click("Image3_1P");
        QCOMPARE(rig.LastBox(), std::string("E-Mail Address formula error!"));
        QCOMPARE(rig.Boxes().back().caption, std::string("E-Mail Message"));
        QVERIFY(rig.Find("Edit7")->text().isEmpty());
        QVERIFY(rig.page().workingRecipients().empty());
        // An empty entry is ignored without a message.
        rig.Click("Image3_1P");
        QCOMPARE(rig.Boxes().size(), std::size_t{1});

        // Ten at most, the same address may come twice; both grids show the one list.
        for (int i = 0; i < 10; ++i) {
            rig.Type("Edit7", i == 9 ? "ops0@example.com" : QString("ops%1@example.com").arg(i));
            rig.Click("Image3_1P");
        }
        QCOMPARE(rig.page().workingRecipients().size(), std::size_t{10});
        QCOMPARE(rig.GridRow("StringGrid2", 9), QString("ops0@example.com"));
        rig.Type("Edit7", "eleventh@example.com");
        rig.Click("Image3_1P");
        QCOMPARE(rig.page().workingRecipients().size(), std::size_t{10});
        QCOMPARE(rig.Boxes().size(), std::size_t{1});

        // On the other sub-page: selecting a row copies it, remove takes it out.
        rig.Click("Image3_DeviceRemove");
        auto* grid = rig.Find<QTableWidget>("StringGrid2");
        grid->setCurrentCell(2, 0);
        QCOMPARE(rig.Find("Edit6")->text(), QString("ops2@example.com"));
        rig.Click("Image3_2M");
        QVERIFY(rig.Find("Edit6")->text().isEmpty());
        QCOMPARE(rig.page().workingRecipients().size(), std::size_t{9});
        QCOMPARE(rig.GridRow("StringGrid1", 2), QString("ops3@example.com"));
        QCOMPARE(rig.GridRow("StringGrid1", 9), QString(" "));
        // A blank row below the list: remove does nothing.
        grid->setCurrentCell(9, 0);
        rig.Click("Image3_2M");
        QCOMPARE(rig.page().workingRecipients().size(), std::size_t{9});

        // Ignore drops the working list.
        rig.Click("Image3_Ignore");
        QVERIFY(rig.page().workingRecipients().empty());
        QCOMPARE(rig.GridRow("StringGrid1", 0), QString(" "));
    }

    void okStoresThePageAndARestartShowsIt() {
        raid::MemorySettingsStore store;
        HeldServer server;
        QTemporaryDir templates;
        {
            EmailRig rig(store, server.Sender(), templates.path());
            rig.Type("Edit2", "mail.example.com");
            rig.Find("Edit1")->clear();
            rig.Find("Edit5")->clear();
            rig.Type("Edit3", "RAID Monitor");
            rig.Type("Edit4", "raid@example.com");
            rig.Find<QComboBox>("ComboBox_Security")->setCurrentIndex(2);  // STARTTLS
            rig.Type("Edit_CAFile", "/etc/raidgui/ca.pem");
            rig.Click("Image3_HDDFail");
            rig.Type("Edit7", "ops@example.com");
            rig.Click("Image3_1P");
            rig.Type("Edit10", "Drive failed");
            rig.Find<QPlainTextEdit>("Memo6")->setPlainText("Replace the drive.\nCall ops.\n");
            rig.Find<QCheckBox>("CheckBox4")->setChecked(true);
            rig.Click("Image3_OK");
            QVERIFY(rig.Boxes().empty());
            // Empty port and time-out fields are given their defaults.
            QCOMPARE(rig.Find("Edit1")->text(), QString("25"));
            QCOMPARE(rig.Find("Edit5")->text(), QString("0"));
        }
        QCOMPARE(Stored(store, "Port"), std::optional<std::string>("25"));
        QCOMPARE(Stored(store, "TimeOut"), std::optional<std::string>("0"));
        QCOMPARE(Stored(store, "Security"), std::optional<std::string>("starttls"));
        QCOMPARE(store.ReadInteger("EMailSend"), std::optional<std::uint32_t>(2));

        EmailRig again(store, server.Sender(), templates.path());
        QCOMPARE(again.Find("Edit2")->text(), QString("mail.example.com"));
        QCOMPARE(again.Find("Edit3")->text(), QString("RAID Monitor"));
        QCOMPARE(again.Find<QComboBox>("ComboBox_Security")->currentText(), QString("STARTTLS"));
        QCOMPARE(again.Find("Edit_CAFile")->text(), QString("/etc/raidgui/ca.pem"));
        QCOMPARE(again.GridRow("StringGrid2", 0), QString("ops@example.com"));
        QCOMPARE(again.Find("Edit10")->text(), QString("Drive failed"));
        QCOMPARE(again.Find<QPlainTextEdit>("Memo6")->toPlainText(),
                 QString("Replace the drive.\nCall ops."));
        QVERIFY(!again.Find<QCheckBox>("CheckBox2")->isChecked());
        QVERIFY(again.Find<QCheckBox>("CheckBox4")->isChecked());
        // The sub-page chosen last time is not kept across runs.
        QCOMPARE(again.page().subPage(), int(EmailPage::kSubSetup));
    }

    // Ignore right after OK, before the mail pass has reloaded: the page
    // shows what was saved, not empty fields that a second OK would store.
    void ignoreBeforeTheReloadShowsTheSavedValues() {
        raid::MemorySettingsStore store;
        HeldServer server;
        EmailRig rig(store, server.Sender());
        rig.Type("Edit2", "mail.example.com");
        rig.Click("Image3_HDDFail");
        rig.Type("Edit7", "ops@example.com");
        rig.Click("Image3_1P");
        rig.Type("Edit10", "Drive failed");
        rig.Click("Image3_OK");
        rig.Click("Image3_Ignore");
        QCOMPARE(rig.Find("Edit2")->text(), QString("mail.example.com"));
        QCOMPARE(rig.Find("Edit10")->text(), QString("Drive failed"));
        QCOMPARE(rig.GridRow("StringGrid1", 0), QString("ops@example.com"));
        rig.Click("Image3_OK");
        QCOMPARE(Stored(store, "SMTP"), std::optional<std::string>("mail.example.com"));
        QCOMPARE(store.ReadInteger("ToAddrCount"), std::optional<std::uint32_t>(1));
    }

    // A settings folder that cannot be made (a plain file stands in its way,
    // which stops root too): the message names the cause, nothing is written,
    // and the page keeps what was typed.
    void aSettingsFolderThatCannotBeWritten() {
        QTemporaryDir scratch;
        raid::FileSettingsStore store(scratch.filePath("settings/raidgui").toStdString());
        QCOMPARE(store.Open(), std::string());
        HeldServer server;
        EmailRig rig(store, server.Sender());
        QFile blocker(scratch.filePath("settings"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        rig.Type("Edit2", "mail.example.com");
        rig.Click("Image3_OK");
        QVERIFY2(rig.LastBox().rfind("The settings were not saved: ", 0) == 0,
                 rig.LastBox().c_str());
        QVERIFY(rig.LastBox().find("Not a directory") != std::string::npos);
        QCOMPARE(rig.Find("Edit2")->text(), QString("mail.example.com"));
        QVERIFY(!store.KeyExists());
        QCOMPARE(QDir(scratch.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
                 QStringList{"settings"});
        rig.Click("Image3_Test");
        QCOMPARE(rig.LastBox(), std::string(raid::kMailUnsaved));
    }

    void theChosenSubPageIsRemembered() {
        raid::MemorySettingsStore store;
        HeldServer server;
        EmailRig rig(store, server.Sender());
        rig.Click("Image3_DeviceRemove");
        rig.Click("Image_Sts");
        rig.Click("Image_Email");
        QCOMPARE(rig.Find<QStackedWidget>("Notebook2")->currentIndex(), 2);
        const auto picture = [&rig](const char* name) {
            return rig.Find<PictureButton>(name)->picture();
        };
        QCOMPARE(picture("Image3_DeviceRemove"), picture("Image3_DeviceRemove_Yellow"));
        QCOMPARE(picture("Image3_HDDFail"), picture("Image3_HDDFail_White"));
        rig.Click("Image3_Ignore");
        QCOMPARE(rig.Find<QStackedWidget>("Notebook2")->currentIndex(), 2);
    }

    // One picture per sub-page, and the page is left as it was.
    void screenshotShowsEverySubPage() {
        raid::MemorySettingsStore store;
        HeldServer server;
        EmailRig rig(store, server.Sender());
        rig.Click("Image3_HDDFail");
        rig.Click("Image_Sts");
        rig.window.window.SelectStatusDevice(0);
        const QString file = rig.window.logFolder.filePath("email.png");
        QVERIFY(raid::ui::SaveWindowPng(rig.window.window, file, raid::ui::kPageEmail));
        const QImage sheet(file);
        const QPixmap one = raid::ui::WindowPicture(rig.window.window);
        QCOMPARE(sheet.height(), 3 * one.height() + 2 * 6 * int(one.devicePixelRatio()));
        QCOMPARE(rig.page().subPage(), int(EmailPage::kSubHddFail));
        QCOMPARE(rig.window.window.currentPage(), int(raid::ui::kPageStatus));
        QCOMPARE(rig.window.window.shownSlot(), 0);
        // The three parts differ: each shows its own sub-page.
        const int h = one.height() + 6 * int(one.devicePixelRatio());
        QVERIFY(sheet.copy(0, 0, sheet.width(), one.height()) !=
                sheet.copy(0, h, sheet.width(), one.height()));
        QVERIFY(sheet.copy(0, h, sheet.width(), one.height()) !=
                sheet.copy(0, 2 * h, sheet.width(), one.height()));
    }

    // A save that cannot be stored says why and leaves the page as typed; a
    // later OK stores the edit, even after a reload emptied the change set.
    void aSettingThatCannotBeStoredKeepsTheEdits() {
        raid::MemorySettingsStore store;
        HeldServer server;
        EmailRig rig(store, server.Sender());
        rig.SaveSetup("mail.example.com", 25, "raid@example.com");
        rig.Type("Edit2", "smtp.example.org");
        store.failCommit = "The settings were not saved: no space left on device";
        rig.Click("Image3_OK");
        QCOMPARE(rig.LastBox(), store.failCommit);
        QCOMPARE(rig.Find("Edit2")->text(), QString("smtp.example.org"));
        QCOMPARE(Stored(store, "SMTP"), std::optional<std::string>("mail.example.com"));
        rig.Click("Image3_Test");
        QCOMPARE(rig.LastBox(), std::string(raid::kMailUnsaved));

        store.failCommit.clear();
        rig.window.state.MailFlags.fetch_or(raid::MailReloadRequested);
        rig.dispatcher.ServiceMailFlags();
        QCOMPARE(rig.Dirty(), std::uint8_t{0});
        rig.Click("Image3_OK");
        QCOMPARE(Stored(store, "SMTP"), std::optional<std::string>("smtp.example.org"));

        // A field the exchange could not carry is refused before anything is written.
        rig.dispatcher.ServiceMailFlags();
        rig.Type("Edit4", "raid @example.com");
        const int commits = store.commits;
        rig.Click("Image3_OK");
        QVERIFY(rig.LastBox().find("raid @example.com") != std::string::npos);
        QCOMPARE(store.commits, commits);
        QCOMPARE(rig.Find("Edit4")->text(), QString("raid @example.com"));
    }

    // The exchange runs off the window's thread: while the server holds it,
    // the window goes on and a second Test does nothing.
    void theWindowGoesOnWhileATestMailIsSent() {
        raid::MemorySettingsStore store;
        HeldServer server;
        EmailRig rig(store, server.Sender());
        rig.SaveSetup("mail.example.com", 25, "raid@example.com");
        server.Hold();
        QElapsedTimer clicked;
        clicked.start();
        rig.Click("Image3_Test");
        QVERIFY(clicked.elapsed() < 1000);
        QTRY_COMPARE(server.Messages().size(), std::size_t{1});
        bool ticked = false;
        QTimer::singleShot(20, [&ticked] { ticked = true; });
        QTRY_VERIFY(ticked);
        rig.dispatcher.ServiceMailFlags();
        QTRY_COMPARE(rig.window.window.statusPanels().PanelText(2), QString("Connect"));
        rig.Click("Image3_Test");
        QVERIFY(rig.Boxes().empty());
        server.Release();
        QVERIFY(rig.WaitForBox());
        QCOMPARE(rig.LastBox(), std::string("Send mail Success!"));
        QTRY_COMPARE(rig.window.window.statusPanels().PanelText(3), QString("Send mail Success!"));
        QCOMPARE(server.Messages().size(), std::size_t{1});
    }

    void testMailToARealServer_data() {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QString>("addr");
        QTest::addColumn<QString>("box");
        QTest::newRow("delivered") << "plain"
                                   << "raid@example.com"
                                   << "Send mail Success!";
        QTest::newRow("recipient refused")
            << "refuse-rcpt"
            << "nobody@example.com"
            << "The test mail was not sent: rcpt to nobody@example.com: 550";
    }
    void testMailToARealServer() {
        QFETCH(QString, mode);
        QFETCH(QString, addr);
        QFETCH(QString, box);
        const auto python = raid::testing::AiosmtpdPython();
        if (!python) {
            if (raid::testing::InCi()) {
                QFAIL("python3-aiosmtpd is not installed");
            }
            QSKIP("python3-aiosmtpd is not installed");
        }
        raid::testing::SmtpPeer peer(*python, mode.toStdString());
        QVERIFY(peer.port() != 0);
        QTemporaryDir settings;
        raid::FileSettingsStore store(settings.path().toStdString());
        QCOMPARE(store.Open(), std::string());
        EmailRig rig(store, raid::RealMailSender());
        rig.Type("Edit3", "RAID Monitor");
        rig.Type("Edit5", "10");
        rig.SaveSetup("127.0.0.1", peer.port(), addr);
        QVERIFY(rig.Boxes().empty());
        rig.Click("Image3_Test");
        QVERIFY(rig.WaitForBox());
        QVERIFY2(rig.LastBox().rfind(box.toStdString(), 0) == 0, rig.LastBox().c_str());
        const std::string received = peer.Received();
        QVERIFY(received.find("RCPT to:<" + addr.toStdString() + ">\r\n") != std::string::npos);
        if (mode == "plain") {
            QCOMPARE(rig.Boxes().back().caption, std::string("E-Mail Message"));
            QVERIFY(received.find("Subject: [RAID GUI v0.50.11-5b Message] Mail Test \r\n") !=
                    std::string::npos);
            QVERIFY(received.find("[RAID GUI v0.50.11-5b] E-Mail test!\r\n") != std::string::npos);
            QTRY_COMPARE(rig.window.window.statusPanels().PanelText(3),
                         QString("Send mail Success!"));
        }
    }

    // The program as it runs, with its workers, its settings file and real
    // time: the page is filled and saved, the test mail reaches a real
    // server, and the next run shows what was saved.
    void onTheRunningProgram() {
        const auto python = raid::testing::AiosmtpdPython();
        if (!python) {
            if (raid::testing::InCi()) {
                QFAIL("python3-aiosmtpd is not installed");
            }
            QSKIP("python3-aiosmtpd is not installed");
        }
        raid::testing::SmtpPeer peer(*python, "plain");
        QVERIFY(peer.port() != 0);
        QTemporaryDir logs;
        QTemporaryDir config;
        qputenv("RAIDGUI_LOG_DIR", logs.path().toLocal8Bit());
        qputenv("RAIDGUI_CONFIG_DIR", config.path().toLocal8Bit());
        raid::ui::EventLoopClock clock;
        auto run = [&clock](const std::function<void(raid::ui::MainWindow&)>& body) {
            raid::PlatformResult made = raid::MakeSimulatedPlatform("", clock, nullptr);
            QVERIFY(made.ok);
            auto runtime = std::make_unique<raid::ui::GuiRuntime>(
                made.platform, clock, std::move(made.platform.deviceChanges));
            raid::AppState& state = runtime->state();
            raid::ui::MainWindow& window = runtime->window();
            runtime->Start();
            QTRY_VERIFY_WITH_TIMEOUT(
                state.devices.table.count == 2 && state.flags.StartupPass.load() == 0, 20000);
            QVERIFY(window.SelectStatusDevice(1));
            QTest::mouseClick(window.findChild<QWidget*>("Image_Email"), Qt::LeftButton);
            QCOMPARE(state.CurrentPage, int(raid::ui::kPageEmail));
            body(window);
            window.close();
            runtime->Finish();
        };
        const QString port = QString::number(peer.port());
        run([&port](raid::ui::MainWindow& window) {
            auto edit = [&window](const char* name, const QString& text) {
                auto* field = window.findChild<QLineEdit*>(name);
                field->clear();
                QTest::keyClicks(field, text);
            };
            edit("Edit2", "127.0.0.1");
            edit("Edit1", port);
            edit("Edit3", "RAID Monitor");
            edit("Edit4", "raid@example.com");
            edit("Edit5", "10");
            window.findChild<QComboBox*>("ComboBox_Security")->setCurrentIndex(1);
            QTest::mouseClick(window.findChild<QWidget*>("Image3_OK"), Qt::LeftButton);
            QVERIFY(ShownBox() == nullptr);
            // Test again until the mail pass has reloaded what OK stored.
            QMessageBox* box = nullptr;
            QElapsedTimer waited;
            waited.start();
            while (waited.elapsed() < 20000) {
                QTest::mouseClick(window.findChild<QWidget*>("Image3_Test"), Qt::LeftButton);
                QTRY_VERIFY_WITH_TIMEOUT((box = ShownBox()) != nullptr, 20000);
                if (box->text() != QString(raid::kMailUnsaved) &&
                    box->text() != QString(raid::kMailNotReady)) {
                    break;
                }
                box->close();
                QTest::qWait(100);
            }
            QCOMPARE(box->text(), QString("Send mail Success!"));
            QCOMPARE(box->windowTitle(), QString("E-Mail Message"));
            box->close();
            QCOMPARE(window.statusPanels().PanelText(3), QString("Send mail Success!"));
        });
        QVERIFY(peer.Received().find("RCPT to:<raid@example.com>\r\n") != std::string::npos);
        run([&port](raid::ui::MainWindow& window) {
            QCOMPARE(window.findChild<QLineEdit*>("Edit2")->text(), QString("127.0.0.1"));
            QCOMPARE(window.findChild<QLineEdit*>("Edit1")->text(), port);
            QCOMPARE(window.findChild<QLineEdit*>("Edit4")->text(), QString("raid@example.com"));
            QCOMPARE(window.findChild<QComboBox*>("ComboBox_Security")->currentText(),
                     QString("none"));
        });
        qunsetenv("RAIDGUI_LOG_DIR");
        qunsetenv("RAIDGUI_CONFIG_DIR");
    }
};

QObject* raid::uitest::MakeEmailPageTest() {
    return new EmailPageTest;
}

#include "email_page_test.moc"
