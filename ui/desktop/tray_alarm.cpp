#include "ui/desktop/tray_alarm.h"

#include <QPainter>
#include <QPixmap>

namespace raid::ui {
namespace {

QColor HealthColour(std::optional<ArrayHealth> health) {
    if (!health) {
        return QColor(0x75, 0x75, 0x75);
    }
    switch (*health) {
        case ArrayHealth::Normal:
            return QColor(0x2E, 0x7D, 0x32);
        case ArrayHealth::Rebuilding:
            return QColor(0x15, 0x65, 0xC0);
        case ArrayHealth::Degraded:
            return QColor(0xEF, 0x6C, 0x00);
        case ArrayHealth::Failed:
            break;
    }
    return QColor(0xC6, 0x28, 0x28);
}

}  // namespace

QIcon HealthIcon(std::optional<ArrayHealth> health, bool alarmPending) {
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    // Two drive bays in the state's colour.
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(HealthColour(health));
    p.drawRoundedRect(QRectF(2.5, 4.5, 27, 23), 3, 3);
    p.setBrush(Qt::white);
    p.drawRect(QRectF(6.5, 9.5, 19, 5));
    p.drawRect(QRectF(6.5, 17.5, 19, 5));
    if (alarmPending) {
        p.setBrush(QColor(0xFF, 0xEB, 0x3B));
        p.drawEllipse(QRectF(17.5, 0.5, 14, 14));
        QFont bold;
        bold.setPixelSize(12);
        bold.setBold(true);
        p.setFont(bold);
        p.setPen(Qt::black);
        p.drawText(QRectF(17.5, 0.5, 14, 14), Qt::AlignCenter, "!");
    }
    p.end();
    return QIcon(pixmap);
}

bool TrayAlarm::TrayShown() {
    return QSystemTrayIcon::isSystemTrayAvailable();
}

TrayAlarm::TrayAlarm(QObject* parent) : QObject(parent) {
    setObjectName("TrayAlarm");
    show_ = menu_.addAction("Show");
    autostart_ = menu_.addAction("Start at login");
    autostart_->setCheckable(true);
    keepWatching_ = menu_.addAction("Keep watching when the window is closed");
    keepWatching_->setCheckable(true);
    acknowledge_ = menu_.addAction("Acknowledge alarm");
    menu_.addSeparator();
    quit_ = menu_.addAction("Quit");
    connect(show_, &QAction::triggered, this, [this] { Q_EMIT showRequested(); });
    connect(quit_, &QAction::triggered, this, [this] { Q_EMIT quitRequested(); });
    connect(autostart_, &QAction::triggered, this,
            [this](bool on) { Q_EMIT autostartToggled(on); });
    connect(acknowledge_, &QAction::triggered, this, [this] { Acknowledge(); });
    connect(&tray_, &QSystemTrayIcon::messageClicked, this, [this] {
        Acknowledge();
        Q_EMIT showRequested();
    });
    connect(&tray_, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick) {
                    Acknowledge();
                    Q_EMIT showRequested();
                }
            });
    tray_.setContextMenu(&menu_);
    Update();
}

void TrayAlarm::ShowInPanel() {
    if (TrayShown()) {
        tray_.show();
    }
}

void TrayAlarm::SetHealth(std::optional<ArrayHealth> worst, const QString& words) {
    if (worst == health_ && words == words_) {
        return;
    }
    health_ = worst;
    words_ = words;
    Update();
}

void TrayAlarm::Raise(const NotificationAlarm& alarm) {
    const QString summary = QString::fromStdString(alarm.Summary());
    pending_.append(summary);
    lastTitle_ = "RAID GUI: " + QString::fromStdString(alarm.what);
    lastMessage_ = summary;
    if (!alarm.detail.empty()) {
        lastMessage_ += "\n" + QString::fromStdString(alarm.detail);
    }
    // Shown by the desktop's notification service; a click on it
    // acknowledges (messageClicked).
    tray_.showMessage(lastTitle_, lastMessage_, QSystemTrayIcon::Critical, 0);
    Update();
}

void TrayAlarm::Acknowledge() {
    if (pending_.isEmpty()) {
        return;
    }
    pending_.clear();
    Update();
}

void TrayAlarm::Update() {
    tray_.setIcon(HealthIcon(health_, pending()));
    QString tip = "RAID GUI: " + (health_ ? words_ : QString("nothing is being monitored"));
    if (pending()) {
        tip += "\nNot acknowledged: " + pending_.join("; ");
    }
    tray_.setToolTip(tip);
    acknowledge_->setEnabled(pending());
    Q_EMIT changed();
}

}  // namespace raid::ui
