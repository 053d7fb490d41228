// The Setup page: showing and setting the backup schedule of a hybrid
// enclosure.
#include "ui/setup_page.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QRadioButton>
#include <QStackedWidget>
#include <array>

#include "app/engine.h"
#include "maintenance/schedule_text.h"
#include "ui/picture_button.h"

namespace raid::ui {
namespace {

// The radio buttons in the order of ScheduleButton.
constexpr std::array<const char*, 5> kButtons{"RadioButton_10min", "RadioButton_30min",
                                              "RadioButton_1Hour", "RadioButton_3Hour",
                                              "RadioButton1"};

}  // namespace

SetupPage::SetupPage(QWidget* page, AppState& state, Dialogs& dialogs, StatusSink& status)
    : QObject(page), page_(page), state_(state), dialogs_(dialogs), status_(status), pump_([] {
          QCoreApplication::processEvents(QEventLoop::AllEvents);
      }) {
    for (std::size_t i = 0; i + 1 < kButtons.size(); ++i) {
        connect(Find<QRadioButton>(kButtons[i]), &QRadioButton::toggled, this, [this](bool on) {
            if (on) {
                PresetClick();
            }
        });
    }
    connect(Find<QRadioButton>("RadioButton1"), &QRadioButton::toggled, this, [this](bool on) {
        if (on) {
            RadioButton1Click();
        }
    });
    connect(Find<QCheckBox>("CheckBox_Backup"), &QCheckBox::toggled, this,
            [this](bool checked) { CheckBox_BackupClick(checked); });
    connect(Find<PictureButton>("Image1_Set"), &PictureButton::clicked, this,
            [this] { Image1_SetClick(); });
    connect(Find<PictureButton>("Image1_Schedule"), &PictureButton::clicked, this,
            [this] { Image1_ScheduleClick(); });
    for (const char* name : {"ComboBox1", "ComboBox2"}) {
        connect(Find<QComboBox>(name), &QComboBox::currentIndexChanged, this,
                [this] { ShowUserPeriodEffect(); });
    }
}

SetupPage::~SetupPage() = default;

template <typename W>
W* SetupPage::Find(const char* name) const {
    return page_->findChild<W*>(name);
}

void SetupPage::Attach(Engine& engine) {
    engine_ = &engine;
    setter_ = std::make_unique<ScheduleSetter>(ScheduleSetServices{
        .devices = state_.devices,
        .flags = state_.flags,
        .poll = state_.poll,
        .channel = engine.channel(),
        .clock = engine.clock(),
        .dialogs = dialogs_,
        .status = status_,
        .request = [this](std::uint8_t bits) { engine_->Request(bits); },
        .pump = [this] { pump_(); },
        .refresh = [this] { Refresh(); },
    });
}

std::size_t SetupPage::ShownSlot() const {
    const std::size_t slot = state_.poll.shownSlot;
    return slot < state_.devices.table.count ? slot : 0;
}

void SetupPage::ApplyScheduleParameters(std::size_t slot) {
    DeviceState& dev = state_.devices;
    const std::uint8_t features = dev.slots[slot % kMaxDevices].features;
    if (!raid::ApplyScheduleParameters(dev.schedule, dev.devices[slot % kMaxDevices], features)) {
        return;
    }
    const ScheduleControls controls = ScheduleControlsFor(dev.schedule, features);
    for (std::size_t i = 0; i < controls.presetCaptions.size(); ++i) {
        Find<QRadioButton>(kButtons[i + 1])
            ->setText(QString::fromStdString(controls.presetCaptions[i]));
    }
    auto* userPeriod = Find<QRadioButton>("RadioButton1");
    userPeriod->setVisible(controls.userPeriod);
    for (const char* name : {"RadioButton_1Hour", "RadioButton_3Hour"}) {
        auto* button = Find<QRadioButton>(name);
        button->move(button->x(), controls.lowerPresetsTop);
    }
    if (controls.userPeriod) {
        auto* hours = Find<QComboBox>("ComboBox2");
        hours->clear();
        for (const std::string& item : controls.hourItems) {
            hours->addItem(QString::fromStdString(item));
        }
        hours->setCurrentIndex(0);
    }
}

void SetupPage::Enter() {
    const DeviceState& dev = state_.devices;
    if (dev.table.count == 0) {
        return;
    }
    const std::size_t slot = ShownSlot();
    const std::uint8_t period = dev.records[dev.table.Disk(slot)].backupInfo[0];
    const ScheduleChoice choice = EntryChoice(period, dev.schedule, dev.slots[slot].features);

    auto* backup = Find<QCheckBox>("CheckBox_Backup");
    backup->setChecked(true);
    if (choice.button == ScheduleButton::UserPeriod) {
        Find<QComboBox>("ComboBox1")->setCurrentIndex(choice.days);
        Find<QComboBox>("ComboBox2")->setCurrentIndex(choice.hours);
    }
    if (choice.button == ScheduleButton::Off && period != 0) {
        // A period the controls cannot show (no preset, no user period):
        // "Off" would be a lie, and a Set without looking would switch the
        // backups off. Nothing is chosen until the user chooses.
        Uncheck();
        ShowUserPeriodFields(false);
    } else {
        Check(choice.button);
    }
    backup->setChecked(false);
    backup->setEnabled(true);
    Refresh();
}

void SetupPage::Uncheck() {
    // Radio buttons of one group cannot all be unchecked while they exclude
    // each other.
    for (const char* name : kButtons) {
        auto* b = Find<QRadioButton>(name);
        b->setAutoExclusive(false);
        b->setChecked(false);
        b->setAutoExclusive(true);
    }
}

void SetupPage::Check(ScheduleButton button) {
    Uncheck();
    // Checking runs the button's handler, so the day and hour boxes follow.
    Find<QRadioButton>(kButtons[static_cast<std::size_t>(button)])->setChecked(true);
}

void SetupPage::Refresh() {
    const DeviceState& dev = state_.devices;
    if (dev.table.count == 0) {
        return;
    }
    const RaidStatus& record = dev.records[dev.table.Disk(ShownSlot())];
    auto* message = Find<QLabel>("Label_Backup_mess");
    message->setText(QString::fromStdString(BackupMessageText(record)));
    Find<QLabel>("Label_Backep_Period")
        ->setText(
            QString::fromStdString(BackupPeriodText(record.backupInfo[0], dev.schedule.unit)));
    message->show();
    Find<QWidget>("Image1_Set")->show();
}

void SetupPage::ShowUserPeriodFields(bool shown) {
    for (const char* name :
         {"Label66", "Label67", "ComboBox1", "ComboBox2", "LabelUserPeriodSet"}) {
        Find<QWidget>(name)->setVisible(shown);
    }
    ShowUserPeriodEffect();
}

QString SetupPage::UserPeriodText() const {
    ScheduleChoice choice;
    choice.button = ScheduleButton::UserPeriod;
    choice.days = Find<QComboBox>("ComboBox1")->currentIndex();
    choice.hours = Find<QComboBox>("ComboBox2")->currentIndex();
    const std::optional<ScheduleCommand> command = CommandFor(choice, state_.devices.schedule);
    if (!command) {
        return "Sets: cannot be sent";
    }
    if (command->period == 0) {
        return "Sets: off";
    }
    const unsigned hours = command->period * state_.devices.schedule.unit;
    QString text = "Sets: ";
    if (hours / 24 != 0) {
        text += QString("%1 day%2").arg(hours / 24).arg(hours / 24 > 1 ? "s" : "");
    }
    if (hours % 24 != 0) {
        text += QString("%1%2 hour%3")
                    .arg(hours / 24 != 0 ? " " : "")
                    .arg(hours % 24)
                    .arg(hours % 24 > 1 ? "s" : "");
    }
    return text;
}

void SetupPage::ShowUserPeriodEffect() {
    // The unit need not divide a day: with 5-hour steps "01" day and "20"
    // hours are 8 steps, 40 hours. What will be set is said before Set.
    Find<QLabel>("LabelUserPeriodSet")->setText(UserPeriodText());
}

void SetupPage::PresetClick() {
    ShowUserPeriodFields(false);
}

void SetupPage::RadioButton1Click() {
    ShowUserPeriodFields(true);
}

void SetupPage::CheckBox_BackupClick(bool checked) {
    if (state_.flags.StartupPass.load() != 0) {
        return;
    }
    Refresh();
    if (!checked && engine_ != nullptr) {
        engine_->Request(ReqApplySetting);
    }
}

void SetupPage::Image1_ScheduleClick() {
    Find<QStackedWidget>("Notebook3")->setCurrentIndex(1);
    Refresh();
}

std::optional<ScheduleChoice> SetupPage::CurrentChoice() const {
    ScheduleChoice choice;
    bool any = false;
    for (std::size_t i = 0; i < kButtons.size(); ++i) {
        if (Find<QRadioButton>(kButtons[i])->isChecked()) {
            choice.button = static_cast<ScheduleButton>(i);
            any = true;
        }
    }
    if (!any) {
        return std::nullopt;
    }
    if (choice.button == ScheduleButton::UserPeriod) {
        choice.days = Find<QComboBox>("ComboBox1")->currentIndex();
        choice.hours = Find<QComboBox>("ComboBox2")->currentIndex();
    }
    return choice;
}

void SetupPage::Image1_SetClick() {
    const std::optional<ScheduleChoice> choice = CurrentChoice();
    if (setter_ == nullptr || state_.devices.table.count == 0 || !choice) {
        return;
    }
    lastOutcome_ = setter_->Set(*choice);
}

}  // namespace raid::ui
