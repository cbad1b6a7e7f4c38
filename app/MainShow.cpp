// The slideshow from the main window: the tool button, the View menu and the "/s" and "/se"
// start modes.
#include <QApplication>
#include <QTimer>

#include "app/KorvelMain.h"
#include "base/UserFolders.h"
#include "browse/ui/OrgStGrid.h"
#include "view/ShowFrm1.h"

void TKorvelMain::ShowBtn1Click() {
    if (!fileList().empty()) {
        ShowSource source;
        source.files.reserve(fileList().size());
        for (size_t i = 0; i < fileList().size(); ++i) source.files.push_back(fileList().path(i));
        source.marked = CollectSelectedFiles();
        source.previewed = previewPanel_->path();
        source.gridColumns = StringGrid1->colCount();
        source.settingsPath = korvel::mainSettingsPath(exePath_);
        source.photo = photoSwitches();
        TShowFrm1 show(source, this);
        show.exec();
    }
    // Started with "/se": the program ends with the show, or at once when nothing is listed.
    if (startMode_ == StartMode::SlideshowThenQuit)
        QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection);
}
