#include "app/SingleInstance.h"

#include <unistd.h>

#include <QDir>
#include <QLocalSocket>

namespace {

constexpr char kRaise[] = "raise\n";
constexpr char kRaised[] = "raised\n";

QString sessionKey() {
    for (const char* variable : {"XDG_SESSION_ID", "WAYLAND_DISPLAY", "DISPLAY"}) {
        const QString value = qEnvironmentVariable(variable);
        if (!value.isEmpty()) {
            return QString(value).replace(QLatin1Char('/'), QLatin1Char('_'));
        }
    }
    return QStringLiteral("nosession");
}

}  // namespace

QString instanceServerName() {
    const QString base = QStringLiteral("kestory-drive-updater.%1").arg(sessionKey());
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir(runtime).exists()) {
        return QDir(runtime).filePath(base);
    }
    return QStringLiteral("%1.uid%2").arg(base).arg(::getuid());
}

bool SingleInstance::handOver(const QString& name, int timeoutMs) {
    QLocalSocket socket;
    socket.connectToServer(name);
    if (!socket.waitForConnected(timeoutMs)) {
        return false;
    }
    socket.write(kRaise);
    if (!socket.waitForBytesWritten(timeoutMs)) {
        return false;
    }
    while (!socket.canReadLine()) {
        if (!socket.waitForReadyRead(timeoutMs)) {
            return false;
        }
    }
    return socket.readLine() == kRaised;
}

bool SingleInstance::listen(const QString& name) {
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    connect(&server_, &QLocalServer::newConnection, this, &SingleInstance::answer);
    if (server_.listen(name)) {
        return true;
    }
    // A socket left by a window that crashed: nobody answers on it, so it may go.
    if (server_.serverError() == QAbstractSocket::AddressInUseError) {
        QLocalSocket probe;
        probe.connectToServer(name);
        if (!probe.waitForConnected(500)) {
            QLocalServer::removeServer(name);
            return server_.listen(name);
        }
    }
    return false;
}

void SingleInstance::answer() {
    while (QLocalSocket* socket = server_.nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            if (!socket->canReadLine()) {
                return;
            }
            if (socket->readLine() == kRaise) {
                emit raiseRequested();
                socket->write(kRaised);
                socket->flush();
            }
            socket->disconnectFromServer();
        });
    }
}
