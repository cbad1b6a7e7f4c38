// Time for the main window to show the first screen of thumbnails of a folder: from creating
// the window with the folder as its argument until every visible cell has been drawn.
#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <cstdio>

#include "app/KorvelMain.h"
#include "browse/ui/OrgStGrid.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: first_screen FOLDER [RUNS]\n");
        return 2;
    }
    QApplication app(argc, argv);
    QTemporaryDir config;
    qputenv("KORVEL_CONFIG_DIR", config.path().toUtf8());
    const int runs = argc > 2 ? std::atoi(argv[2]) : 3;
    double best = 1e9;
    size_t files = 0, cells = 0;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        TKorvelMain w({QString::fromLocal8Bit(argv[1])});
        w.resize(1280, 900);
        w.show();
        // The first activation comes from the event loop's first turn.
        while (w.formReady() < 2) QCoreApplication::processEvents();
        // Painting the grid builds the thumbnails of every visible cell.
        w.grid()->viewport()->grab();
        best = std::min(best, timer.nsecsElapsed() / 1e6);
        files = w.fileList().size();
        cells = size_t(w.grid()->colCount()) * size_t(w.grid()->visibleRowCount() + 1);
    }
    std::printf("first screen of %zu files (%zu cells visible): %.1f ms (best of %d)\n", files, cells, best, runs);
    return 0;
}
