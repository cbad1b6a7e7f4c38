#pragma once
// The rename dialog: one file at a time, a new name typed or the name turned to upper or lower
// case, with "全てOK" to turn every remaining file the same way.
#include <QDialog>
#include <QImage>
#include <string>

class QButtonGroup;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

class TRNameFrm : public QDialog {
    Q_OBJECT
public:
    // The dialog's results besides Accepted (OK) and Rejected (stop).
    enum { YesToAll = 2, Skip = 3 };
    // The radio items in their order; the case ones are what "全てOK" applies.
    enum NameCase { TypedName = 0, UpperCase = 1, LowerCase = 2 };

    // path: the file to rename; selected: how many files the command works on; picture: the
    // file's picture (null: none), shown fitted into 80 x 80.
    TRNameFrm(const std::string& path, int selected, const QImage& picture, QWidget* parent = nullptr);

    // After OK: the new file name (name, ".", extension), as bytes.
    const std::string& RenameTarget() const { return RenameTarget_; }
    // After "全てOK": the case chosen.
    NameCase RenameAllMode() const { return RenameAllMode_; }

    void RadioGroup1Click(int index);
    void OKBtn1Click();
    void AllOKBtnClick();

    QLineEdit* Edit1 = nullptr;
    QLineEdit* Edit2 = nullptr;
    QGroupBox* RadioGroup1 = nullptr;
    QButtonGroup* radioItems = nullptr;
    QPushButton *OKBtn1 = nullptr, *AllOKBtn = nullptr, *CancelBtn = nullptr, *AllCanselBtn = nullptr;
    QLabel* PaintBox1 = nullptr;

private:
    int selected_;
    std::string baseName_, extName_;  // as on disk
    std::string RenameTarget_;
    NameCase RenameAllMode_ = TypedName;
};

// name turned to upper case (UpperCase) or lower case (otherwise) as text; bytes that are not
// UTF-8 stay as they are.
std::string convertNameCase(const std::string& name, TRNameFrm::NameCase nameCase);
