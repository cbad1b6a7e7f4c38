#include "app/ShutdownRequests.h"

#include <fcntl.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QGuiApplication>
#include <QSocketNotifier>
#include <QWidget>
#include <cerrno>
#include <csignal>

#if QT_CONFIG(sessionmanager)
#include <QSessionManager>
#endif

namespace {

// The self-pipe: the handler only writes one byte; the event loop does the rest.
int pipeFds[2] = {-1, -1};
constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};

extern "C" void onTerminationSignal(int) {
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] ssize_t n = ::write(pipeFds[1], &byte, 1);
    errno = saved;
}

}  // namespace

ShutdownRequests::ShutdownRequests(QObject* parent) : QObject(parent) {
    if (::pipe2(pipeFds, O_CLOEXEC | O_NONBLOCK) != 0) return;
    struct sigaction sa {};
    sa.sa_handler = onTerminationSignal;
    sigemptyset(&sa.sa_mask);
    // SA_RESETHAND: a second signal of the same kind ends Korvel at once, should closing hang.
    sa.sa_flags = SA_RESTART | SA_RESETHAND;
    for (int sig : kSignals) ::sigaction(sig, &sa, nullptr);
    notifier_ = new QSocketNotifier(pipeFds[0], QSocketNotifier::Read, this);
    notifier_->setEnabled(false);
    connect(notifier_, &QSocketNotifier::activated, this, &ShutdownRequests::signalArrived);
}

ShutdownRequests::~ShutdownRequests() {
    if (pipeFds[0] < 0) return;
    for (int sig : kSignals) ::signal(sig, SIG_DFL);
    ::close(pipeFds[0]);
    ::close(pipeFds[1]);
    pipeFds[0] = pipeFds[1] = -1;
}

void ShutdownRequests::closeOnRequest(QWidget* window) {
    window_ = window;
#if QT_CONFIG(sessionmanager)
    connect(qGuiApp, &QGuiApplication::commitDataRequest, this, [this](QSessionManager&) {
        if (window_) window_->close();
    });
#endif
    if (notifier_) notifier_->setEnabled(true);
}

void ShutdownRequests::signalArrived() {
    char buf[64];
    while (::read(pipeFds[0], buf, sizeof buf) > 0) {
    }
    if (window_) window_->close();
    QCoreApplication::quit();
}
