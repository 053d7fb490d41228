#include "ui/desktop/instance_activation.h"

#include <QLocalSocket>

namespace raid::ui {
namespace {

constexpr char kShowRequest[] = "show\n";
constexpr qsizetype kMaxRequest = 64;

}  // namespace

QString ActivationSocketPath(const std::string& lockPath) {
    QString path = QString::fromStdString(lockPath);
    if (path.endsWith(".lock")) {
        path.chop(5);
    }
    return path + ".sock";
}

bool ActivationServer::Listen(const QString& path, QString& error) {
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    QLocalServer::removeServer(path);
    if (!server_.listen(path)) {
        error = server_.errorString();
        return false;
    }
    connect(&server_, &QLocalServer::newConnection, this, [this] { TakeConnection(); });
    return true;
}

void ActivationServer::TakeConnection() {
    while (QLocalSocket* socket = server_.nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            // Only the one request is understood; anything else, or more
            // than a request's length, closes the connection unanswered.
            const QByteArray request = socket->peek(kMaxRequest);
            if (request.startsWith(kShowRequest)) {
                socket->readAll();
                socket->write("ok\n");
                socket->disconnectFromServer();
                Q_EMIT showRequested();
            } else if (request.size() >= static_cast<qsizetype>(sizeof(kShowRequest) - 1)) {
                socket->abort();
            }
        });
    }
}

bool AskRunningWindowToShow(const QString& path, int timeoutMs) {
    QLocalSocket socket;
    socket.connectToServer(path);
    if (!socket.waitForConnected(timeoutMs)) {
        return false;
    }
    socket.write(kShowRequest);
    if (!socket.waitForBytesWritten(timeoutMs) || !socket.waitForReadyRead(timeoutMs)) {
        return false;
    }
    return socket.readAll().startsWith("ok");
}

}  // namespace raid::ui
