#pragma once

#include <QObject>
#include <functional>
#include <memory>

#include "app/app_state.h"
#include "device/dialogs.h"
#include "maintenance/schedule_choice.h"
#include "maintenance/schedule_setting.h"
#include "monitor/status_sink.h"

class QWidget;

namespace raid {
class Engine;
}

namespace raid::ui {

// The Setup page ('schedule_backup'): the backup schedule of the enclosure
// shown, on the controls of Notebook3's sub-page '1', and its Set button.
// It works on the page's widgets, found by their names below `page`.
class SetupPage final : public QObject {
    Q_OBJECT

  public:
    SetupPage(QWidget* page, AppState& state, Dialogs& dialogs, StatusSink& status);
    ~SetupPage() override;

    // The Set needs the engine's command channel, requests and clock.
    void Attach(Engine& engine);
    // What the Set does while it waits; by default the window handles its
    // pending events, the polling thread's hand-over among them.
    void SetWaitPump(std::function<void()> pump) { pump_ = std::move(pump); }

    // The parameters of enclosure `slot` and the controls that follow from
    // them, when it keeps a schedule.
    void ApplyScheduleParameters(std::size_t slot);
    // The page is opened: the controls show the enclosure's period, and the
    // texts are rebuilt.
    void Enter();
    // RefreshBackupSchedule: the two schedule texts of the enclosure shown.
    void Refresh();

    // The handlers, as the controls call them.
    void Image1_SetClick();
    void CheckBox_BackupClick(bool checked);
    void Image1_ScheduleClick();
    void PresetClick();  // RadioButton_10min, _30min, _1Hour, _3Hour
    void RadioButton1Click();

    // The choice the controls hold now; nullopt when no button is checked
    // (a period the controls cannot show is never pre-selected as "Off").
    std::optional<ScheduleChoice> CurrentChoice() const;
    // The period a user period of the controls sets, in words (the unit may
    // not divide a day, so the hours shown may not be the hours set).
    // The outcome of the last Set (for those who watch it run).
    std::optional<ScheduleSetOutcome> lastOutcome() const { return lastOutcome_; }

    QString UserPeriodText() const;

  private:
    void ShowUserPeriodEffect();
    template <typename W = QWidget>
    W* Find(const char* name) const;
    std::size_t ShownSlot() const;
    void ShowUserPeriodFields(bool shown);
    void Check(ScheduleButton button);
    void Uncheck();

    QWidget* page_;
    AppState& state_;
    Dialogs& dialogs_;
    StatusSink& status_;
    Engine* engine_ = nullptr;
    std::unique_ptr<ScheduleSetter> setter_;
    std::function<void()> pump_;
    std::optional<ScheduleSetOutcome> lastOutcome_;
};

}  // namespace raid::ui
