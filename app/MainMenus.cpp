// The commands of the main window: one table builds the menus, pop-up menus and tool bar, and
// updateActions() sets their states; the handlers that belong to the window frame.
#include <QActionGroup>
#include <QComboBox>
#include <QApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QMenu>
#include <QMessageBox>
#include <QSplitter>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>
#include <map>
#include <span>

#include "app/KorvelMain.h"
#include "base/ProgramFolders.h"
#include "app/ToolIcons.h"
#include "browse/ui/DirTree.h"
#include "browse/ui/OrgStGrid.h"
#include "fileops/WallpaperBitmap.h"
#include "platform/PathText.h"
#include "platform/ShellServices.h"

namespace {

// Where a row of the table goes: the tool bar, a menu, or a sub-menu an earlier row opened.
enum class In {
    ToolBar, FileMenu, EditMenu, ViewMenu, OptionMenu, HelpMenu, GridPopup, TargetPopup, DirPopup, PreviewPopup,
    EditWall, NameView, GridWall, Turn, PreviewWall, QFPopup, None
};

// When a built command is enabled. The tool bar's file buttons follow the listing, the menus the marks.
enum class When { Always, AnyMarked, OneMarked, Plugins, Listed, QFCaption };

using Member = QAction* TKorvelMain::Actions::*;

}  // namespace

// One command. A row without a handler whose window arrives later stays visible but disabled;
// a row that opens a sub-menu is the sub-menu's own item.
struct TKorvelMain::ActionRow {
    Member member;  // null: a separator
    const char* name;
    const char* caption;
    In in;
    int icon = -1;  // tool-bar image (ToolIcon); -1 none
    bool checkable = false;
    void (*run)(TKorvelMain&) = nullptr;
    When when = When::Always;
    In opens = In::None;
    const char* shortcut = nullptr;
};

QToolButton* TKorvelMain::toolButton(const QAction* a) const {
    return qobject_cast<QToolButton*>(ToolBar1->widgetForAction(const_cast<QAction*>(a)));
}

// The one table of commands, in menu and tool-bar order. Adding a command is one row here and
// its handler.
std::span<const TKorvelMain::ActionRow> TKorvelMain::actionRows() {
    using A = Actions;
    using W = TKorvelMain;
    using M = korvel::WallpaperMode;
    static const ActionRow rows[] = {
        {&A::CloseBtn, "CloseBtn", QT_TR_NOOP("ｱﾌﾟﾘｹｰｼｮﾝの終了"), In::ToolBar, 0, false, [](W& w) { w.Close1Click(); }},
        {nullptr, nullptr, nullptr, In::ToolBar},
        {&A::CopyBtn, "CopyBtn", QT_TR_NOOP("ファイルのコピー"), In::ToolBar, 1, false, [](W& w) { w.Copy2Click(); },
         When::Listed},
        {&A::KCopyBtn, "KCopyBtn", QT_TR_NOOP("拡張コピー"), In::ToolBar, 2, false, [](W& w) { w.KCopyBtnClick(); },
         When::Listed},
        {&A::MoveBtn, "MoveBtn", QT_TR_NOOP("ファイルの移動"), In::ToolBar, 3, false, [](W& w) { w.Move2Click(); },
         When::Listed},
        {&A::DeleteBtn, "DeleteBtn", QT_TR_NOOP("ファイルの削除"), In::ToolBar, 4, false, [](W& w) { w.Delete1Click(); },
         When::Listed},
        {&A::ReNameBtn1, "ReNameBtn1", QT_TR_NOOP("名前の変更"), In::ToolBar, 5, false, [](W& w) { w.ReNameBtn1Click(); },
         When::Listed},
        {&A::NumberRNBtn1, "NumberRNBtn1", QT_TR_NOOP("連番で名前を変更"), In::ToolBar, 6, false,
         [](W& w) { w.NumberRNBtn1Click(); }, When::Listed},
        {nullptr, nullptr, nullptr, In::ToolBar},
        {&A::ShowBtn1, "ShowBtn1", QT_TR_NOOP("ｽﾗｲﾄﾞｼｮｰ"), In::ToolBar, 7, false, [](W& w) { w.ShowBtn1Click(); },
         When::Listed},
        {&A::StretchBtn, "StretchBtn", QT_TR_NOOP("表示切替"), In::ToolBar, 8, true, [](W& w) { w.StretchBtnClick(); }},
        {nullptr, nullptr, nullptr, In::ToolBar},
        {&A::DirViewBtn, "DirViewBtn", QT_TR_NOOP("お気に入りフォルダのみ表示"), In::ToolBar, 9, true,
         [](W& w) { w.DirViewBtnClick(); }},
        {&A::ShowDirBtn, "ShowDirBtn", QT_TR_NOOP("ﾃﾞｨﾚｸﾄﾘﾂﾘｰを表示しない"), In::ToolBar, 10, true,
         [](W& w) { w.ShowDirBtnClick(); }},
        {&A::SubDirFindBtn, "SubDirFindBtn", QT_TR_NOOP("ｻﾌﾞﾌｫﾙﾀﾞのﾌｧｲﾙも表示"), In::ToolBar, 11, true,
         [](W& w) { w.SubDirFindBtnClick(); }},
        {&A::NameViewBtn, "NameViewBtn", QT_TR_NOOP("情報表示の切替"), In::ToolBar, 12, false, [](W& w) { w.NameViewBtnClick(); }},
        {&A::ShowCaptionBtn, "ShowCaptionBtn", QT_TR_NOOP("ｸｲｯｸﾌｫﾙﾀﾞ名の表示"), In::ToolBar, 13, true,
         [](W& w) { w.ShowCaptionBtnClick(); }},
        {nullptr, nullptr, nullptr, In::ToolBar},
        {&A::SortBtn1, "SortBtn1", QT_TR_NOOP("昇順で並び替え"), In::ToolBar, 14, false, [](W& w) { w.SortBtn1Click(); }},
        {&A::SortBtn2, "SortBtn2", QT_TR_NOOP("降順で並び替え"), In::ToolBar, 15, false, [](W& w) { w.SortBtn2Click(); }},
        {&A::RefreshBtn, "RefreshBtn", QT_TR_NOOP("最新の情報に更新"), In::ToolBar, 16, false, [](W& w) { w.Refresh1Click(); }},
        {nullptr, nullptr, nullptr, In::ToolBar},
        {&A::OptionBtn, "OptionBtn", QT_TR_NOOP("ｵﾌﾟｼｮﾝ設定"), In::ToolBar, 17, false, [](W& w) { w.OptionMenuClick(); }},
        {&A::PlugInSetBtn1, "PlugInSetBtn1", QT_TR_NOOP("ﾌﾟﾗｸﾞｲﾝ設定"), In::ToolBar, 18, false,
         [](W& w) { w.PlugInSet1Click(); }, When::Plugins},
        {nullptr, nullptr, nullptr, In::ToolBar},
        {&A::HelpBtn, "HelpBtn", QT_TR_NOOP("ヘルプ"), In::ToolBar, 19, false, [](W& w) { w.Contents1Click(); }},
        {&A::VerBtn, "VerBtn", QT_TR_NOOP("Korvelについて"), In::ToolBar, 20, false, [](W& w) { w.About1Click(); }},

        {&A::Open1, "Open1", QT_TR_NOOP("関連付けで開く(&O)"), In::FileMenu, -1, false, [](W& w) { w.Open1Click(); },
         When::AnyMarked},
        {nullptr, nullptr, nullptr, In::FileMenu},
        {&A::Close1, "Close1", QT_TR_NOOP("終了(&X)"), In::FileMenu, -1, false, [](W& w) { w.Close1Click(); }},

        {&A::Copy2, "Copy2", QT_TR_NOOP("コピー(&C)"), In::EditMenu, -1, false, [](W& w) { w.Copy2Click(); }, When::AnyMarked},
        {&A::KCopy, "KCopy", QT_TR_NOOP("拡張コピー(&K)"), In::EditMenu, -1, false, [](W& w) { w.KCopyBtnClick(); },
         When::AnyMarked},
        {&A::Move2, "Move2", QT_TR_NOOP("移動(&M)"), In::EditMenu, -1, false, [](W& w) { w.Move2Click(); }, When::AnyMarked},
        {&A::Delete1, "Delete1", QT_TR_NOOP("削除(&D)"), In::EditMenu, -1, false, [](W& w) { w.Delete1Click(); },
         When::AnyMarked},
        {nullptr, nullptr, nullptr, In::EditMenu},
        {&A::Rename1, "Rename1", QT_TR_NOOP("名前の変更(&R)"), In::EditMenu, -1, false, [](W& w) { w.ReNameBtn1Click(); },
         When::AnyMarked},
        {&A::NumberRN1, "NumberRN1", QT_TR_NOOP("連番で変更(&N)"), In::EditMenu, -1, false,
         [](W& w) { w.NumberRNBtn1Click(); }, When::AnyMarked},
        {nullptr, nullptr, nullptr, In::EditMenu},
        {&A::Wall2, "Wall2", QT_TR_NOOP("壁紙に設定(&W)"), In::EditMenu, -1, false, nullptr, When::OneMarked, In::EditWall},
        {&A::Wall_Tile1, "Wall_Tile1", QT_TR_NOOP("並べて表示(&T)"), In::EditWall, -1, false,
         [](W& w) { w.wallpaperFromSelection(int(M::Tile)); }},
        {&A::Wall_Center1, "Wall_Center1", QT_TR_NOOP("中央に表示(&C)"), In::EditWall, -1, false,
         [](W& w) { w.wallpaperFromSelection(int(M::Center)); }},
        {&A::Wall_Strech1, "Wall_Strech1", QT_TR_NOOP("画面サイズ(&S)"), In::EditWall, -1, false,
         [](W& w) { w.wallpaperFromSelection(int(M::Stretch)); }},
        {&A::Wall_Fit1, "Wall_Fit1", QT_TR_NOOP("画面サイズ（対比保持）(&F)"), In::EditWall, -1, false,
         [](W& w) { w.wallpaperFromSelection(int(M::Fit)); }},
        {nullptr, nullptr, nullptr, In::EditMenu},
        {&A::SelectAll, "SelectAll", QT_TR_NOOP("ｻﾑﾈｲﾙを全て選択(&A)"), In::EditMenu, -1, false,
         [](W& w) { w.SelectAllClick(); }},

        {&A::Show1, "Show1", QT_TR_NOOP("スライドショー(&S)"), In::ViewMenu, -1, false, [](W& w) { w.ShowBtn1Click(); },
         When::Listed},
        {nullptr, nullptr, nullptr, In::ViewMenu},
        {&A::StretchMenu, "StretchMenu", QT_TR_NOOP("表示の切替(&N)"), In::ViewMenu, -1, true,
         [](W& w) { w.StretchMenuClick(); }},
        {&A::DirViewMenu, "DirViewMenu", QT_TR_NOOP("お気に入りフォルダのみ表示(&F)"), In::ViewMenu, -1, true,
         [](W& w) { w.DirViewMenuClick(); }},
        {&A::ShowDirMenu, "ShowDirMenu", QT_TR_NOOP("ﾃﾞｨﾚｸﾄﾘﾂﾘｰを表示しない(&D)"), In::ViewMenu, -1, true,
         [](W& w) { w.ShowDirMenuClick(); }},
        {&A::SubDirFindMenu, "SubDirFindMenu", QT_TR_NOOP("ｻﾌﾞﾌｫﾙﾀﾞのﾌｧｲﾙも表示(&A)"), In::ViewMenu, -1, true,
         [](W& w) { w.SubDirFindMenuClick(); }},
        {&A::NameViewMenu, "NameViewMenu", QT_TR_NOOP("情報表示の切替(&V)"), In::ViewMenu, -1, true, nullptr,
         When::Always, In::NameView},
        {&A::NameView1, "NameView1", QT_TR_NOOP("ファイル名(&F)"), In::NameView, -1, true, [](W& w) { w.NameViewClick(0); }},
        {&A::NameView2, "NameView2", QT_TR_NOOP("ファイルサイズ(&S)"), In::NameView, -1, true,
         [](W& w) { w.NameViewClick(1); }},
        {&A::NameView3, "NameView3", QT_TR_NOOP("日付(&D)"), In::NameView, -1, true, [](W& w) { w.NameViewClick(2); }},
        {&A::NameView4, "NameView4", QT_TR_NOOP("拡張子(&E)"), In::NameView, -1, true, [](W& w) { w.NameViewClick(3); }},
        {&A::ShowCaptionMenu, "ShowCaptionMenu", QT_TR_NOOP("ｸｲｯｸﾌｫﾙﾀﾞ名を表示する(&Q)"), In::ViewMenu, -1, true,
         [](W& w) { w.ShowCaptionMenuClick(); }},
        {nullptr, nullptr, nullptr, In::ViewMenu},
        {&A::Refresh1, "Refresh1", QT_TR_NOOP("最新の情報に更新(&R)"), In::ViewMenu, -1, false, [](W& w) { w.Refresh1Click(); }},

        {&A::Option1, "Option1", QT_TR_NOOP("オプション設定(&O)"), In::OptionMenu, -1, false,
         [](W& w) { w.OptionMenuClick(); }},
        {&A::PlugInSet1, "PlugInSet1", QT_TR_NOOP("ﾌﾟﾗｸﾞｲﾝ設定(&P)"), In::OptionMenu, -1, false,
         [](W& w) { w.PlugInSet1Click(); }, When::Plugins},

        {&A::Contents1, "Contents1", QT_TR_NOOP("目次(&C)"), In::HelpMenu, -1, false, [](W& w) { w.Contents1Click(); }},
        {nullptr, nullptr, nullptr, In::HelpMenu},
        {&A::About1, "About1", QT_TR_NOOP("Korvelについて(&A)"), In::HelpMenu, -1, false, [](W& w) { w.About1Click(); }},

        {&A::Open2, "Open2", QT_TR_NOOP("関連付けで開く(&O)"), In::GridPopup, -1, false, [](W& w) { w.Open1Click(); }},
        {nullptr, nullptr, nullptr, In::GridPopup},
        {&A::Copy3, "Copy3", QT_TR_NOOP("コピー(&C)"), In::GridPopup, -1, false, [](W& w) { w.Copy2Click(); }},
        {&A::KCopyMenu2, "KCopyMenu2", QT_TR_NOOP("拡張コピー(&K)"), In::GridPopup, -1, false,
         [](W& w) { w.KCopyBtnClick(); }},
        {&A::Move3, "Move3", QT_TR_NOOP("移動(&M)"), In::GridPopup, -1, false, [](W& w) { w.Move2Click(); }},
        {&A::Delete2, "Delete2", QT_TR_NOOP("削除(&D)"), In::GridPopup, -1, false, [](W& w) { w.Delete1Click(); }},
        {nullptr, nullptr, nullptr, In::GridPopup},
        {&A::Rename2, "Rename2", QT_TR_NOOP("名前の変更(&R)"), In::GridPopup, -1, false, [](W& w) { w.ReNameBtn1Click(); }},
        {&A::NumberRN2, "NumberRN2", QT_TR_NOOP("連番で変更(&N)"), In::GridPopup, -1, false,
         [](W& w) { w.NumberRNBtn1Click(); }},
        {nullptr, nullptr, nullptr, In::GridPopup},
        {&A::Wall1, "Wall1", QT_TR_NOOP("壁紙に設定(&W)"), In::GridPopup, -1, false, nullptr, When::OneMarked, In::GridWall},
        {&A::Wall_Tile, "Wall_Tile", QT_TR_NOOP("並べて表示(&T)"), In::GridWall, -1, false,
         [](W& w) { w.wallpaperFromSelection(int(M::Tile)); }},
        {&A::Wall_Center, "Wall_Center", QT_TR_NOOP("中央に表示(&C)"), In::GridWall, -1, false,
         [](W& w) { w.wallpaperFromSelection(int(M::Center)); }},
        {&A::Wall_Strech, "Wall_Strech", QT_TR_NOOP("画面サイズ(&S)"), In::GridWall, -1, false,
         [](W& w) { w.wallpaperFromSelection(int(M::Stretch)); }},
        {&A::Wall_Fit, "Wall_Fit", QT_TR_NOOP("画面サイズ（対比保持）(&F)"), In::GridWall, -1, false,
         [](W& w) { w.wallpaperFromSelection(int(M::Fit)); }},
        {nullptr, nullptr, nullptr, In::GridPopup},
        {&A::SelectAll2, "SelectAll2", QT_TR_NOOP("ｻﾑﾈｲﾙを全て選択(&A)"), In::GridPopup, -1, false,
         [](W& w) { w.SelectAllClick(); }},
        {&A::Property1, "Property1", QT_TR_NOOP("プロパティ(&P)"), In::GridPopup, -1, false, [](W& w) { w.Property1Click(); },
         When::OneMarked},

        {&A::TargetPath1, "TargetPath1", "", In::TargetPopup, int(ToolIcon::SubFolders), false, [](W&) {}},
        {nullptr, nullptr, nullptr, In::TargetPopup},
        {&A::Move1, "Move1", QT_TR_NOOP("ここに移動(&M)"), In::TargetPopup, -1, false, [](W& w) { w.Move1Click(); }},
        {&A::Copy1, "Copy1", QT_TR_NOOP("ここにｺﾋﾟｰ(&C)"), In::TargetPopup, -1, false, [](W& w) { w.Copy1Click(); }},
        {nullptr, nullptr, nullptr, In::TargetPopup},
        {&A::CancelMenu, "CancelMenu", QT_TR_NOOP("ｷｬﾝｾﾙ(&T)"), In::TargetPopup, -1, false, [](W&) {}},

        {&A::TargetPath2, "TargetPath2", "", In::DirPopup, int(ToolIcon::SubFolders), false, [](W&) {}},
        {nullptr, nullptr, nullptr, In::DirPopup},
        {&A::CreateDirMenu, "CreateDirMenu", QT_TR_NOOP("新規フォルダの作成(&C)"), In::DirPopup, -1, false,
         [](W& w) { w.CreateDirMenuClick(); }},
        {&A::FRename1, "FRename1", QT_TR_NOOP("フォルダ名の変更(&M)"), In::DirPopup, -1, false,
         [](W& w) { w.FRename1Click(); }},
        {&A::DeleteDirMenu, "DeleteDirMenu", QT_TR_NOOP("このフォルダを削除(&D)"), In::DirPopup, -1, false,
         [](W& w) { w.DeleteDirMenuClick(); }},
        {nullptr, nullptr, nullptr, In::DirPopup},
        {&A::AddFavMenu, "AddFavMenu", QT_TR_NOOP("お気に入りに追加(&A)"), In::DirPopup, -1, false,
         [](W& w) { w.AddFavMenuClick(); }},
        {&A::EditFavMenu, "EditFavMenu", QT_TR_NOOP("お気に入りの整理(&S)"), In::DirPopup, -1, false,
         [](W& w) { w.EditFavMenuClick(); }},
        {nullptr, nullptr, nullptr, In::DirPopup},
        {&A::Property2, "Property2", QT_TR_NOOP("プロパティ(&P)"), In::DirPopup, -1, false, [](W& w) { w.Property2Click(); }},

        {&A::Open3, "Open3", QT_TR_NOOP("関連付けで開く(&O)"), In::PreviewPopup, -1, false, [](W& w) { w.Open3Click(); }},
        {nullptr, nullptr, nullptr, In::PreviewPopup},
        {&A::StretchChange, "StretchChange", QT_TR_NOOP("表示の切替(&N)"), In::PreviewPopup, -1, true,
         [](W& w) { w.StretchChangeClick(); }},
        {&A::Turn, "Turn", QT_TR_NOOP("画像の回転(&T)"), In::PreviewPopup, -1, false, nullptr, When::Always, In::Turn},
        {&A::Turn1, "Turn1", QT_TR_NOOP("右90度(&R)"), In::Turn, -1, false, [](W& w) { w.TurnClick(1); }},
        {&A::Turn2, "Turn2", QT_TR_NOOP("180度(&T)"), In::Turn, -1, false, [](W& w) { w.TurnClick(2); }},
        {&A::Turn3, "Turn3", QT_TR_NOOP("左90度(&L)"), In::Turn, -1, false, [](W& w) { w.TurnClick(3); }},
        {&A::Wall3, "Wall3", QT_TR_NOOP("壁紙に設定(&W)"), In::PreviewPopup, -1, false, nullptr, When::Always, In::PreviewWall},
        {&A::Wall_Tile2, "Wall_Tile2", QT_TR_NOOP("並べて表示(&T)"), In::PreviewWall, -1, false,
         [](W& w) { w.wallpaperFromPreview(int(M::Tile)); }},
        {&A::Wall_Center2, "Wall_Center2", QT_TR_NOOP("中央に表示(&C)"), In::PreviewWall, -1, false,
         [](W& w) { w.wallpaperFromPreview(int(M::Center)); }},
        {&A::Wall_Strech2, "Wall_Strech2", QT_TR_NOOP("画面サイズ(&S)"), In::PreviewWall, -1, false,
         [](W& w) { w.wallpaperFromPreview(int(M::Stretch)); }},
        {&A::Wall_Fit2, "Wall_Fit2", QT_TR_NOOP("画面サイズ（対比保持）(&F)"), In::PreviewWall, -1, false,
         [](W& w) { w.wallpaperFromPreview(int(M::Fit)); }},
        {nullptr, nullptr, nullptr, In::PreviewPopup},
        {&A::ClipImage, "ClipImage", QT_TR_NOOP("ｸﾘｯﾌﾟﾎﾞｰﾄﾞへｺﾋﾟｰ(&C)"), In::PreviewPopup, -1, false,
         [](W& w) { w.ClipImageClick(); }},
        {&A::Property3, "Property3", QT_TR_NOOP("プロパティ(&P)"), In::PreviewPopup, -1, false,
         [](W& w) { w.Property3Click(); }},

        {&A::QFShowMenu, "QFShowMenu", QT_TR_NOOP("設定・変更(&S)"), In::QFPopup, -1, false,
         [](W& w) { w.QFShowMenuClick(); }},
        {&A::QFDeleteMenu, "QFDeleteMenu", QT_TR_NOOP("設定をクリア(&D)"), In::QFPopup, -1, false,
         [](W& w) { w.QFDeleteMenuClick(); }, When::QFCaption},
    };
    return rows;
}

void TKorvelMain::buildActions() {
    std::map<In, QMenu*> menus = {{In::FileMenu, FileMenu}, {In::EditMenu, EditMenu}, {In::ViewMenu, ViewMenu},
                                  {In::OptionMenu, OptionMenu}, {In::HelpMenu, HelpMenu}};
    GridPopup = menus[In::GridPopup] = new QMenu(this);
    GridPopup->setObjectName(QStringLiteral("GridPopup"));
    PopupMenu1 = menus[In::TargetPopup] = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    DirPopup = menus[In::DirPopup] = new QMenu(this);
    DirPopup->setObjectName(QStringLiteral("DirPopup"));
    PaintBoxPopup = menus[In::PreviewPopup] = new QMenu(this);
    PaintBoxPopup->setObjectName(QStringLiteral("PaintBoxPopup"));
    QFPopup = menus[In::QFPopup] = new QMenu(this);
    QFPopup->setObjectName(QStringLiteral("QFPopup"));
    auto* nameViews = new QActionGroup(this);
    for (const ActionRow& row : actionRows()) {
        if (!row.member) {
            if (row.in == In::ToolBar) ToolBar1->addSeparator();
            else menus.at(row.in)->addSeparator();
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
            ToolBar1->addAction(a);
            ToolBar1->widgetForAction(a)->setObjectName(QString::fromLatin1(row.name));
        } else {
            a = menus.at(row.in)->addAction(caption);
            if (row.icon >= 0) a->setIcon(toolIcon(ToolIcon(row.icon)));
        }
        a->setObjectName(QString::fromLatin1(row.name));
        a->setCheckable(row.checkable);
        if (row.shortcut) a->setShortcut(QKeySequence(QString::fromLatin1(row.shortcut)));
        if (row.in == In::NameView) nameViews->addAction(a);
        if (row.run) connect(a, &QAction::triggered, this, [this, run = row.run] { run(*this); });
        actions_.*row.member = a;
    }
    NameViewMenu = menus.at(In::NameView);
    QToolButton* nameViewButton = toolButton(actions_.NameViewBtn);
    nameViewButton->setMenu(NameViewMenu);
    nameViewButton->setPopupMode(QToolButton::MenuButtonPopup);
    // Every menu shows the states of the moment.
    for (const auto& [in, menu] : menus) connect(menu, &QMenu::aboutToShow, this, &TKorvelMain::updateActions);
}

void TKorvelMain::updateActions() {
    if (!actions_.CloseBtn) return;  // not built yet
    const size_t marked = markedFiles().size();
    for (const ActionRow& row : actionRows()) {
        if (!row.member) continue;
        const bool built = row.run || row.opens != In::None;
        bool on = built;
        switch (row.when) {
            case When::Always: break;
            case When::AnyMarked: on = on && marked != 0; break;
            case When::OneMarked: on = on && marked == 1; break;
            case When::Plugins: on = on && !PluginsSkipped; break;
            case When::Listed: on = on && !FileList.empty(); break;
            case When::QFCaption: on = on && currentQuickFolderHasCaption(); break;
        }
        (actions_.*row.member)->setEnabled(on);
    }
    const Actions& a = actions_;
    // Nothing that touches files or re-reads the folder starts while a file job runs.
    if (jobRunning()) {
        for (QAction* x : {a.CopyBtn, a.KCopyBtn, a.MoveBtn, a.DeleteBtn, a.ReNameBtn1, a.NumberRNBtn1, a.RefreshBtn,
                           a.Copy2, a.KCopy, a.Move2, a.Delete1, a.Rename1, a.NumberRN1, a.Refresh1, a.Copy3,
                           a.KCopyMenu2, a.Move3, a.Delete2, a.Rename2, a.NumberRN2, a.Move1, a.Copy1,
                           a.CreateDirMenu, a.FRename1, a.DeleteDirMenu})
            x->setEnabled(false);
    }
    for (QAction* x : {a.StretchBtn, a.StretchMenu, a.StretchChange}) x->setChecked(FullSize);
    for (QAction* x : {a.DirViewBtn, a.DirViewMenu}) x->setChecked(FavoritesOnly);
    for (QAction* x : {a.ShowDirBtn, a.ShowDirMenu}) x->setChecked(TreeHidden);
    for (QAction* x : {a.SubDirFindBtn, a.SubDirFindMenu}) x->setChecked(SubDirSearch);
    for (QAction* x : {a.ShowCaptionBtn, a.ShowCaptionMenu}) x->setChecked(ShowCaptions);
    const std::array<QAction*, 4> views = {a.NameView1, a.NameView2, a.NameView3, a.NameView4};
    for (int i = 0; i < 4; ++i) views[size_t(i)]->setChecked(NameView == i);
    a.NameViewMenu->setChecked(false);  // its tool button is no toggle
}

// The menus' states are set when each menu opens.
void TKorvelMain::File1Click() { updateActions(); }
void TKorvelMain::Show1Click() { updateActions(); }

void TKorvelMain::setTreeHidden(bool down) {
    TreeHidden = down;
    updateActions();
    QList<int> sizes = Splitter1->sizes();
    if (down) {
        SavedTreeWidth = sizes[0];
        sizes[1] += sizes[0] - 1;
        sizes[0] = 1;
        Splitter1->handle(1)->setCursor(Qt::ForbiddenCursor);
    } else {
        int w = SavedTreeWidth < 2 ? width() / 4 : SavedTreeWidth;
        sizes[1] = std::max(1, sizes[0] + sizes[1] - w);
        sizes[0] = w;
        Splitter1->handle(1)->setCursor(Qt::SplitHCursor);
    }
    Splitter1->setSizes(sizes);
    // The splitter cannot be dragged while the tree is hidden.
    Splitter1->handle(1)->setEnabled(!down);
    DirTree1->setEnabled(!down);
}

void TKorvelMain::ShowDirBtnClick() { setTreeHidden(actions_.ShowDirBtn->isChecked()); }
void TKorvelMain::ShowDirMenuClick() { setTreeHidden(actions_.ShowDirMenu->isChecked()); }

void TKorvelMain::setShowCaptions(bool down) {
    ShowCaptions = down;
    updateActions();
    for (QToolButton* b : FolderBtns) {
        b->setToolButtonStyle(down ? Qt::ToolButtonTextBesideIcon : Qt::ToolButtonIconOnly);
        if (down) {
            b->setMinimumSize(0, 0);
            b->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
        } else {
            b->setFixedSize(23, 22);
        }
    }
}

void TKorvelMain::ShowCaptionBtnClick() { setShowCaptions(actions_.ShowCaptionBtn->isChecked()); }
void TKorvelMain::ShowCaptionMenuClick() { setShowCaptions(actions_.ShowCaptionMenu->isChecked()); }

void TKorvelMain::setFavoritesOnly(bool on) {
    FavoritesOnly = on;
    updateActions();
    DirTree1->Reload();
}

void TKorvelMain::DirViewBtnClick() { setFavoritesOnly(actions_.DirViewBtn->isChecked()); }
void TKorvelMain::DirViewMenuClick() { setFavoritesOnly(actions_.DirViewMenu->isChecked()); }

void TKorvelMain::NameViewClick(int mode) {
    NameView = mode;
    updateActions();
    // The info mode only repaints; the next listing and the sort buttons use the new key.
    StringGrid1->repaintCells();
}

void TKorvelMain::Close1Click() { close(); }

void TKorvelMain::Contents1Click() {
    // The help file is named after the program and sits in its data folder.
    const QFileInfo exe(QString::fromStdString(exePath_));
    const QString help = QString::fromStdString(korvel::programFolders(exePath_).data) + exe.completeBaseName() +
                         QStringLiteral(".html");
    if (!QFileInfo::exists(help) || !QDesktopServices::openUrl(QUrl::fromLocalFile(help)))
        QMessageBox::information(this, QStringLiteral("Korvel"), tr("ヘルプファイルを開けません。") + QLatin1Char('\n') + help);
}

void TKorvelMain::About1Click() {
    QMessageBox::about(this, tr("Korvelについて"),
                       QStringLiteral("<b>Korvel</b> %1<br>").arg(QStringLiteral(KORVEL_VERSION)) +
                           tr("画像の整理と閲覧"));
}

void TKorvelMain::Property2Click() {
    // The folder of the menu's title item, less one trailing "/" (the root stays "/").
    std::string path = actions_.TargetPath2->data().toByteArray().toStdString();
    if (path.size() > 1 && path.back() == '/') path.pop_back();
    if (!path.empty()) showShellProperties(path, this);
}

void TKorvelMain::DirTree1RightClick(const QPoint& globalPos) {
    // The title shows the folder; the command uses its bytes.
    const std::string folder = DirTree1->SelectedPath();
    actions_.TargetPath2->setText(pathText(folder));
    actions_.TargetPath2->setData(QByteArray::fromStdString(folder));
    DirPopup->popup(globalPos);
}
