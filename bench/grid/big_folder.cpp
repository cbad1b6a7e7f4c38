// A folder of very many files in the main window, offscreen: the time from creating the window
// with the folder as its argument until the first screen of thumbnails is built, then a scroll
// down through the folder by mouse wheel (three rows every 16 ms), with a 1 ms timer on the window
// thread as a probe: the longest gap between its ticks is the longest stall. Peak resident
// memory is the process's high-water mark at the end.
#include <QApplication>
#include <QElapsedTimer>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QWheelEvent>
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>

#include "app/KorvelMain.h"
#include "bench/grid/FirstScreen.h"
#include "browse/ui/OrgStGrid.h"

namespace {

long statusKb(const char* key) {
    std::ifstream in("/proc/self/status");
    for (std::string line; std::getline(in, line);)
        if (line.rfind(key, 0) == 0) return std::stol(line.substr(std::string(key).size()));
    return -1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: big_folder FOLDER [SCROLL_SECONDS]\n");
        return 2;
    }
    QApplication app(argc, argv);
    QTemporaryDir config;
    qputenv("KORVEL_CONFIG_DIR", config.path().toUtf8());
    const int seconds = argc > 2 ? std::atoi(argv[2]) : 10;

    QElapsedTimer timer;
    timer.start();
    TKorvelMain w({std::string(argv[1])});
    w.resize(1280, 900);
    w.show();
    while (w.formState() != TKorvelMain::FormState::Ready) QCoreApplication::processEvents();
    const double listed = timer.nsecsElapsed() / 1e6;
    while (!firstScreenBuilt(w)) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    gridOf(w)->viewport()->grab();
    const double firstScreen = timer.nsecsElapsed() / 1e6;
    const long rssAfterList = statusKb("VmRSS:");

    QElapsedTimer probeClock;
    qint64 last = 0, longest = 0, ticks = 0;
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    probe.setInterval(1);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        const qint64 now = probeClock.nsecsElapsed();
        longest = std::max(longest, now - last);
        last = now;
        ++ticks;
    });
    QTimer wheel;
    wheel.setInterval(16);
    QWidget* vp = gridOf(w)->viewport();
    QObject::connect(&wheel, &QTimer::timeout, [&] {
        const QPointF at(vp->width() / 2, vp->height() / 2);
        QWheelEvent e(at, vp->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
        QApplication::sendEvent(vp, &e);
    });
    probeClock.start();
    probe.start();
    wheel.start();
    QTimer::singleShot(seconds * 1000, &app, &QCoreApplication::quit);
    app.exec();
    const double stall = (longest - 1000000) / 1e6;  // beyond the probe's own 1 ms interval
    std::printf("files %zu: window shown and listed %.0f ms, first screen of thumbnails %.0f ms\n",
                w.fileList().size(), listed, firstScreen);
    std::printf("scrolled %d s to row %d of %d; probe ticks %lld; longest stall beyond 1 ms: %.1f ms\n", seconds,
                gridOf(w)->topRow(), gridOf(w)->rowCount(), ticks, stall);
    std::printf("resident memory: %ld KB after the first screen, peak %ld KB\n", rssAfterList, statusKb("VmHWM:"));
    return 0;
}
