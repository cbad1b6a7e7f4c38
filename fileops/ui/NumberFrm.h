#pragma once
// The serial rename dialog: the two lists (files to rename in numbering order on the right), a
// name with one "\" for the number (or date tokens), start number, digits and extension case, a preview of
// every new name, and the renaming pass with progress and stop. Its window and name settings
// live in the "NumberReName" section.
#include <QDialog>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "fileops/Rename.h"
#include "fileops/ui/TwoLists.h"

class QButtonGroup;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTableView;
class QToolButton;
class JobRunner;
class RenamePreviewModel;

class TNumberFrm : public QDialog {
    Q_OBJECT
public:
    struct Hooks {
        TTwoLists::ThumbSource thumbs;
        std::function<void(const std::string& from, const std::string& to)> renamed;  // after each rename
        std::string settingsPath;  // the program-named settings file
    };
    // folder: the shown folder (for the caption); all: the whole file list; selected: the
    // marked files in grid order.
    TNumberFrm(const std::string& folder, const std::vector<std::string>& all, const std::vector<std::string>& selected,
               Hooks hooks, QWidget* parent = nullptr);
    ~TNumberFrm() override;

    void LoadSettings();
    void SaveSettings();
    void OKBtnClick();
    void CancelBtnClick();
    void UpBtnClick();
    void DownBtnClick();

    TTwoLists* lists = nullptr;  // NoRListBox left, RNListBox right
    QToolButton *UpBtn = nullptr, *DownBtn = nullptr;
    QGroupBox* RadioGroup1 = nullptr;
    QButtonGroup* radioItems = nullptr;
    QLineEdit *NameEdit = nullptr, *NumEdit = nullptr, *KetaEdit = nullptr;
    QPushButton *OKBtn = nullptr, *CancelBtn = nullptr;
    QProgressBar* ProgressBar1 = nullptr;
    QTableView* preview = nullptr;
    QLabel* previewSummary = nullptr;
    bool StopRequested = true;

public slots:
    void reject() override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The parameters the fields describe; nothing when the name has not exactly one "\".
    std::optional<korvel::SerialParams> params() const;
    bool dateTokensWrong() const;
    void listsChanged();
    void updatePreview();
    void RunSerialRename(const korvel::SerialParams& params);
    void setRunning(bool running);
    void setUpDown(bool on);

    Hooks hooks_;
    std::unique_ptr<korvel::RenamePlanner> planner_;
    RenamePreviewModel* model_ = nullptr;
    bool running_ = false;
    JobRunner* runner_ = nullptr;
};
