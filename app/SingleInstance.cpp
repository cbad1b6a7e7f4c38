#include "app/SingleInstance.h"

#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTimer>
#include <cstdio>
#include <memory>
#include <optional>
#include <utility>

#include "platform/PeerCredentials.h"
#include "settings/CommandLine.h"

namespace {
// A client that has not sent its whole message by then is dropped.
constexpr int kHandOverTimeoutMs = 5000;
}  // namespace

SingleInstance::SingleInstance(const QString& name, QObject* parent) : QObject(parent), own_(::geteuid()) {
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    path_ = !runtime.isEmpty() && korvel::privateFolder(runtime.toStdString(), own_)
                ? QFile::decodeName(runtime) + QLatin1Char('/') + name
                : QDir::tempPath() + QLatin1Char('/') + name + QLatin1Char('-') + QString::number(own_);
}

bool SingleInstance::trusted(const QLocalSocket& connected) const {
    return korvel::trustedInstance(own_, korvel::socketPeerUid(int(connected.socketDescriptor())),
                                   korvel::entryOwner(QFile::encodeName(path_).toStdString()));
}

bool SingleInstance::becomePrimary() {
    QLocalSocket probe;
    probe.connectToServer(path_);
    const bool answered = probe.waitForConnected(500);
    if (answered && trusted(probe)) return false;
    const std::string path = QFile::encodeName(path_).toStdString();
    const std::optional<uid_t> owner = korvel::entryOwner(path);
    if (answered || (owner && *owner != own_)) {
        // Not ours to use or to remove: this window goes on alone rather than end or wait.
        std::fprintf(stderr, "korvel: %s belongs to another user; running on its own\n", path.c_str());
        return true;
    }
    // Nobody answers: a socket file of ours left by a crashed run is removed.
    if (owner) QLocalServer::removeServer(path_);
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server_->listen(path_)) {  // cannot listen: run anyway, as a lone instance
        delete std::exchange(server_, nullptr);
        return true;
    }
    connect(server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* c = server_->nextPendingConnection()) {
            if (korvel::socketPeerUid(int(c->socketDescriptor())) == own_) {
                readHandOver(c);
                continue;
            }
            c->abort();  // another user's process: not a word is read
            c->deleteLater();
        }
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
    if (!socket.waitForConnected(1000) || !trusted(socket)) return false;
    socket.write(message->data(), qint64(message->size()));
    while (socket.bytesToWrite() > 0)
        if (!socket.waitForBytesWritten(3000)) return false;
    socket.disconnectFromServer();
    return true;
}
