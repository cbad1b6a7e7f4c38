// The grid and the preview pane on the offscreen platform: marking by mouse and keys, the
// deferred preview load and its status texts, vanished and undecodable files.
#include <sys/stat.h>
#include <unistd.h>

#include <QClipboard>
#include <QDesktopServices>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QScrollArea>
#include <QSplitter>
#include <QTemporaryDir>
#include <QTimer>
#include <QWindow>
#include <QToolButton>
#include <QtTest>
#include <fstream>

#include "app/KorvelMain.h"
#include "fileops/WallpaperBitmap.h"
#include "base/IniFile.h"
#include "view/SubFrm.h"
#include "view/SubFrmArrange.h"
#include "browse/ui/OrgStGrid.h"
#include "view/PreviewPane.h"
#include "imaging/Bmp.h"
#include "imaging/Bitmap.h"
#include "formats/Picture.h"
#include "platform/PathText.h"
#include "tests/support/GridWindow.h"
#include "tests/support/PhotoSamples.h"
#include "tests/support/TempTree.h"
#include "tests/support/UiSupport.h"
#include "view/SubFrm.h"

namespace {

using korvel::testing::MessageBoxCatcher;

void writeImage(const QString& path, int w, int h) { korvel::testing::writePatternBmp(path.toStdString(), w, h); }

// Stands in for the desktop's file opener.
class UrlSink : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void openUrl(const QUrl& url) { urls << url; }
};

std::vector<size_t> marked(TKorvelMain& w) { return w.markedFiles(); }

using korvel::testing::clickCell;
using korvel::testing::waitPreview;

}  // namespace

class GridPreviewTest : public QObject {
    Q_OBJECT
    QTemporaryDir config_, pics_;
    std::unique_ptr<TKorvelMain> w_;

    void openWindow() {
        w_ = std::make_unique<TKorvelMain>(QStringList{pics_.path()});
        w_->resize(900, 700);
        w_->show();
        QVERIFY(QTest::qWaitForWindowExposed(w_.get()));
        QTRY_COMPARE(w_->formReady(), 2);
        waitPreview(*w_);
    }

private slots:
    void init() {
        qputenv("KORVEL_CONFIG_DIR", config_.path().toUtf8());
        QDir(pics_.path()).removeRecursively();
        QDir().mkpath(pics_.path());
        for (int i = 0; i < 9; ++i) writeImage(pics_.path() + QStringLiteral("/img%1.bmp").arg(i), 64, 48);
        QFile::remove(config_.path() + "/Korvel.ini");
        openWindow();
    }
    void cleanup() { w_.reset(); }

    void listingMarksTheFirstCell() {
        QCOMPARE(int(w_->fileList().size()), 9);
        QCOMPARE(marked(*w_), std::vector<size_t>{0});
        QVERIFY(w_->grid()->colCount() >= 2);
    }

    void mouseMarkingRules() {
        TKorvelMain& w = *w_;
        clickCell(w, 1);
        QCOMPARE(marked(w), std::vector<size_t>{1});  // a plain click leaves exactly that cell
        clickCell(w, 2, Qt::ControlModifier);
        QCOMPARE(marked(w), (std::vector<size_t>{1, 2}));
        clickCell(w, 1, Qt::ControlModifier);
        QCOMPARE(marked(w), std::vector<size_t>{2});  // Ctrl+click on a marked cell unmarks it
        const int cols = w.grid()->colCount();
        clickCell(w, 0);
        clickCell(w, size_t(cols + 1), Qt::ShiftModifier);  // the block between two clicks
        QCOMPARE(marked(w), (std::vector<size_t>{0, 1, size_t(cols), size_t(cols + 1)}));
        // Right-clicking a marked cell keeps all marks; an unmarked one leaves only itself.
        QTimer::singleShot(50, w.gridPopup(), &QMenu::close);
        clickCell(w, 1, {}, Qt::RightButton);
        QCOMPARE(marked(w).size(), size_t(4));
        QTimer::singleShot(50, w.gridPopup(), &QMenu::close);
        clickCell(w, 5, {}, Qt::RightButton);
        QCOMPARE(marked(w), std::vector<size_t>{5});
    }

    void previewLoadsAndFillsTheStatusBar() {
        TKorvelMain& w = *w_;
        clickCell(w, 3);
        QVERIFY(w.previewLoading() || !w.statusPanel(1)->text().isEmpty());
        QVERIFY(waitPreview(w));
        QCOMPARE(w.statusPanel(1)->text(), pics_.path() + "/img3.bmp");
        QCOMPARE(w.statusPanel(2)->text(), QStringLiteral("10KB"));
        QCOMPARE(w.statusPanel(4)->text(), QStringLiteral("64x48"));
        // Pressing the previewed cell again keeps a turned image turned.
        w.actions().Turn1->trigger();
        QCOMPARE(w.previewGraphic()->width(), 48);
        clickCell(w, 3);
        QVERIFY(waitPreview(w));
        QCOMPARE(w.previewGraphic()->width(), 48);
    }

    // A phone photo stored on its side (EXIF orientation 6) previews upright, the status bar gives
    // the upright size, a viewer opens it upright, the user's turn starts from upright, and the
    // file is left as it was.
    // The preview, status panel, a user's turn and a viewer all follow [Window] ExifRotate.
    void orientedPhotoShowsUprightEverywhere_data() {
        QTest::addColumn<bool>("rotate");
        QTest::newRow("upright") << true;
        QTest::newRow("as stored, ExifRotate=0") << false;
    }
    void orientedPhotoShowsUprightEverywhere() {
        QFETCH(bool, rotate);
        const std::string path = pics_.path().toStdString() + "/photo.jpg";
        korvel::testing::writeFile(path, korvel::testing::withJpegSegment(
                                             korvel::testing::encodedJpeg(korvel::TBitmap(48, 64, korvel::PixelFormat::pf24bit)),
                                             0xE1, korvel::testing::exifApp1(6, true)));
        const std::string before = korvel::testing::readFile(path);
        if (!rotate) std::ofstream(config_.path().toStdString() + "/Korvel.ini") << "[Window]\nExifRotate=0\n";
        const int wide = rotate ? 64 : 48, narrow = rotate ? 48 : 64;
        w_.reset();
        openWindow();
        TKorvelMain& w = *w_;
        clickCell(w, 9);
        QVERIFY(waitPreview(w));
        QCOMPARE(w.statusPanel(4)->text(), QStringLiteral("%1x%2").arg(wide).arg(narrow));
        QCOMPARE(w.previewGraphic()->width(), wide);
        w.actions().Turn1->trigger();
        QCOMPARE(w.previewGraphic()->width(), narrow);
        closeAllSubViewers();
        QCursor::setPos(w.grid()->viewport()->mapToGlobal(w.grid()->cellRect(korvel::testing::cellOf(w, 9)).center()));
        QTest::keyClick(w.grid(), Qt::Key_S);
        QCOMPARE(openSubViewers().size(), 1);
        QCOMPARE(openSubViewers()[0]->subImage().width(), wide);
        closeAllSubViewers();
        QCOMPARE(korvel::testing::readFile(path), before);
    }

    void arrowKeysWrapAndMark() {
        TKorvelMain& w = *w_;
        const int cols = w.grid()->colCount();
        clickCell(w, size_t(cols - 1));
        waitPreview(w);
        w.grid()->setFocus();
        QTest::keyClick(w.grid(), Qt::Key_Right);
        QCOMPARE(marked(w), std::vector<size_t>{size_t(cols)});
        QTest::keyClick(w.grid(), Qt::Key_Left);
        QCOMPARE(marked(w), std::vector<size_t>{size_t(cols - 1)});
    }

    void undecodableFileLeavesEmptyPanels() {
        TKorvelMain& w = *w_;
        std::ofstream((pics_.path() + "/img4.bmp").toStdString(), std::ios::trunc) << "not a bitmap at all";
        clickCell(w, 4);
        QVERIFY(waitPreview(w));
        for (int i = 1; i <= 4; ++i) QVERIFY(w.statusPanel(i)->text().isEmpty());
        QVERIFY(!w.previewGraphic());
    }

    void vanishedFileIsReportedAndPruned_data() {
        QTest::addColumn<bool>("byResize");
        QTest::newRow("cell pressed") << false;
        QTest::newRow("window resized while previewed") << true;
    }
    void vanishedFileIsReportedAndPruned() {
        QFETCH(bool, byResize);
        TKorvelMain& w = *w_;
        if (byResize) {
            clickCell(w, 6);
            QVERIFY(waitPreview(w));
        }
        QFile::remove(pics_.path() + "/img6.bmp");
        MessageBoxCatcher box;
        bool resizing = false, boxInsideResize = false;
        box.onBox = [&] { boxInsideResize = resizing; };
        // The layout of a resize asks for the preview again; its report must wait until the
        // resize event is over, and pruning the list afterwards must leave a working grid.
        if (byResize) {
            resizing = true;
            w.gridSplitter()->resize(w.gridSplitter()->width() + 3, w.gridSplitter()->height() + 2);
            resizing = false;
        } else {
            clickCell(w, 6);
        }
        QTRY_COMPARE(int(w.fileList().size()), 8);
        QCOMPARE(box.seen, 1);
        QVERIFY(!boxInsideResize);
        QCOMPARE(box.title + "|" + box.text, QStringLiteral("FileNotFound|選択したファイルは見つかりませんでした。"));
        w.resize(w.width() - 5, w.height() - 4);
        clickCell(w, 6);  // now img7
        QVERIFY(waitPreview(w));
        QCOMPARE(w.statusPanel(1)->text(), pics_.path() + "/img7.bmp");
        QCOMPARE(box.seen, 1);
    }

    void doubleClickOpensAViewerPerMarkedFile() {
        TKorvelMain& w = *w_;
        closeAllSubViewers();
        QCoreApplication::processEvents();
        clickCell(w, 1);
        clickCell(w, 2, Qt::ControlModifier);
        QCursor::setPos(w.grid()->viewport()->mapToGlobal(w.grid()->cellRect({1, 0}).center()));
        QTest::keyClick(w.grid(), Qt::Key_S);  // S opens as a double click does
        QCOMPARE(openSubViewers().size(), 2);
        for (TKorvelSubFrm* v : openSubViewers()) QCOMPARE(v->windowHandle()->transientParent(), w.windowHandle());
        closeAllSubViewers();
    }

    void wallpaperFollowsTheSelectionAsPropertiesDoes() {
        TKorvelMain& w = *w_;
        QTemporaryDir data;
        qputenv("XDG_DATA_HOME", data.path().toUtf8());
        writeImage(pics_.path() + "/img3.bmp", 30, 20);
        // Current cell on 1, only cell 3 marked: both commands of the grid menu take cell 1.
        clickCell(w, 1);
        waitPreview(w);
        clickCell(w, 3, Qt::ControlModifier);
        clickCell(w, 1, Qt::ControlModifier);
        QCOMPARE(marked(w), std::vector<size_t>{3});
        clickCell(w, 3, {}, Qt::RightButton);
        QTRY_VERIFY(w.gridPopup()->isVisible());
        QTest::keyClick(w.gridPopup(), Qt::Key_W);
        QMenu* wall = w.actions().Wall1->menu();
        QTRY_VERIFY(wall->isVisible());
        QTest::keyClick(wall, Qt::Key_T);  // 並べて表示: the picture at its own size
        korvel::TPicture rendered;
        rendered.loadFromFile(korvel::wallpaperFilePath());
        QCOMPARE(QSize(rendered.width(), rendered.height()), QSize(64, 48));
        const korvel::IniFile reg = korvel::IniFile::load((config_.path() + "/registry.ini").toStdString());
        QCOMPARE(reg.readString(korvel::kDesktopRegistryKey, "TileWallPaper", ""), std::string("1"));
        w.actions().Wall_Fit2->trigger();  // the preview as shown
        QCOMPARE(korvel::IniFile::load((config_.path() + "/registry.ini").toStdString())
                     .readString(korvel::kDesktopRegistryKey, "TileWallPaper", ""),
                 std::string("0"));
    }

    // Names in Latin-1 and Shift_JIS bytes (0x5C, the path delimiter of other systems, inside a
    // character) and names holding Qt's caption placeholder: each previews, opens, copies, goes
    // to the desktop and shows its properties as the same file.
    void anyFileNamePreviewsAndOpens_data() {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<QString>("shown");
        QTest::newRow("latin-1") << QByteArray("caf\xE9.bmp") << QSize(40, 30) << QStringLiteral("caf\\xE9.bmp");
        QTest::newRow("shift_jis") << QByteArray("\x83\x65\x83\x58\x83\x67\x83\x5C.bmp") << QSize(36, 28)
                                   << QStringLiteral("\\x83e\\x83X\\x83g\\x83\\.bmp");
        QTest::newRow("utf-8") << QByteArray("写真.bmp") << QSize(50, 20) << QStringLiteral("写真.bmp");
        QTest::newRow("placeholder") << QByteArray("a[*]b[*][*].bmp") << QSize(22, 44) << QStringLiteral("a[*]b[*][*].bmp");
    }
    void anyFileNamePreviewsAndOpens() {
        QFETCH(QByteArray, name);
        QFETCH(QSize, size);
        QFETCH(QString, shown);
        TKorvelMain& w = *w_;
        qputenv("DBUS_SESSION_BUS_ADDRESS", "disabled:");
        const std::string file = QFile::encodeName(pics_.path()).toStdString() + "/" + name.toStdString();
        korvel::testing::writePatternBmp(file, size.width(), size.height());
        const auto removeFile = qScopeGuard([&] { ::unlink(file.c_str()); });  // QDir cannot name it
        QTest::keyClick(w.grid(), Qt::Key_R);
        const std::ptrdiff_t index = w.fileList().indexOf(file);
        QVERIFY(index >= 0);
        MessageBoxCatcher boxes;
        clickCell(w, size_t(index));
        QVERIFY(waitPreview(w));
        QCOMPARE(w.previewPath(), file);
        QCOMPARE(w.statusPanel(1)->text(), pics_.path() + "/" + shown);
        QCOMPARE(w.statusPanel(4)->text(), QStringLiteral("%1x%2").arg(size.width()).arg(size.height()));
        for (int i = 2; i <= 3; ++i) QVERIFY(!w.statusPanel(i)->text().isEmpty());
        const QImage preview = w.previewPane()->shownImage();
        QCOMPARE(preview.size(), size);
        QVERIFY(preview.pixel(0, 0) != preview.pixel(size.width() - 1, size.height() - 1));

        // A viewer from the pane: its own decode, the name shown exactly in its caption.
        closeAllSubViewers();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QTest::mouseDClick(w.previewPane(), Qt::LeftButton, {}, QPoint(2, 2));
        QCOMPARE(openSubViewers().size(), 1);
        TKorvelSubFrm* viewer = openSubViewers().front();
        QCOMPARE(QSize(viewer->subImage().width(), viewer->subImage().height()), size);
        QVERIFY(QTest::qWaitForWindowExposed(viewer));
        QCOMPARE(viewer->windowHandle()->title(), pics_.path() + "/" + shown);
        QGuiApplication::clipboard()->clear();
        QTest::keyClick(viewer, Qt::Key_C);
        QCOMPARE(QGuiApplication::clipboard()->image().size(), size);
        closeAllSubViewers();
        QGuiApplication::clipboard()->clear();
        w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        w.grid()->setFocus();
        QTest::keyClick(w.grid(), Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->image().size(), size);

        // "Open with" hands the desktop a URL of the file's bytes.
        UrlSink sink;
        QDesktopServices::setUrlHandler(QStringLiteral("file"), &sink, "openUrl");
        QTest::keyClick(w.grid(), Qt::Key_K);
        QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
        QVERIFY(!sink.urls.isEmpty());
        for (const QUrl& url : sink.urls)
            QCOMPARE(QByteArray::fromPercentEncoding(url.toEncoded()).toStdString(), "file://" + file);

        // Properties of the previewed file (no file manager answers here): its own size.
        QTest::mouseClick(w.previewPane(), Qt::RightButton, {}, QPoint(2, 2));
        QTRY_VERIFY(w.previewPopup()->isVisible());
        QTest::keyClick(w.previewPopup(), Qt::Key_P);
        QTRY_VERIFY(boxes.seen > 0);
        QVERIFY2(boxes.text.contains(pics_.path() + "/" + shown), qPrintable(boxes.text));
        struct stat st {};
        QCOMPARE(::stat(file.c_str(), &st), 0);
        QVERIFY2(boxes.text.contains(QLocale().toString(qlonglong(st.st_size)) + " bytes"), qPrintable(boxes.text));
        QCOMPARE(boxes.seen, 1);
    }

    void smallImagesAreEnlargedOnlyWithPictFit() {
        writeImage(pics_.path() + "/small.bmp", 20, 10);
        const auto showSmall = [&] {
            QTest::keyClick(w_->grid(), Qt::Key_R);
            const auto index = w_->fileList().indexOf((pics_.path() + "/small.bmp").toStdString());
            clickCell(*w_, size_t(index));
            return waitPreview(*w_);
        };
        QVERIFY(showSmall());
        QCOMPARE(w_->previewPane()->shownImage().size(), QSize(20, 10));  // own size
        w_.reset();
        std::ofstream(config_.path().toStdString() + "/Korvel.ini") << "[Window]\nPictFitFlg=1\n";
        openWindow();
        QVERIFY(showSmall());
        TKorvelMain& w = *w_;
        const int pw = w.previewScroll()->viewport()->width(), ph = w.previewScroll()->viewport()->height();
        const QSize fitted = double(pw) / 20 >= double(ph) / 10 ? QSize(ph * 20 / 10, ph) : QSize(pw, pw * 10 / 20);
        QCOMPARE(w.previewPane()->shownImage().size(), fitted);
        // Full-size mode draws the image itself, however large the pane.
        QTest::mouseClick(w.toolButton(w.actions().StretchBtn), Qt::LeftButton);
        QVERIFY(w.actions().StretchMenu->isChecked());
        QCOMPARE(w.previewPane()->shownImage().size(), QSize(20, 10));
        QCOMPARE(w.previewPane()->size(), QSize(20, 10));
    }

    void fitArithmetic() {
        TKorvelMain& w = *w_;
        writeImage(pics_.path() + "/wide.bmp", 1000, 10);
        QTest::keyClick(w.grid(), Qt::Key_R);
        const auto index = w.fileList().indexOf((pics_.path() + "/wide.bmp").toStdString());
        QVERIFY(index >= 0);
        clickCell(w, size_t(index));
        QVERIFY(waitPreview(w));
        const int pw = w.previewScroll()->viewport()->width();
        QCOMPARE(w.previewPane()->shownImage().size(), QSize(pw, std::max(1, pw * 10 / 1000)));
    }
};

QTEST_MAIN(GridPreviewTest)
#include "grid_preview_test.moc"
