// Program body: one instance per user, the splash window, then the main window.
#include <clocale>
#include <memory>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <QApplication>
#include <QTimer>

#include "app/AppIdentity.h"
#include "app/KorvelMain.h"
#include "app/OpenShowFrm.h"
#include "app/ShutdownRequests.h"
#include "app/SingleInstance.h"
#include "base/ProgramFolders.h"
#include "base/UiLanguage.h"
#include "platform/MonitorProfile.h"
#include "platform/Translations.h"
#include "platform/WindowLog.h"
#include "settings/CommandLine.h"

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
        "  /s         start the slideshow over the listed files, at FILE when one is given\n"
        "  /se        start the slideshow; closing it ends Korvel\n"
        "  --help     show this help and exit\n"
        "  --version  show the version and exit\n"
        "\n"
        "The last file or folder given decides the start folder. When Korvel is running\n"
        "already, they open in its window, which is brought to the front. Hold Shift while\n"
        "starting to load no plug-in. Settings are kept in $XDG_CONFIG_HOME/korvel/\n"
        "(~/.config/korvel/).\n",
        stdout);
    return true;
}

std::string_view environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}
}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && answerInfoOption(argv[1])) return 0;
    // Qt would abort with its own message; a terminal user gets one line and a plain failure.
    if (!korvel::displayGiven(environment("DISPLAY"), environment("WAYLAND_DISPLAY"), environment("QT_QPA_PLATFORM"),
                              std::vector<std::string>(argv + 1, argv + argc))) {
        std::fputs("no display: Korvel is a desktop program; set DISPLAY or WAYLAND_DISPLAY\n", stderr);
        return 1;
    }
    QApplication app(argc, argv);
    logWindowsWhenAsked(app);
    // Read only now: Qt has taken its own options (-platform ...) out of argv. The rest stay bytes.
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    std::setlocale(LC_ALL, "");
    std::setlocale(LC_NUMERIC, "C");
    setApplicationIdentity();
    // Japanese for Japanese and C locales, English for every other one.
    loadTranslations(app, korvel::uiLanguageFromEnvironment(),
                     translationFolder(korvel::runningExecutablePath(argv[0])));
    UseMonitorProfile();

    SingleInstance instance(QStringLiteral("Korvel_Dovrans_Application"));
    // A running Korvel of this user opens the arguments; when none takes them, this one does.
    if (!instance.becomePrimary() && instance.handOver(arguments, korvel::currentFolder())) return 0;
    ShutdownRequests shutdown;

    // The main window is built from the event loop once the splash has been drawn (or after a
    // short wait where nothing draws it), so the splash shows while the window starts.
    std::unique_ptr<TKorvelMain> window;
    bool started = false;  // a box the constructor shows runs the event loop, and the timer in it
    auto* splash = new TOpenShowFrm;
    auto startWindow = [&] {
        if (std::exchange(started, true)) return;
        window = std::make_unique<TKorvelMain>(arguments);
        QObject::connect(&instance, &SingleInstance::activationRequested, window.get(),
                         &TKorvelMain::activateFromOutside);
        window->show();
        splash->deleteLater();
        shutdown.closeOnRequest(window.get());  // only now: a quit before the window exists is lost
    };
    QObject::connect(splash, &TOpenShowFrm::shown, &app, startWindow, Qt::QueuedConnection);
    QTimer::singleShot(500, &app, startWindow);
    splash->show();
    return app.exec();
}
