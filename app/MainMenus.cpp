// The main menu and the handlers of its items that belong to the main window frame.
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

#include "app/KorvelMain.h"
#include "app/ToolIcons.h"
#include "browse/ui/DirTree.h"
#include "browse/ui/OrgStGrid.h"
#include "platform/PathText.h"
#include "platform/ShellServices.h"

QAction* TKorvelMain::addMenuAction(QMenu* menu, const char* name, const QString& caption) {
    QAction* a = menu->addAction(caption);
    a->setObjectName(QString::fromLatin1(name));
    return a;
}

QAction* TKorvelMain::action(const char* name) const { return findChild<QAction*>(QString::fromLatin1(name)); }

QToolButton* TKorvelMain::toolButton(const char* name) const {
    QAction* a = action(name);
    return a ? qobject_cast<QToolButton*>(ToolBar1->widgetForAction(a)) : nullptr;
}

void TKorvelMain::buildMenus() {
    addMenuAction(FileMenu, "Open1", tr("関連付けで開く(&O)"));
    FileMenu->addSeparator();
    addMenuAction(FileMenu, "Close1", tr("終了(&X)"));

    addMenuAction(EditMenu, "Copy2", tr("コピー(&C)"));
    addMenuAction(EditMenu, "KCopy", tr("拡張コピー(&K)"));
    addMenuAction(EditMenu, "Move2", tr("移動(&M)"));
    addMenuAction(EditMenu, "Delete1", tr("削除(&D)"));
    EditMenu->addSeparator();
    addMenuAction(EditMenu, "Rename1", tr("名前の変更(&R)"));
    addMenuAction(EditMenu, "NumberRN1", tr("連番で変更(&N)"));
    EditMenu->addSeparator();
    QMenu* wall = EditMenu->addMenu(tr("壁紙に設定(&W)"));
    wall->menuAction()->setObjectName(QStringLiteral("Wall2"));
    addMenuAction(wall, "Wall_Tile1", tr("並べて表示(&T)"));
    addMenuAction(wall, "Wall_Center1", tr("中央に表示(&C)"));
    addMenuAction(wall, "Wall_Strech1", tr("画面サイズ(&S)"));
    addMenuAction(wall, "Wall_Fit1", tr("画面サイズ（対比保持）(&F)"));
    EditMenu->addSeparator();
    addMenuAction(EditMenu, "SelectAll", tr("ｻﾑﾈｲﾙを全て選択(&A)"));

    addMenuAction(ViewMenu, "Show1", tr("スライドショー(&S)"));
    ViewMenu->addSeparator();
    addMenuAction(ViewMenu, "StretchMenu", tr("表示の切替(&N)"))->setCheckable(true);
    addMenuAction(ViewMenu, "DirViewMenu", tr("お気に入りフォルダのみ表示(&F)"))->setCheckable(true);
    addMenuAction(ViewMenu, "ShowDirMenu", tr("ﾃﾞｨﾚｸﾄﾘﾂﾘｰを表示しない(&D)"))->setCheckable(true);
    addMenuAction(ViewMenu, "SubDirFindMenu", tr("ｻﾌﾞﾌｫﾙﾀﾞのﾌｧｲﾙも表示(&A)"))->setCheckable(true);
    NameViewMenu = ViewMenu->addMenu(tr("情報表示の切替(&V)"));
    NameViewMenu->menuAction()->setObjectName(QStringLiteral("NameViewMenu"));
    NameViewMenu->menuAction()->setCheckable(true);
    auto* group = new QActionGroup(this);
    const char* names[] = {"NameView1", "NameView2", "NameView3", "NameView4"};
    const QString captions[] = {tr("ファイル名(&F)"), tr("ファイルサイズ(&S)"), tr("日付(&D)"), tr("拡張子(&E)")};
    for (int i = 0; i < 4; ++i) {
        QAction* a = addMenuAction(NameViewMenu, names[i], captions[i]);
        a->setCheckable(true);
        group->addAction(a);
        connect(a, &QAction::triggered, this, [this, i] { NameViewClick(i); });
    }
    addMenuAction(ViewMenu, "ShowCaptionMenu", tr("ｸｲｯｸﾌｫﾙﾀﾞ名を表示する(&Q)"))->setCheckable(true);
    ViewMenu->addSeparator();
    addMenuAction(ViewMenu, "Refresh1", tr("最新の情報に更新(&R)"));

    addMenuAction(OptionMenu, "Option1", tr("オプション設定(&O)"));
    addMenuAction(OptionMenu, "PlugInSet1", tr("ﾌﾟﾗｸﾞｲﾝ設定(&P)"));

    addMenuAction(HelpMenu, "Contents1", tr("目次(&C)"));
    HelpMenu->addSeparator();
    addMenuAction(HelpMenu, "About1", tr("Korvelについて(&A)"));

    toolButton("NameViewBtn")->setMenu(NameViewMenu);

    // Commands whose windows arrive later stay visible but disabled.
    for (const char* name : {"Copy2", "KCopy", "Move2", "Delete1", "Rename1", "NumberRN1", "Show1", "Option1",
                             "CopyBtn", "KCopyBtn", "MoveBtn", "DeleteBtn", "ReNameBtn1", "NumberRNBtn1",
                             "ShowBtn1", "OptionBtn"})
        if (QAction* a = action(name)) {
            a->setEnabled(false);
            a->setProperty("notYetBuilt", true);
        }

    auto on = [this](const char* name, void (TKorvelMain::*slot)()) {
        connect(action(name), &QAction::triggered, this, slot);
    };
    on("Close1", &TKorvelMain::Close1Click);
    on("CloseBtn", &TKorvelMain::Close1Click);
    on("ShowDirBtn", &TKorvelMain::ShowDirBtnClick);
    on("ShowDirMenu", &TKorvelMain::ShowDirMenuClick);
    on("ShowCaptionBtn", &TKorvelMain::ShowCaptionBtnClick);
    on("ShowCaptionMenu", &TKorvelMain::ShowCaptionMenuClick);
    on("SubDirFindBtn", &TKorvelMain::SubDirFindBtnClick);
    on("SubDirFindMenu", &TKorvelMain::SubDirFindMenuClick);
    on("DirViewBtn", &TKorvelMain::DirViewBtnClick);
    on("DirViewMenu", &TKorvelMain::DirViewMenuClick);
    on("SortBtn1", &TKorvelMain::SortBtn1Click);
    on("SortBtn2", &TKorvelMain::SortBtn2Click);
    on("RefreshBtn", &TKorvelMain::Refresh1Click);
    on("Refresh1", &TKorvelMain::Refresh1Click);
    on("Contents1", &TKorvelMain::Contents1Click);
    on("HelpBtn", &TKorvelMain::Contents1Click);
    on("About1", &TKorvelMain::About1Click);
    on("PlugInSet1", &TKorvelMain::PlugInSet1Click);
    on("PlugInSetBtn1", &TKorvelMain::PlugInSet1Click);
    on("VerBtn", &TKorvelMain::About1Click);
    on("Open1", &TKorvelMain::Open1Click);
    on("SelectAll", &TKorvelMain::SelectAllClick);
    on("StretchBtn", &TKorvelMain::StretchBtnClick);
    on("StretchMenu", &TKorvelMain::StretchMenuClick);
    connect(toolButton("NameViewBtn"), &QToolButton::clicked, this, &TKorvelMain::NameViewBtnClick);
    toolButton("NameViewBtn")->setPopupMode(QToolButton::MenuButtonPopup);
    connect(FileMenu, &QMenu::aboutToShow, this, &TKorvelMain::File1Click);
    connect(EditMenu, &QMenu::aboutToShow, this, &TKorvelMain::File1Click);
    connect(ViewMenu, &QMenu::aboutToShow, this, &TKorvelMain::Show1Click);
}

void TKorvelMain::File1Click() {
    const int n = selectedCount();
    for (const char* name : {"Open1", "Copy2", "KCopy", "Move2", "Delete1", "Rename1", "NumberRN1"})
        if (!action(name)->property("notYetBuilt").toBool()) action(name)->setEnabled(n != 0);
    if (!action("Wall2")->property("notYetBuilt").toBool()) action("Wall2")->setEnabled(n == 1);
}

void TKorvelMain::Show1Click() {
    if (!action("Show1")->property("notYetBuilt").toBool()) action("Show1")->setEnabled(!FileList.empty());
    const std::pair<const char*, const char*> mirror[] = {
        {"StretchMenu", "StretchBtn"},   {"SubDirFindMenu", "SubDirFindBtn"}, {"NameViewMenu", "NameViewBtn"},
        {"ShowCaptionMenu", "ShowCaptionBtn"}, {"DirViewMenu", "DirViewBtn"}, {"ShowDirMenu", "ShowDirBtn"}};
    for (const auto& [menu, button] : mirror) action(menu)->setChecked(action(button)->isChecked());
}

void TKorvelMain::ShowDirBtnClick() {
    const bool down = action("ShowDirBtn")->isChecked();
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

void TKorvelMain::ShowDirMenuClick() {
    QAction* menu = action("ShowDirMenu");
    action("ShowDirBtn")->setChecked(menu->isChecked());
    ShowDirBtnClick();
}

void TKorvelMain::ShowCaptionBtnClick() {
    const bool down = action("ShowCaptionBtn")->isChecked();
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

void TKorvelMain::ShowCaptionMenuClick() {
    action("ShowCaptionBtn")->setChecked(action("ShowCaptionMenu")->isChecked());
    ShowCaptionBtnClick();
}

void TKorvelMain::DirViewBtnClick() {
    action("DirViewMenu")->setChecked(action("DirViewBtn")->isChecked());
    DirTree1->Reload();
}

void TKorvelMain::DirViewMenuClick() {
    action("DirViewBtn")->setChecked(action("DirViewMenu")->isChecked());
    DirTree1->Reload();
}

void TKorvelMain::NameViewClick(int mode) {
    NameView = mode;
    const char* names[] = {"NameView1", "NameView2", "NameView3", "NameView4"};
    action(names[mode])->setChecked(true);
    // The info mode only repaints; the next listing and the sort buttons use the new key.
    StringGrid1->repaintCells();
}

void TKorvelMain::Close1Click() { close(); }

void TKorvelMain::Contents1Click() {
    // The help file sits beside the program and is named after it.
    const QFileInfo exe(QString::fromStdString(exePath_));
    const QString help = exe.absolutePath() + QLatin1Char('/') + exe.completeBaseName() + QStringLiteral(".html");
    if (!QFileInfo::exists(help) || !QDesktopServices::openUrl(QUrl::fromLocalFile(help)))
        QMessageBox::information(this, QStringLiteral("Korvel"), tr("ヘルプファイルを開けません。") + QLatin1Char('\n') + help);
}

void TKorvelMain::About1Click() {
    QMessageBox::about(this, tr("Korvelについて"),
                       QStringLiteral("<b>Korvel</b> %1<br>").arg(QStringLiteral(KORVEL_VERSION)) +
                           tr("画像の整理と閲覧"));
}

void TKorvelMain::buildPopups() {
    GridPopup = new QMenu(this);
    GridPopup->setObjectName(QStringLiteral("GridPopup"));
    connect(addMenuAction(GridPopup, "Open2", tr("関連付けで開く(&O)")), &QAction::triggered, this, &TKorvelMain::Open1Click);
    GridPopup->addSeparator();
    for (auto [name, caption] : {std::pair{"Copy3", tr("コピー(&C)")}, std::pair{"KCopyMenu2", tr("拡張コピー(&K)")},
                                 std::pair{"Move3", tr("移動(&M)")}, std::pair{"Delete2", tr("削除(&D)")}}) {
        QAction* a = addMenuAction(GridPopup, name, caption);
        a->setEnabled(false);
        a->setProperty("notYetBuilt", true);
    }
    GridPopup->addSeparator();
    for (auto [name, caption] : {std::pair{"Rename2", tr("名前の変更(&R)")}, std::pair{"NumberRN2", tr("連番で変更(&N)")}}) {
        QAction* a = addMenuAction(GridPopup, name, caption);
        a->setEnabled(false);
        a->setProperty("notYetBuilt", true);
    }
    GridPopup->addSeparator();
    QMenu* wall = GridPopup->addMenu(tr("壁紙に設定(&W)"));
    wall->menuAction()->setObjectName(QStringLiteral("Wall1"));
    wall->menuAction()->setProperty("notYetBuilt", true);
    addMenuAction(wall, "Wall_Tile", tr("並べて表示(&T)"));
    addMenuAction(wall, "Wall_Center", tr("中央に表示(&C)"));
    addMenuAction(wall, "Wall_Strech", tr("画面サイズ(&S)"));
    addMenuAction(wall, "Wall_Fit", tr("画面サイズ（対比保持）(&F)"));
    GridPopup->addSeparator();
    connect(addMenuAction(GridPopup, "SelectAll2", tr("ｻﾑﾈｲﾙを全て選択(&A)")), &QAction::triggered, this,
            &TKorvelMain::SelectAllClick);
    connect(addMenuAction(GridPopup, "Property1", tr("プロパティ(&P)")), &QAction::triggered, this,
            &TKorvelMain::Property1Click);

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    addMenuAction(PopupMenu1, "TargetPath1", QString())->setIcon(toolIcon(ToolIcon::SubFolders));
    PopupMenu1->addSeparator();
    for (auto [name, caption] : {std::pair{"Move1", tr("ここに移動(&M)")}, std::pair{"Copy1", tr("ここにｺﾋﾟｰ(&C)")}}) {
        QAction* a = addMenuAction(PopupMenu1, name, caption);
        a->setEnabled(false);
        a->setProperty("notYetBuilt", true);
    }
    PopupMenu1->addSeparator();
    addMenuAction(PopupMenu1, "CancelMenu", tr("ｷｬﾝｾﾙ(&T)"));

    DirPopup = new QMenu(this);
    DirPopup->setObjectName(QStringLiteral("DirPopup"));
    addMenuAction(DirPopup, "TargetPath2", QString())->setIcon(toolIcon(ToolIcon::SubFolders));
    DirPopup->addSeparator();
    for (auto [name, caption] : {std::pair{"CreateDirMenu", tr("新規フォルダの作成(&C)")},
                                 std::pair{"FRename1", tr("フォルダ名の変更(&M)")},
                                 std::pair{"DeleteDirMenu", tr("このフォルダを削除(&D)")}}) {
        QAction* a = addMenuAction(DirPopup, name, caption);
        a->setEnabled(false);
        a->setProperty("notYetBuilt", true);
    }
    DirPopup->addSeparator();
    connect(addMenuAction(DirPopup, "AddFavMenu", tr("お気に入りに追加(&A)")), &QAction::triggered, this,
            &TKorvelMain::AddFavMenuClick);
    QAction* organise = addMenuAction(DirPopup, "EditFavMenu", tr("お気に入りの整理(&S)"));
    organise->setEnabled(false);
    organise->setProperty("notYetBuilt", true);
    DirPopup->addSeparator();
    connect(addMenuAction(DirPopup, "Property2", tr("プロパティ(&P)")), &QAction::triggered, this, [this] {
        // The folder of the menu's title item, less one trailing "/" (the root stays "/").
        std::string path = action("TargetPath2")->data().toByteArray().toStdString();
        if (path.size() > 1 && path.back() == '/') path.pop_back();
        if (!path.empty()) showShellProperties(path, this);
    });

    PaintBoxPopup = new QMenu(this);
    PaintBoxPopup->setObjectName(QStringLiteral("PaintBoxPopup"));
    connect(addMenuAction(PaintBoxPopup, "Open3", tr("関連付けで開く(&O)")), &QAction::triggered, this, &TKorvelMain::Open3Click);
    PaintBoxPopup->addSeparator();
    QAction* change = addMenuAction(PaintBoxPopup, "StretchChange", tr("表示の切替(&N)"));
    change->setCheckable(true);
    connect(change, &QAction::triggered, this, &TKorvelMain::StretchChangeClick);
    QMenu* turn = PaintBoxPopup->addMenu(tr("画像の回転(&T)"));
    turn->menuAction()->setObjectName(QStringLiteral("Turn"));
    connect(addMenuAction(turn, "Turn1", tr("右90度(&R)")), &QAction::triggered, this, [this] { TurnClick(1); });
    connect(addMenuAction(turn, "Turn2", tr("180度(&T)")), &QAction::triggered, this, [this] { TurnClick(2); });
    connect(addMenuAction(turn, "Turn3", tr("左90度(&L)")), &QAction::triggered, this, [this] { TurnClick(3); });
    QMenu* wall3 = PaintBoxPopup->addMenu(tr("壁紙に設定(&W)"));
    wall3->menuAction()->setObjectName(QStringLiteral("Wall3"));
    addMenuAction(wall3, "Wall_Tile2", tr("並べて表示(&T)"));
    addMenuAction(wall3, "Wall_Center2", tr("中央に表示(&C)"));
    addMenuAction(wall3, "Wall_Strech2", tr("画面サイズ(&S)"));
    addMenuAction(wall3, "Wall_Fit2", tr("画面サイズ（対比保持）(&F)"));
    wall3->menuAction()->setEnabled(false);
    wall3->menuAction()->setProperty("notYetBuilt", true);
    PaintBoxPopup->addSeparator();
    connect(addMenuAction(PaintBoxPopup, "ClipImage", tr("ｸﾘｯﾌﾟﾎﾞｰﾄﾞへｺﾋﾟｰ(&C)")), &QAction::triggered, this,
            &TKorvelMain::ClipImageClick);
    connect(addMenuAction(PaintBoxPopup, "Property3", tr("プロパティ(&P)")), &QAction::triggered, this,
            &TKorvelMain::Property3Click);
}

void TKorvelMain::DirTree1RightClick(const QPoint& globalPos) {
    // The title shows the folder; the command uses its bytes.
    const std::string folder = DirTree1->SelectedPath();
    action("TargetPath2")->setText(pathText(folder));
    action("TargetPath2")->setData(QByteArray::fromStdString(folder));
    DirPopup->popup(globalPos);
}

void TKorvelMain::AddFavMenuClick() {
    // No duplicates; a full list loses its last item.
    const QString path = action("TargetPath2")->text();
    if (path.isEmpty() || ComboBox2->findText(path, Qt::MatchExactly | Qt::MatchCaseSensitive) >= 0) return;
    if (ComboBox2->count() >= 20) ComboBox2->removeItem(ComboBox2->count() - 1);
    ComboBox2->insertItem(0, path);
    ComboBox2->setToolTip(ComboBox2->currentText());
}
