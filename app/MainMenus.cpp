// The commands of the main window: one table builds the menus, pop-up menus and tool bar, and
// updateActions() sets their states; the handlers that belong to the window frame.
#include <QActionGroup>
#include <QComboBox>
#include <QApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QSplitter>
#include <QToolBar>
#include <QToolButton>
#include <map>
#include <span>

#include "app/KorvelMain.h"
#include "app/FolderTreePanel.h"
#include "app/ToolIcons.h"
#include "browse/ui/DirTree.h"
#include "browse/ui/OrgStGrid.h"
#include "fileops/WallpaperBitmap.h"
#include "platform/PathText.h"

namespace {

// Where a row of the table goes: the tool bar, a menu, or a sub-menu an earlier row opened.
enum class In {
    ToolBar, FileMenu, EditMenu, ViewMenu, OptionMenu, HelpMenu, GridPopup, TargetPopup, DirPopup, PreviewPopup,
    EditWall, NameView, GridWall, Turn, PreviewWall, QFPopup, None
};

// When a built command is enabled. The tool bar's file buttons follow the listing, the menus the marks.
enum class When { Always, AnyMarked, OneMarked, Plugins, Listed, QFCaption, Undoable, Redoable };

using Member = QAction* TKorvelMain::Actions::*;

}  // namespace

// The member and the object name of a row's action, from one spelling.
#define ACTION(m) .member = &TKorvelMain::Actions::m, .name = #m

// A key of a command. It acts when key (or any key up to lastKey) goes down or up with at least
// the modifiers in held (exactly those where exact is set); a held repeat acts again only where
// repeats is set.
struct TKorvelMain::KeyBinding {
    int key = 0;  // 0: no binding
    Qt::KeyboardModifiers held = {};
    KeyWhen when = KeyWhen::Press;
    bool repeats = false;
    int lastKey = 0;
    bool exact = false;

    bool matches(const QKeyEvent* e) const {
        const Qt::KeyboardModifiers mods = e->modifiers() & ~Qt::KeypadModifier;
        return e->key() >= key && e->key() <= std::max(key, lastKey) && (exact ? mods == held : (mods & held) == held);
    }
};

namespace {

using Key = TKorvelMain::KeyBinding;
using KeyWhen = TKorvelMain::KeyWhen;
// Pressed anywhere in the window but in an edit box, before the control sees it.
constexpr Key press(int key, Qt::KeyboardModifiers held = {}, bool repeats = false) {
    return {.key = key, .held = held, .when = KeyWhen::Press, .repeats = repeats};
}
// Pressed with exactly these modifiers: Ctrl+Z must not take Ctrl+Shift+Z.
constexpr Key pressExactly(int key, Qt::KeyboardModifiers held) {
    return {.key = key, .held = held, .when = KeyWhen::Press, .exact = true};
}
// Released anywhere in the window.
constexpr Key release(int key, int lastKey) { return {.key = key, .when = KeyWhen::Release, .lastKey = lastKey}; }
// Released on the grid, after the grid has taken the release itself.
constexpr Key gridRelease(int key) { return {.key = key, .when = KeyWhen::GridRelease}; }

}  // namespace

// One command. A row without a handler whose window arrives later stays visible but disabled;
// a row that opens a sub-menu is the sub-menu's own item. A row with no member is a separator,
// or, with keys, a command the keys alone reach.
struct TKorvelMain::ActionRow {
    Member member = nullptr;
    const char* name = nullptr;
    const char* caption = nullptr;
    In in = In::None;
    int icon = -1;  // tool-bar image (ToolIcon); -1 none
    bool checkable = false;
    void (*run)(TKorvelMain&) = nullptr;
    void (*toggle)(TKorvelMain&, bool on) = nullptr;  // a checkable command, with the state clicked
    When when = When::Always;
    In opens = In::None;
    std::array<KeyBinding, 5> keys{};
    bool (*onKey)(TKorvelMain&, int key) = nullptr;  // a key-only command; false lets the key go on
    bool touchesFiles = false;  // off while a file job runs: it would touch its files or re-read the folder
};

QToolButton* TKorvelMain::toolButton(const QAction* a) const {
    return qobject_cast<QToolButton*>(bands_->toolBar()->widgetForAction(const_cast<QAction*>(a)));
}

// The one table of commands, in menu and tool-bar order, with their keys. Adding a command is
// one row here and its handler. Keys are looked up in row order: the first row a key matches
// takes it.
std::span<const TKorvelMain::ActionRow> TKorvelMain::actionRows() {
    using W = TKorvelMain;
    using M = korvel::WallpaperMode;
    static const ActionRow rows[] = {
        {ACTION(CloseBtn), .caption = QT_TR_NOOP("ｱﾌﾟﾘｹｰｼｮﾝの終了"), .in = In::ToolBar, .icon = 0,
         .run = [](W& w) { w.close(); }},
        {.in = In::ToolBar},
        {ACTION(CopyBtn), .caption = QT_TR_NOOP("ファイルのコピー"), .in = In::ToolBar, .icon = 1,
         .run = [](W& w) { w.fileCommands_->copyMarked(); }, .when = When::Listed, .touchesFiles = true},
        {ACTION(KCopyBtn), .caption = QT_TR_NOOP("拡張コピー"), .in = In::ToolBar, .icon = 2,
         .run = [](W& w) { w.fileCommands_->extendedCopyMarked(); }, .when = When::Listed, .touchesFiles = true},
        {ACTION(MoveBtn), .caption = QT_TR_NOOP("ファイルの移動"), .in = In::ToolBar, .icon = 3,
         .run = [](W& w) { w.fileCommands_->moveMarked(); }, .when = When::Listed, .touchesFiles = true},
        {ACTION(DeleteBtn), .caption = QT_TR_NOOP("ファイルの削除"), .in = In::ToolBar, .icon = 4,
         .run = [](W& w) { w.fileCommands_->deleteMarked(); }, .when = When::Listed, .touchesFiles = true},
        {ACTION(ReNameBtn1), .caption = QT_TR_NOOP("名前の変更"), .in = In::ToolBar, .icon = 5,
         .run = [](W& w) { w.fileCommands_->renameMarked(); }, .when = When::Listed, .touchesFiles = true},
        {ACTION(NumberRNBtn1), .caption = QT_TR_NOOP("連番で名前を変更"), .in = In::ToolBar, .icon = 6,
         .run = [](W& w) { w.fileCommands_->serialRenameMarked(); }, .when = When::Listed, .touchesFiles = true},
        {.in = In::ToolBar},
        {ACTION(ShowBtn1), .caption = QT_TR_NOOP("ｽﾗｲﾄﾞｼｮｰ"), .in = In::ToolBar, .icon = 7,
         .run = [](W& w) { w.commands_->startSlideshow(); }, .when = When::Listed},
        {ACTION(StretchBtn), .caption = QT_TR_NOOP("表示切替"), .in = In::ToolBar, .icon = 8, .checkable = true,
         .toggle = [](W& w, bool on) { w.previewPanel_->setFullSize(on); }},
        {.in = In::ToolBar},
        {ACTION(DirViewBtn), .caption = QT_TR_NOOP("お気に入りフォルダのみ表示"), .in = In::ToolBar, .icon = 9, .checkable = true,
         .toggle = [](W& w, bool on) { w.folderPanel_->setFavouritesOnly(on), w.updateActions(); }},
        {ACTION(ShowDirBtn), .caption = QT_TR_NOOP("ﾃﾞｨﾚｸﾄﾘﾂﾘｰを表示しない"), .in = In::ToolBar, .icon = 10,
         .checkable = true, .toggle = [](W& w, bool on) { w.folderPanel_->setHidden(on), w.updateActions(); }},
        {ACTION(SubDirFindBtn), .caption = QT_TR_NOOP("ｻﾌﾞﾌｫﾙﾀﾞのﾌｧｲﾙも表示"), .in = In::ToolBar, .icon = 11,
         .checkable = true, .toggle = [](W& w, bool on) { w.listing_->setSubFolders(on); }},
        {ACTION(NameViewBtn), .caption = QT_TR_NOOP("情報表示の切替"), .in = In::ToolBar, .icon = 12,
         .run = [](W& w) { w.cycleInfoMode(); }},
        {ACTION(ShowCaptionBtn), .caption = QT_TR_NOOP("ｸｲｯｸﾌｫﾙﾀﾞ名の表示"), .in = In::ToolBar, .icon = 13,
         .checkable = true, .toggle = [](W& w, bool on) { w.setShowCaptions(on); }},
        {.in = In::ToolBar},
        {ACTION(SortBtn1), .caption = QT_TR_NOOP("昇順で並び替え"), .in = In::ToolBar, .icon = 14,
         .run = [](W& w) { w.listing_->sort(true); }},
        {ACTION(SortBtn2), .caption = QT_TR_NOOP("降順で並び替え"), .in = In::ToolBar, .icon = 15,
         .run = [](W& w) { w.listing_->sort(false); }},
        {ACTION(RefreshBtn), .caption = QT_TR_NOOP("最新の情報に更新"), .in = In::ToolBar, .icon = 16,
         .run = [](W& w) { w.listing_->refresh(); }, .touchesFiles = true},
        {.in = In::ToolBar},
        {ACTION(OptionBtn), .caption = QT_TR_NOOP("ｵﾌﾟｼｮﾝ設定"), .in = In::ToolBar, .icon = 17,
         .run = [](W& w) { w.commands_->editOptions(); }},
        {ACTION(PlugInSetBtn1), .caption = QT_TR_NOOP("ﾌﾟﾗｸﾞｲﾝ設定"), .in = In::ToolBar, .icon = 18,
         .run = [](W& w) { w.commands_->choosePlugins(); }, .when = When::Plugins},
        {.in = In::ToolBar},
        {ACTION(HelpBtn), .caption = QT_TR_NOOP("ヘルプ"), .in = In::ToolBar, .icon = 19,
         .run = [](W& w) { w.commands_->showHelp(); }},
        {ACTION(VerBtn), .caption = QT_TR_NOOP("Korvelについて"), .in = In::ToolBar, .icon = 20,
         .run = [](W& w) { w.commands_->showAbout(); }},

        {ACTION(Open1), .caption = QT_TR_NOOP("関連付けで開く(&O)"), .in = In::FileMenu, .run = [](W& w) { w.commands_->openMarkedWithDesktop(); },
         .when = When::AnyMarked,
         .keys = {press(Qt::Key_Return, Qt::ShiftModifier, true), press(Qt::Key_Return, Qt::ControlModifier, true),
                  press(Qt::Key_Enter, Qt::ShiftModifier), press(Qt::Key_Enter, Qt::ControlModifier),
                  press(Qt::Key_K)}},
        {.in = In::FileMenu},
        {ACTION(Close1), .caption = QT_TR_NOOP("終了(&X)"), .in = In::FileMenu, .run = [](W& w) { w.close(); }},

        {ACTION(Undo1), .caption = QT_TR_NOOP("元に戻す(&U)"), .in = In::EditMenu,
         .run = [](W& w) { w.undo_->run(korvel::UndoDirection::Undo); }, .when = When::Undoable,
         .keys = {pressExactly(Qt::Key_Z, Qt::ControlModifier)}, .touchesFiles = true},
        {ACTION(Redo1), .caption = QT_TR_NOOP("やり直し(&R)"), .in = In::EditMenu,
         .run = [](W& w) { w.undo_->run(korvel::UndoDirection::Redo); }, .when = When::Redoable,
         .keys = {pressExactly(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier)}, .touchesFiles = true},
        {.in = In::EditMenu},
        {ACTION(Copy2), .caption = QT_TR_NOOP("コピー(&C)"), .in = In::EditMenu,
         .run = [](W& w) { w.fileCommands_->copyMarked(); }, .when = When::AnyMarked, .touchesFiles = true},
        {ACTION(KCopy), .caption = QT_TR_NOOP("拡張コピー(&K)"), .in = In::EditMenu,
         .run = [](W& w) { w.fileCommands_->extendedCopyMarked(); }, .when = When::AnyMarked, .touchesFiles = true},
        {ACTION(Move2), .caption = QT_TR_NOOP("移動(&M)"), .in = In::EditMenu,
         .run = [](W& w) { w.fileCommands_->moveMarked(); }, .when = When::AnyMarked, .touchesFiles = true},
        {ACTION(Delete1), .caption = QT_TR_NOOP("削除(&D)"), .in = In::EditMenu,
         .run = [](W& w) { w.fileCommands_->deleteMarked(); },
         .when = When::AnyMarked, .keys = {gridRelease(Qt::Key_Delete)}, .touchesFiles = true},
        {.in = In::EditMenu},
        {ACTION(Rename1), .caption = QT_TR_NOOP("名前の変更(&R)"), .in = In::EditMenu,
         .run = [](W& w) { w.fileCommands_->renameMarked(); }, .when = When::AnyMarked, .touchesFiles = true},
        {ACTION(NumberRN1), .caption = QT_TR_NOOP("連番で変更(&N)"), .in = In::EditMenu,
         .run = [](W& w) { w.fileCommands_->serialRenameMarked(); }, .when = When::AnyMarked, .touchesFiles = true},
        {.in = In::EditMenu},
        {ACTION(Wall2), .caption = QT_TR_NOOP("壁紙に設定(&W)"), .in = In::EditMenu, .when = When::OneMarked,
         .opens = In::EditWall},
        {ACTION(Wall_Tile1), .caption = QT_TR_NOOP("並べて表示(&T)"), .in = In::EditWall,
         .run = [](W& w) { w.commands_->setWallpaper(M::Tile); }},
        {ACTION(Wall_Center1), .caption = QT_TR_NOOP("中央に表示(&C)"), .in = In::EditWall,
         .run = [](W& w) { w.commands_->setWallpaper(M::Center); }},
        {ACTION(Wall_Strech1), .caption = QT_TR_NOOP("画面サイズ(&S)"), .in = In::EditWall,
         .run = [](W& w) { w.commands_->setWallpaper(M::Stretch); }},
        {ACTION(Wall_Fit1), .caption = QT_TR_NOOP("画面サイズ（対比保持）(&F)"), .in = In::EditWall,
         .run = [](W& w) { w.commands_->setWallpaper(M::Fit); }},
        {.in = In::EditMenu},
        {ACTION(SelectAll), .caption = QT_TR_NOOP("ｻﾑﾈｲﾙを全て選択(&A)"), .in = In::EditMenu,
         .run = [](W& w) { w.thumbnailGrid_->selectAll(); }, .keys = {press(Qt::Key_A, Qt::ControlModifier)}},

        {ACTION(Show1), .caption = QT_TR_NOOP("スライドショー(&S)"), .in = In::ViewMenu,
         .run = [](W& w) { w.commands_->startSlideshow(); }, .when = When::Listed},
        {.in = In::ViewMenu},
        {ACTION(StretchMenu), .caption = QT_TR_NOOP("表示の切替(&N)"), .in = In::ViewMenu, .checkable = true,
         .toggle = [](W& w, bool on) { w.previewPanel_->setFullSize(on); }},
        {ACTION(DirViewMenu), .caption = QT_TR_NOOP("お気に入りフォルダのみ表示(&F)"), .in = In::ViewMenu, .checkable = true,
         .toggle = [](W& w, bool on) { w.folderPanel_->setFavouritesOnly(on), w.updateActions(); }},
        {ACTION(ShowDirMenu), .caption = QT_TR_NOOP("ﾃﾞｨﾚｸﾄﾘﾂﾘｰを表示しない(&D)"), .in = In::ViewMenu, .checkable = true,
         .toggle = [](W& w, bool on) { w.folderPanel_->setHidden(on), w.updateActions(); }},
        {ACTION(SubDirFindMenu), .caption = QT_TR_NOOP("ｻﾌﾞﾌｫﾙﾀﾞのﾌｧｲﾙも表示(&A)"), .in = In::ViewMenu, .checkable = true,
         .toggle = [](W& w, bool on) { w.listing_->setSubFolders(on); }},
        {ACTION(NameViewMenu), .caption = QT_TR_NOOP("情報表示の切替(&V)"), .in = In::ViewMenu, .checkable = true,
         .opens = In::NameView},
        {ACTION(NameView1), .caption = QT_TR_NOOP("ファイル名(&F)"), .in = In::NameView, .checkable = true,
         .run = [](W& w) { w.setInfoMode(InfoMode::FileName); }},
        {ACTION(NameView2), .caption = QT_TR_NOOP("ファイルサイズ(&S)"), .in = In::NameView, .checkable = true,
         .run = [](W& w) { w.setInfoMode(InfoMode::FileSize); }},
        {ACTION(NameView3), .caption = QT_TR_NOOP("日付(&D)"), .in = In::NameView, .checkable = true,
         .run = [](W& w) { w.setInfoMode(InfoMode::Date); }},
        {ACTION(NameView4), .caption = QT_TR_NOOP("拡張子(&E)"), .in = In::NameView, .checkable = true,
         .run = [](W& w) { w.setInfoMode(InfoMode::Extension); }},
        {ACTION(NameView5), .caption = QT_TR_NOOP("撮影日時(&T)"), .in = In::NameView, .checkable = true,
         .run = [](W& w) { w.setInfoMode(InfoMode::Taken); }},
        {ACTION(ShowCaptionMenu), .caption = QT_TR_NOOP("ｸｲｯｸﾌｫﾙﾀﾞ名を表示する(&Q)"), .in = In::ViewMenu, .checkable = true,
         .toggle = [](W& w, bool on) { w.setShowCaptions(on); }},
        {.in = In::ViewMenu},
        {ACTION(Refresh1), .caption = QT_TR_NOOP("最新の情報に更新(&R)"), .in = In::ViewMenu,
         .run = [](W& w) { w.listing_->refresh(); }, .keys = {press(Qt::Key_R)}, .touchesFiles = true},

        {ACTION(Option1), .caption = QT_TR_NOOP("オプション設定(&O)"), .in = In::OptionMenu,
         .run = [](W& w) { w.commands_->editOptions(); }},
        {ACTION(PlugInSet1), .caption = QT_TR_NOOP("ﾌﾟﾗｸﾞｲﾝ設定(&P)"), .in = In::OptionMenu,
         .run = [](W& w) { w.commands_->choosePlugins(); }, .when = When::Plugins},

        {ACTION(Contents1), .caption = QT_TR_NOOP("目次(&C)"), .in = In::HelpMenu,
         .run = [](W& w) { w.commands_->showHelp(); }},
        {.in = In::HelpMenu},
        {ACTION(About1), .caption = QT_TR_NOOP("Korvelについて(&A)"), .in = In::HelpMenu,
         .run = [](W& w) { w.commands_->showAbout(); }},

        {ACTION(Undo2), .caption = QT_TR_NOOP("元に戻す(&U)"), .in = In::GridPopup,
         .run = [](W& w) { w.undo_->run(korvel::UndoDirection::Undo); }, .when = When::Undoable, .touchesFiles = true},
        {ACTION(Redo2), .caption = QT_TR_NOOP("やり直し(&R)"), .in = In::GridPopup,
         .run = [](W& w) { w.undo_->run(korvel::UndoDirection::Redo); }, .when = When::Redoable, .touchesFiles = true},
        {.in = In::GridPopup},
        {ACTION(Open2), .caption = QT_TR_NOOP("関連付けで開く(&O)"), .in = In::GridPopup, .run = [](W& w) { w.commands_->openMarkedWithDesktop(); }},
        {.in = In::GridPopup},
        {ACTION(Copy3), .caption = QT_TR_NOOP("コピー(&C)"), .in = In::GridPopup,
         .run = [](W& w) { w.fileCommands_->copyMarked(); }, .touchesFiles = true},
        {ACTION(KCopyMenu2), .caption = QT_TR_NOOP("拡張コピー(&K)"), .in = In::GridPopup,
         .run = [](W& w) { w.fileCommands_->extendedCopyMarked(); }, .touchesFiles = true},
        {ACTION(Move3), .caption = QT_TR_NOOP("移動(&M)"), .in = In::GridPopup,
         .run = [](W& w) { w.fileCommands_->moveMarked(); }, .touchesFiles = true},
        {ACTION(Delete2), .caption = QT_TR_NOOP("削除(&D)"), .in = In::GridPopup,
         .run = [](W& w) { w.fileCommands_->deleteMarked(); }, .touchesFiles = true},
        {.in = In::GridPopup},
        {ACTION(Rename2), .caption = QT_TR_NOOP("名前の変更(&R)"), .in = In::GridPopup,
         .run = [](W& w) { w.fileCommands_->renameMarked(); }, .touchesFiles = true},
        {ACTION(NumberRN2), .caption = QT_TR_NOOP("連番で変更(&N)"), .in = In::GridPopup,
         .run = [](W& w) { w.fileCommands_->serialRenameMarked(); }, .touchesFiles = true},
        {.in = In::GridPopup},
        {ACTION(Wall1), .caption = QT_TR_NOOP("壁紙に設定(&W)"), .in = In::GridPopup, .when = When::OneMarked,
         .opens = In::GridWall},
        {ACTION(Wall_Tile), .caption = QT_TR_NOOP("並べて表示(&T)"), .in = In::GridWall,
         .run = [](W& w) { w.commands_->setWallpaper(M::Tile); }},
        {ACTION(Wall_Center), .caption = QT_TR_NOOP("中央に表示(&C)"), .in = In::GridWall,
         .run = [](W& w) { w.commands_->setWallpaper(M::Center); }},
        {ACTION(Wall_Strech), .caption = QT_TR_NOOP("画面サイズ(&S)"), .in = In::GridWall,
         .run = [](W& w) { w.commands_->setWallpaper(M::Stretch); }},
        {ACTION(Wall_Fit), .caption = QT_TR_NOOP("画面サイズ（対比保持）(&F)"), .in = In::GridWall,
         .run = [](W& w) { w.commands_->setWallpaper(M::Fit); }},
        {.in = In::GridPopup},
        {ACTION(SelectAll2), .caption = QT_TR_NOOP("ｻﾑﾈｲﾙを全て選択(&A)"), .in = In::GridPopup,
         .run = [](W& w) { w.thumbnailGrid_->selectAll(); }},
        {ACTION(Property1), .caption = QT_TR_NOOP("プロパティ(&P)"), .in = In::GridPopup,
         .run = [](W& w) { w.commands_->showProperties(); }, .when = When::OneMarked},

        {ACTION(TargetPath1), .caption = "", .in = In::TargetPopup, .icon = int(ToolIcon::SubFolders),
         .run = [](W&) {}},
        {.in = In::TargetPopup},
        {ACTION(Move1), .caption = QT_TR_NOOP("ここに移動(&M)"), .in = In::TargetPopup,
         .run = [](W& w) { w.fileCommands_->moveToTarget(); }, .touchesFiles = true},
        {ACTION(Copy1), .caption = QT_TR_NOOP("ここにｺﾋﾟｰ(&C)"), .in = In::TargetPopup,
         .run = [](W& w) { w.fileCommands_->copyToTarget(); }, .touchesFiles = true},
        {.in = In::TargetPopup},
        {ACTION(CancelMenu), .caption = QT_TR_NOOP("ｷｬﾝｾﾙ(&T)"), .in = In::TargetPopup, .run = [](W&) {}},

        {ACTION(TargetPath2), .caption = "", .in = In::DirPopup, .icon = int(ToolIcon::SubFolders), .run = [](W&) {}},
        {.in = In::DirPopup},
        {ACTION(CreateDirMenu), .caption = QT_TR_NOOP("新規フォルダの作成(&C)"), .in = In::DirPopup,
         .run = [](W& w) { w.folderPanel_->createFolder(); }, .touchesFiles = true},
        {ACTION(FRename1), .caption = QT_TR_NOOP("フォルダ名の変更(&M)"), .in = In::DirPopup,
         .run = [](W& w) { w.folderPanel_->renameFolder(); }, .touchesFiles = true},
        {ACTION(DeleteDirMenu), .caption = QT_TR_NOOP("このフォルダを削除(&D)"), .in = In::DirPopup,
         .run = [](W& w) { w.folderPanel_->deleteMenuFolder(); }, .touchesFiles = true},
        {.in = In::DirPopup},
        {ACTION(AddFavMenu), .caption = QT_TR_NOOP("お気に入りに追加(&A)"), .in = In::DirPopup,
         .run = [](W& w) { w.addMenuFolderToFavourites(); }},
        {ACTION(EditFavMenu), .caption = QT_TR_NOOP("お気に入りの整理(&S)"), .in = In::DirPopup,
         .run = [](W& w) { w.commands_->organiseFavourites(); }},
        {.in = In::DirPopup},
        {ACTION(Property2), .caption = QT_TR_NOOP("プロパティ(&P)"), .in = In::DirPopup,
         .run = [](W& w) { w.folderPanel_->showProperties(); }},

        {ACTION(Open3), .caption = QT_TR_NOOP("関連付けで開く(&O)"), .in = In::PreviewPopup,
         .run = [](W& w) { w.previewPanel_->openWithDefaultProgram(); }},
        {.in = In::PreviewPopup},
        {ACTION(StretchChange), .caption = QT_TR_NOOP("表示の切替(&N)"), .in = In::PreviewPopup, .checkable = true,
         .run = [](W& w) { w.previewPanel_->setFullSize(!w.previewPanel_->fullSize()); }},
        {ACTION(Turn), .caption = QT_TR_NOOP("画像の回転(&T)"), .in = In::PreviewPopup, .opens = In::Turn},
        {ACTION(Turn1), .caption = QT_TR_NOOP("右90度(&R)"), .in = In::Turn,
         .run = [](W& w) { w.previewPanel_->turn(TurnKind::Right90); }},
        {ACTION(Turn2), .caption = QT_TR_NOOP("180度(&T)"), .in = In::Turn,
         .run = [](W& w) { w.previewPanel_->turn(TurnKind::Half); }},
        {ACTION(Turn3), .caption = QT_TR_NOOP("左90度(&L)"), .in = In::Turn,
         .run = [](W& w) { w.previewPanel_->turn(TurnKind::Left90); }},
        {ACTION(TurnSave), .caption = QT_TR_NOOP("回転を保存(&V)"), .in = In::Turn,
         .run = [](W& w) { w.previewPanel_->saveTurn(); }},
        {ACTION(Wall3), .caption = QT_TR_NOOP("壁紙に設定(&W)"), .in = In::PreviewPopup, .opens = In::PreviewWall},
        {ACTION(Wall_Tile2), .caption = QT_TR_NOOP("並べて表示(&T)"), .in = In::PreviewWall,
         .run = [](W& w) { w.previewPanel_->setAsWallpaper(M::Tile); }},
        {ACTION(Wall_Center2), .caption = QT_TR_NOOP("中央に表示(&C)"), .in = In::PreviewWall,
         .run = [](W& w) { w.previewPanel_->setAsWallpaper(M::Center); }},
        {ACTION(Wall_Strech2), .caption = QT_TR_NOOP("画面サイズ(&S)"), .in = In::PreviewWall,
         .run = [](W& w) { w.previewPanel_->setAsWallpaper(M::Stretch); }},
        {ACTION(Wall_Fit2), .caption = QT_TR_NOOP("画面サイズ（対比保持）(&F)"), .in = In::PreviewWall,
         .run = [](W& w) { w.previewPanel_->setAsWallpaper(M::Fit); }},
        {.in = In::PreviewPopup},
        {ACTION(ClipImage), .caption = QT_TR_NOOP("ｸﾘｯﾌﾟﾎﾞｰﾄﾞへｺﾋﾟｰ(&C)"), .in = In::PreviewPopup,
         .run = [](W& w) { w.previewPanel_->copyToClipboard(); }, .keys = {press(Qt::Key_C, Qt::ControlModifier)}},
        {ACTION(Property3), .caption = QT_TR_NOOP("プロパティ(&P)"), .in = In::PreviewPopup,
         .run = [](W& w) { w.previewPanel_->showProperties(); }},

        {ACTION(QFShowMenu), .caption = QT_TR_NOOP("設定・変更(&S)"), .in = In::QFPopup,
         .run = [](W& w) { w.quickFolders_->editCurrent(); }},
        {ACTION(QFDeleteMenu), .caption = QT_TR_NOOP("設定をクリア(&D)"), .in = In::QFPopup,
         .run = [](W& w) { w.quickFolders_->clearCurrent(); }, .when = When::QFCaption},

        // Keys with no item of their own. Enter and S open viewers for the marked files.
        {.keys = {press(Qt::Key_Return, {}, true), press(Qt::Key_Enter), press(Qt::Key_S)},
         .onKey = [](W& w, int) {
             w.thumbnailGrid_->openMarked();
             return true;
         }},
        // B goes back to the previous folder of the history.
        {.keys = {press(Qt::Key_B)},
         .onKey = [](W& w, int) {
             w.bands_->folderBoxes().chooseHistoryItem(1);
             return true;
         }},
        // F1 … F12 open the drop menu of quick-folder button 1 … 12 for the marked files.
        {.keys = {release(Qt::Key_F1, Qt::Key_F12)},
         .onKey = [](W& w, int key) {
             const int n = key - Qt::Key_F1;
             const std::string folder = w.markedFiles().empty() ? std::string() : w.quickFolders_->folder(n);
             if (folder.empty()) return false;
             w.fileCommands_->offerTarget(folder, w.quickFolders_->toScreen(n));
             return true;
         }},
    };
    return rows;
}

#undef ACTION

bool TKorvelMain::runKey(const QKeyEvent* event, KeyWhen when) {
    for (const ActionRow& row : actionRows())
        for (const KeyBinding& k : row.keys) {
            if (k.key == 0) break;
            if (k.when != when || !k.matches(event)) continue;
            if (event->isAutoRepeat() && !k.repeats) return false;
            if (row.onKey) return row.onKey(*this, event->key());
            QAction* a = actions_.*row.member;
            updateActions();  // a dialog's command may have changed the states since they were set
            if (a->isEnabled()) a->trigger();
            return true;
        }
    return false;
}

void TKorvelMain::buildActions() {
    const MainBands::Menus& bar = bands_->menus();
    QToolBar* toolBar = bands_->toolBar();
    std::map<In, QMenu*> menus = {{In::FileMenu, bar.file}, {In::EditMenu, bar.edit}, {In::ViewMenu, bar.view},
                                  {In::OptionMenu, bar.option}, {In::HelpMenu, bar.help}};
    gridMenu_ = menus[In::GridPopup] = new QMenu(this);
    gridMenu_->setObjectName(QStringLiteral("GridPopup"));
    menus[In::TargetPopup] = fileCommands_->targetMenu();
    // The tree's panel exists before the table fills its menu; the layout places it later, as a
    // window without a parent, so that it takes its place in the focus order there.
    folderPanel_ = new FolderTreePanel;
    menus[In::DirPopup] = folderPanel_->menu();
    previewPanel_ = new PreviewPanel;  // placed by the layout, as the tree's panel is
    menus[In::PreviewPopup] = previewPanel_->menu();
    quickFolderMenu_ = menus[In::QFPopup] = new QMenu(this);
    quickFolderMenu_->setObjectName(QStringLiteral("QFPopup"));
    auto* nameViews = new QActionGroup(this);
    for (const ActionRow& row : actionRows()) {
        if (!row.member) {
            if (row.in == In::ToolBar) toolBar->addSeparator();
            else if (row.in != In::None) menus.at(row.in)->addSeparator();
            continue;
        }
        const QString caption = tr(row.caption);
        QAction* a = nullptr;
        if (row.opens != In::None) {
            QMenu* sub = menus.at(row.in)->addMenu(caption);
            menus[row.opens] = sub;
            a = sub->menuAction();
        } else if (row.in == In::ToolBar) {
            a = new QAction(toolIcon(ToolIcon(row.icon)), caption, this);
            a->setToolTip(caption);
            toolBar->addAction(a);
            toolBar->widgetForAction(a)->setObjectName(QString::fromLatin1(row.name));
        } else {
            a = menus.at(row.in)->addAction(caption);
            if (row.icon >= 0) a->setIcon(toolIcon(ToolIcon(row.icon)));
        }
        a->setObjectName(QString::fromLatin1(row.name));
        a->setCheckable(row.checkable);
        if (row.in == In::NameView) nameViews->addAction(a);
        if (row.run) connect(a, &QAction::triggered, this, [this, run = row.run] { run(*this); });
        if (row.toggle)
            connect(a, &QAction::triggered, this, [this, toggle = row.toggle](bool on) { toggle(*this, on); });
        actions_.*row.member = a;
    }
    folderPanel_->setTitleItem(actions_.TargetPath2);
    fileCommands_->setTitleItem(actions_.TargetPath1);
    QToolButton* nameViewButton = toolButton(actions_.NameViewBtn);
    nameViewButton->setMenu(menus.at(In::NameView));
    nameViewButton->setPopupMode(QToolButton::MenuButtonPopup);
    // Every menu shows the states of the moment.
    for (const auto& [in, menu] : menus) connect(menu, &QMenu::aboutToShow, this, &TKorvelMain::updateActions);
}

void TKorvelMain::updateActions() {
    if (!actions_.CloseBtn) return;  // not built yet
    const size_t marked = markedFiles().size();
    const bool jobRunning = fileCommands_->jobRunning();
    undo_->refresh();  // another program may have added or undone a step
    for (const ActionRow& row : actionRows()) {
        if (!row.member) continue;
        const bool built = row.run || row.toggle || row.opens != In::None;
        bool on = built && !(row.touchesFiles && jobRunning);
        switch (row.when) {
            case When::Always: break;
            case When::AnyMarked: on = on && marked != 0; break;
            case When::OneMarked: on = on && marked == 1; break;
            case When::Plugins: on = on && !commands_->pluginsSkipped(); break;
            case When::Listed: on = on && !fileList().empty(); break;
            case When::QFCaption: on = on && quickFolders_->folders().currentCanBeCleared(); break;
            case When::Undoable: on = on && undo_->available(korvel::UndoDirection::Undo); break;
            case When::Redoable: on = on && undo_->available(korvel::UndoDirection::Redo); break;
        }
        (actions_.*row.member)->setEnabled(on);
    }
    const Actions& a = actions_;
    for (QAction* x : {a.Undo1, a.Undo2}) x->setText(undo_->caption(korvel::UndoDirection::Undo));
    for (QAction* x : {a.Redo1, a.Redo2}) x->setText(undo_->caption(korvel::UndoDirection::Redo));
    for (QAction* x : {a.StretchBtn, a.StretchMenu, a.StretchChange}) x->setChecked(previewPanel_->fullSize());
    for (QAction* x : {a.DirViewBtn, a.DirViewMenu}) x->setChecked(folderPanel_->favouritesOnly());
    for (QAction* x : {a.ShowDirBtn, a.ShowDirMenu}) x->setChecked(folderPanel_->hidden());
    for (QAction* x : {a.SubDirFindBtn, a.SubDirFindMenu}) x->setChecked(listing_->options.subFolders);
    for (QAction* x : {a.ShowCaptionBtn, a.ShowCaptionMenu}) x->setChecked(quickFolders_->captionsShown());
    const std::array<QAction*, 5> views = {a.NameView1, a.NameView2, a.NameView3, a.NameView4, a.NameView5};
    for (int i = 0; i < 5; ++i) views[size_t(i)]->setChecked(int(infoMode_) == i);
    a.NameViewMenu->setChecked(false);  // its tool button is no toggle
    // The tree's menu offers only what its folder allows.
    const FolderTreePanel::Offered offered = folderPanel_->offeredCommands();
    a.CreateDirMenu->setVisible(offered.create);
    a.FRename1->setVisible(offered.rename);
    a.DeleteDirMenu->setVisible(offered.remove);
}

void TKorvelMain::setShowCaptions(bool down) {
    quickFolders_->showCaptions(down);
    updateActions();
}

void TKorvelMain::setInfoMode(InfoMode mode) {
    infoMode_ = mode;
    updateActions();
    // The info mode only repaints; the next listing and the sort buttons use the new key.
    thumbnailGrid_->view()->repaintCells();
}
