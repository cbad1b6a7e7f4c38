// Program body: one instance per user, the splash window, then the main window.
#include <clocale>

#include <QApplication>
#include <QTimer>

#include "app/AppIdentity.h"
#include "app/KorvelMain.h"
#include "app/OpenShowFrm.h"
#include "app/ShutdownRequests.h"
#include "app/SingleInstance.h"
#include "platform/MonitorProfile.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    std::setlocale(LC_ALL, "");
    std::setlocale(LC_NUMERIC, "C");
    setApplicationIdentity();
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
