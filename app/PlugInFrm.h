#pragma once
// The plug-in settings dialog: the loaded plug-ins (checked) and the switched-off ones from
// the exclusion file (unchecked); OK writes the unchecked ones back. Changes apply at next start.
#include <QDialog>
#include <functional>
#include <string>

class QLabel;
class QPushButton;
class QTreeWidget;

namespace korvel {
class TSPIs;
}

class TPlugInFrm : public QDialog {
    Q_OBJECT
public:
    // spis: the running host (null when none); exclusionPath: "Korvel.spd".
    TPlugInFrm(const korvel::TSPIs* spis, std::string exclusionPath, QWidget* parent = nullptr);

    QLabel* Label2 = nullptr;
    QTreeWidget* ListView1 = nullptr;
    QLabel* Label1 = nullptr;
    QPushButton* OKBtn = nullptr;
    QPushButton* CanselBtn = nullptr;

    // Shows a message box; tests replace it to see the boxes without a user.
    std::function<void(bool warning, const QString& title, const QString& text)> showMessage;

public slots:
    void OKBtnClick();

private:
    void FormCreate(const korvel::TSPIs* spis);
    void addItem(const std::string& caption, const std::string& about, const std::string& ext,
                 const std::string& format, bool checked);
    std::string exclusionPath_;
};
