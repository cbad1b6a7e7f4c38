// The preview panel: the deferred loader, fitting, painting, panning, rotation, clipboard,
// opening with the default program, properties and wallpaper.
#include "app/PreviewPanel.h"

#include <QApplication>
#include <QMenu>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <QTimer>
#include <utility>
#include <QtMath>
#include <QVBoxLayout>

#include "app/ResizeWatcher.h"
#include "app/StatusBar.h"
#include "base/Errors.h"
#include "browse/FileList.h"
#include "browse/FolderScan.h"
#include "codecs/FrameSource.h"
#include "formats/Animation.h"
#include "platform/PathText.h"
#include "platform/QtImage.h"
#include "platform/ShellServices.h"
#include "platform/Translations.h"
#include "platform/UiHandOff.h"
#include "platform/WorkerFailure.h"
#include "view/PreviewPane.h"
#include "view/WallpaperCommands.h"

namespace {
QString q(const std::string& s) { return QString::fromStdString(s); }
}  // namespace

PreviewPanel::PreviewPanel(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("Panel4"));
    setMinimumHeight(1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    scrollArea_ = new QScrollArea(this);
    scrollArea_->setObjectName(QStringLiteral("ScrollBox1"));
    layout->addWidget(scrollArea_);
    pane_ = new TPreviewPane;
    scrollArea_->setWidget(pane_);
    scrollArea_->setWidgetResizable(true);
    new ResizeWatcher(scrollArea_, [this] { layoutImage(); });
    menu_ = new QMenu(this);
    menu_->setObjectName(QStringLiteral("PaintBoxPopup"));
    pane_->onMouseDown = [this](QMouseEvent* e) { mousePressed(e); };
    pane_->onMouseMove = [this](QMouseEvent* e) { mouseMoved(e); };
    pane_->onMouseUp = [this](QMouseEvent*) { dragging_ = false; };
    pane_->onDblClick = [this] {
        if (!model_.path().empty() && hooks.opened) hooks.opened(model_.path());
    };
}

PreviewPanel::~PreviewPanel() { stopDecoding(); }

void PreviewPanel::mousePressed(QMouseEvent* e) {
    if (e->button() == Qt::RightButton && !model_.path().empty() && model_.hasImage())
        menu_->popup(e->globalPosition().toPoint());
    dragging_ = e->button() == Qt::LeftButton && fullSize_;
    pressedAt_ = e->position().toPoint();
}

void PreviewPanel::mouseMoved(QMouseEvent* e) {
    if (!dragging_) return;
    // The pane moves with the scroll, so the pixel under the pointer stays under it.
    const QPoint d = e->position().toPoint() - pressedAt_;
    scrollArea_->horizontalScrollBar()->setValue(scrollArea_->horizontalScrollBar()->value() - d.x());
    scrollArea_->verticalScrollBar()->setValue(scrollArea_->verticalScrollBar()->value() - d.y());
}

void PreviewPanel::setDisplay(const korvel::PhotoSwitches& photo, bool enlarge) {
    model_.photo = photo;
    enlarge_ = enlarge;
}

void PreviewPanel::clearFilePanels() {
    // A decode still running is for a file no longer shown.
    model_.stop();
    model_.forgetPath();
    statusBar_->clearFilePanels();
}

void PreviewPanel::reportVanishedFile() {
    // A grid layout asks for the preview from inside resize and paint events: a modal box there
    // would run the event loop in the middle of the layout, so the report waits for it to end.
    if (vanishedReportQueued_) return;
    vanishedReportQueued_ = true;
    QTimer::singleShot(0, this, [this] {
        QMessageBox::warning(window(), QStringLiteral("FileNotFound"), tr("選択したファイルは見つかりませんでした。"));
        vanishedReportQueued_ = false;
        hooks.fileVanished();
    });
}

void PreviewPanel::showCell(int col, int row) {
    if (col < 0 || row < 0) return;
    const std::optional<std::string> file = hooks.fileAt(col, row);
    if (!file) {
        if (model_.picture().graphic()) {
            model_.picture().setGraphic(nullptr);
            layoutImage();
            clearFilePanels();
        }
        return;
    }
    if (model_.loading() || hooks.busy()) {
        if (model_.loading()) wantedCell_ = korvel::GridCell{col, row};
        return;
    }
    showFile(*file, false);
}

void PreviewPanel::reload() {
    if (model_.path().empty()) return;
    // A load under way may have read the old bytes: the file is decoded again after it.
    if (model_.loading()) reloadWanted_ = true;
    else showFile(model_.path(), true);
}

void PreviewPanel::showFile(const std::string& path, bool again) {
    const std::optional<korvel::TSeekFile> now = korvel::currentSeekFile(path);
    if (!now) {
        clearFilePanels();
        reportVanishedFile();
        return;
    }
    if (path == model_.path() && !again) return;
    const uint64_t request = model_.begin(path);
    statusBar_->setText(StatusPanel::Path, pathText(path));
    statusBar_->setText(StatusPanel::FileSize, q(korvel::formatKiloBytes(now->Size)));
    statusBar_->setText(StatusPanel::FileTime, q(korvel::formatDosTime(now->Time)));
    // The loader hands its work to the next turn of the event loop, so input returns at once.
    QApplication::setOverrideCursor(Qt::WaitCursor);
    QTimer::singleShot(0, this, [this, path, request] { load(path, request); });
}

void PreviewPanel::load(const std::string& path, uint64_t request) {
    // Shown fitted, a large photo needs only the pixels of the pane (a later, larger pane
    // decodes again); before the window's layout is final the pane's size is not known yet.
    const QSize device = devicePixels(pane_->size());
    const int fitWidth = fullSize_ ? 0 : hooks.laidOut() ? device.width() : -1;
    const int fitHeight = fullSize_ ? 0 : device.height();
    if (!model_.pending(request)) {
        showDecoded(request, {});  // told to stop before it began
        return;
    }
    const korvel::PhotoSwitches photo = model_.photo;
    decoding_ = true;
    try {
        decodeQueue_.post([this, path, request, fitWidth, fitHeight, photo] {
            auto decoded = std::make_shared<korvel::PreviewModel::Decoded>(
                korvel::PreviewModel::decode(path, photo, fitWidth, fitHeight));
            // The panel stops this queue before it goes, and a hand-off to a panel that is gone
            // is dropped.
            handToUi(this, [this, request, decoded] { showDecoded(request, std::move(*decoded)); });
        });
    } catch (const korvel::Exception& e) {
        // No thread for the decode: the preview stays empty and the user is told why.
        reportWorkerFailure(window(), e);
        showDecoded(request, {});
    }
}

void PreviewPanel::showDecoded(uint64_t request, korvel::PreviewModel::Decoded decoded) {
    decoding_ = false;
    stopAnimation();
    switch (model_.accept(request, std::move(decoded))) {
        case korvel::PreviewModel::Load::Stopped: break;
        case korvel::PreviewModel::Load::Loaded:
            turned_ = 1;
            statusBar_->showImageNote(
                QStringLiteral("%1x%2").arg(model_.picture().width()).arg(model_.picture().height()),
                QString::fromStdString(model_.content().text(coreTranslator())));
            startAnimation();
            break;
        case korvel::PreviewModel::Load::Failed:
            // Panel 1 stays empty, so pressing the cell again retries; panel 4 says why it failed.
            clearFilePanels();
            if (model_.failure())
                statusBar_->showImageNote({}, QString::fromStdString(model_.failure()->text(coreTranslator())));
            break;
    }
    loadEnded();
}

void PreviewPanel::startAnimation() {
    anim_ = korvel::openAnimation(model_.path());
    // A picture turned upright on load no longer matches the frames' canvas: it stays still.
    if (anim_ && (anim_->current().width != model_.picture().width() ||
                  anim_->current().height != model_.picture().height()))
        anim_.reset();
    if (!anim_) return;
    if (!animTimer_) {
        animTimer_ = new QTimer(this);
        animTimer_->setSingleShot(true);
        connect(animTimer_, &QTimer::timeout, this, &PreviewPanel::frameDue);
    }
    animTimer_->start(anim_->delayMs());
}

void PreviewPanel::stopAnimation() {
    anim_.reset();
    if (animTimer_) animTimer_->stop();
}

void PreviewPanel::frameDue() {
    if (!anim_) return;
    if (anim_->advance()) fit();
    if (!anim_->finished()) animTimer_->start(anim_->delayMs());
}

void PreviewPanel::loadEnded() {
    model_.loaded();
    layoutImage();
    hooks.stateChanged();
    if (!std::exchange(redecoding_, false)) QApplication::restoreOverrideCursor();
    const bool again = std::exchange(reloadWanted_, false);
    if (const std::optional<korvel::GridCell> wanted = std::exchange(wantedCell_, std::nullopt))
        showCell(wanted->col, wanted->row);
    else if (again && !model_.path().empty())
        showFile(model_.path(), true);
}

bool PreviewPanel::stopLoading() {
    const bool beforeDecode = model_.loading() && !decoding_;
    model_.stop();
    if (!beforeDecode) wantedCell_.reset();
    return beforeDecode;
}

void PreviewPanel::layoutImage() {
    const korvel::TBitmap* image = fullSize_ ? model_.bitmap() : nullptr;
    if (image) {
        // At its own size each image pixel is one device pixel.
        scrollArea_->setWidgetResizable(false);
        const qreal r = pane_->devicePixelRatioF();
        pane_->resize(qCeil(image->width() / r), qCeil(image->height() / r));
    } else {
        scrollArea_->setWidgetResizable(true);
        pane_->resize(scrollArea_->viewport()->size());
    }
    fit();
}

void PreviewPanel::fit() {
    pane_->setCollapsed(height() <= 1);
    // Painting only copies: the fitted copy, or the image at its own size.
    const bool laidOut = hooks.laidOut && hooks.laidOut();
    // Fitted in device pixels, so that a dense screen shows the picture's own detail.
    const QSize device = devicePixels(pane_->size());
    // A photo decoded reduced for another pane size is decoded again on the queue, never here:
    // a large one would hold the window (and the first screen of thumbnails) for a second.
    // Meanwhile the copy in hand is stretched to the pane.
    const bool interim = laidOut && !model_.loading() && model_.fitNeedsDecode(device.width(), device.height(), fullSize_);
    const korvel::TBitmap* shown = model_.shown(device.width(), device.height(), fullSize_, enlarge_, laidOut && !interim);
    QImage image = shown ? toQImage(*shown) : QImage();
    if (interim) {
        if (!image.isNull()) image = image.scaled(device, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        if (!redecodeTimer_) {
            redecodeTimer_ = new QTimer(this);
            redecodeTimer_->setSingleShot(true);
            // A dragged splitter refits many times; the decode waits until it rests.
            redecodeTimer_->setInterval(80);
            connect(redecodeTimer_, &QTimer::timeout, this, &PreviewPanel::redecodeForPane);
        }
        redecodeTimer_->start();
    }
    if (anim_ && !image.isNull()) {
        // The frame in the still's place and size; transparent parts over the pane's background.
        const korvel::AnimFrame& f = anim_->current();
        const QImage frame(f.rgba.data(), f.width, f.height, f.width * 4, QImage::Format_RGBA8888);
        QImage composed(image.size(), QImage::Format_RGB32);
        composed.fill(pane_->palette().color(QPalette::Window));
        QPainter p(&composed);
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        p.drawImage(QRect(QPoint(0, 0), image.size()), frame);
        p.end();
        image = std::move(composed);
    }
    image.setDevicePixelRatio(pane_->devicePixelRatioF());
    pane_->setShownImage(std::move(image));
}

void PreviewPanel::redecodeForPane() {
    const QSize device = devicePixels(pane_->size());
    if (model_.loading() || model_.path().empty() || !model_.fitNeedsDecode(device.width(), device.height(), fullSize_))
        return;
    redecoding_ = true;
    load(model_.path(), model_.begin(model_.path()));
}

QSize PreviewPanel::devicePixels(QSize logical) const {
    const qreal r = pane_->devicePixelRatioF();
    return {qRound(logical.width() * r), qRound(logical.height() * r)};
}

void PreviewPanel::setFullSize(bool on) {
    fullSize_ = on;
    hooks.stateChanged();
    layoutImage();
}

void PreviewPanel::turn(TurnKind kind) {
    korvel::TBitmap* image = model_.editableBitmap();
    if (!image || image->empty()) return;
    // The turned picture is the first frame turned; the animation stops there.
    stopAnimation();
    // Only the shown image turns; the file stays as it is.
    if (!TurnShownImage(*image, kind, window())) return;
    turned_ = TurnAfter(turned_, kind);
    layoutImage();
}

void PreviewPanel::saveTurn() {
    if (!model_.hasImage() || model_.path().empty()) return;
    // The follow-up of the saved file decodes it again (a trimmed edge shows).
    SaveTurnToFile(model_.path(), turned_, window());
}

void PreviewPanel::copyToClipboard() {
    // The file's image as decoded goes to the clipboard, not the turned view.
    if (model_.hasImage()) CopyFileImageToClipboard(model_.path(), window());
}

void PreviewPanel::openWithDefaultProgram() {
    if (model_.hasImage() && !model_.path().empty()) ::openWithDefaultProgram(model_.path());
}

void PreviewPanel::showProperties() {
    if (model_.path().empty()) return;
    const std::string note = model_.failure() ? model_.failure()->text(coreTranslator())
                                              : model_.content().text(coreTranslator());
    showShellProperties(model_.path(), window(), QString::fromStdString(note));
}

void PreviewPanel::setAsWallpaper(korvel::WallpaperMode mode) {
    if (const korvel::TBitmap* shown = model_.bitmap()) setWallpaperFromBitmap(*shown, mode, window());
}
