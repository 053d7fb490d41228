#pragma once

#include <QLocalServer>
#include <QObject>
#include <QString>
#include <string>

namespace raid::ui {

// A second start brings the running window to the front: the window that
// holds the instance lock listens on a local socket beside it, and a start
// that finds the lock taken asks it there to show itself, then ends.

// "<folder>/KV_GUI.sock" beside "<folder>/KV_GUI.lock".
QString ActivationSocketPath(const std::string& lockPath);

class ActivationServer final : public QObject {
    Q_OBJECT

  public:
    explicit ActivationServer(QObject* parent) : QObject(parent) {}

    // Call only while holding the instance lock: a socket left by a crashed
    // window is replaced. False, with `error`, when nobody can ask.
    bool Listen(const QString& path, QString& error);

  Q_SIGNALS:
    void showRequested();

  private:
    void TakeConnection();

    QLocalServer server_;
};

// Asks the running window at `path` to come to the front; false when no
// window answered within `timeoutMs`.
bool AskRunningWindowToShow(const QString& path, int timeoutMs = 2000);

}  // namespace raid::ui
