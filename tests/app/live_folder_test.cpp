// The shown folder and the history box against what other programs do: files written, deleted
// and renamed beside the window reach the grid with the marks, the current file and the scroll
// position kept; a folder typed into the history box opens before the tree has heard of it.
#include <fcntl.h>
#include <unistd.h>

#include <QScrollBar>
#include <QTemporaryDir>
#include <functional>

#include "tests/support/GridWindow.h"
#include "tests/support/TempTree.h"
#include "tests/support/UiSupport.h"

using namespace korvel::testing;

class LiveFolderTest : public QObject {
    Q_OBJECT
    QTemporaryDir config_;
    std::unique_ptr<TempTree> tree_;
    std::unique_ptr<TKorvelMain> w_;

    std::string pics(const std::string& name = "") const { return *tree_ / ("pics/" + name); }
    static std::string img(int i) { return QStringLiteral("img%1.bmp").arg(i, 2, 10, QChar('0')).toStdString(); }
    bool listed(const std::string& name) const { return w_->fileList().contains(pics(name)); }
    // The marked files' names, in list order, and the current cell's file.
    std::vector<std::string> marked() const {
        std::vector<std::string> names;
        for (size_t i : w_->markedFiles()) names.push_back(w_->fileList().path(i).substr(pics().size()));
        return names;
    }
    std::string current() const {
        const korvel::GridCell c = grid(*w_)->selection();
        const size_t i = size_t(c.row) * size_t(grid(*w_)->colCount()) + size_t(c.col);
        return i < w_->fileList().size() ? w_->fileList().path(i).substr(pics().size()) : "";
    }
    bool openOn(int files) {
        tree_->folder("pics");
        for (int i = 0; i < files; ++i) writePatternBmp(pics(img(i)), 64, 48);
        w_ = std::make_unique<TKorvelMain>(std::vector{pics()});
        return showReady(*w_);
    }

private slots:
    void init() {
        qputenv("KORVEL_CONFIG_DIR", config_.path().toUtf8());
        tree_ = std::make_unique<TempTree>();
    }
    void cleanup() {
        w_.reset();
        tree_.reset();
    }

    void filesFromOtherProgramsShowInPlace() {
        QVERIFY(openOn(40));
        TKorvelMain& w = *w_;
        TOrgStGrid* g = grid(w);
        QVERIFY(g->rowCount() > g->visibleRowCount() + 1);
        clickCell(w, 10);
        clickCell(w, 12, Qt::ControlModifier);
        QVERIFY(waitPreview(w));
        // A page down on the scroll bar, below its handle.
        QScrollBar* bar = g->verticalScrollBar();
        QTest::mouseClick(bar, Qt::LeftButton, {}, QPoint(bar->width() / 2, bar->height() - bar->width() - 3));
        const int top = g->topRow();
        QVERIFY(top > 0);
        writePatternBmp(*tree_ / "picture", 64, 48);
        const std::string bmp = readFile(*tree_ / "picture");
        struct Row {
            const char* what;
            std::function<void()> act;
            std::string appears, vanishes;
            std::vector<std::string> marked;
            std::string current;
        } rows[] = {
            // Named to sort first: every cell moves on by one, the marks with their files.
            {"a file written slowly shows once complete",
             [&] {
                 const int fd = ::open(pics("aaa.bmp").c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
                 QVERIFY(fd >= 0 && ::write(fd, bmp.data(), bmp.size() / 2) > 0);
                 QTest::qWait(800);
                 QVERIFY2(!listed("aaa.bmp"), "listed half written");
                 QVERIFY(::write(fd, bmp.data() + bmp.size() / 2, bmp.size() - bmp.size() / 2) > 0);
                 ::close(fd);
             },
             "aaa.bmp", "", {img(10), img(12)}, img(12)},
            {"a file deleted before the marked ones", [&] { ::unlink(pics(img(1)).c_str()); }, "", img(1),
             {img(10), img(12)}, img(12)},
            {"a marked file renamed", [&] { ::rename(pics(img(10)).c_str(), pics("zz.bmp").c_str()); }, "zz.bmp",
             img(10), {"zz.bmp", img(12)}, img(12)},
            // The cell stays current with the next file, which is previewed now.
            {"the current file deleted", [&] { ::unlink(pics(img(12)).c_str()); }, "", img(12), {"zz.bmp"}, img(13)},
        };
        for (const Row& r : rows) {
            RowTrace trace{r.what};
            r.act();
            if (QTest::currentTestFailed()) return;
            // Due 300 ms after the change; the bound is loose for a busy machine.
            QTRY_VERIFY_WITH_TIMEOUT(
                (r.appears.empty() || listed(r.appears)) && (r.vanishes.empty() || !listed(r.vanishes)), 5000);
            QCOMPARE(marked(), r.marked);
            QCOMPARE(current(), r.current);
            QCOMPARE(g->topRow(), top);
            QVERIFY(waitPreview(w));
            QCOMPARE(w.preview().path(), pics(r.current));
        }
        QCOMPARE(w.fileList().size(), size_t(39));
    }

    // A folder made beside the shown one and typed at once (with a doubled "/" and a "."), before
    // the tree heard of it, opens and goes into the history.
    void typedFolderOpensBeforeTheTreeSawIt() {
        QVERIFY(openOn(2));
        tree_->folder("fresh/inner");
        typeInto(historyBox(*w_)->lineEdit(), QString::fromStdString(tree_->dir() + "//fresh/./inner"));
        QTest::keyClick(historyBox(*w_)->lineEdit(), Qt::Key_Return);
        QCOMPARE(w_->selectedFolder(), *tree_ / "fresh/inner/");
        QCOMPARE(historyItems(*w_).front(), *tree_ / "fresh/inner/");
    }
};

QTEST_MAIN(LiveFolderTest)
#include "live_folder_test.moc"
