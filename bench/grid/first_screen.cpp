// Time for the main window to show the first screen of thumbnails of a folder: from the user
// choosing the folder in a running window (its path typed into the history box, then Enter)
// until every visible cell has its thumbnail and has been drawn. With "start" as the third
// argument, from creating the window with the folder as its argument instead (the program's
// start added). Also the time until every visible cell shows a picture at all: for camera photos
// that is their embedded EXIF pictures, drawn before the thumbnails are built.
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTemporaryDir>
#include <sys/stat.h>
#include <algorithm>
#include <cstdio>
#include <string>

#include "app/KorvelMain.h"
#include "bench/grid/FirstScreen.h"
#include "browse/ui/OrgStGrid.h"

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: first_screen FOLDER [RUNS]\n");
        return 2;
    }
    struct stat st {};
    if (::stat(argv[1], &st) != 0 || !S_ISDIR(st.st_mode)) {
        // An empty grid never shows its first screen: the wait below would not end.
        std::fprintf(stderr, "first_screen: %s is not a folder\n", argv[1]);
        return 2;
    }
    QApplication app(argc, argv);
    QTemporaryDir config;
    qputenv("KORVEL_CONFIG_DIR", config.path().toUtf8());
    const int runs = argc > 2 ? std::atoi(argv[2]) : 3;
    const bool fromStart = argc > 3 && std::string(argv[3]) == "start";
    const QString folder = QString::fromLocal8Bit(argv[1]);
    double best = 1e9, bestShown = 1e9;
    size_t files = 0, cells = 0;
    for (int i = 0; i < runs; ++i) {
        QTemporaryDir empty;
        QElapsedTimer timer;
        timer.start();
        TKorvelMain w({fromStart ? std::string(argv[1]) : empty.path().toStdString()});
        w.resize(1280, 900);
        w.show();
        // The first activation comes from the event loop's first turn.
        while (w.formState() != TKorvelMain::FormState::Ready) QCoreApplication::processEvents();
        if (!fromStart) {
            QCoreApplication::processEvents();
            QLineEdit* edit = w.findChild<QComboBox*>("ComboBox1")->lineEdit();
            edit->setText(folder);
            timer.restart();
            QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
            QApplication::sendEvent(edit, &enter);
        }
        // The workers build the visible cells' thumbnails; the window thread takes them as they
        // arrive, so wait for events (not spin, which would take a core from the workers).
        while (!firstScreenShown(w)) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        gridOf(w)->viewport()->grab();
        bestShown = std::min(bestShown, timer.nsecsElapsed() / 1e6);
        while (!firstScreenBuilt(w)) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        gridOf(w)->viewport()->grab();
        best = std::min(best, timer.nsecsElapsed() / 1e6);
        files = w.fileList().size();
        cells = size_t(gridOf(w)->colCount()) * size_t(gridOf(w)->visibleRowCount() + 1);
    }
    const char* how = fromStart ? "from starting the window on the folder" : "after the folder is chosen";
    std::printf("first screen of %zu files (%zu cells visible) drawn: %.1f ms, thumbnails built: %.1f ms (best of %d) %s\n",
                files, cells, bestShown, best, runs, how);
    return 0;
}
