#pragma once

#include <QAction>
#include <QIcon>
#include <QMenu>
#include <QObject>
#include <QStringList>
#include <QSystemTrayIcon>
#include <optional>

#include "app/notification_alarm.h"
#include "monitor/array_health.h"

namespace raid::ui {

// The window's presence in the desktop's panel: a status-notifier icon in
// the colour of the worst state of the monitored enclosures, its tooltip in
// words, desktop notifications for every alarm, and a menu (Show, Start at
// login, keep watching when the window is closed, Acknowledge, Quit).
//
// An alarm stays marked (on the icon, in the tooltip and on the status page)
// until the user acknowledges it: a click on its notification, on the icon or
// on the menu's entry. Acknowledging leaves the state shown as it is.
class TrayAlarm final : public QObject {
    Q_OBJECT

  public:
    explicit TrayAlarm(QObject* parent);

    // The worst state of the monitored enclosures and its words; nullopt
    // when nothing is monitored.
    void SetHealth(std::optional<ArrayHealth> worst, const QString& words);
    std::optional<ArrayHealth> health() const { return health_; }

    void Raise(const NotificationAlarm& alarm);
    void Acknowledge();
    bool pending() const { return !pending_.isEmpty(); }
    const QStringList& pendingAlarms() const { return pending_; }

    QString toolTip() const { return tray_.toolTip(); }
    QIcon icon() const { return tray_.icon(); }
    // The last desktop notification: its title and text.
    const QString& lastTitle() const { return lastTitle_; }
    const QString& lastMessage() const { return lastMessage_; }

    QMenu& menu() { return menu_; }
    QAction& showAction() { return *show_; }
    QAction& autostartAction() { return *autostart_; }
    QAction& keepWatchingAction() { return *keepWatching_; }
    QAction& acknowledgeAction() { return *acknowledge_; }
    QAction& quitAction() { return *quit_; }
    bool keepWatchingWhenClosed() const { return keepWatching_->isChecked(); }
    // A tray the desktop shows: without one, closing the window must end the
    // program, or nothing would be left to bring it back.
    static bool TrayShown();
    // The icon appears in the desktop's panel (not for a screenshot run).
    void ShowInPanel();

  Q_SIGNALS:
    void showRequested();
    void quitRequested();
    void autostartToggled(bool on);
    void changed();

  private:
    void Update();

    QSystemTrayIcon tray_;
    QMenu menu_;
    QAction* show_ = nullptr;
    QAction* autostart_ = nullptr;
    QAction* keepWatching_ = nullptr;
    QAction* acknowledge_ = nullptr;
    QAction* quit_ = nullptr;
    std::optional<ArrayHealth> health_;
    QString words_;
    QStringList pending_;
    QString lastTitle_;
    QString lastMessage_;
};

// The tray's picture for a state (nullopt: nothing monitored), with a mark
// while an alarm waits to be acknowledged.
QIcon HealthIcon(std::optional<ArrayHealth> health, bool alarmPending);

}  // namespace raid::ui
