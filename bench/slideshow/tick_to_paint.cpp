// A slideshow over a folder of photos at the stored interval, full screen: for each timer tick
// that starts a slide, the time until that slide has been painted; and the longest time the
// window's thread was kept from its event loop, seen as the largest gap between the beats of a
// 2 ms timer. Also the time one slide takes to decode and fit on one thread, for comparison.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <vector>

#include "browse/SlideShow.h"
#include "view/ShowFrm1.h"

namespace {
// CPU time the calling thread has used, in nanoseconds.
qint64 threadCpu() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return qint64(t.tv_sec) * 1000000000 + t.tv_nsec;
}

double median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}
}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_slideshow FOLDER [INTERVAL_MS] [SLIDES]\n");
        return 2;
    }
    QApplication app(argc, argv);
    const int interval = argc > 2 ? std::atoi(argv[2]) : 1000;
    QTemporaryDir config;
    ShowSource source;
    source.settingsPath = config.path().toStdString() + "/Korvel.ini";
    std::ofstream(source.settingsPath) << "[SWindow]\nFullScreen=1\nTimeInt=" << interval << "\n";
    const QDir dir(QString::fromLocal8Bit(argv[1]));
    for (const QString& name : dir.entryList({QStringLiteral("*.jpg")}, QDir::Files, QDir::Name))
        source.files.push_back(dir.filePath(name).toStdString());
    const size_t slides = argc > 3 ? size_t(std::atoi(argv[3])) : source.files.size();
    source.files.resize(std::min(slides, source.files.size()));

    // One slide decoded and fitted on one thread: what a tick would cost without the worker.
    const QSize screen = QGuiApplication::primaryScreen()->geometry().size();
    std::vector<double> decodeMs;
    for (size_t i = 0; i < std::min<size_t>(5, source.files.size()); ++i) {
        QElapsedTimer t;
        t.start();
        korvel::TBitmap b = korvel::decodeSlide(source.files[i], screen.width(), screen.height());
        korvel::fitSlide(b, screen.width(), screen.height());
        decodeMs.push_back(t.nsecsElapsed() / 1e6);
    }

    QElapsedTimer clock;
    clock.start();
    std::vector<double> latency;
    qint64 tickAt = -1;
    int notReady = 0;
    TShowFrm1 show(source);
    QObject::connect(&show, &TShowFrm1::ticked, [&] {
        if (show.loading()) return;  // an ignored tick
        tickAt = clock.nsecsElapsed();
        // The slide was not decoded ahead when the tick leaves the load pending.
        QTimer::singleShot(0, &show, [&] { notReady += show.loading(); });
    });
    bool playing = false;  // from the first slide on screen; before it the window is still opening
    QObject::connect(&show, &TShowFrm1::slidePainted, [&] {
        if (tickAt >= 0) latency.push_back((clock.nsecsElapsed() - tickAt) / 1e6);
        tickAt = -1;
        playing = true;
    });
    // A gap is the window's thread either working or waiting for a core; its CPU time tells which.
    qint64 lastBeat = -1, lastCpu = 0, longest = 0, longestCpu = 0, opening = 0, busiest = 0;
    QTimer beat;
    beat.setTimerType(Qt::PreciseTimer);
    QObject::connect(&beat, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed(), cpu = threadCpu();
        if (lastBeat >= 0 && show.isVisible()) {
            if (!playing) opening = std::max(opening, now - lastBeat);
            else if (now - lastBeat > longest) longest = now - lastBeat, longestCpu = cpu - lastCpu;
            if (playing) busiest = std::max(busiest, cpu - lastCpu);
        }
        lastBeat = now, lastCpu = cpu;
    });
    beat.start(2);
    show.exec();

    std::sort(latency.begin(), latency.end());
    std::printf("screen %dx%d, %zu slides at %d ms\n", screen.width(), screen.height(), source.files.size(), interval);
    std::printf("decode and fit of one slide on one thread: median %.1f ms\n", median(decodeMs));
    std::printf("tick to painted over %zu ticks: median %.2f ms, worst %.2f ms; slide not ready at %d ticks\n",
                latency.size(), median(latency), latency.empty() ? 0.0 : latency.back(), notReady);
    std::printf("longest gap between 2 ms beats of the window's thread: %.2f ms while playing (%.2f ms of it on"
                " the CPU), %.2f ms while opening\n", longest / 1e6, longestCpu / 1e6, opening / 1e6);
    std::printf("most CPU time the window's thread spent between two beats while playing: %.2f ms\n", busiest / 1e6);
    return 0;
}
