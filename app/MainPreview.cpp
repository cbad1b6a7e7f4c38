// The preview pane: the deferred loader, fitting, painting, panning, rotation, clipboard,
// opening with the default program and properties.
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QScrollArea>
#include <QScrollBar>
#include <QSplitter>
#include <QTimer>

#include "app/KorvelMain.h"
#include "app/ResizeWatcher.h"
#include "base/Errors.h"
#include "browse/FolderScan.h"
#include "browse/GridModel.h"
#include "browse/ui/OrgStGrid.h"
#include "platform/PathText.h"
#include "platform/QtImage.h"
#include "platform/ShellServices.h"
#include "platform/UiHandOff.h"
#include "platform/WorkerFailure.h"
#include "view/ImageCommands.h"
#include "view/PreviewPane.h"

namespace {
QString q(const std::string& s) { return QString::fromStdString(s); }
}  // namespace

void TKorvelMain::buildPreview() {
    PaintBox1 = new TPreviewPane;
    ScrollBox1->setWidget(PaintBox1);
    ScrollBox1->setWidgetResizable(true);
    new ResizeWatcher(ScrollBox1, [this] { LayoutPreview(); });
    PaintBox1->onMouseDown = [this](QMouseEvent* e) {
        if (e->button() == Qt::RightButton && !preview_.path().empty() && preview_.hasImage()) {
            PaintBoxPopup->popup(e->globalPosition().toPoint());
        }
        previewDrag_ = e->button() == Qt::LeftButton && FullSize;
        previewPressed_ = e->position().toPoint();
    };
    PaintBox1->onMouseMove = [this](QMouseEvent* e) {
        if (!previewDrag_) return;
        // The pane moves with the scroll, so the pixel under the pointer stays under it.
        const QPoint d = e->position().toPoint() - previewPressed_;
        ScrollBox1->horizontalScrollBar()->setValue(ScrollBox1->horizontalScrollBar()->value() - d.x());
        ScrollBox1->verticalScrollBar()->setValue(ScrollBox1->verticalScrollBar()->value() - d.y());
    };
    PaintBox1->onMouseUp = [this](QMouseEvent*) { previewDrag_ = false; };
    PaintBox1->onDblClick = [this] {
        if (!FileList.empty() && !preview_.path().empty()) openSubViewer(preview_.path());
    };
}

void TKorvelMain::clearPreviewPanels() {
    // A decode still running is for a file no longer shown.
    preview_.stop();
    preview_.forgetPath();
    statusBar_->clearFilePanels();
}

void TKorvelMain::reportVanishedFile() {
    // A grid layout asks for the preview from inside resize and paint events: a modal box there
    // would run the event loop in the middle of the layout, so the report waits for it to end.
    if (vanishedReportQueued_) return;
    vanishedReportQueued_ = true;
    QTimer::singleShot(0, this, [this] {
        QMessageBox::warning(this, QStringLiteral("FileNotFound"), tr("選択したファイルは見つかりませんでした。"));
        vanishedReportQueued_ = false;
        PruneVanishedFiles();
    });
}

void TKorvelMain::ShowCellPreview(int col, int row) {
    if (col < 0 || row < 0) return;
    const size_t index = size_t(row) * size_t(StringGrid1->colCount()) + size_t(col);
    if (index >= FileList.size()) {
        if (preview_.picture().graphic()) {
            preview_.picture().setGraphic(nullptr);
            LayoutPreview();
            clearPreviewPanels();
        }
        return;
    }
    if (preview_.loading() || ThumbBusy) {
        if (preview_.loading()) previewWanted_ = korvel::GridCell{col, row};
        return;
    }
    const std::string path = FileList.path(index);
    const std::optional<korvel::TSeekFile> now = korvel::currentSeekFile(path);
    if (!now) {
        clearPreviewPanels();
        reportVanishedFile();
        return;
    }
    if (path == preview_.path()) return;
    const uint64_t request = preview_.begin(path);
    statusBar_->setText(StatusPanel::Path, pathText(path));
    statusBar_->setText(StatusPanel::FileSize, q(korvel::formatKiloBytes(now->Size)));
    statusBar_->setText(StatusPanel::FileTime, q(korvel::formatDosTime(now->Time)));
    // The loader hands its work to the next turn of the event loop, so input returns at once.
    QApplication::setOverrideCursor(Qt::WaitCursor);
    QTimer::singleShot(0, this, [this, path, request] { LoadPreviewImage(path, request); });
}

void TKorvelMain::LoadPreviewImage(const std::string& path, uint64_t request) {
    // Shown fitted, a large photo needs only the pixels of the pane (a later, larger pane
    // decodes again); before the window's layout is final the pane's size is not known yet.
    const int fitWidth = FullSize ? 0 : formState_ == FormState::Ready ? PaintBox1->width() : -1;
    const int fitHeight = FullSize ? 0 : PaintBox1->height();
    if (!preview_.pending(request)) {
        ShowPreviewImage(request, {});  // told to stop before it began
        return;
    }
    const korvel::PhotoSwitches photo = preview_.photo;
    previewDecoding_ = true;
    try {
        previewQueue_.post([this, path, request, fitWidth, fitHeight, photo] {
            auto decoded = std::make_shared<korvel::PreviewModel::Decoded>(
                korvel::PreviewModel::decode(path, photo, fitWidth, fitHeight));
            // The window stops this queue before it goes, and a hand-off to a window that is gone
            // is dropped.
            handToUi(this, [this, request, decoded] { ShowPreviewImage(request, std::move(*decoded)); });
        });
    } catch (const korvel::Exception& e) {
        // No thread for the decode: the preview stays empty and the user is told why.
        reportWorkerFailure(this, e);
        ShowPreviewImage(request, {});
    }
}

void TKorvelMain::ShowPreviewImage(uint64_t request, korvel::PreviewModel::Decoded decoded) {
    previewDecoding_ = false;
    switch (preview_.accept(request, std::move(decoded))) {
        case korvel::PreviewModel::Load::Stopped: break;
        case korvel::PreviewModel::Load::Loaded:
            statusBar_->setText(StatusPanel::ImageSize,
                QStringLiteral("%1x%2").arg(preview_.picture().width()).arg(preview_.picture().height()));
            break;
        case korvel::PreviewModel::Load::Failed: clearPreviewPanels(); break;
    }
    PreviewLoaded();
}

void TKorvelMain::PreviewLoaded() {
    preview_.loaded();
    LayoutPreview();
    updateActions();
    QApplication::restoreOverrideCursor();
    if (const std::optional<korvel::GridCell> wanted = std::exchange(previewWanted_, std::nullopt))
        ShowCellPreview(wanted->col, wanted->row);
}

void TKorvelMain::LayoutPreview() {
    const korvel::TBitmap* image = FullSize ? preview_.bitmap() : nullptr;
    if (image) {
        ScrollBox1->setWidgetResizable(false);
        PaintBox1->resize(image->width(), image->height());
    } else {
        ScrollBox1->setWidgetResizable(true);
        PaintBox1->resize(ScrollBox1->viewport()->size());
    }
    FitPreview();
}

void TKorvelMain::FitPreview() {
    PaintBox1->setCollapsed(previewPanel_->height() <= 1);
    // Painting only copies: the fitted copy, or the image at its own size.
    const korvel::TBitmap* shown =
        preview_.shown(PaintBox1->width(), PaintBox1->height(), FullSize, PictFitFlg, formState_ == FormState::Ready);
    PaintBox1->setShownImage(shown ? toQImage(*shown) : QImage());
}

void TKorvelMain::setFullSize(bool on) {
    FullSize = on;
    updateActions();
    LayoutPreview();
}


void TKorvelMain::TurnClick(int turn) {
    korvel::TBitmap* image = preview_.editableBitmap();
    if (!image || image->empty()) return;
    // Only the shown image turns; the file stays as it is.
    const TurnKind kind = turn == 1 ? TurnKind::Right90 : turn == 2 ? TurnKind::Half : TurnKind::Left90;
    if (TurnShownImage(*image, kind, this)) LayoutPreview();
}

void TKorvelMain::ClipImageClick() {
    // The file's image as decoded goes to the clipboard, not the turned view.
    if (preview_.hasImage()) CopyFileImageToClipboard(preview_.path(), this);
}

void TKorvelMain::Open3Click() {
    if (preview_.hasImage() && !preview_.path().empty()) openWithDefaultProgram(preview_.path());
}

void TKorvelMain::Open1Click() {
    for (size_t i : markedFiles()) openWithDefaultProgram(FileList.path(i));
}

void TKorvelMain::Property3Click() {
    if (!preview_.path().empty()) showShellProperties(preview_.path(), this);
}

std::ptrdiff_t TKorvelMain::firstSelectedFile() const {
    // The first file of the selection rectangle in reading order.
    const korvel::GridCell a = StringGrid1->selection(), b = StringGrid1->selectionEnd();
    for (int r = a.row; r <= b.row; ++r)
        for (int c = a.col; c <= b.col; ++c) {
            const size_t i = size_t(r) * size_t(StringGrid1->colCount()) + size_t(c);
            if (i < FileList.size()) return std::ptrdiff_t(i);
        }
    return -1;
}

void TKorvelMain::Property1Click() {
    if (const std::ptrdiff_t i = firstSelectedFile(); i >= 0) showShellProperties(FileList.path(size_t(i)), this);
}
