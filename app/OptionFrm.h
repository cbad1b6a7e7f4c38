#pragma once
// The options dialog: general, display and slideshow settings, the favourite folders and the
// twenty quick-folder buttons. It edits copies; the main window stores and applies them on OK.
#include <QDialog>
#include <array>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "settings/OptionSettings.h"

class QCheckBox;
class QComboBox;
class QKeyEvent;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QToolButton;
class QTreeWidget;

class TOptionFrm : public QDialog {
    Q_OBJECT
public:
    static constexpr int kQuickRows = 20;
    // A quick-folder button's folder (bytes) and caption; an empty folder is an unbound button.
    using QuickFolder = std::pair<std::string, QString>;
    struct Hooks {
        // The folder browser: its caption and start folder; returns the chosen folder, "" when cancelled.
        std::function<std::string(const QString& caption, const std::string& start)> browseFolder;
        std::string treeFolder;              // the folder selected in the main window's tree
        std::function<void()> clearHistory;  // empties the main window's history at once
        std::function<void()> folderCreated; // a quick folder was made: the tree shows it
    };

    TOptionFrm(const korvel::OptionValues& values, int thumbSize, const std::vector<std::string>& favorites,
               const std::array<QuickFolder, kQuickRows>& quickFolders, Hooks hooks, QWidget* parent = nullptr);

    // What the dialog holds now.
    korvel::OptionValues values() const;
    std::vector<std::string> favorites() const;
    QuickFolder quickFolder(int row) const;

    Hooks hooks;
    QTabWidget* PageControl1 = nullptr;
    QWidget *SettingsPage = nullptr, *FavoritesPage = nullptr, *QuickFolderPage = nullptr;
    QPushButton *OkBtn = nullptr, *CancelBtn = nullptr;
    // 設定
    QCheckBox* windowCheck = nullptr;
    QRadioButton *historyfRadio = nullptr, *siteiRadio = nullptr;
    QLineEdit* Edit1 = nullptr;
    QToolButton* SpeedButton1 = nullptr;
    QCheckBox *NoOpenFileCheck = nullptr, *HistoryDelCheck = nullptr, *SubDirOnceCheck = nullptr;
    QPushButton* BitBtn1 = nullptr;
    QComboBox* CellSizeCombo = nullptr;
    QCheckBox *HideCheck = nullptr, *SpeedCheck = nullptr, *ChangeImCheck = nullptr, *PictFitCheck = nullptr,
              *ExifRotateCheck = nullptr, *ColorManageCheck = nullptr, *SharedCacheCheck = nullptr,
              *TurnKeepsTimeCheck = nullptr;
    QLineEdit* SlidNumEdit = nullptr;
    QPushButton* SlidBackPanel = nullptr;
    QCheckBox *RepeatCheck = nullptr, *FullScreenCheck = nullptr, *FSCaptionCheck = nullptr,
              *SelectStartCheck = nullptr, *PauseStartCheck = nullptr, *SlidSpeedCheck = nullptr;
    // お気に入り
    QListWidget* ListBox1 = nullptr;
    QPushButton *UpBtn = nullptr, *DownBtn = nullptr, *AddBtn = nullptr, *DelBtn = nullptr, *AllDelBtn = nullptr;
    // ｸｲｯｸﾌｫﾙﾀﾞ
    QTreeWidget* ListView1 = nullptr;
    QPushButton *QFEditBtn = nullptr, *QFUpBtn = nullptr, *QFDownBtn = nullptr, *QFClearBtn = nullptr,
                *QFAllClearBtn = nullptr;

public slots:
    void siteiRadioClick();
    void SpeedButton1Click();
    void BitBtn1Click();
    void AddBtnClick();
    void DelBtnClick();
    void AllDelBtnClick();
    void UpBtnClick();
    void DownBtnClick();
    void SlidBackPanelClick();
    void FullScreenCheckClick();
    void ListView1SelectItem();
    void QFEditBtnClick();
    void QFUpBtnClick();
    void QFDownBtnClick();
    void QFClear(bool all);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildSettingsPage();
    void buildFavoritesPage();
    void buildQuickFolderPage();
    void FormCreate(const korvel::OptionValues& v, int thumbSize, const std::vector<std::string>& favorites,
                    const std::array<QuickFolder, kQuickRows>& quickFolders);
    // Sets every enabled state from the controls' current state.
    void updateControls();
    bool SlidNumEditKeyPress(const QKeyEvent& key);
    void setSlideColor(uint32_t rgb);
    void setRow(int row, const QString& caption, const std::string& folder);
    void addFavoriteItem(const std::string& folder);
    std::string startFolder() const;
    void moveFavorite(int by);
    void moveQuickRow(int by);
    bool confirm(const QString& text, const QString& title = {}, bool warning = false);

    uint32_t slideColor_ = 0;
};
