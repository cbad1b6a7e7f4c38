// The window's side of the thumbnail grid: what the grid asks of it, the forwarders other parts
// of the window call, and the window's keys handed to the command table.
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QMenu>

#include "app/KorvelMain.h"
#include "app/ThumbnailGridPanel.h"
#include "browse/ui/OrgStGrid.h"

void TKorvelMain::connectGrid() {
    ThumbnailGridPanel::Hooks& h = thumbnailGrid_->hooks;
    h.look = [this] {
        return ThumbnailGridPanel::Look{display_.thumbSize, display_.infoHeight(), int(infoMode_), display_.speedFlg, display_.sharedCache, photoSwitches()};
    };
    h.building = [this] { return formState_ == FormState::Building; };
    h.ready = [this] { return formState_ == FormState::Ready; };
    h.previewOnLayout = [this] { return display_.changeImFlg; };
    h.previewPath = [this] { return previewPanel_->path(); };
    h.marksChanged = [this] { updateActions(); };
    h.previewCell = [this](int col, int row) { ShowCellPreview(col, row); };
    h.openFile = [this](const std::string& path) { commands_->openViewer(path); };
    h.keyReleased = [this](QKeyEvent* e) { runKey(e, KeyWhen::GridRelease); };
    h.showMenu = [this](QPoint at) {
        if (gridMenu_) gridMenu_->popup(at);
    };
    connect(thumbnailGrid_, &ThumbnailGridPanel::thumbnailsArrived, this, &TKorvelMain::thumbnailsArrived);
    qApp->installEventFilter(this);
}

void TKorvelMain::LayoutGrid(int size, bool keepMarks) { thumbnailGrid_->layOut(size, keepMarks); }

std::vector<size_t> TKorvelMain::markedFiles() const { return thumbnailGrid_->markedFiles(); }

int TKorvelMain::selectedCount() const { return int(markedFiles().size()); }

QImage TKorvelMain::thumbnailImage(size_t index) { return thumbnailGrid_->thumbnail(index); }

QImage TKorvelMain::thumbnailImageNow(size_t index) { return thumbnailGrid_->thumbnailNow(index); }

void TKorvelMain::cycleInfoMode() {
    const int mode = int(infoMode_);
    if (mode >= 0 && mode <= 4) setInfoMode(InfoMode((mode + 1) % 5));
}

bool TKorvelMain::eventFilter(QObject* watched, QEvent* event) {
    // Marked cells dropped on a quick-folder button.
    if (event->type() == QEvent::DragEnter || event->type() == QEvent::DragMove || event->type() == QEvent::Drop)
        if (const int i = quickFolders_->indexOf(watched); i >= 0) return fileCommands_->onQuickFolderDrag(i, event);
    // The window sees each key once, before its controls, and decides whether the key goes on.
    // A key the control leaves unhandled travels up through its parents; those deliveries are
    // the same key press and are not previewed again.
    if ((event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease) && watched->isWidgetType() &&
        static_cast<QWidget*>(watched)->window() == this && isActiveWindow()) {
        QWidget* target = focusWidget() ? focusWidget() : this;
        if (watched == target) {
            auto* key = static_cast<QKeyEvent*>(event);
            // Keys typed into an edit box belong to it.
            QWidget* focus = QApplication::focusWidget();
            const bool editing = qobject_cast<QComboBox*>(focus) || (focus && focus->inherits("QLineEdit"));
            const bool handled = event->type() == QEvent::KeyPress ? !editing && runKey(key, KeyWhen::Press)
                                                                   : runKey(key, KeyWhen::Release);
            if (handled) {
                key->accept();
                return true;
            }
        }
    }
    return QMainWindow::eventFilter(watched, event);
}
