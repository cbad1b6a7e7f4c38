#pragma once
// One Korvel per user: the first start listens on a per-user local socket; a later start
// connects, asks the first to come to the front, and ends.
#include <QObject>
#include <QString>

class QLocalServer;

class SingleInstance : public QObject {
    Q_OBJECT
public:
    explicit SingleInstance(const QString& name, QObject* parent = nullptr);
    // The socket path: in $XDG_RUNTIME_DIR, else in the temporary folder with the user id.
    QString socketPath() const { return path_; }
    // True when this process is now the only instance (it listens from here on).
    bool becomePrimary();
    // Tells the running instance to restore and raise its window.
    void askPrimaryToActivate();

signals:
    void activationRequested();

private:
    QString path_;
    QLocalServer* server_ = nullptr;
};
