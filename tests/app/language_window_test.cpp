// The windows in the language the locale asks for, chosen as Korvel starts. ctest runs this
// under LANG=en_US.UTF-8 and under LANG=ja_JP.UTF-8: in English no Japanese is left in the main
// window, its menus and tool bar, or the windows its commands open; in Japanese each of them
// reads Japanese as before. Qt's own buttons and the help file follow the language.
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QTabBar>
#include <QTemporaryDir>
#include <QTreeWidget>

#include "app/KorvelMain.h"
#include "browse/ui/FolderPicker.h"
#include "fileops/ui/SelectDir.h"
#include "platform/Translations.h"
#include "tests/support/GridWindow.h"
#include "tests/support/TempTree.h"
#include "tests/support/UiSupport.h"
#include "view/SubFrm.h"
#include "view/SubFrmArrange.h"

using namespace korvel::testing;

namespace {

bool hasJapanese(const QString& text) {
    // CJK punctuation, kana, ideographs, and full- and half-width forms (half-width katakana).
    static const QRegularExpression re(QStringLiteral("[\\x{3000}-\\x{30FF}\\x{4E00}-\\x{9FFF}\\x{FF00}-\\x{FFEF}]"));
    return re.match(text).hasMatch();
}

// Every text root and its parts show a user, as "Class name: text", for those that hold Japanese:
// captions, labels, buttons, tips, group titles, tabs, list headers, the items of drop-down lists
// and of menus, a tree's top nodes. Edit boxes and the lists of files and folders hold names.
QStringList japaneseTexts(QWidget& root) {
    QStringList found;
    const auto add = [&](const QObject* o, const QString& text) {
        if (hasJapanese(text))
            found << QStringLiteral("%1 %2: %3").arg(o->metaObject()->className(), o->objectName(), text);
    };
    QList<QWidget*> widgets = root.findChildren<QWidget*>();
    widgets.prepend(&root);
    for (QWidget* w : widgets) {
        add(w, w->windowTitle());
        add(w, w->toolTip());
        if (auto* l = qobject_cast<QLabel*>(w)) add(w, l->text());
        if (auto* b = qobject_cast<QAbstractButton*>(w)) add(w, b->text());
        if (auto* g = qobject_cast<QGroupBox*>(w)) add(w, g->title());
        if (auto* m = qobject_cast<QMenu*>(w)) add(w, m->title());
        if (auto* c = qobject_cast<QComboBox*>(w))
            for (int i = 0; i < c->count(); ++i) add(w, c->itemText(i));
        if (auto* t = qobject_cast<QTabBar*>(w))
            for (int i = 0; i < t->count(); ++i) add(w, t->tabText(i));
        if (auto* t = qobject_cast<QTreeWidget*>(w))  // the top nodes: places, drives, the home folder
            for (int i = 0; i < t->topLevelItemCount(); ++i) add(w, t->topLevelItem(i)->text(0));
        if (auto* h = qobject_cast<QHeaderView*>(w); h && h->model())
            for (int i = 0; i < h->count(); ++i) add(w, h->model()->headerData(i, h->orientation()).toString());
        for (const QAction* a : w->actions()) add(a, a->text()), add(a, a->toolTip());
    }
    return found;
}

}  // namespace

class LanguageWindowTest : public QObject {
    Q_OBJECT
    using A = TKorvelMain::Actions;
    bool english_ = false;
    QTemporaryDir config_;
    TempTree tree_;
    std::unique_ptr<TKorvelMain> w_;
    QStringList faults_;

    // In English no Japanese is left; in Japanese the window still reads Japanese.
    void check(const QString& where, QWidget& window) {
        const QStringList japanese = japaneseTexts(window);
        if (english_)
            for (const QString& t : japanese) faults_ << where + ": " + t;
        else if (japanese.isEmpty())
            faults_ << where + ": no Japanese text";
    }
    void clickTool(QAction* a) { QTest::mouseClick(w_->toolButton(a), Qt::LeftButton); }

private slots:
    void initTestCase() {
        const QByteArray expected = qgetenv("KORVEL_EXPECTED_LANGUAGE");
        QVERIFY2(expected == "en" || expected == "ja", "ctest names the language the locale asks for");
        english_ = expected == "en";
        // As main() does at start, from the locale variables ctest set.
        const korvel::UiLanguage shown =
            loadTranslations(*qApp, korvel::uiLanguageFromEnvironment(), KORVEL_TRANSLATION_DIR);
        QCOMPARE(shown, english_ ? korvel::UiLanguage::English : korvel::UiLanguage::Japanese);
        qputenv("KORVEL_CONFIG_DIR", config_.path().toUtf8());
        tree_.folder("pics/sub");
        writePatternBmp(tree_ / "pics/a.bmp", 8, 6);
        writePatternBmp(tree_ / "pics/b.bmp", 8, 6);
        w_ = std::make_unique<TKorvelMain>(std::vector{tree_ / "pics"});
        QVERIFY(showReady(*w_) && w_->markedFiles() == std::vector<size_t>{0});
    }
    void cleanupTestCase() { w_.reset(); }

    // The main window, then each window a command opens, read and closed with Escape, as listed.
    void everyWindowInTheLanguage() {
        check("main window", *w_);
        QStringList opened, qtButtons, helpBox;
        ModalScript reader;
        reader.on<QDialog>([&](QDialog& d, int) {
            const QString name = d.metaObject()->className();
            opened << name;
            check(name, d);
            if (auto* box = qobject_cast<QMessageBox*>(&d)) {
                for (QMessageBox::StandardButton sb : {QMessageBox::Yes, QMessageBox::No})
                    if (const QAbstractButton* b = box->button(sb)) qtButtons << b->text();
                if (box->text().contains(QLatin1String(".html"))) helpBox << box->text();
            }
            if (auto* s = qobject_cast<TSelectDir*>(&d)) QTest::mouseClick(s->SpeedButton1, Qt::LeftButton);
            QTest::keyClick(&d, Qt::Key_Escape);
        });
        const A& a = w_->actions();
        const struct {
            const char* name;
            std::function<void()> act;
            QStringList windows;  // read, by class
        } rows[] = {
            {"options", [&] { clickTool(a.OptionBtn); }, {"TOptionFrm"}},
            {"copy", [&] { clickTool(a.CopyBtn); }, {"TSelectDir", "TFolderPicker"}},
            {"move", [&] { clickTool(a.MoveBtn); }, {"TSelectDir", "TFolderPicker"}},
            {"extended copy", [&] { clickTool(a.KCopyBtn); }, {"TOpCopyFrm"}},
            {"rename", [&] { clickTool(a.ReNameBtn1); }, {"TRNameFrm"}},
            {"serial rename", [&] { clickTool(a.NumberRNBtn1); }, {"TNumberFrm"}},
            {"delete", [&] { clickTool(a.DeleteBtn); }, {"QMessageBox"}},
            {"slideshow", [&] { clickTool(a.ShowBtn1); }, {"TShowFrm1"}},
            {"about", [&] { clickTool(a.VerBtn); }, {"QMessageBox"}},
            {"help", [&] { clickTool(a.HelpBtn); }, {"QMessageBox"}},  // no help file beside the test
            {"quick folder", [&] { QTest::mouseClick(quickFolderButton(*w_, 0), Qt::LeftButton); }, {"TQFSelectFrm"}},
            {"new folder",
             [&] {
                 rightClickNode(*w_, dirTree(*w_)->FindNode(tree_ / "pics/"));
                 pickFromMenu(folderPopup(*w_), a.CreateDirMenu);
             },
             {"TInputNameFrm"}},
            {"folder name",
             [&] {
                 rightClickNode(*w_, dirTree(*w_)->FindNode(tree_ / "pics/"));
                 pickFromMenu(folderPopup(*w_), a.FRename1);
             },
             {"TFolderNameInputFrm"}},
        };
        for (const auto& r : rows) {
            RowTrace trace{r.name};
            opened.clear();
            r.act();
            QTRY_COMPARE(opened, r.windows);
            QTRY_VERIFY(reader.done() && !QApplication::activeModalWidget());
        }
        // A viewer, opened with Enter on the grid under the pointer, and its menu.
        w_->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w_.get()));
        pointAtCell(*w_, 0);
        pressOn(grid(*w_), Qt::Key_Return);
        QTRY_COMPARE(openSubViewers().size(), 1);
        check("viewer", *openSubViewers().front());
        delete openSubViewers().front();

        QVERIFY2(faults_.isEmpty(), qPrintable(faults_.join('\n')));
        // Qt's own buttons (the delete question's Yes and No) in the same language: its Japanese
        // is loaded only for Japanese.
        QCOMPARE(qtButtons.size(), 2);
        for (const QString& b : qtButtons) QVERIFY2(hasJapanese(b) != english_, qPrintable(b));
        // The help of the chosen language is the one looked for.
        QCOMPARE(helpBox.size(), 1);
        const QString helpFile = QCoreApplication::applicationDirPath() + "/language_window_test" +
                                 (english_ ? ".en.html" : ".html");
        QVERIFY2(helpBox.front().endsWith('\n' + helpFile), qPrintable(helpBox.front()));
    }
};

QTEST_MAIN(LanguageWindowTest)
#include "language_window_test.moc"
