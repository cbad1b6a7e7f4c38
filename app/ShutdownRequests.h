#pragma once
// Requests to end Korvel from outside the window: SIGTERM, SIGINT, SIGHUP and the session
// manager's commit request. Each closes the main window as the user would, so the settings are
// written and the cache file and the instance socket are removed on the way out.
#include <QObject>
#include <QPointer>

class QSocketNotifier;
class QWidget;

class ShutdownRequests : public QObject {
    Q_OBJECT
public:
    // Installs the signal handlers. Signals that arrive before closeOnRequest are kept.
    explicit ShutdownRequests(QObject* parent = nullptr);
    ~ShutdownRequests() override;

    // From here on a request closes window; a signal then also ends the event loop, since
    // other windows (sub-viewers) would keep it running.
    void closeOnRequest(QWidget* window);

private:
    void signalArrived();

    QSocketNotifier* notifier_ = nullptr;
    QPointer<QWidget> window_;
};
