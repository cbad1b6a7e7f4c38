// The folder tree on a temporary folder structure, offscreen.
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "browse/ui/DirTree.h"
#include "base/Errors.h"

class DirTreeTest : public QObject {
    Q_OBJECT
    QTemporaryDir root_;
    std::string base_;

    void mk(const char* rel) { QVERIFY(QDir(root_.path()).mkpath(QString::fromUtf8(rel))); }

private slots:
    void initTestCase() {
        QVERIFY(root_.isValid());
        base_ = QDir(root_.path()).canonicalPath().toStdString() + "/";
        mk("b/inner");
        mk("A");
        mk("c");
        mk("Trash");
        mk("win/RECYCLED/DC1/deep");
    }

    void selectReadsLazilyAndSortsIgnoringCase() {
        TDirTree tree;
        QVERIFY_THROWS_EXCEPTION(korvel::Exception, tree.SelectPath(""));
        QVERIFY(tree.SelectPath(base_ + "b/inner/"));
        QCOMPARE(tree.SelectedPath(), base_ + "b/inner/");
        QTreeWidgetItem* parent = tree.FindNode(base_);
        QVERIFY(parent);
        QStringList names;
        for (int i = 0; i < parent->childCount(); ++i) names << parent->child(i)->text(0);
        QCOMPARE(names, (QStringList{"A", "b", "c", "Trash", "win"}));
        // Only folders with sub-folders get the expand button.
        QCOMPARE(tree.FindNode(base_ + "c/")->childCount(), 0);
        QCOMPARE(tree.FindNode(base_ + "b/")->childCount(), 1);
        // A missing last folder leaves the selection as it was.
        QVERIFY(!tree.SelectPath(base_ + "b/missing/"));
        QCOMPARE(tree.SelectedPath(), base_ + "b/inner/");
    }

    // The bin rules are the drive list's own; here one bin shows that the tree applies them.
    void recycleBinShowsTheBinButNothingInside() {
        TDirTree tree;
        QVERIFY(tree.SelectPath(base_ + "win/RECYCLED/"));
        QVERIFY(!tree.SelectPath(base_ + "win/RECYCLED/DC1/"));
        QCOMPARE(tree.FindNode(base_ + "win/RECYCLED/")->childCount(), 0);
    }

    // In a narrow pane a deep folder's name is shown whole: the tree scrolls sideways, brought
    // to the selected node's icon and name.
    void deepNamesAreShownWholeAndScrollSideways() {
        const char* deep = "deep/Photographs/2023 Holidays/Scandinavia Trip/Bergen Harbour Evenings/Raw Camera Files";
        mk(deep);
        TDirTree tree;
        tree.resize(185, 300);
        tree.show();
        QVERIFY(QTest::qWaitForWindowExposed(&tree));
        QVERIFY(tree.SelectPath(base_ + deep + "/"));
        QTRY_VERIFY(tree.horizontalScrollBar()->isVisible());
        const QModelIndex node = tree.currentIndex();
        const int label = tree.sizeHintForIndex(node).width();  // icon and whole name
        QVERIFY(tree.visualRect(node).width() >= label);         // no room lost to "…"
        QTRY_VERIFY(tree.visualRect(node).left() >= 0 &&
                    tree.visualRect(node).left() + label <= tree.viewport()->width());
    }

    void addAndRemovePathNodes() {
        TDirTree tree;
        QVERIFY(tree.SelectPath(base_ + "c/"));
        mk("c/new/newer");
        tree.AddPathNodes(base_ + "c/new/");
        QVERIFY(tree.FindNode(base_ + "c/new/"));
        QVERIFY(!tree.FindNode(base_ + "c/new/newer/"));  // not read yet
        tree.RemovePathNode(base_ + "c/new/");
        QVERIFY(!tree.FindNode(base_ + "c/new/"));
        QVERIFY(tree.SelectPath(base_ + "c/new/newer/"));
    }

    // Under an opened folder, folders other programs make, rename and remove follow; files do
    // not make nodes; a shown folder that goes gives way to its parent.
    void openedFoldersFollowTheDisk() {
        mk("live/keep/inner");
        TDirTree tree;
        QVERIFY(tree.SelectPath(base_ + "live/keep/"));
        QTreeWidgetItem* live = tree.FindNode(base_ + "live/");
        QVERIFY(live->isExpanded());
        QSignalSpy changes(&tree, &TDirTree::OnChange);
        const QString dir = QString::fromStdString(base_);
        struct Row {
            const char* what;
            std::function<void()> act;
            QStringList children;
            std::string selected;
            bool moved;  // the listing hears of a shown folder that moved, and of nothing else
        } rows[] = {
            {"made", [&] { mk("live/new"); }, {"keep", "new"}, "live/keep/", false},
            {"a file beside a folder", [&] { QFile(dir + "live/file").open(QIODevice::WriteOnly), mk("live/a"); },
             {"a", "keep", "new"}, "live/keep/", false},
            {"the shown folder renamed", [&] { QVERIFY(QDir(dir).rename("live/keep", "live/kept")); },
             {"a", "kept", "new"}, "live/kept/", true},
            {"removed", [&] { QVERIFY(QDir(dir).rmdir("live/new")); }, {"a", "kept"}, "live/kept/", false},
            {"the shown folder removed", [&] { QVERIFY(QDir(dir + "live/kept").removeRecursively()); }, {"a"}, "live/",
             true},
        };
        for (const Row& r : rows) {
            const int before = int(changes.count());
            r.act();
            auto names = [&] {
                QStringList n;
                for (int i = 0; i < live->childCount(); ++i) n << live->child(i)->text(0);
                return n;
            };
            QTRY_COMPARE(names(), r.children);
            QCOMPARE(tree.SelectedPath(), base_ + r.selected);
            QCOMPARE(int(changes.count()) - before, r.moved ? 1 : 0);
        }
        QVERIFY(tree.FindNode(base_ + "live/a/"));
    }

    // A folder made after its parent was read, and before anything told the tree, is found.
    void selectFindsFolderMadeSinceRead() {
        TDirTree tree;
        QVERIFY(tree.SelectPath(base_ + "c/"));
        mk("late/inner");
        QVERIFY(tree.SelectPath(base_ + "late/inner/"));
        QCOMPARE(tree.SelectedPath(), base_ + "late/inner/");
        QVERIFY(!tree.SelectPath(base_ + "late/./inner/"));
        QVERIFY(!tree.SelectPath(base_ + "never/"));
        QCOMPARE(tree.SelectedPath(), base_ + "late/inner/");
    }
};

QTEST_MAIN(DirTreeTest)
#include "dir_tree_test.moc"
