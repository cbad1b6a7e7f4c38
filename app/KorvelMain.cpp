#include "app/KorvelMain.h"

TKorvelMain::TKorvelMain(QWidget* parent) : QMainWindow(parent) {
    setWindowTitle(QStringLiteral("Korvel"));
    resize(800, 600);
}
