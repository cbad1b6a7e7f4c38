// An animated file in a viewer: frames move on by themselves, the menu item and P pause them,
// N steps one frame; a still file shows no animation commands.
#include <QMenu>
#include <QTemporaryDir>
#include <QtTest>

#include "codecs/FrameSource.h"
#include "tests/support/AnimationFiles.h"
#include "tests/support/TempTree.h"
#include "view/SubFrm.h"

using namespace korvel::testing;

namespace {

constexpr uint32_t kColours[3] = {0xFF0000FF, 0x00FF00FF, 0x0000FFFF};

QRgb shownColour(const TKorvelSubFrm* w) { return w->shownImage().pixel(2, 2) & 0xFFFFFF; }
QRgb frameColour(int i) { return QRgb(kColours[i] >> 8); }

void clickMenuItem(TKorvelSubFrm* w, QAction* item) {
    QMenu* menu = w->popupMenu();
    menu->popup(w->mapToGlobal(QPoint(1, 1)));
    QVERIFY(QTest::qWaitForWindowExposed(menu));
    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(item).center());
}

}  // namespace

class SubViewerAnimationTest : public QObject {
    Q_OBJECT
    TempTree tree_;

private slots:
    // The viewer plays whatever the core opens; GIF stands for every animated format here.
    void framesMovePauseAndStep() {
        AnimPlan s{6, 6, 0, {}};
        for (uint32_t c : kColours) s.frames.push_back(solidFrame(0, 0, 6, 6, c, 0, 30));
        const std::vector<uint8_t> bytes = writeAnimatedGif(s);
        auto* w = new TKorvelSubFrm(tree_.write("a.gif", std::string(bytes.begin(), bytes.end())));
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w));
        QVERIFY(w->animation());
        QVERIFY(w->actions().AnimPause->isVisible());
        // It moves on by itself to every frame.
        for (int i : {1, 2, 0}) QTRY_COMPARE(shownColour(w), frameColour(i));

        QTest::keyClick(w, Qt::Key_P);
        QVERIFY(w->animationPaused());
        const int at = w->animation()->index();
        QTest::qWait(150);
        QCOMPARE(w->animation()->index(), at);
        QCOMPARE(shownColour(w), frameColour(at));

        QTest::keyClick(w, Qt::Key_N);
        QCOMPARE(w->animation()->index(), (at + 1) % 3);
        QCOMPARE(shownColour(w), frameColour((at + 1) % 3));

        clickMenuItem(w, w->actions().AnimStep);
        QTRY_COMPARE(w->animation()->index(), (at + 2) % 3);
        QCOMPARE(shownColour(w), frameColour((at + 2) % 3));

        // The menu item resumes it.
        clickMenuItem(w, w->actions().AnimPause);
        QTRY_VERIFY(!w->animationPaused());
        const int resumedAt = w->animation()->index();
        QTRY_VERIFY(w->animation()->index() != resumedAt);
        w->close();
    }

    void stillFileHasNoAnimation() {
        AnimPlan s{6, 6, 0, {solidFrame(0, 0, 6, 6, kColours[0])}};
        const std::vector<uint8_t> bytes = writeAnimatedGif(s);
        auto* w = new TKorvelSubFrm(tree_.write("still.gif", std::string(bytes.begin(), bytes.end())));
        w->show();
        QVERIFY(!w->animation());
        QVERIFY(!w->actions().AnimPause->isVisible());
        QTest::keyClick(w, Qt::Key_N);
        QCOMPARE(shownColour(w), frameColour(0));
        w->close();
    }
};

QTEST_MAIN(SubViewerAnimationTest)
#include "sub_viewer_animation_test.moc"
