#pragma once
// "クイックフォルダー設定": the folder and caption of one quick-folder button. OK closes only when the
// folder is a full path that exists (or was just made).
#include <QDialog>
#include <functional>
#include <string>

#include "browse/ui/FolderPicker.h"

class QLabel;
class QLineEdit;
class QPushButton;
namespace korvel {
class FileSystem;
}

class TQFSelectFrm : public QDialog {
    Q_OBJECT
public:
    explicit TQFSelectFrm(QWidget* parent);

    // The folder as bytes; QFEdit shows it as text. folder() gives these bytes back while the
    // edit still shows them, else the typed text.
    void setFolder(const std::string& folder);
    std::string folder() const;
    // The caption typed, or "" for one derived from the folder.
    QString caption() const;

    void FSelectBtnClick();
    void OkBtnClick();

    // Where the browse button opens when the edit is empty: the tree's selected folder.
    std::string treeFolder;
    // The folder chooser: the folder chosen from start, "" when cancelled.
    std::function<std::string(const std::string& start)> browseFolder;
    // What the folder chooser lists beside its tree.
    PickerPlaces places;
    // Runs after a missing folder was made, so the tree can show it.
    std::function<void()> folderCreated;
    // Where folders are made; tests put a failing one here.
    korvel::FileSystem* fileSystem;

    QLabel* Label1 = nullptr;  // the prompt
    QLineEdit* QFEdit = nullptr;
    QPushButton* FSelectBtn = nullptr;
    QLabel* Label2 = nullptr;  // "表示名"
    QLineEdit* QFCaptionEdit = nullptr;
    QLabel* Label3 = nullptr;  // "（12ﾊﾞｲﾄ以内）"
    QLabel* Label4 = nullptr;  // "未記入だとﾌｫﾙﾀﾞ名になります。"
    QPushButton* OkBtn = nullptr;
    QPushButton* CancelBtn = nullptr;

private:
    bool ensureFolder(const std::string& path);
};
