// The grid, the preview pane and the folder menu driven by mouse and keys: each command is
// reached once from where the user starts it, and the files on disk are checked after it.
#include <unistd.h>

#include <filesystem>
#include <future>
#include <mutex>

#include <QClipboard>
#include <QComboBox>
#include <QDesktopServices>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QProgressBar>
#include <QProgressDialog>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QSplitter>
#include <QTemporaryDir>
#include <QToolTip>
#include <QToolButton>

#include "settings/RegistrySettings.h"
#include "base/IniFile.h"
#include "base/UserFolders.h"
#include "browse/GridModel.h"
#include "codecs/Png.h"
#include "fileops/ui/NumberFrm.h"
#include "fileops/ui/OpCopyFrm.h"
#include "fileops/ui/RNameFrm.h"
#include "fileops/ui/SelectDir.h"
#include "fileops/WallpaperBitmap.h"
#include "formats/Picture.h"
#include "platform/JobRunner.h"
#include "tests/support/FaultyFileSystem.h"
#include "tests/support/GridWindow.h"
#include "tests/support/PhotoSamples.h"
#include "tests/support/TempTree.h"
#include "tests/support/UiSupport.h"
#include "view/PreviewPane.h"
#include "view/SubFrm.h"
#include "view/SubFrmArrange.h"

using namespace korvel::testing;

namespace {

bool isInk(QRgb c) { return qRed(c) < 110 && qGreen(c) < 110 && qBlue(c) < 110; }
bool isGreen(QRgb c) { return qGreen(c) > 200 && qRed(c) < 60 && qBlue(c) < 60; }

int countIn(const QImage& img, const QRect& r, bool (*is)(QRgb) = isInk) {
    int n = 0;
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x) n += is(img.pixel(x, y));
    return n;
}

constexpr int kSources = 6, kFiles = 360;
const QRgb kColours[kSources] = {0xD01010, 0x10A020, 0x2030E0, 0xE0C000, 0x8000A0, 0x00A0A0};

// The colour at the centre of each fully visible cell's thumbnail box, as last painted on screen,
// against its file's colour; "" when all match.
QString thumbMismatch(TKorvelMain& w) {
    const QImage shot = w.screen()->grabWindow(w.winId()).toImage();
    TOrgStGrid* g = grid(w);
    for (int row = g->topRow(); row < g->topRow() + g->visibleRowCount(); ++row)
        for (int col = 0; col < g->colCount(); ++col) {
            const size_t index = size_t(row) * size_t(g->colCount()) + size_t(col);
            if (index >= w.fileList().size()) continue;
            const QRect r = g->cellRect({col, row});
            const QPoint p = g->viewport()->mapTo(&w, r.topLeft() + QPoint(2 + g->defaultSize() / 2, 40));
            const QRgb got = shot.pixel(p) & 0xFFFFFF, want = kColours[index % kSources];
            if (got != want)
                return QStringLiteral("cell %1: %2, not %3").arg(index).arg(got, 6, 16).arg(want, 6, 16);
        }
    return {};
}

const char* const kNames[] = {"a.bmp", "b.bmp", "c.bmp", "d.bmp", "e.bmp"};

const QString kExists = QStringLiteral("指定したフォルダは既に存在します。");
// The failures of the rows below ("../out" leaves the folder; a file is named "notes"), each with its reason.
const QString kCannotCreate = QStringLiteral("フォルダを作成出来ませんでした。\n名前が正しくありません");
const QString kCannotRename = QStringLiteral("フォルダ名を変更出来ませんでした。\n同じ名前のファイルが既にあります");

bool exists(const std::string& path) { return ::access(path.c_str(), F_OK) == 0; }

// A step that types text into the name edit of a dialog of class cls (replacing it; "<keep>" types
// nothing) and presses OK, or Cancel for "<cancel>". Given okFocused, it presses Enter in the edit
// instead, notes whether the focus went to OK (BitBtn1), and presses Enter again.
ModalScript::Step typeAndPress(const char* cls, const QString& text, bool* okFocused = nullptr) {
    return {cls, [=](QWidget* d) {
                auto* edit = d->findChild<QLineEdit*>();
                if (text != "<keep>" && text != "<cancel>") {
                    edit->selectAll();
                    if (text.isEmpty()) QTest::keyClick(edit, Qt::Key_Backspace);
                    else QTest::keyClicks(edit, text);
                }
                if (!okFocused)
                    return QTest::mouseClick(d->findChildren<QPushButton*>()[text == "<cancel>" ? 1 : 0],
                                             Qt::LeftButton);
                QTest::keyClick(edit, Qt::Key_Return);
                *okFocused =
                    d->isVisible() && QApplication::focusWidget() == d->findChild<QPushButton*>("BitBtn1");
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
            }};
}

// Holds every source the job opens under root inside the file system until opened, counting the
// opens per name. Also when a check returns early, the held job leaves the gate and ends with the
// window before what it uses goes.
struct Gate {
    std::unique_ptr<TKorvelMain>& window;
    std::promise<void> promise;
    std::shared_future<void> future = promise.get_future().share();
    bool opened = false;
    std::atomic<bool> held{false};
    std::mutex m;
    std::map<std::string, int> reads;
    korvel::testing::FaultyFileSystem fs;
    Gate(std::unique_ptr<TKorvelMain>& w, const std::string& root) : window(w) {
        fs.fault = [this, root](const std::string& call, const std::string& path) {
            if (call != "open" || path.rfind(root, 0) != 0) return 0;
            {
                std::lock_guard lock(m);
                ++reads[path.substr(root.size())];
            }
            held = true;
            future.wait();
            return 0;
        };
        window->findChild<FileCommands*>()->fileSystem = &fs;
    }
    void open() {
        if (!std::exchange(opened, true)) promise.set_value();
    }
    ~Gate() {
        open();
        window.reset();
    }
};

}  // namespace

class GridWindowTest : public QObject {
    Q_OBJECT
    QTemporaryDir config_, pics_;
    std::unique_ptr<TKorvelMain> w_;
    QList<QUrl> opened_;  // what the desktop's file opener was handed

    QString pic(const QString& name) const { return pics_.path() + "/" + name; }
    QString img(int i) const { return pic(QStringLiteral("img%1.bmp").arg(i, 2, 10, QChar('0'))); }
    // files pictures img00 … in a fresh folder (and sub/ for going back), the window shown on it.
    bool open(int files, const std::string& ini = "") {
        w_.reset();
        writeFile(config_.path().toStdString() + "/Korvel.ini", ini);
        std::filesystem::remove_all(
            QFile::encodeName(pics_.path()).toStdString());  // QDir cannot name every file
        QDir().mkpath(pics_.path() + "/sub");
        for (int i = 0; i < files; ++i) writePatternBmp(img(i).toStdString(), 64, 48);
        writeSolidBmp(pic("sub/other.bmp"), 8, 8);
        w_ = std::make_unique<TKorvelMain>(std::vector{pics_.path().toStdString()});
        if (!showReady(*w_)) return false;
        grid(*w_)->setFocus();
        return true;
    }
    // Lists the folder again (R) and previews the file at path (bytes).
    bool preview(const std::string& path) {
        QTest::keyClick(grid(*w_), Qt::Key_R);
        const auto index = w_->fileList().indexOf(path);
        if (index < 0) return false;
        clickCell(*w_, size_t(index));
        return waitPreview(*w_);
    }

    std::unique_ptr<TempTree> tree_;
    std::vector<std::string> original_ = std::vector<std::string>(5);
    // No window, these folders in a new tree, and its data/ as the user's data folder (the Trash).
    void freshTree(std::initializer_list<const char*> folders) {
        w_.reset();
        tree_ = std::make_unique<TempTree>();
        for (const char* f : folders) tree_->folder(f);
        qputenv("XDG_DATA_HOME", QByteArray::fromStdString(*tree_ / "data"));
    }

    std::string pics(const std::string& name = "") const { return *tree_ / ("pics/" + name); }

    // Five pictures a … e in pics/, the window showing them with b and c marked (c current);
    // the third quick-folder button bound to quick (relative to the tree) when it is given.
    bool openWindow(const std::string& quick = "") {
        freshTree({"pics", "dst", "data/Trash/files", "data/Trash/info"});
        if (!quick.empty()) writeFile(config_.path().toStdString() + "/Korvel.ini", "[QFolder]\nFolder3=" + *tree_ / quick + "\n");
        for (int i = 0; i < 5; ++i) {
            writePatternBmp(pics(kNames[i]), 8 + i, 6);
            original_[i] = readFile(pics(kNames[i]));
        }
        w_ = std::make_unique<TKorvelMain>(std::vector{pics()});
        if (!showReady(*w_)) return false;
        // Every folder a case drops on gets a node, then the pictures are shown again.
        for (const char* f : {"data/Trash/files/", "dst/", "pics/"})
            if (!dirTree(*w_)->SelectPath(*tree_ / f)) return false;
        if (!waitPreview(*w_)) return false;
        clickCell(*w_, 1);
        clickCell(*w_, 2, Qt::ControlModifier);
        return waitPreview(*w_) && w_->markedFiles() == std::vector<size_t>{1, 2};
    }

    // The files of folder as filesIn() in GridWindow.h puts them, for "" the grid's list.
    std::string filesIn(const std::string& folder = "") const {
        return korvel::testing::filesIn(*w_, folder, original_);
    }

    // Drops b and c on the node of folder (relative to the tree) and copies them there.
    bool copyByDropOn(const std::string& folder) {
        TDirTree* t = dirTree(*w_);
        if (!dragCellTo(*w_, 2, t->viewport(), nodePoint(t, t->FindNode(*tree_ / folder)))) return false;
        pickFromMenu(targetPopup(*w_), w_->actions().Copy1);
        return true;
    }

    // Photos (a.bmp, 2020/b.bmp), Other and a file "notes" in f/, the window on f/shown.
    std::string at(const std::string& rel) const { return *tree_ / ("f/" + rel); }
    bool openFolders(const std::string& shown) {
        freshTree({"f/Photos/2020", "f/Other", "data/Trash/files"});
        writeSolidBmp(QString::fromStdString(at("Photos/a.bmp")), 4, 4);
        writeSolidBmp(QString::fromStdString(at("Photos/2020/b.bmp")), 4, 4);
        tree_->write("f/notes", "text");
        w_ = std::make_unique<TKorvelMain>(std::vector{at(shown)});
        w_->show();
        return QTest::qWaitForWindowExposed(w_.get());
    }

public slots:
    void openUrl(const QUrl& url) { opened_ << url; }

private slots:
    void init() {
        qputenv("KORVEL_CONFIG_DIR", config_.path().toUtf8());
        QDesktopServices::setUrlHandler(QStringLiteral("file"), this, "openUrl");
        opened_.clear();
    }
    void cleanup() {
        closeAllSubViewers();
        w_.reset();
        tree_.reset();
        QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    }

    // Clicks and arrow keys reach the marking rules (a click, Shift+click for a block, Shift+arrow
    // from the anchor, a plain arrow that moves the preview), and the preview fills the status bar.
    void markingAndPreview() {
        QVERIFY(open(20));
        TKorvelMain& w = *w_;
        QCOMPARE(w.markedFiles(), std::vector<size_t>{0});  // the listing marks the first cell
        const size_t cols = size_t(grid(w)->colCount());
        QVERIFY(cols >= 4);
        using V = std::vector<size_t>;
        clickCell(w, cols + 1, Qt::ShiftModifier);
        QCOMPARE(w.markedFiles(), (V{0, 1, cols, cols + 1}));
        clickCell(w, 1);
        QCOMPARE(w.markedFiles(), V{1});
        QTest::keyClick(grid(w), Qt::Key_Right, Qt::ShiftModifier);
        QCOMPARE(w.markedFiles(), (V{1, 2}));
        QTest::keyClick(grid(w), Qt::Key_Right);
        QCOMPARE(w.markedFiles(), V{3});
        QVERIFY(waitPreview(w));
        QCOMPARE(previewPanels(w), img(3) + "|10KB|t|64x48");
        // Pressing the previewed cell again keeps a turned image turned.
        w.actions().Turn1->trigger();
        clickCell(w, 3);
        QVERIFY(waitPreview(w));
        QCOMPARE(w.preview().graphic()->width(), 48);
        // A cell clicked while the preview still decodes is the one previewed in the end.
        clickCell(w, 5);
        QVERIFY(w.preview().loading());
        clickCell(w, 6);
        QVERIFY(waitPreview(w));
        QCOMPARE(previewPanels(w), img(6) + "|10KB|t|64x48");
        QCOMPARE(QString::fromStdString(w.preview().path()), img(6));
    }

    // One press is one action, however far the key travels up the window's widgets; a held key
    // repeats only Enter; F keys act on release; letters typed into the history box stay there.
    // Enter and S open viewers when the grid has the keyboard, wherever the pointer is; with the
    // keyboard elsewhere they still need the pointer on a cell.
    void eachKeyActsOnce() {
        enum How { Click, HeldDown, PressOnly, InHistoryBox, PointerAway, InTree, InTreePointerAway };
        struct Row {
            const char* name;
            Qt::Key key;
            Qt::KeyboardModifiers mods;
            How how;
            int marked, viewers, listings, opened, clips, popups;
        } rows[] = {
            {"Enter", Qt::Key_Return, {}, Click, 1, 1, 0, 0, 0, 0},
            {"S, two marked", Qt::Key_S, {}, Click, 2, 2, 0, 0, 0, 0},
            {"Shift+Enter", Qt::Key_Return, Qt::ShiftModifier, Click, 1, 0, 0, 1, 0, 0},
            {"K", Qt::Key_K, {}, Click, 2, 0, 0, 2, 0, 0},
            {"Ctrl+K", Qt::Key_K, Qt::ControlModifier, Click, 1, 0, 0, 1, 0, 0},
            {"R", Qt::Key_R, {}, Click, 1, 0, 1, 0, 0, 0},
            {"B", Qt::Key_B, {}, Click, 1, 0, 1, 0, 0, 0},
            {"Ctrl+C", Qt::Key_C, Qt::ControlModifier, Click, 1, 0, 0, 0, 1, 0},
            {"C", Qt::Key_C, {}, Click, 1, 0, 0, 0, 0, 0},
            {"F3", Qt::Key_F3, {}, Click, 1, 0, 0, 0, 0, 1},
            {"F3 down only", Qt::Key_F3, {}, PressOnly, 1, 0, 0, 0, 0, 0},
            {"Enter held", Qt::Key_Return, {}, HeldDown, 1, 2, 0, 0, 0, 0},
            {"Shift+Enter held", Qt::Key_Return, Qt::ShiftModifier, HeldDown, 1, 0, 0, 2, 0, 0},
            {"S held", Qt::Key_S, {}, HeldDown, 1, 1, 0, 0, 0, 0},
            {"R held", Qt::Key_R, {}, HeldDown, 1, 0, 1, 0, 0, 0},
            {"R in the history box", Qt::Key_R, {}, InHistoryBox, 1, 0, 0, 0, 0, 0},
            {"S, pointer away", Qt::Key_S, {}, PointerAway, 2, 2, 0, 0, 0, 0},
            {"keypad Enter, tree focused", Qt::Key_Enter, {}, InTree, 2, 2, 0, 0, 0, 0},
            {"S, tree focused, pointer away", Qt::Key_S, {}, InTreePointerAway, 2, 0, 0, 0, 0, 0},
        };
        for (const Row& r : rows) {
            // B goes back to the stored folder, F3 offers it as the third quick folder.
            const std::string sub = pic("sub/").toStdString();
            QVERIFY2(open(9, "[History]\nPath0=" + sub + "\n[QFolder]\nFolder3=" + sub + "\n"), r.name);
            TKorvelMain& w = *w_;
            opened_.clear();
            if (r.marked == 2) clickCell(w, 1, Qt::ControlModifier);
            if (r.how == PointerAway || r.how == InTreePointerAway) QCursor::setPos(w.mapToGlobal(QPoint(-40, -40)));
            else pointAtCell(w, 0);
            QSignalSpy listings(&w, &TKorvelMain::folderListed);
            QSignalSpy clips(QApplication::clipboard(), &QClipboard::dataChanged);
            QSignalSpy popups(targetPopup(w), &QMenu::aboutToShow);
            QTimer::singleShot(100, targetPopup(w), &QMenu::close);
            QWidget* target = grid(w);
            if (r.how == InHistoryBox) target = historyBox(w)->lineEdit();
            if (r.how == InTree || r.how == InTreePointerAway) target = dirTree(w);
            target->setFocus();
            const QWidget* focused = QApplication::focusWidget();
            QVERIFY2((focused == grid(w) || grid(w)->isAncestorOf(focused)) == (target == grid(w)), r.name);
            if (r.how == HeldDown) {
                // The first press, then one the keyboard repeats, then the release.
                for (const bool repeat : {false, true}) {
                    QKeyEvent down(QEvent::KeyPress, r.key, r.mods, QString(), repeat);
                    QApplication::sendEvent(target, &down);
                }
                QKeyEvent up(QEvent::KeyRelease, r.key, r.mods);
                QApplication::sendEvent(target, &up);
            } else if (r.how == PressOnly) {
                QTest::keyPress(target, r.key, r.mods);
            } else {
                QTest::keyClick(target, r.key, r.mods);
            }
            QCoreApplication::processEvents();
            const int got[] = {int(openSubViewers().size()), int(listings.count()), int(opened_.size()),
                               int(clips.count()), int(popups.count())};
            const int want[] = {r.viewers, r.listings, r.opened, r.clips, r.popups};
            QVERIFY2(std::equal(got, got + 5, want), r.name);
            // A viewer from the grid belongs to the main window on the desktop.
            for (TKorvelSubFrm* v : openSubViewers())
                QCOMPARE(v->windowHandle()->transientParent(), w.windowHandle());
            closeAllSubViewers();
            if (r.how == PressOnly) QTest::keyRelease(target, r.key, r.mods);
        }
    }

    // The preview's settings reach it and a viewer: a phone photo stored on its side (EXIF
    // orientation 6) is turned unless [Window] ExifRotate is off, and the file is left as it was;
    // a small picture keeps its own size unless PictFitFlg fits it to the pane, and the full-size
    // button draws it at its own size again.
    void previewSettings() {
        for (const bool byDefault : {true, false}) {
            const RowTrace trace{byDefault ? "default settings" : "no turn, fit"};
            QVERIFY(open(9, byDefault ? "" : "[Window]\nExifRotate=0\nPictFitFlg=1\n"));
            const std::string path = pic("photo.jpg").toStdString(), small = pic("small.bmp").toStdString();
            writeFile(path,
                      withJpegSegment(encodedJpeg(korvel::TBitmap(48, 64, korvel::PixelFormat::pf24bit)),
                                      0xE1, exifApp1(6, true)));
            writePatternBmp(small, 20, 10);
            const std::string before = readFile(path);
            const int wide = byDefault ? 64 : 48;
            TKorvelMain& w = *w_;
            QVERIFY(preview(path));
            QCOMPARE(w.statusText(StatusPanel::ImageSize), QStringLiteral("%1x%2").arg(wide).arg(112 - wide));
            pointAtCell(w, 9);
            QTest::keyClick(grid(w), Qt::Key_S);
            QCOMPARE(openSubViewers().size(), 1);
            QCOMPARE(QSize(w.preview().graphic()->width(), openSubViewers()[0]->subImage().width()),
                     QSize(wide, wide));
            closeAllSubViewers();
            QCOMPARE(readFile(path), before);

            QVERIFY(preview(small));
            const QSize shown = previewPane(w)->shownImage().size(),
                        pane = previewScroll(w)->viewport()->size();
            QCOMPARE(shown == QSize(20, 10), byDefault);  // its own size unless fitted
            if (byDefault) continue;
            QVERIFY2(shown.width() == pane.width() || shown.height() == pane.height(), "fits the pane");
            QTest::mouseClick(w.toolButton(w.actions().StretchBtn), Qt::LeftButton);
            QVERIFY(w.actions().StretchMenu->isChecked());
            QCOMPARE(previewPane(w)->shownImage().size(), QSize(20, 10));
            QCOMPARE(previewPane(w)->size(), QSize(20, 10));
        }
    }

    // At its own size a picture larger than the pane follows a left drag: the pixel under the
    // pointer stays under it.
    void fullSizePreviewFollowsTheDrag() {
        QVERIFY(open(1));
        const std::string big = pic("big.bmp").toStdString();
        writePatternBmp(big, 1200, 900);
        QVERIFY(preview(big));
        TKorvelMain& w = *w_;
        auto* pane = previewPane(w);
        const auto* scroll = previewScroll(w);
        QTest::mouseClick(w.toolButton(w.actions().StretchBtn), Qt::LeftButton);
        QCOMPARE(pane->size(), QSize(1200, 900));
        QTest::mousePress(pane, Qt::LeftButton, {}, QPoint(300, 200));
        QTest::mouseMove(pane, QPoint(250, 170));
        QTest::mouseRelease(pane, Qt::LeftButton, {}, QPoint(250, 170));
        QCOMPARE(QPoint(scroll->horizontalScrollBar()->value(), scroll->verticalScrollBar()->value()), QPoint(50, 30));
    }

    void vanishedFileIsReportedAndPruned() {
        for (const bool byResize : {false, true}) {
            const RowTrace trace{byResize ? "by a resize" : "by a click"};
            QVERIFY(open(9));
            TKorvelMain& w = *w_;
            if (byResize) clickCell(w, 6);
            QVERIFY(waitPreview(w));
            QFile::remove(img(6));
            MessageBoxCatcher box;
            bool resizing = false, boxInsideResize = false;
            box.onBox = [&] { boxInsideResize = resizing; };
            // The layout of a resize asks for the preview again; its report must wait until the
            // resize event is over, and pruning the list afterwards must leave a working grid.
            resizing = byResize;
            QSplitter* split = gridSplitter(w);
            if (byResize) split->resize(split->width() + 3, split->height() + 2);
            else clickCell(w, 6);
            resizing = false;
            QTRY_COMPARE(int(w.fileList().size()), 8);
            QCOMPARE(box.title + "|" + box.text, QStringLiteral("FileNotFound|選択したファイルは見つかりませんでした。"));
            w.resize(w.width() - 5, w.height() - 4);
            clickCell(w, 6);  // now img07
            QVERIFY(waitPreview(w));
            QCOMPARE(w.statusText(StatusPanel::Path), img(7));
            QCOMPARE(box.seen, 1);
            QVERIFY(!boxInsideResize);
        }
    }

    // A file whose name lies is shown by its content and panel 4 says what it holds; a refused
    // file's panel 4 names the decoder and why, and its cell carries the same words as tool tip.
    void refusedAndMislabelledFilesSayWhy() {
        QVERIFY(open(2));
        TKorvelMain& w = *w_;
        const std::string lies = pic("lies.gif").toStdString(), broken = pic("broken.png").toStdString();
        writePatternBmp(lies, 20, 10);
        writeFile(broken, std::string(64, 'x'));
        QTest::keyClick(grid(w), Qt::Key_R);
        QVERIFY(waitPreview(w));
        const struct {
            std::string path;
            QString panel;  // a prefix for the refused file: the decoder's own words follow
            bool refused;
        } rows[] = {
            {img(1).toStdString(), "64x48", false},
            {lies, "20x10 BMP (拡張子 .gif)", false},
            {broken, "PNG Format: ファイルが壊れています (", true},
        };
        // The reason as the cell's tool tip, asked for by a help event over the cell.
        auto tipOf = [&](size_t index) {
            QToolTip::hideText();
            const QPoint at = grid(w)->cellRect(cellOf(w, index)).center();
            QHelpEvent help(QEvent::ToolTip, at, grid(w)->viewport()->mapToGlobal(at));
            QApplication::sendEvent(grid(w)->viewport(), &help);
            return QToolTip::isVisible() ? QToolTip::text() : QString();
        };
        for (const auto& r : rows) {
            const RowTrace trace{r.path.c_str()};
            const auto index = w.fileList().indexOf(r.path);
            QVERIFY(index >= 0);
            clickCell(w, size_t(index));
            QVERIFY(waitPreview(w));
            const QString shown = r.refused ? QString() : QString::fromStdString(r.path);
            QTRY_COMPARE(w.statusText(StatusPanel::Path) + "|" + w.statusText(StatusPanel::ImageSize).left(r.panel.size()),
                         shown + "|" + r.panel);
            const QString panel = w.statusText(StatusPanel::ImageSize);
            QVERIFY2(r.refused ? panel.endsWith(")") : panel == r.panel, qPrintable(panel));
            // A refused file leaves the file's panels empty and no picture behind.
            QCOMPARE(previewPanels(w).section('|', 0, 2) == "||", r.refused);
            QCOMPARE(w.preview().graphic() != nullptr, !r.refused);
            grid(w)->viewport()->repaint();
            if (r.refused) QTRY_COMPARE(tipOf(size_t(index)), panel);
            else QCOMPARE(tipOf(size_t(index)), QString());
        }
        QToolTip::hideText();
    }

    void wallpaperFollowsTheSelectionAsPropertiesDoes() {
        QVERIFY(open(9));
        TKorvelMain& w = *w_;
        QTemporaryDir data;
        qputenv("XDG_DATA_HOME", data.path().toUtf8());
        writePatternBmp(img(3).toStdString(), 30, 20);
        // Current cell on 1, only cell 3 marked: both commands of the grid menu take cell 1.
        clickCell(w, 1);
        waitPreview(w);
        clickCell(w, 3, Qt::ControlModifier);
        clickCell(w, 1, Qt::ControlModifier);
        QCOMPARE(w.markedFiles(), std::vector<size_t>{3});
        clickCell(w, 3, {}, Qt::RightButton);
        QTRY_VERIFY(gridPopup(w)->isVisible());
        QTest::keyClick(gridPopup(w), Qt::Key_W);
        QMenu* wall = w.actions().Wall1->menu();
        QTRY_VERIFY(wall->isVisible());
        QTest::keyClick(wall, Qt::Key_T);  // 並べて表示: the picture at its own size
        korvel::TPicture rendered;
        rendered.loadFromFile(korvel::wallpaperFilePath());
        QCOMPARE(QSize(rendered.width(), rendered.height()), QSize(64, 48));
        const auto tiled = [&] {
            return korvel::IniFile::load((config_.path() + "/registry.ini").toStdString())
                .readString(korvel::kDesktopRegistryKey, "TileWallPaper", "");
        };
        QCOMPARE(tiled(), std::string("1"));
        w.actions().Wall_Fit2->trigger();  // the preview as shown
        QCOMPARE(tiled(), std::string("0"));
    }

    // A name in Shift_JIS bytes (0x5C, the path delimiter of other systems, inside a character)
    // holding Qt's caption placeholder: it previews, opens, copies, goes to the desktop and shows
    // its properties as the same file.
    void anyFileNamePreviewsAndOpens() {
        const QString shownName = QStringLiteral("\\x83\\[*]b[*][*].bmp");
        qputenv("DBUS_SESSION_BUS_ADDRESS", "disabled:");
        QVERIFY(open(0));
        TKorvelMain& w = *w_;
        const std::string file = QFile::encodeName(pics_.path()).toStdString() + "/\x83\x5C[*]b[*][*].bmp";
        writePatternBmp(file, 36, 28);
        MessageBoxCatcher boxes;
        QVERIFY(preview(file));
        QCOMPARE(w.preview().path(), file);
        QCOMPARE(previewPanels(w), pic(shownName) + "|4KB|t|36x28");
        QCOMPARE(previewPane(w)->shownImage().size(), QSize(36, 28));

        // A viewer from the pane: its own decode, the name shown exactly in its caption.
        QTest::mouseDClick(previewPane(w), Qt::LeftButton, {}, QPoint(2, 2));
        QCOMPARE(openSubViewers().size(), 1);
        TKorvelSubFrm* viewer = openSubViewers().front();
        QCOMPARE(QSize(viewer->subImage().width(), viewer->subImage().height()), QSize(36, 28));
        QVERIFY(QTest::qWaitForWindowExposed(viewer));
        QCOMPARE(viewer->windowHandle()->title(), pic(shownName));
        closeAllSubViewers();
        QGuiApplication::clipboard()->clear();
        w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        grid(w)->setFocus();
        QTest::keyClick(grid(w), Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->image().size(), QSize(36, 28));

        // "Open with" hands the desktop a URL of the file's bytes.
        QTest::keyClick(grid(w), Qt::Key_K);
        QCOMPARE(opened_.size(), 1);
        QCOMPARE(QByteArray::fromPercentEncoding(opened_[0].toEncoded()).toStdString(), "file://" + file);

        // Properties of the previewed file (no file manager answers here): its own size.
        QTest::mouseClick(previewPane(w), Qt::RightButton, {}, QPoint(2, 2));
        QTRY_VERIFY(previewPopup(w)->isVisible());
        QTest::keyClick(previewPopup(w), Qt::Key_P);
        QTRY_COMPARE(boxes.seen, 1);
        const QString bytes = QLocale().toString(qlonglong(readFile(file).size())) + " bytes";
        for (const QString& part : {pic(shownName), bytes})
            QVERIFY2(boxes.text.contains(part), qPrintable(boxes.text));
    }

    void resizeKeepsTheCurrentCellInView() {
        QVERIFY(open(30));
        TKorvelMain& w = *w_;
        TOrgStGrid* g = grid(w);
        for (int i = 0; i < 3; ++i) QTest::keyClick(g, Qt::Key_Down);
        QVERIFY(waitPreview(w));
        QCOMPARE(g->selection().row, 3);
        for (int grow : {3, -5, 40}) {
            w.resize(w.width() + grow, w.height() + grow);
            QCoreApplication::processEvents();
            const int row = g->selection().row, top = g->topRow();
            QVERIFY2(row >= top && row < top + std::max(1, g->visibleRowCount()),
                     qPrintable(QStringLiteral("row %1, top %2").arg(row).arg(top)));
        }
    }

    void fileCountFitsItsPanel() {
        QVERIFY(open(0));
        for (int i = 0; i < 1234; ++i) writeSolidBmp(pic(QStringLiteral("f%1.bmp").arg(i)), 1, 1);
        QTest::keyClick(grid(*w_), Qt::Key_R);
        const QLabel* panel = w_->findChild<QLabel*>(QStringLiteral("StatusPanel0"));
        QVERIFY(panel);
        QCOMPARE(panel->text(), QStringLiteral("1,234Files"));
        // A framed label indents its text by half an "x" on the aligned side.
        const QFontMetrics fm(panel->font());
        QVERIFY(fm.horizontalAdvance(panel->text()) + fm.horizontalAdvance(QLatin1Char('x')) / 2 <=
                panel->contentsRect().width());
    }

    // The two info lines of a Japanese name are drawn whole (a taller fallback font draws them)
    // and on their own band, clear of a thumbnail that takes the cell's full height. The info
    // mode button repaints the cells at once.
    void infoTextIsWholeAndClearOfThePicture() {
        for (const int nameView : {0, 1}) {
            const QString name = nameView == 0 ? QStringLiteral("日本語の名前テスト画.bmp") : QStringLiteral("写真.bmp");
            QVERIFY(open(0));
            writeSolidBmp(pic(name), 20, 200, 0x00FF00);  // a full-height green thumbnail
            writeSolidBmp(pic("0.bmp"), 8, 8);            // cell 0 stays marked
            TKorvelMain& w = *w_;
            QTest::keyClick(grid(w), Qt::Key_R);
            if (nameView == 1) {
                struct Counter : QObject {
                    int n = 0;
                    bool eventFilter(QObject*, QEvent* e) override {
                        n += e->type() == QEvent::Paint;
                        return false;
                    }
                } paints;
                QCoreApplication::processEvents();
                grid(w)->viewport()->installEventFilter(&paints);
                QToolButton* button = w.toolButton(w.actions().NameViewBtn);
                QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(4, button->height() / 2));
                QCOMPARE(w.infoMode(), TKorvelMain::InfoMode::FileSize);
                QVERIFY(QTest::qWaitFor([&] { return paints.n > 0; }, 500));
            }
            QCOMPARE(int(w.fileList().size()), 2);
            const QRect cell = grid(w)->cellRect({1, 0});
            const QImage shot = grid(w)->viewport()->grab().toImage();
            // The same text drawn without any bound, at the width the cell gives it.
            const auto size = int32_t(QFileInfo(pic(name)).size());
            const QString text = nameView == 0 ? name
                                               : QString::fromStdString(korvel::formatKiloBytes(size)) +
                                                     QChar::LineSeparator + "( " + name + " )";
            QImage ref(cell.width(), 200, QImage::Format_RGB32);
            ref.fill(Qt::white);
            QPainter p(&ref);
            p.setFont(grid(w)->viewport()->font());
            p.setPen(Qt::black);
            p.drawText(QRect(0, 0, cell.width() - w.infoHeight() / 3 - 1, 200), Qt::TextWrapAnywhere, text);
            p.end();
            const int want = countIn(ref, ref.rect()), got = countIn(shot, cell);
            QVERIFY(want > 0);
            QVERIFY2(std::abs(got - want) <= want / 20,
                     qPrintable(QString("%1 ink pixels, %2 expected").arg(got).arg(want)));
            // No row that carries text shows the picture.
            for (int y = cell.top(); y <= cell.bottom(); ++y) {
                const QRect row(cell.left(), y, cell.width(), 1);
                QVERIFY2(!countIn(shot, row) || !countIn(shot, row, isGreen),
                         qPrintable(QStringLiteral("view %1, row %2").arg(nameView).arg(y - cell.top())));
            }
        }
    }

    // Thumbnails come from worker threads after their cells were first drawn without them: the
    // cells on screen are repainted when they arrive, also after the user scrolled with the keys.
    void cellsAreRepaintedAsThumbnailsArrive() {
        QVERIFY(open(0));
        // Large sources keep the workers busy long enough that the far end is not built yet when
        // the keys get there; the files are hard links, so the folder costs no disk space.
        for (int k = 0; k < kSources; ++k) {
            const QRgb c = kColours[k];
            korvel::TGLDPNG png;
            png.assign(solidBitmap(1600, 1200, korvel::makeColor(qRed(c), qGreen(c), qBlue(c))));
            png.saveToFile(config_.filePath(QStringLiteral("src%1.png").arg(k)).toStdString());
        }
        for (int i = 0; i < kFiles; ++i)
            QVERIFY(::link(config_.filePath(QStringLiteral("src%1.png").arg(i % kSources)).toLocal8Bit(),
                           pic(QStringLiteral("f%1.png").arg(i, 3, 10, QChar('0'))).toLocal8Bit()) == 0);
        w_.reset();
        TKorvelMain w({pics_.path().toStdString()});
        QVERIFY(showReady(w));
        QTRY_COMPARE_WITH_TIMEOUT(thumbMismatch(w), QString(), 20000);
        grid(w)->setFocus();
        for (int i = 0; i < 60 && grid(w)->topRow() + grid(w)->visibleRowCount() < grid(w)->rowCount();
             ++i)
            QTest::keyClick(grid(w), Qt::Key_PageDown);
        QVERIFY(grid(w)->topRow() > 0);
        QTRY_COMPARE_WITH_TIMEOUT(thumbMismatch(w), QString(), 20000);
    }

    // b and c marked, sent by the chooser (a tool button or the grid's menu; type a folder, OK,
    // answer the boxes), by a drop on the tree or a quick-folder button, F3 or the Delete key: the
    // drop menu for a folder, the Trash without a menu.
    void transfers() {
        struct Row {
            const char* name;
            QString how;         // an action's name (CopyBtn, MoveBtn: tool button; Copy3, Move3: grid
                                 // menu), "tree", "button", "F3" or "Delete"
            std::string target;  // relative to the tree
            bool conflict;       // dst/b.bmp holds "old" beforehand
            QString answer;      // the button pressed on every box
            const char* choose;  // the drop menu's item; "" when no menu may open
            const char *here, *there;  // pics/ and the target after, as filesIn() puts them
        } rows[] = {
            {"copy into the shown folder", "CopyBtn", "pics", false, "", "", "a b b_1 c c_1 d e",
             "a b b_1 c c_1 d e"},
            {"move to a new folder", "MoveBtn", "new/deep", false, "はい", "", "a d e", "b c"},
            {"copy by the grid menu, skip the existing", "Copy3", "dst", true, "スキップ(N)", "", "a b c d e",
             "b.bmp=old c"},
            {"move by the grid menu, replace the existing", "Move3", "dst", true, "置き換え(Y)", "", "a d e",
             "b c"},
            {"move, cancel at the conflict", "MoveBtn", "dst", true, "ｷｬﾝｾﾙ", "", "a b c d e", "b.bmp=old"},
            {"tree, move here", "tree", "dst", false, "はい", "Move1", "a d e", "b c"},
            {"quick-folder button, move here", "button", "dst", false, "はい", "Move1", "a d e", "b c"},
            {"F3, copy here", "F3", "dst", false, "はい", "Copy1", "a b c d e", "b c"},
            {"the Trash deletes at once", "tree", "data/Trash/files", false, "はい", "", "a d e", "b c"},
            {"Delete key, No", "Delete", "data/Trash/files", false, "いいえ", "", "a b c d e", ""},
        };
        for (const Row& r : rows) {
            const RowTrace trace{r.name};
            QVERIFY(openWindow(r.target + "/"));
            TKorvelMain& w = *w_;
            const std::string folder = *tree_ / (r.target + "/");
            if (r.conflict) tree_->write("dst/b.bmp", "old");
            QToolButton* button = quickFolderButton(w, 2);
            MessageBoxCatcher boxes;
            boxes.press = r.answer;
            ModalScript chooser;
            chooser.on<TSelectDir>([&](TSelectDir& d, int) {
                d.DirCombo->lineEdit()->clear();
                QTest::keyClicks(d.DirCombo->lineEdit(), QString::fromStdString(*tree_ / r.target));
                QTest::mouseClick(d.OKBtn, Qt::LeftButton);
            });
            QSignalSpy popups(targetPopup(w), &QMenu::aboutToShow);
            QAction* action = w.findChild<QAction*>(r.how);
            if (r.how == "tree") {
                TDirTree* t = dirTree(w);
                QTreeWidgetItem* node = t->FindNode(folder);
                QVERIFY(dragCellTo(w, 2, t->viewport(), nodePoint(t, node)));
                QCOMPARE(w.markedFiles(), (std::vector<size_t>{1, 2}));
            } else if (r.how == "button") {
                QVERIFY(dragCellTo(w, 2, button, button->rect().center()));
            } else if (r.how.endsWith("Btn")) {
                QTest::mouseClick(w.toolButton(action), Qt::LeftButton);
            } else if (action) {
                clickCell(w, 1, {}, Qt::RightButton);  // a marked cell keeps the marks
                pickFromMenu(gridPopup(w), action);
            } else {
                QTest::keyClick(grid(w), r.how == "F3" ? Qt::Key_F3 : Qt::Key_Delete);
            }
            QCOMPARE(chooser.seen, action ? 1 : 0);
            if (*r.choose) {
                QTRY_VERIFY(targetPopup(w)->isVisible());
                QCOMPARE(w.actions().TargetPath1->text(), QString::fromStdString(folder));
                pickFromMenu(targetPopup(w), targetPopup(w)->findChild<QAction*>(r.choose));
                QCOMPARE(boxes.seen, 0);
            } else if (!action) {
                QTRY_COMPARE(boxes.seen, 1);  // the Trash question
                QCOMPARE(boxes.title, QStringLiteral("削除の確認"));
                QCOMPARE(popups.count(), 0);
            }
            if (r.target == "new/deep")
                QCOMPARE(boxes.texts.value(0),
                         QString::fromStdString(*tree_ / "new/deep") + " は存在しません。作成しますか？");
            QTRY_VERIFY(w.actions().Refresh1->isEnabled());  // no file job runs any more
            QTRY_COMPARE(filesIn(pics()), std::string(r.here));
            QCOMPARE(filesIn(folder), std::string(r.there));
            QTRY_COMPARE(filesIn(), std::string(r.here));  // the grid lists the shown folder once the job ended
            if (r.here == std::string("a d e")) {  // after a move the current cell is the one marked
                const korvel::GridCell cur = grid(w)->selection();
                QCOMPARE(w.markedFiles(), std::vector{size_t(cur.row * grid(w)->colCount() + cur.col)});
                QVERIFY(w.actions().CopyBtn->isEnabled());
            }
        }
    }

    // While a copy job is held inside its first file: Delete on the grid, a drop on a tree node and
    // a click on another folder start nothing. The click's listing waits for the job and comes
    // after it; every source and every copy is whole, and each source was read once.
    void nothingReentersWhileACopyRuns() {
        QVERIFY(openWindow());
        TKorvelMain& w = *w_;
        w.findChild<JobRunner*>()->progressDelayMs = 3600 * 1000;  // the window stays clickable
        Gate gate(w_, pics());
        MessageBoxCatcher boxes;
        QVERIFY(copyByDropOn("dst/"));
        QTRY_VERIFY(gate.held.load());
        TDirTree* t = dirTree(w);
        QVERIFY(!w.actions().Delete1->isEnabled() && !w.actions().Refresh1->isEnabled());

        QSignalSpy popups(targetPopup(w), &QMenu::aboutToShow);
        QTest::keyClick(grid(w), Qt::Key_Delete);
        QVERIFY(!dragCellTo(w, 2, t->viewport(), nodePoint(t, t->FindNode(*tree_ / "data/Trash/files/"))));
        QTest::mouseClick(t->viewport(), Qt::LeftButton, {}, nodePoint(t, t->FindNode(*tree_ / "dst/")));
        QTest::qWait(50);  // whatever the events queued would start
        QCOMPARE(boxes.seen, 0);
        QCOMPARE(popups.count(), 0);
        QCOMPARE(t->SelectedPath(), *tree_ / "dst/");
        QCOMPARE(filesIn(), std::string("a b c d e"));  // still the listing of pics/

        gate.open();
        QTRY_VERIFY(w.actions().Refresh1->isEnabled());
        QTRY_COMPARE(filesIn(), std::string("b c"));  // the folder clicked, listed after the job
        QCOMPARE(filesIn(pics()), std::string("a b c d e"));
        QCOMPARE(filesIn(*tree_ / "dst"), std::string("b c"));
        QCOMPARE(tree_->count("data/Trash/files"), 0L);
        QCOMPARE(boxes.seen, 0);
        QCOMPARE(gate.reads, (std::map<std::string, int>{{"b.bmp", 1}, {"c.bmp", 1}}));
    }

    // A target that refuses every file: the first failure is asked with the usual text, and after
    // "以降のエラーを表示しない" one summary lists them all.
    void failuresAfterTheFirstAreListedOnce() {
        QVERIFY(openWindow());
        TKorvelMain& w = *w_;
        const std::string dst = *tree_ / "dst/";
        korvel::testing::FaultyFileSystem fs;
        korvel::testing::inject(fs, dst, {{"open", "", EACCES}});
        w.findChild<FileCommands*>()->fileSystem = &fs;
        MessageBoxCatcher boxes;
        boxes.press = QStringLiteral("以降のエラーを表示しない");
        QVERIFY(copyByDropOn("dst/"));
        QTRY_COMPARE(boxes.seen, 2);
        QTRY_VERIFY(w.actions().Refresh1->isEnabled());
        const QString b = QString::fromStdString(dst + "b.bmp"), c = QString::fromStdString(dst + "c.bmp");
        QCOMPARE(boxes.texts.value(0), b + " を作成出来ませんでした。\nアクセス権がありません");
        QCOMPARE(boxes.texts.value(1), "2 個の項目を処理出来ませんでした。\n" + b + " を作成出来ませんでした。: アクセス権がありません\n" +
                                           c + " を作成出来ませんでした。: アクセス権がありません");
        QCOMPARE(filesIn(dst), std::string());
        QCOMPARE(filesIn(pics()), std::string("a b c d e"));
    }

    // The progress window's ｷｬﾝｾﾙ, pressed while the job is held inside its first file, stops it:
    // no copy and no temporary file is left, every source is whole.
    void progressWindowCancels() {
        QVERIFY(openWindow());
        TKorvelMain& w = *w_;
        w.findChild<JobRunner*>()->progressDelayMs = 0;
        Gate gate(w_, pics());
        QVERIFY(copyByDropOn("dst/"));
        QTRY_VERIFY(gate.held.load());
        QProgressDialog* progress = nullptr;
        QTRY_VERIFY((progress = w.findChild<QProgressDialog*>()) && progress->isVisible());
        QPushButton* cancel = progress->findChild<QPushButton*>();
        QVERIFY(cancel);
        QTest::mouseClick(cancel, Qt::LeftButton);
        gate.open();
        QTRY_VERIFY(w.actions().Refresh1->isEnabled());
        QCOMPARE(filesIn(*tree_ / "dst"), std::string());
        QCOMPARE(filesIn(pics()), std::string("a b c d e"));
    }

    // A question the job waits on is not covered by its progress window: the window's delay
    // counts only work, never the time a question stays open.
    void noProgressWindowOverAQuestion() {
        QVERIFY(openWindow());
        TKorvelMain& w = *w_;
        w.findChild<JobRunner*>()->progressDelayMs = 200;
        clickCell(w, 1);
        QTest::keyClick(grid(w), Qt::Key_Delete);
        QMessageBox* box = nullptr;
        QTRY_VERIFY((box = w.findChild<QMessageBox*>()) && box->isVisible());
        QTest::qWait(400);
        const QProgressDialog* progress = w.findChild<QProgressDialog*>();
        QVERIFY(!progress || !progress->isVisible());
        QTest::keyClick(box, Qt::Key_N);
        QTRY_VERIFY(w.actions().Refresh1->isEnabled());
        QCOMPARE(filesIn(pics()), std::string("a b c d e"));
    }

    // The rename dialogs' answers rename the marked files on disk and replace their paths in the
    // file list in place, so the grid keeps its order. A name is never a way into another folder.
    // The rename dialog opens centred on the screen with its 80 x 80 picture.
    void renameFromTheToolButtons() {
        struct Row {
            const char* name;
            QAction* TKorvelMain::Actions::*button;
            QString typed;
            const char *listed, *onDisk;
            QStringList boxes;
        } rows[] = {
            {"typed name, then stop", &TKorvelMain::Actions::ReNameBtn1, "new", "a new=b c d e", "a c d e new=b", {}},
            {"a slash", &TKorvelMain::Actions::ReNameBtn1, "../dst/x", "a b c d e", "a b c d e",
             {"名前を変更出来ませんでした。\n名前が正しくありません"}},
            {"serial", &TKorvelMain::Actions::NumberRNBtn1, "p\\", "a p01=b p02=c d e", "a d e p01=b p02=c", {}},
        };
        for (const Row& r : rows) {
            const RowTrace trace{r.name};
            QVERIFY(openWindow());
            w_->move(0, 0);
            ModalScript dialogs;
            QStringList placed;
            dialogs.on<TRNameFrm>([&](TRNameFrm& d, int n) {
                const QPoint off = d.frameGeometry().center() - d.screen()->availableGeometry().center();
                const QSize box = d.PaintBox1->parentWidget()->contentsRect().size();  // inside the sunken panel
                placed << QStringLiteral("%1 %2x%3").arg(off.manhattanLength() <= 2).arg(box.width()).arg(box.height());
                if (n == 0) typeInto(d.Edit1, r.typed);
                QTest::mouseClick(n == 0 ? d.OKBtn1 : d.AllCanselBtn, Qt::LeftButton);
            });
            dialogs.on<TNumberFrm>([&](TNumberFrm& d, int) {
                typeInto(d.NameEdit, r.typed);
                QTest::mouseClick(d.OKBtn, Qt::LeftButton);
            });
            dialogs.on<QMessageBox>([](QMessageBox& b, int) { QTest::mouseClick(b.buttons()[0], Qt::LeftButton); });
            QTest::mouseClick(w_->toolButton(w_->actions().*r.button), Qt::LeftButton);
            QCOMPARE(filesIn(), std::string(r.listed));
            QCOMPARE(filesIn(pics()), std::string(r.onDisk));
            QCOMPARE(dialogs.boxTexts, r.boxes);
            QVERIFY(placed.isEmpty() || placed == QStringList({"1 80x80", "1 80x80"}));
        }
    }

    // Extended copy from its tool button into the shown folder, stopped while it runs: the file
    // under way is finished, the dialog still closes with OK, the folder it used is
    // kept, and the grid lists the new copies.
    void extendedCopyStoppedDuringTheRun() {
        QVERIFY(openWindow());
        TKorvelMain& w = *w_;
        clickCell(w, 3, Qt::ControlModifier);
        bool sawRun = false;
        ModalScript driver;
        driver.on<TOpCopyFrm>([&](TOpCopyFrm& d, int) {
            QCOMPARE(d.lists->yesPaths().size(), size_t(3));
            d.DirCombo->lineEdit()->setText(QString::fromStdString(pics()));
            // ｷｬﾝｾﾙ pressed while the first file's progress shows.
            QObject::connect(d.ProgressBar1, &QProgressBar::valueChanged, &d, [&d, &sawRun](int v) {
                if (v != 1) return;
                sawRun = d.running() && !d.OkBtn->isEnabled() && d.CancelBtn->isEnabled();
                QTimer::singleShot(0, &d, [&d] { QTest::mouseClick(d.CancelBtn, Qt::LeftButton); });
            });
            QTest::mouseClick(d.OkBtn, Qt::LeftButton);
        });
        QTest::mouseClick(w.toolButton(w.actions().KCopyBtn), Qt::LeftButton);
        QVERIFY(sawRun);
        // Where the run stops is the batch's rule; the grid lists every copy written.
        QCOMPARE(filesIn(), filesIn(pics()));
        QVERIFY(w.fileList().contains(pics("b_1.bmp")) && entryCount(pics()) < 9);
        const korvel::IniFile ini = korvel::IniFile::load(
            korvel::programSettingsPath(QCoreApplication::applicationFilePath().toStdString()));
        QCOMPARE(ini.readString("OpCopy", "SelectFolder", ""), pics());
    }

    // Which commands the folder menu offers: all three for a folder, only creation for a drive,
    // none for the Trash.
    void folderMenuHidesWhatMakesNoSense() {
        const struct {
            const char* name;
            int kind;             // 0 folder, 1 drive (top-level node), 2 the Trash
            const char* offered;  // create, rename, delete: "+" shown and enabled, "-" hidden
        } rows[] = {{"folder", 0, "+++"}, {"drive", 1, "+--"}, {"trash", 2, "---"}};
        for (const auto& r : rows) {
            const RowTrace trace{r.name};
            QVERIFY(openFolders("Photos"));
            TDirTree* tree = dirTree(*w_);
            if (r.kind == 2) QVERIFY(tree->SelectPath(*tree_ / "data/Trash/files/"));
            rightClickNode(*w_, r.kind == 1 ? tree->topLevelItem(0) : tree->currentItem());
            QTRY_VERIFY(folderPopup(*w_)->isVisible());
            QString offered;
            const auto& a = w_->actions();
            for (QAction* x : {a.CreateDirMenu, a.FRename1, a.DeleteDirMenu})
                offered += x->isVisible() ? (x->isEnabled() ? "+" : "?") : "-";
            QCOMPARE(offered, QString(r.offered));
            folderPopup(*w_)->close();
        }
    }

    // Create and rename from the folder menu: a refused name keeps the dialog open, a failure is
    // reported, Cancel changes nothing, and the tree, the listing and the history follow. A new
    // name is taken by keys: Enter in the name, then Enter on the focused OK.
    void createAndRenameFolder() {
        const struct {
            bool rename;
            QString typed;  // "<keep>": the name offered is accepted unchanged; "<cancel>"
            QString message;
            std::string made;  // the folder made, relative to Photos, or Photos' new name; "" none
        } rows[] = {
            {false, "<keep>", kExists, ""}, {false, "a/b", "", "a/b"}, {false, "../out", kCannotCreate, ""},
            {false, "", "", ""},            {false, "<cancel>", "", ""}, {true, "Trip", "", "Trip"},
            {true, "<keep>", kExists, ""},  {true, "notes", kCannotRename, ""}, {true, "<cancel>", "", ""},
        };
        for (const auto& r : rows) {
            const RowTrace trace{(r.rename ? "rename " : "create ") + r.typed};
            const bool done = !r.made.empty(), renamed = done && r.rename;
            QVERIFY(openFolders("Photos/2020"));  // Photos expanded, 2020 visited
            if (!r.rename) tree_->folder("f/Photos/新しいﾌｫﾙﾀﾞ");        // the name offered is taken
            TDirTree* tree = dirTree(*w_);
            QVERIFY(tree->SelectPath(at("Photos")));
            QTreeWidgetItem* photos = tree->currentItem();
            QTreeWidgetItem* sub = tree->FindNode(at("Photos/2020/"));
            const long before = entryCount(at("Photos"));
            const char* dialog = r.rename ? "TFolderNameInputFrm" : "TInputNameFrm";
            bool focusMoved = false;  // the new name is given by keys
            std::vector steps = {typeAndPress(dialog, r.typed, renamed ? &focusMoved : nullptr)};
            if (!r.message.isEmpty()) steps.push_back(pressBox());
            if (r.message == kExists || r.typed.isEmpty()) steps.push_back(typeAndPress(dialog, "<cancel>"));
            ModalScript script(steps);
            rightClickNode(*w_, photos);
            pickFromMenu(folderPopup(*w_), r.rename ? w_->actions().FRename1 : w_->actions().CreateDirMenu);
            QTRY_VERIFY(script.done());
            QCOMPARE(script.boxTexts, r.message.isEmpty() ? QStringList() : QStringList{r.message});
            QCOMPARE(focusMoved, renamed);
            QCOMPARE(readFile(at("notes")), std::string("text"));
            QVERIFY(!exists(at("out")));
            const std::string now = at(renamed ? r.made : "Photos");
            QVERIFY(exists(now + "/a.bmp") && exists(now + "/2020/b.bmp"));
            QCOMPARE(entryCount(now), before + long(done && !r.rename));
            QCOMPARE(exists(at("Photos")), !renamed);
            // The node keeps its place and children; the listing and the history follow.
            QCOMPARE(photos->text(0), QString::fromStdString(renamed ? r.made : "Photos"));
            QVERIFY(sub && tree->FindNode(now + "/2020/") == sub);
            QCOMPARE(w_->selectedFolder(), now + "/");
            QCOMPARE(int(w_->fileList().size()), 1);
            QCOMPARE(w_->fileList().path(0), now + "/a.bmp");
            if (renamed) QCOMPARE(historyBox(*w_)->itemText(0).toStdString(), now + "/");
            QVERIFY(historyBox(*w_)->findText(QString::fromStdString(now + "/2020/")) >= 0);
            if (r.rename || !done) continue;
            // Every level made gets its node.
            QTreeWidgetItem* node = tree->FindNode(at("Photos/" + r.made + "/"));
            QVERIFY(std::filesystem::is_directory(at("Photos/" + r.made)) && node && !node->isSelected());
            QCOMPARE(node->text(0), QString::fromStdString(r.made).section('/', -1));
        }
    }

    // Delete from the folder menu or by key: Yes sends the folder to the Trash and the tree shows
    // another folder, No keeps it; a drive is never asked about.
    void deleteFolder() {
        const struct {
            const char* name;
            bool byKey, driveRoot, gone;
        } rows[] = {{"menu, yes", false, false, true}, {"menu, no", false, false, false},
                    {"Delete key, yes", true, false, true}, {"Delete key on a drive", true, true, false}};
        for (const auto& r : rows) {
            const RowTrace trace{r.name};
            QVERIFY(openFolders("Photos"));
            TDirTree* tree = dirTree(*w_);
            if (r.driveRoot) tree->setCurrentItem(tree->topLevelItem(0));
            const std::string shown = w_->selectedFolder();
            // Should a drive be asked about, the answer is no.
            ModalScript script({pressBox(r.gone ? QMessageBox::Yes : QMessageBox::No)});
            if (r.byKey) QTest::keyClick(tree, Qt::Key_Delete);
            else rightClickNode(*w_, tree->currentItem());
            if (!r.byKey) pickFromMenu(folderPopup(*w_), w_->actions().DeleteDirMenu);
            QTest::qWait(100);
            QTRY_COMPARE(exists(at("Photos")), !r.gone);
            QCOMPARE(int(script.boxTexts.size()), r.driveRoot ? 0 : 1);
            QCOMPARE(exists(*tree_ / "data/Trash/files/Photos/2020/b.bmp"), r.gone);
            QCOMPARE(tree->FindNode(at("Photos/")) != nullptr, !r.gone);
            QCOMPARE(w_->selectedFolder() == shown, !r.gone);
            QVERIFY(std::filesystem::is_directory(w_->selectedFolder()));
            for (size_t i = 0; r.gone && i < w_->fileList().size(); ++i)  // the grid lists the new one
                QVERIFY(w_->fileList().path(i).rfind(at("Photos/"), 0) != 0);
        }
    }
};

QTEST_MAIN(GridWindowTest)
#include "grid_window_test.moc"
