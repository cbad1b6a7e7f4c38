// Plug-ins of the main window: searching and registering them at start, and their settings.
#include <QGuiApplication>
#include <memory>

#include "app/KorvelMain.h"
#include "formats/FormatRegistry.h"
#include "formats/SpiExclusion.h"
#include "formats/SpiGraphic.h"
#include "formats/SpiStartup.h"
#include "app/PlugInFrm.h"

namespace {
// SPIs1: the one plug-in host, living as long as the window that made it.
std::unique_ptr<korvel::TSPIs> SPIs1;
}  // namespace

void TKorvelMain::loadPlugins() {
    if (korvel::TSPIs::instance()) return;  // a host exists already: one per process
    korvel::PluginStartupHooks hooks;
    // Shift held while Korvel starts loads no plug-in.
    hooks.skipHeld = [] { return QGuiApplication::queryKeyboardModifiers().testFlag(Qt::ShiftModifier); };
    hooks.onSkipped = [this] {
        PluginsSkipped = true;
        updateActions();
        setWindowTitle(QStringLiteral("Korvel  No-PlugIn's"));
    };
    try {
        SPIs1 = korvel::startPlugins(exePath_, MediaExtList, std::move(hooks));
    } catch (const std::exception&) {
        // The window works with the built-in formats alone.
    }
    connect(this, &QObject::destroyed, [] {
        SPIs1.reset();
        korvel::fileFormats().unregisterFormatClass(korvel::TSPIBitmap::classInfo);
    });
}

void TKorvelMain::PlugInSet1Click() {
    TPlugInFrm dialog(korvel::TSPIs::instance(), korvel::exclusionFilePath(exePath_), this);
    dialog.exec();
}
