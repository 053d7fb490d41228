#include "ui/accessible_names.h"

#include <QWidget>
#include <array>
#include <string_view>

namespace raid::ui {
namespace {

struct Spoken {
    std::string_view control;
    const char* name;
    const char* description;
};

constexpr std::array kSpoken = std::to_array<Spoken>({
    // The page buttons and the device slots.
    {"Image_Sts", "Status page", "The array and the drives of the enclosure chosen"},
    {"Image_Setup", "Setup page", "The backup schedule of a hybrid enclosure"},
    {"Image_FWUpg", "Upgrade page", "Upgrade the firmware of an enclosure's controller"},
    {"Image_Email", "E-mail page", "Where notification mails go and what they say"},
    {"Image_SMART", "SMART page", "The SMART attributes of each drive"},
    {"Image_About", "About page", "Product and version"},
    {"CheckBox1", "Device1", "Watch the first enclosure"},
    {"CheckBox3", "Device2", "Watch the second enclosure"},
    // Status page.
    {"Image0_D1", "Enclosure 1", "Show the first enclosure on the status page"},
    {"Image0_D2", "Enclosure 2", "Show the second enclosure on the status page"},
    {"CheckBox5", "Buzzer Mute", "Silence the enclosure's buzzer"},
    {"Image0_Log", "Event log", "Open the event log"},
    {"AlarmAcknowledge", "Acknowledge alarm",
     "Marks the alarms as seen; the state of the arrays stays shown"},
    // Setup page.
    {"Image1_Schedule", "Schedule", "The backup schedule of the enclosure shown"},
    {"RadioButton_10min", "Backup off", "Choose no scheduled backup"},
    {"RadioButton_30min", "First preset period", "Choose the enclosure's first backup period"},
    {"RadioButton_1Hour", "Second preset period", "Choose the enclosure's second backup period"},
    {"RadioButton_3Hour", "Third preset period", "Choose the enclosure's third backup period"},
    {"RadioButton1", "User Period", "Choose a backup period in days and hours"},
    {"ComboBox1", "Days", "Days of the user period"},
    {"ComboBox2", "Hours", "Hours of the user period, in the enclosure's steps"},
    {"Image1_Set", "Set", "Send the chosen backup period to the enclosure"},
    // Upgrade page.
    {"Image2_D1", "Upgrade enclosure 1", "Choose the first enclosure for the upgrade"},
    {"Image2_D2", "Upgrade enclosure 2", "Choose the second enclosure for the upgrade"},
    {"Edit9", "Firmware file", "The firmware image file loaded"},
    {"Image2_Load", "Load", "Choose a firmware image file"},
    {"Image2_Upgrade", "Upgrade", "Write the loaded image to the enclosure's flash"},
    // SMART page.
    {"Image5_HDD1", "HDD1", "Show the SMART attributes of HDD1"},
    {"Image5_HDD2", "HDD2", "Show the SMART attributes of HDD2"},
    {"StringGrid4", "SMART columns", "ID, Value, Worst, Threshold, RAW, Status"},
    {"StringGrid3", "SMART attributes", "One row per attribute of the drive"},
    // E-mail page.
    {"Image3_Setup", "Mail setup", "Mail server, login and sender"},
    {"Image3_HDDFail", "Drive failure mail", "Recipients and text of the drive failure mail"},
    {"Image3_DeviceRemove", "Enclosure removal mail",
     "Recipients and text of the enclosure removal mail"},
    {"Edit2", "E-Mail Host (SMTP)", "Name of the mail server"},
    {"Edit1", "Port", "Port of the mail server, 25 by default"},
    {"Edit5", "Time Out", "Seconds to wait for the mail server"},
    {"CheckBox8", "SMTP Login Authentication", "Log in to the mail server"},
    {"ComboBox_Security", "Security", "How the connection to the mail server is secured"},
    {"Edit12", "Account", "Login account on the mail server"},
    {"Edit8", "Password", "Login password on the mail server"},
    {"Edit3", "Name", "Sender name of the mails"},
    {"Edit4", "E-Mail Address", "Sender address; the test mail goes there"},
    {"Edit_CAFile", "CA file", "Certificate authority of a private mail server"},
    {"Image3_Test", "Test", "Send a test mail to the sender address"},
    {"Edit7", "Recipient address", "Address to add to the recipients"},
    {"Edit6", "Recipient address", "Address to add to the recipients"},
    {"Image3_1P", "Add recipient", "Add the address to the recipients"},
    {"Image3_2P", "Add recipient", "Add the address to the recipients"},
    {"Image3_1M", "Remove recipient", "Remove the chosen recipient"},
    {"Image3_2M", "Remove recipient", "Remove the chosen recipient"},
    {"StringGrid1", "Recipients", "Who the notification mails go to"},
    {"StringGrid2", "Recipients", "Who the notification mails go to"},
    {"Edit10", "Subject", "Subject of the drive failure mail"},
    {"Edit11", "Subject", "Subject of the enclosure removal mail"},
    {"Memo6", "Contents", "Text of the drive failure mail"},
    {"Memo4", "Contents", "Text of the enclosure removal mail"},
    {"CheckBox2", "Don't send EMail for this event.", "No mail when a drive fails"},
    {"CheckBox4", "Don't send EMail for this event.", "No mail when an enclosure is removed"},
    {"Image3_OK", "OK", "Save the mail settings"},
    {"Image3_Ignore", "Ignore", "Show the saved mail settings again"},
    // The event log viewer.
    {"Memo1", "Event log", "The lines of the event log"},
    {"Button1", "Real Time Log", "Follow today's event log"},
    {"Button2", "View Log File", "Open the log of another day"},
});

}  // namespace

void NameControls(QWidget* root) {
    for (QWidget* w : root->findChildren<QWidget*>()) {
        const QByteArray name = w->objectName().toUtf8();
        for (const Spoken& s : kSpoken) {
            if (s.control ==
                std::string_view(name.constData(), static_cast<std::size_t>(name.size()))) {
                w->setAccessibleName(s.name);
                w->setAccessibleDescription(s.description);
                break;
            }
        }
    }
}

}  // namespace raid::ui
