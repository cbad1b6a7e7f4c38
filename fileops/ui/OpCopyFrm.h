#pragma once
// The extended copy dialog: the two lists (files to convert on the right), the destination, the
// output format with its JPEG and PNG choices, size, rotation and date options, and the run with
// progress and stop. Its settings live in the "OpCopy" section.
#include <QDialog>
#include <atomic>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "fileops/ExtendedCopy.h"
#include "fileops/ui/TwoLists.h"

class QButtonGroup;
class JobRunner;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QToolButton;

class TOpCopyFrm : public QDialog {
    Q_OBJECT
public:
    struct Hooks {
        TTwoLists::ThumbSource thumbs;
        std::function<bool(const std::string& folder)> ensureFolder;           // false: missing, not made
        std::function<std::string(const std::string& start)> browseFolder;     // "" = cancelled
        std::string settingsPath;                                              // the program-named settings file
        korvel::PhotoSwitches photo;                                           // orientation and profiles
    };
    // all: the whole file list; selected: the marked files in grid order; quick: folders of
    // quick buttons 1 to 10 ("" where a button has none).
    TOpCopyFrm(const std::vector<std::string>& all, const std::vector<std::string>& selected,
               const std::vector<std::string>& quick, Hooks hooks, QWidget* parent = nullptr);
    ~TOpCopyFrm() override;

    void LoadSettings();
    void SaveSettings();
    void OkBtnClick();
    void CancelBtnClick();
    void SpeedButton1Click();
    void BMPRadioClick();
    void SizeRadio1Click();
    void SizeCheckClick();
    void WidthEditExit(QLineEdit* edit);
    bool running() const { return running_; }

    TTwoLists* lists = nullptr;  // NoListBox left, YesListBox right
    QGroupBox *GroupBox1 = nullptr, *GroupBox2 = nullptr, *GroupBox3 = nullptr, *TurnRadio = nullptr;
    QComboBox* DirCombo = nullptr;
    QToolButton* SpeedButton1 = nullptr;
    QRadioButton *BMPRadio = nullptr, *JPEGRadio = nullptr, *PNGRadio = nullptr;
    QLabel* Label1 = nullptr;
    QComboBox* QualityCombo = nullptr;
    QCheckBox *ProgreCheckBox = nullptr, *GrayscaleCheck = nullptr, *PNGInterlaceCheck = nullptr;
    QRadioButton *PNGLevelRadio1 = nullptr, *PNGLevelRadio2 = nullptr, *PNGLevelRadio3 = nullptr;
    QRadioButton *SizeRadio1 = nullptr, *SizeRadio2 = nullptr, *SizeRadio3 = nullptr;
    QComboBox* SizeCombo = nullptr;
    QLabel *Label7 = nullptr, *LabelLeft = nullptr, *LabelCenter = nullptr, *LabelRight = nullptr;
    QLineEdit *WidthEdit = nullptr, *HeightEdit = nullptr;
    QCheckBox *SizeCheck = nullptr, *GasituCheck = nullptr, *DateCheck = nullptr;
    QButtonGroup *formatGroup = nullptr, *pngLevelGroup = nullptr, *sizeGroup = nullptr, *turnGroup = nullptr;
    QPushButton *OkBtn = nullptr, *CancelBtn = nullptr;
    QProgressBar* ProgressBar1 = nullptr;
    bool StopRequested = true;

public slots:
    void reject() override;

private:
    // The options the controls describe; nothing when a number the run needs is not there
    // (a hand-edited setting outside its list leaves its box empty), so every file fails.
    std::optional<korvel::ExtendedCopyOptions> options() const;
    void SetControlsEnabled(bool on);
    void runFiles(const std::vector<std::string>& files, const std::string& folder);

    // Stops the run after the file under way.
    void requestStop();

    Hooks hooks_;
    bool running_ = false;
    JobRunner* runner_ = nullptr;  // runs the conversion; deleted first, so a run ends before the controls go
};
