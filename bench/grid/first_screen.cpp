// Time for the main window to show the first screen of thumbnails of a folder: from creating
// the window with the folder as its argument until every visible cell has its thumbnail and
// has been drawn.
#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>

#include "app/KorvelMain.h"
#include "browse/ui/OrgStGrid.h"

// True when every cell on screen, the partly visible row included, has its thumbnail.
bool firstScreenBuilt(const TKorvelMain& w) {
    const TOrgStGrid* g = w.grid();
    const size_t cols = size_t(g->colCount()), first = size_t(g->topRow()) * cols;
    const size_t end = std::min(w.fileList().size(), first + size_t(g->visibleRowCount() + 1) * cols);
    for (size_t i = first; i < end; ++i)
        if (w.fileList().seek(i).ThumbPos == -1) return false;
    return true;
}

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: first_screen FOLDER [RUNS]\n");
        return 2;
    }
    QApplication app(argc, argv);
    QTemporaryDir config;
    qputenv("KORVEL_CONFIG_DIR", config.path().toUtf8());
    const int runs = argc > 2 ? std::atoi(argv[2]) : 3;
    double best = 1e9, shown = 1e9;
    size_t files = 0, cells = 0;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        TKorvelMain w({QString::fromLocal8Bit(argv[1])});
        w.resize(1280, 900);
        w.show();
        // The first activation comes from the event loop's first turn.
        while (w.formReady() < 2) QCoreApplication::processEvents();
        shown = std::min(shown, timer.nsecsElapsed() / 1e6);
        // The workers build the visible cells' thumbnails; the window thread takes them as they
        // arrive, so wait for events (not spin, which would take a core from the workers).
        while (!firstScreenBuilt(w)) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        w.grid()->viewport()->grab();
        best = std::min(best, timer.nsecsElapsed() / 1e6);
        files = w.fileList().size();
        cells = size_t(w.grid()->colCount()) * size_t(w.grid()->visibleRowCount() + 1);
    }
    std::printf("first screen of %zu files (%zu cells visible): %.1f ms (best of %d; window shown after %.1f ms)\n",
                files, cells, best, runs, shown);
    return 0;
}
