// The grid and the preview pane on the offscreen platform: marking by mouse and keys, the
// deferred preview load and its status texts, vanished and undecodable files.
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QScrollArea>
#include <QTemporaryDir>
#include <QTimer>
#include <QWindow>
#include <QtTest>
#include <fstream>

#include "app/KorvelMain.h"
#include "fileops/Wallpaper.h"
#include "settings/IniFile.h"
#include "view/SubFrm.h"
#include "view/SubFrmArrange.h"
#include "browse/ui/OrgStGrid.h"
#include "view/PreviewPane.h"
#include "codecs/Bmp.h"
#include "imaging/Bitmap.h"

namespace {

void writeImage(const QString& path, int w, int h) {
    korvel::TBitmap b(w, h, korvel::PixelFormat::pf24bit);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) b.setRawPixel(x, y, uint32_t((x * 7 + y * 3) & 0xFFFFFF));
    std::ofstream out(path.toStdString(), std::ios::binary);
    korvel::writeBmp(b, out);
}

std::vector<size_t> marked(TKorvelMain& w) { return w.markedFiles(); }

void clickCell(TKorvelMain& w, size_t index, Qt::KeyboardModifiers mods = {}, Qt::MouseButton button = Qt::LeftButton) {
    TOrgStGrid* g = w.StringGrid1;
    const korvel::GridCell cell{int(index % size_t(g->colCount())), int(index / size_t(g->colCount()))};
    QTest::mouseClick(g->viewport(), button, mods, g->cellRect(cell).center());
}

bool waitPreview(TKorvelMain& w) {
    return QTest::qWaitFor([&] { return !w.PreviewLoading; }, 3000);
}

}  // namespace

class GridPreviewTest : public QObject {
    Q_OBJECT
    QTemporaryDir config_, pics_;
    std::unique_ptr<TKorvelMain> w_;

private slots:
    void init() {
        qputenv("KORVEL_CONFIG_DIR", config_.path().toUtf8());
        QDir(pics_.path()).removeRecursively();
        QDir().mkpath(pics_.path());
        for (int i = 0; i < 9; ++i) writeImage(pics_.path() + QStringLiteral("/img%1.bmp").arg(i), 64, 48);
        w_ = std::make_unique<TKorvelMain>(QStringList{pics_.path()});
        w_->resize(900, 700);
        w_->show();
        QVERIFY(QTest::qWaitForWindowExposed(w_.get()));
        w_->FormActivate();
        waitPreview(*w_);
    }
    void cleanup() { w_.reset(); }

    void listingMarksTheFirstCell() {
        QCOMPARE(int(w_->FileList.size()), 9);
        QCOMPARE(marked(*w_), std::vector<size_t>{0});
        QVERIFY(w_->StringGrid1->colCount() >= 2);
    }

    void mouseMarkingRules() {
        TKorvelMain& w = *w_;
        clickCell(w, 1);
        QCOMPARE(marked(w), std::vector<size_t>{1});  // a plain click leaves exactly that cell
        clickCell(w, 2, Qt::ControlModifier);
        QCOMPARE(marked(w), (std::vector<size_t>{1, 2}));
        clickCell(w, 1, Qt::ControlModifier);
        QCOMPARE(marked(w), std::vector<size_t>{2});  // Ctrl+click on a marked cell unmarks it
        const int cols = w.StringGrid1->colCount();
        clickCell(w, 0);
        clickCell(w, size_t(cols + 1), Qt::ShiftModifier);  // the block between two clicks
        QCOMPARE(marked(w), (std::vector<size_t>{0, 1, size_t(cols), size_t(cols + 1)}));
        // Right-clicking a marked cell keeps all marks; an unmarked one leaves only itself.
        QTimer::singleShot(50, w.GridPopup, &QMenu::close);
        clickCell(w, 1, {}, Qt::RightButton);
        QCOMPARE(marked(w).size(), size_t(4));
        QTimer::singleShot(50, w.GridPopup, &QMenu::close);
        clickCell(w, 5, {}, Qt::RightButton);
        QCOMPARE(marked(w), std::vector<size_t>{5});
    }

    void previewLoadsAndFillsTheStatusBar() {
        TKorvelMain& w = *w_;
        clickCell(w, 3);
        QVERIFY(w.PreviewLoading || !w.StatusPanels[1]->text().isEmpty());
        QVERIFY(waitPreview(w));
        QCOMPARE(w.StatusPanels[1]->text(), pics_.path() + "/img3.bmp");
        QCOMPARE(w.StatusPanels[2]->text(), QStringLiteral("10KB"));
        QCOMPARE(w.StatusPanels[4]->text(), QStringLiteral("64x48"));
        // Pressing the previewed cell again keeps a turned image turned.
        w.TurnClick(1);
        QCOMPARE(w.PreviewPicture.width(), 48);
        clickCell(w, 3);
        QVERIFY(waitPreview(w));
        QCOMPARE(w.PreviewPicture.width(), 48);
    }

    void arrowKeysWrapAndMark() {
        TKorvelMain& w = *w_;
        const int cols = w.StringGrid1->colCount();
        clickCell(w, size_t(cols - 1));
        waitPreview(w);
        w.StringGrid1->setFocus();
        QTest::keyClick(w.StringGrid1, Qt::Key_Right);
        QCOMPARE(marked(w), std::vector<size_t>{size_t(cols)});
        QTest::keyClick(w.StringGrid1, Qt::Key_Left);
        QCOMPARE(marked(w), std::vector<size_t>{size_t(cols - 1)});
    }

    void undecodableFileLeavesEmptyPanels() {
        TKorvelMain& w = *w_;
        std::ofstream((pics_.path() + "/img4.bmp").toStdString(), std::ios::trunc) << "not a bitmap at all";
        clickCell(w, 4);
        QVERIFY(waitPreview(w));
        for (int i = 1; i <= 4; ++i) QVERIFY(w.StatusPanels[i]->text().isEmpty());
        QVERIFY(!w.PreviewPicture.graphic());
    }

    void vanishedFileIsReportedAndPruned() {
        TKorvelMain& w = *w_;
        QFile::remove(pics_.path() + "/img6.bmp");
        QString shownText;
        QTimer::singleShot(100, &w, [&] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                shownText = box->windowTitle() + "|" + box->text();
                box->accept();
            }
        });
        clickCell(w, 6);
        QCOMPARE(shownText, QStringLiteral("FileNotFound|選択したファイルは見つかりませんでした。"));
        QCOMPARE(int(w.FileList.size()), 8);
    }

    void doubleClickOpensAViewerPerMarkedFile() {
        TKorvelMain& w = *w_;
        closeAllSubViewers();
        QCoreApplication::processEvents();
        clickCell(w, 1);
        clickCell(w, 2, Qt::ControlModifier);
        QCursor::setPos(w.StringGrid1->viewport()->mapToGlobal(w.StringGrid1->cellRect({1, 0}).center()));
        w.StringGrid1DblClick();
        QCOMPARE(openSubViewers().size(), 2);
        for (TKorvelSubFrm* v : openSubViewers()) QCOMPARE(v->windowHandle()->transientParent(), w.windowHandle());
        closeAllSubViewers();
    }

    void wallpaperFromTheFirstMarkedFile() {
        TKorvelMain& w = *w_;
        QTemporaryDir data;
        qputenv("XDG_DATA_HOME", data.path().toUtf8());
        clickCell(w, 2);
        waitPreview(w);
        w.action("Wall_Tile1")->trigger();
        const std::string file = korvel::wallpaperFilePath();
        QVERIFY(QFileInfo::exists(QString::fromStdString(file)));
        const korvel::IniFile reg = korvel::IniFile::load((config_.path() + "/registry.ini").toStdString());
        QCOMPARE(reg.readString(korvel::kDesktopRegistryKey, "TileWallPaper", ""), std::string("1"));
        w.action("Wall_Fit2")->trigger();  // the preview as shown
        QCOMPARE(korvel::IniFile::load((config_.path() + "/registry.ini").toStdString())
                     .readString(korvel::kDesktopRegistryKey, "TileWallPaper", ""),
                 std::string("0"));
    }

    void smallImagesAreEnlargedOnlyWithPictFit() {
        TKorvelMain& w = *w_;
        writeImage(pics_.path() + "/small.bmp", 20, 10);
        w.Refresh1Click();
        const auto index = w.FileList.indexOf((pics_.path() + "/small.bmp").toStdString());
        clickCell(w, size_t(index));
        QVERIFY(waitPreview(w));
        QCOMPARE(w.PaintBox1->shownImage().size(), QSize(20, 10));  // own size
        w.PictFitFlg = true;
        w.LayoutPreview();
        const int pw = w.ScrollBox1->viewport()->width(), ph = w.ScrollBox1->viewport()->height();
        const QSize fitted = double(pw) / 20 >= double(ph) / 10 ? QSize(ph * 20 / 10, ph) : QSize(pw, pw * 10 / 20);
        QCOMPARE(w.PaintBox1->shownImage().size(), fitted);
        // Full-size mode draws the image itself, however large the pane.
        w.action("StretchBtn")->setChecked(true);
        w.StretchBtnClick();
        QCOMPARE(w.PaintBox1->shownImage().size(), QSize(20, 10));
        QCOMPARE(w.PaintBox1->size(), QSize(20, 10));
    }

    void fitArithmetic() {
        TKorvelMain& w = *w_;
        writeImage(pics_.path() + "/wide.bmp", 1000, 10);
        w.Refresh1Click();
        const auto index = w.FileList.indexOf((pics_.path() + "/wide.bmp").toStdString());
        QVERIFY(index >= 0);
        clickCell(w, size_t(index));
        QVERIFY(waitPreview(w));
        const int pw = w.ScrollBox1->viewport()->width();
        QCOMPARE(w.PreviewFitBitmap.width(), pw);
        QCOMPARE(w.PreviewFitBitmap.height(), std::max(1, pw * 10 / 1000));
    }
};

QTEST_MAIN(GridPreviewTest)
#include "grid_preview_test.moc"
