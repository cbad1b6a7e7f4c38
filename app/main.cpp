#include <QApplication>

#include "app/KorvelMain.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Korvel"));
    TKorvelMain window;
    window.show();
    return app.exec();
}
