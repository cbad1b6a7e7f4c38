// Plug-ins of the main window: searching and registering them at start, and their settings.
#include "app/KorvelMain.h"

void TKorvelMain::loadPlugins() {}

void TKorvelMain::PlugInSet1Click() {}
