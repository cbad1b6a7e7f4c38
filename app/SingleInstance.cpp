#include "app/SingleInstance.h"

#include <unistd.h>

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTimer>
#include <cstdio>
#include <memory>

#include "settings/CommandLine.h"

namespace {
// A client that has not sent its whole message by then is dropped.
constexpr int kHandOverTimeoutMs = 5000;
}  // namespace

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
        while (QLocalSocket* c = server_->nextPendingConnection()) readHandOver(c);
    });
    return true;
}

// Collects one message without ever waiting on the client: what arrives is decoded as it comes,
// and a bad, oversized or stalled message ends the connection.
void SingleInstance::readHandOver(QLocalSocket* client) {
    struct State {
        std::string bytes;
        bool done = false;
    };
    auto state = std::make_shared<State>();
    const auto take = [this, client, state] {
        if (state->done) return;
        const QByteArray chunk = client->read(qint64(korvel::kMaxHandOver + 1 - state->bytes.size()));
        state->bytes.append(chunk.constData(), size_t(chunk.size()));
        korvel::HandOver h;
        const korvel::HandOverRead r = korvel::decodeHandOver(state->bytes, h);
        if (r == korvel::HandOverRead::Incomplete) return;
        state->done = true;
        client->abort();
        client->deleteLater();
        if (r == korvel::HandOverRead::Complete) emit activationRequested(h.arguments, h.cwd);
    };
    connect(client, &QLocalSocket::readyRead, this, take);
    connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
    QTimer::singleShot(kHandOverTimeoutMs, client, [client] {
        client->abort();
        client->deleteLater();
    });
    if (client->bytesAvailable() > 0) take();
}

bool SingleInstance::handOver(const std::vector<std::string>& arguments, const std::string& cwd) {
    std::optional<std::string> message = korvel::encodeHandOver({cwd, arguments});
    if (!message) {
        std::fputs("korvel: too many arguments to hand over; the running window is only raised\n", stderr);
        message = korvel::encodeHandOver({cwd, {}});
    }
    QLocalSocket socket;
    socket.connectToServer(path_);
    if (!socket.waitForConnected(1000)) return false;
    socket.write(message->data(), qint64(message->size()));
    while (socket.bytesToWrite() > 0)
        if (!socket.waitForBytesWritten(3000)) return false;
    socket.disconnectFromServer();
    return true;
}
