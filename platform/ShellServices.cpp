#include "platform/ShellServices.h"

#include <sys/stat.h>

#include <QClipboard>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDateTime>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QLocale>
#include <QMessageBox>
#include <QMimeDatabase>
#include <QUrl>

#include "imaging/Bitmap.h"
#include "platform/PathText.h"
#include "platform/QtImage.h"

void openWithDefaultProgram(const std::string& path) { QDesktopServices::openUrl(fileUrl(path)); }

void showShellProperties(const std::string& path, QWidget* parent, const QString& note) {
    QDBusMessage call = QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.FileManager1"),
                                                       QStringLiteral("/org/freedesktop/FileManager1"),
                                                       QStringLiteral("org.freedesktop.FileManager1"),
                                                       QStringLiteral("ShowItemProperties"));
    call << QStringList{QString::fromLatin1(fileUrl(path).toEncoded())} << QString();
    const QDBusMessage reply = QDBusConnection::sessionBus().call(call, QDBus::Block, 3000);
    if (reply.type() == QDBusMessage::ReplyMessage) return;
    // The file is looked up by its bytes; only what is shown becomes text.
    struct stat st {};
    const bool found = ::stat(path.c_str(), &st) == 0;
    const size_t slash = path.find_last_of('/');
    const QString name = pathText(slash == std::string::npos ? path : path.substr(slash + 1));
    const QLocale locale;
    QString text = name + QStringLiteral("\n\n") + pathText(path) + QLatin1Char('\n') +
                   QMimeDatabase().mimeTypeForFile(name, QMimeDatabase::MatchExtension).comment();
    if (found)
        text += QLatin1Char('\n') + locale.toString(qlonglong(st.st_size)) + QStringLiteral(" bytes\n") +
                locale.toString(QDateTime::fromSecsSinceEpoch(st.st_mtime), QLocale::LongFormat);
    if (!note.isEmpty()) text += QLatin1Char('\n') + note;
    QMessageBox box(QMessageBox::Information, QObject::tr("プロパティ"), text, QMessageBox::Ok, parent);
    box.exec();
}

bool copyImageToClipboard(const korvel::TBitmap& bitmap) {
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!clipboard || bitmap.empty()) return false;
    clipboard->setImage(toQImage(bitmap));
    return true;
}
