#pragma once
// One Korvel per user: the first start listens on a per-user local socket; a later start
// connects, hands over its arguments as bytes, and ends. Both ends check that the other is the
// same user, so a socket or a client of another user is never trusted.
#include <sys/types.h>

#include <QObject>
#include <QString>
#include <string>
#include <vector>

class QLocalServer;
class QLocalSocket;

class SingleInstance : public QObject {
    Q_OBJECT
public:
    explicit SingleInstance(const QString& name, QObject* parent = nullptr);
    // The socket path: in $XDG_RUNTIME_DIR when that is the user's private folder, else in the
    // temporary folder with the user id.
    QString socketPath() const { return path_; }
    // True when this process is the user's only instance. It listens from here on, unless the
    // socket path belongs to another user: then it runs on its own and listens nowhere.
    bool becomePrimary();
    bool listening() const { return server_ != nullptr; }
    // Hands the running instance the arguments and the folder they are relative to; it opens
    // them, or with none only restores and raises its window. False when no instance of this
    // user answered (nothing was sent).
    bool handOver(const std::vector<std::string>& arguments, const std::string& cwd);

signals:
    // A later start's arguments and folder, as bytes.
    void activationRequested(const std::vector<std::string>& arguments, const std::string& cwd);

private:
    bool trusted(const QLocalSocket& connected) const;
    void readHandOver(QLocalSocket* client);

    QString path_;
    uid_t own_;
    QLocalServer* server_ = nullptr;
};
