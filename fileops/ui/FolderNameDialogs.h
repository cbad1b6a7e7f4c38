#pragma once
// The two small name dialogs of the folder tree's menu: the name of a new folder, and the new
// name of a folder. Each refuses a name whose folder exists and stays open for another.
#include <QDialog>
#include <string>

#include "fileops/FolderOps.h"

class QLabel;
class QLineEdit;
class QPushButton;

// "名前を入力": the name of a new folder inside parent.
class TInputNameFrm : public QDialog {
    Q_OBJECT
public:
    // parent: the folder the new one goes into, "/"-terminated.
    explicit TInputNameFrm(const std::string& parent, QWidget* owner = nullptr);
    void OkBtnClick();
    // The typed name as bytes ("a/b" names two levels).
    std::string name() const;

    QLabel* Label1 = nullptr;
    QLineEdit* FNameEdit = nullptr;
    QPushButton* OkBtn = nullptr;
    QPushButton* CancelBtn = nullptr;

protected:
    void showEvent(QShowEvent* event) override;

private:
    std::string parent_;
    korvel::FolderOps ops_;
};

// "フォルダを変更": a new name for the folder old (no trailing "/").
class TFolderNameInputFrm : public QDialog {
    Q_OBJECT
public:
    explicit TFolderNameInputFrm(const std::string& old, QWidget* owner = nullptr);
    void BitBtn1Click();
    // After OK: the full path the folder is to get (FolderNameEdit shows it too).
    const std::string& newPath() const { return newPath_; }

    QLabel* Label1 = nullptr;
    QLineEdit* FolderNameEdit = nullptr;
    QPushButton* BitBtn1 = nullptr;
    QPushButton* BitBtn2 = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::string old_, newPath_;
    korvel::FolderOps ops_;
};
