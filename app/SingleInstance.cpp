#include "app/SingleInstance.h"

#include <unistd.h>

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>

SingleInstance::SingleInstance(const QString& name, QObject* parent) : QObject(parent) {
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    path_ = !runtime.isEmpty() && QDir(runtime).exists()
                ? runtime + QLatin1Char('/') + name
                : QDir::tempPath() + QLatin1Char('/') + name + QLatin1Char('-') + QString::number(::getuid());
}

bool SingleInstance::becomePrimary() {
    QLocalSocket probe;
    probe.connectToServer(path_);
    if (probe.waitForConnected(500)) return false;
    // Nobody answers: a socket file left by a crashed run is removed.
    QLocalServer::removeServer(path_);
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server_->listen(path_)) return true;  // cannot listen: run anyway, as a lone instance
    connect(server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* c = server_->nextPendingConnection()) {
            connect(c, &QLocalSocket::readyRead, this, [this, c] {
                if (c->readAll().contains("activate")) emit activationRequested();
            });
            connect(c, &QLocalSocket::disconnected, c, &QObject::deleteLater);
        }
    });
    return true;
}

void SingleInstance::askPrimaryToActivate() {
    QLocalSocket socket;
    socket.connectToServer(path_);
    if (!socket.waitForConnected(1000)) return;
    socket.write("activate\n");
    socket.waitForBytesWritten(1000);
    socket.disconnectFromServer();
}
