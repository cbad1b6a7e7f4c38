#include "platform/ShellServices.h"

#include <QClipboard>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDateTime>
#include <QDesktopServices>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLocale>
#include <QMessageBox>
#include <QMimeDatabase>
#include <QUrl>

#include "imaging/Bitmap.h"
#include "platform/QtImage.h"

void openWithDefaultProgram(const QString& path) { QDesktopServices::openUrl(QUrl::fromLocalFile(path)); }

void showShellProperties(const QString& path, QWidget* parent) {
    QDBusMessage call = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.FileManager1"),
                                                       QStringLiteral("/org/freedesktop/FileManager1"),
                                                       QStringLiteral("org.freedesktop.FileManager1"),
                                                       QStringLiteral("ShowItemProperties"));
    call << QStringList{QUrl::fromLocalFile(path).toString()} << QString();
    const QDBusMessage reply = QDBusConnection::sessionBus().call(call, QDBus::Block, 3000);
    if (reply.type() == QDBusMessage::ReplyMessage) return;
    const QFileInfo info(path);
    const QLocale locale;
    QMessageBox box(QMessageBox::Information, QObject::tr("プロパティ"),
                    info.fileName() + QStringLiteral("\n\n") + info.absoluteFilePath() + QLatin1Char('\n') +
                        QMimeDatabase().mimeTypeForFile(info).comment() + QLatin1Char('\n') +
                        locale.toString(info.size()) + QStringLiteral(" bytes\n") +
                        locale.toString(info.lastModified(), QLocale::LongFormat),
                    QMessageBox::Ok, parent);
    box.exec();
}

bool copyImageToClipboard(const korvel::TBitmap& bitmap) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard || bitmap.empty()) return false;
    clipboard->setImage(toQImage(bitmap));
    return true;
}
