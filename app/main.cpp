// Program body: one instance per user, the splash window, then the main window.
#include <clocale>
#include <cstdio>
#include <cstring>

#include <QApplication>
#include <QTimer>

#include "app/AppIdentity.h"
#include "app/KorvelMain.h"
#include "app/OpenShowFrm.h"
#include "app/ShutdownRequests.h"
#include "app/SingleInstance.h"
#include "platform/MonitorProfile.h"
#include "platform/Translations.h"

namespace {
// Answered before any window exists, so they work without a display.
bool answerInfoOption(const char* arg) {
    if (std::strcmp(arg, "--version") == 0) {
        std::printf("korvel %s\n", KORVEL_VERSION);
        return true;
    }
    if (std::strcmp(arg, "--help") != 0 && std::strcmp(arg, "-h") != 0) return false;
    std::fputs(
        "Usage: korvel [/s | /se] [FILE | FOLDER]...\n"
        "Browse, view and organise image files.\n"
        "\n"
        "  FOLDER     open with this folder listed\n"
        "  FILE       list the file's folder and open the file in a viewer window\n"
        "  /s         start the slideshow over the listed files\n"
        "  /se        start the slideshow; closing it ends Korvel\n"
        "  --help     show this help and exit\n"
        "  --version  show the version and exit\n"
        "\n"
        "The last file or folder given decides the start folder. When Korvel is running\n"
        "already, its window is brought to the front instead. Hold Shift while starting to\n"
        "load no plug-in. Settings are kept in $XDG_CONFIG_HOME/korvel/ (~/.config/korvel/).\n",
        stdout);
    return true;
}
}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && answerInfoOption(argv[1])) return 0;
    QApplication app(argc, argv);
    std::setlocale(LC_ALL, "");
    std::setlocale(LC_NUMERIC, "C");
    setApplicationIdentity();
    loadQtTranslations(app);
    UseMonitorProfile();

    SingleInstance instance(QStringLiteral("Korvel_Dovrans_Application"));
    if (!instance.becomePrimary()) {
        instance.askPrimaryToActivate();
        return 0;
    }
    ShutdownRequests shutdown;

    auto* splash = new TOpenShowFrm;
    splash->show();
    QApplication::processEvents();

    TKorvelMain window(QApplication::arguments().mid(1));
    QObject::connect(&instance, &SingleInstance::activationRequested, &window, &TKorvelMain::activateFromOutside);
    QApplication::processEvents();
    window.show();
    splash->deleteLater();
    shutdown.closeOnRequest(&window);  // only now: a quit before the event loop runs is lost
    return app.exec();
}
