// The folder tree on a temporary folder structure, offscreen.
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
        mk("Trash/files/trashed/deep");
        mk("win/RECYCLED/DC1/deep");
        mk("win/Recycler/S-1-5/deep");
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

    void recycleBinsShowTheBinButNothingInside() {
        TDirTree tree;
        const std::pair<std::string, std::string> bins[] = {
            {"Trash/files/", "trashed/"}, {"win/RECYCLED/", "DC1/"}, {"win/Recycler/", "S-1-5/"}};
        for (const auto& [bin, inside] : bins) {
            QVERIFY2(tree.SelectPath(base_ + bin), bin.c_str());
            QVERIFY2(!tree.SelectPath(base_ + bin + inside), bin.c_str());
            QCOMPARE(tree.FindNode(base_ + bin)->childCount(), 0);
        }
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

    void favouritesOnlyFilter() {
        TDirTree tree;
        const std::string fav = base_ + "b/inner/";
        tree.OnAddDir = [&](const std::string& p) { return fav.find(p) != std::string::npos; };
        tree.Reload();
        QVERIFY(tree.SelectPath(fav));
        QVERIFY(!tree.SelectPath(base_ + "c/"));
        QTreeWidgetItem* parent = tree.FindNode(base_);
        QCOMPARE(parent->childCount(), 1);
    }
};

QTEST_MAIN(DirTreeTest)
#include "dir_tree_test.moc"
