#pragma once
// One Korvel per user: the first start listens on a per-user local socket; a later start
// connects, hands over its arguments as bytes, and ends.
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
    // The socket path: in $XDG_RUNTIME_DIR, else in the temporary folder with the user id.
    QString socketPath() const { return path_; }
    // True when this process is now the only instance (it listens from here on).
    bool becomePrimary();
    // Hands the running instance the arguments and the folder they are relative to; it opens
    // them, or with none only restores and raises its window. False when it did not answer.
    bool handOver(const std::vector<std::string>& arguments, const std::string& cwd);

signals:
    // A later start's arguments and folder, as bytes.
    void activationRequested(const std::vector<std::string>& arguments, const std::string& cwd);

private:
    void readHandOver(QLocalSocket* client);

    QString path_;
    QLocalServer* server_ = nullptr;
};
