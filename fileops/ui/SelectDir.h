#pragma once
// The destination chooser of copy and move: the two lists, the folder box with the first ten
// quick folders, a folder browser, and its window state in the "CopyMove" settings section.
#include <QDialog>
#include <functional>
#include <string>
#include <vector>

#include "fileops/ui/TwoLists.h"

class QComboBox;
class QLabel;
class QPushButton;
class QToolButton;

class TSelectDir : public QDialog {
    Q_OBJECT
public:
    struct Hooks {
        TTwoLists::ThumbSource thumbs;
        std::function<bool(const std::string& folder)> ensureFolder;  // false: missing, not made
        std::function<void(bool copy, const std::vector<std::string>& files, const std::string& folder)> run;
        std::function<std::string(const std::string& start)> browseFolder;  // "" = cancelled
        std::string settingsPath;                   // the program-named settings file
    };
    // all: the whole file list; selected: the marked files in grid order; quick: folders of
    // quick buttons 1 to 10 ("" where a button has none).
    TSelectDir(bool copy, const std::vector<std::string>& all, const std::vector<std::string>& selected,
               const std::vector<std::string>& quick, Hooks hooks, QWidget* parent = nullptr);

    void LoadSettings();
    void SaveSettings();
    void OKBtnClick();
    void SpeedButton1Click();

    TTwoLists* lists = nullptr;
    QLabel* Label1 = nullptr;
    QComboBox* DirCombo = nullptr;
    QToolButton* SpeedButton1 = nullptr;
    QPushButton* OKBtn = nullptr;
    QPushButton* CancelBtn = nullptr;

private:
    Hooks hooks_;
};
