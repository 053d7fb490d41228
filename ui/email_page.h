#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QStackedWidget>
#include <QTableWidget>
#include <QWidget>
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "device/dialogs.h"
#include "notify/settings/mail_settings_store.h"
#include "ui/widget_factory.h"

namespace raid {
class MailDispatcher;
}

namespace raid::ui {

// The E-mail page of Notebook1: the mail settings in three sub-pages of
// Notebook2 (Setup, HDD_Fail, DeviceRemove), saved with OK, reverted with
// Ignore, and the test mail. It edits the settings of the mail dispatch and
// saves them through the dispatch's save path, as raidcli does.
class EmailPage final : public QWidget {
    Q_OBJECT

  public:
    enum SubPage : int { kSubSetup = 0, kSubHddFail = 1, kSubDeviceRemove = 2 };

    EmailPage(QWidget* parent, Dialogs& dialogs);

    // The mail dispatch whose settings the page edits; it must outlive the
    // page's use. Without one the page shows the fields of a first start and
    // OK and Test do nothing.
    void Attach(MailDispatcher& mail) { mail_ = &mail; }

    // Image_EmailClick: fills the page from the settings and shows the
    // remembered sub-page; the fields' own change events do not count as edits.
    void Enter();
    // Image3_Setup, Image3_HDDFail, Image3_DeviceRemove.
    void SelectSection(int subPage);
    int subPage() const { return subPage_; }

    void Image3_OKClick();
    void Image3_IgnoreClick();
    void Image3_TestClick();

    // The recipients being edited: OK saves them, Ignore drops them.
    const std::vector<std::string>& workingRecipients() const { return working_; }
    // Setup changes the change set has no bit for (security, CA file).
    bool securityEdited() const { return securityEdited_; }

    static constexpr int kGridRows = 10;

  private:
    struct KindControls {
        QLineEdit* entry = nullptr;  // Edit7 / Edit6
        QTableWidget* grid = nullptr;
        QLineEdit* subject = nullptr;
        QPlainTextEdit* memo = nullptr;
        QCheckBox* suppress = nullptr;
    };

    void BuildSetup(QWidget* sub);
    void BuildKind(QWidget* sub, std::size_t kind);
    void WatchEdit(QLineEdit* edit, std::uint8_t bit);
    void MarkDirty(std::uint8_t bit);
    void ShowLoginFields(bool shown);
    void Fill(const MailPageFields& fields);
    MailPageFields Fields() const;
    void RefreshGrids();
    // The sub-page's kind (0 HDD_Fail, 1 DeviceRemove), or -1 on Setup.
    int ShownKind() const;
    void AddRecipient();
    void RemoveRecipient();
    void GridCellSelected(std::size_t kind, int row);
    void TestMailDone(bool accepted, const std::string& why);

    Dialogs& dialogs_;
    MailDispatcher* mail_ = nullptr;

    QStackedWidget* notebook2_ = nullptr;
    std::array<Choice, 3> sections_{};
    QLineEdit* port_ = nullptr;      // Edit1
    QLineEdit* smtp_ = nullptr;      // Edit2
    QLineEdit* name_ = nullptr;      // Edit3
    QLineEdit* addr_ = nullptr;      // Edit4
    QLineEdit* timeOut_ = nullptr;   // Edit5
    QLineEdit* password_ = nullptr;  // Edit8
    QLineEdit* account_ = nullptr;   // Edit12
    QCheckBox* login_ = nullptr;     // CheckBox8
    std::array<QWidget*, 4> loginWidgets_{};
    QComboBox* security_ = nullptr;
    QLineEdit* caFile_ = nullptr;
    std::array<KindControls, 2> kinds_{};

    int subPage_ = kSubSetup;  // remembered while the program runs
    std::vector<std::string> working_;
    bool securityEdited_ = false;
    // The page's own record of the setup edits since entry: a reload of the
    // settings clears their change set, which must not make OK skip a field.
    std::uint8_t dirty_ = 0;
    // Fields being filled by the program, not edited by the user.
    bool filling_ = false;
};

}  // namespace raid::ui
