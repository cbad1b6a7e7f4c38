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
#include "browse/FolderScan.h"
#include "browse/GridModel.h"
#include "browse/ui/OrgStGrid.h"
#include "base/Errors.h"
#include "imaging/StretchUtils.h"
#include "platform/PathText.h"
#include "platform/QtImage.h"
#include "platform/ShellServices.h"
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
        if (e->button() == Qt::RightButton && !PreviewPath.empty() && previewBitmap()) {
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
        if (!FileList.empty() && !PreviewPath.empty()) openSubViewer(PreviewPath);
    };
}

const korvel::TBitmap* TKorvelMain::previewBitmap() const {
    const korvel::TGraphic* g = PreviewPicture.graphic();
    if (!g || g->empty()) return nullptr;
    return g->raster();
}

void TKorvelMain::clearPreviewPanels() {
    PreviewPath.clear();
    for (int i = 1; i <= 4; ++i) StatusPanels[i]->clear();
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
        if (PreviewPicture.graphic()) {
            PreviewPicture.setGraphic(nullptr);
            LayoutPreview();
            clearPreviewPanels();
        }
        return;
    }
    if (PreviewLoading || ThumbBusy) return;
    const std::string path = FileList.path(index);
    const std::optional<korvel::TSeekFile> now = korvel::currentSeekFile(path);
    if (!now) {
        clearPreviewPanels();
        reportVanishedFile();
        return;
    }
    if (path == PreviewPath) return;
    PreviewPath = path;
    StatusPanels[1]->setText(pathText(path));
    StatusPanels[2]->setText(q(korvel::formatKiloBytes(now->Size)));
    StatusPanels[3]->setText(q(korvel::formatDosTime(now->Time)));
    // The loader hands its work to the next turn of the event loop, so input returns at once.
    const quint64 request = ++previewCounter_;
    previewRequest_ = request;
    PreviewLoading = true;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    QTimer::singleShot(0, this, [this, path, request] {
        LoadPreviewImage(path, request);
        PreviewLoaded();
    });
}

void TKorvelMain::LoadPreviewImage(const std::string& path, quint64 request) {
    if (previewRequest_ != request) return;  // told to stop
    try {
        PreviewPicture.loadFromFile(path);
        korvel::LoadPictureAsBitmap(PreviewPicture);
        StatusPanels[4]->setText(QStringLiteral("%1x%2").arg(PreviewPicture.width()).arg(PreviewPicture.height()));
    } catch (const std::exception&) {
        previewRequest_ = 0;
        PreviewPicture.setGraphic(nullptr);
        clearPreviewPanels();
    }
}

void TKorvelMain::PreviewLoaded() {
    PreviewLoading = false;
    LayoutPreview();
    updateActions();
    QApplication::restoreOverrideCursor();
}

void TKorvelMain::LayoutPreview() {
    const korvel::TBitmap* image = previewBitmap();
    if (FullSize && image) {
        ScrollBox1->setWidgetResizable(false);
        PaintBox1->resize(image->width(), image->height());
    } else {
        ScrollBox1->setWidgetResizable(true);
        PaintBox1->resize(ScrollBox1->viewport()->size());
    }
    FitPreview();
}

void TKorvelMain::FitPreview() {
    PaintBox1->setCollapsed(Panel4->height() <= 1);
    const korvel::TBitmap* image = previewBitmap();
    if (!image) {
        PreviewFitBitmap.clear();
        PaintBox1->setShownImage({});
        return;
    }
    const int pw = PaintBox1->width(), ph = PaintBox1->height(), iw = image->width(), ih = image->height();
    if (FormReady == 2 && pw > 0 && ph > 0) {
        int fw, fh;
        if (double(pw) / iw >= double(ph) / ih) fw = int(int64_t(ph) * iw / ih), fh = ph;
        else fw = pw, fh = int(int64_t(pw) * ih / iw);
        PreviewFitBitmap = *image;
        try {
            korvel::StretchBitmap(PreviewFitBitmap, std::max(1, fw), std::max(1, fh));
        } catch (const korvel::Exception&) {
            PreviewFitBitmap.clear();
        }
    }
    // Painting only copies: the fitted copy, or the image at its own size.
    const bool useFit = !FullSize && (PictFitFlg || iw > pw || ih > ph) && !PreviewFitBitmap.empty();
    PaintBox1->setShownImage(toQImage(useFit ? PreviewFitBitmap : *image));
}

void TKorvelMain::setFullSize(bool on) {
    FullSize = on;
    updateActions();
    LayoutPreview();
}

void TKorvelMain::StretchBtnClick() { setFullSize(actions_.StretchBtn->isChecked()); }
void TKorvelMain::StretchMenuClick() { setFullSize(actions_.StretchMenu->isChecked()); }
void TKorvelMain::StretchChangeClick() { setFullSize(!FullSize); }

void TKorvelMain::TurnClick(int turn) {
    auto* image = dynamic_cast<korvel::TBitmap*>(PreviewPicture.graphic());
    if (!image || image->empty()) return;
    // Only the shown image turns; the file stays as it is.
    const TurnKind kind = turn == 1 ? TurnKind::Right90 : turn == 2 ? TurnKind::Half : TurnKind::Left90;
    if (TurnShownImage(*image, kind, this)) LayoutPreview();
}

void TKorvelMain::ClipImageClick() {
    // The file's image as decoded goes to the clipboard, not the turned view.
    if (previewBitmap()) CopyFileImageToClipboard(PreviewPath, this);
}

void TKorvelMain::Open3Click() {
    if (previewBitmap() && !PreviewPath.empty()) openWithDefaultProgram(PreviewPath);
}

void TKorvelMain::Open1Click() {
    for (size_t i : markedFiles()) openWithDefaultProgram(FileList.path(i));
}

void TKorvelMain::Property3Click() {
    if (!PreviewPath.empty()) showShellProperties(PreviewPath, this);
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
