#include "view/SubFrm.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QScrollArea>
#include <QScrollBar>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>
#include <QWindow>
#include <QtMath>
#include <cmath>

#include "codecs/FrameSource.h"
#include "formats/Animation.h"
#include "platform/ErrorBox.h"
#include "platform/PathText.h"
#include "platform/QtImage.h"
#include "view/PaintBox.h"
#include "view/SubFrmArrange.h"

namespace {

// RoundHalfAway of size x zoom: 151.5 becomes 152.
int zoomed(int size, float zoom) { return int(std::lround(double(size) * double(zoom))); }

// Logical pixels covering n device pixels.
int logical(int n, qreal ratio) { return qCeil(n / ratio); }

// An owned top-level window. X11 back ends tell the window manager about the owner
// (WM_TRANSIENT_FOR) only for dialog-like window types, so the viewer is one, with the title
// bar buttons of an ordinary window: it stays above its owner and is minimised and restored
// with it.
constexpr Qt::WindowFlags kViewerFlags = Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                                         Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint;

}  // namespace

TKorvelSubFrm::TKorvelSubFrm(const std::string& path, QWidget* owner, const korvel::PhotoSwitches& photo)
    : QWidget(owner, kViewerFlags), photo_(photo) {
    setObjectName(QStringLiteral("KorvelSubFrm"));
    setAttribute(Qt::WA_DeleteOnClose);
    // The main window's closing ends the program; a viewer left open must not keep it running.
    setAttribute(Qt::WA_QuitOnClose, false);
    buildControls();
    buildPopupMenu();
    subviewers_detail::add(this);
    FormCreate(path);
}

TKorvelSubFrm::~TKorvelSubFrm() { subviewers_detail::remove(this); }

void TKorvelSubFrm::buildControls() {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    ScrollBox1 = new QScrollArea(this);
    ScrollBox1->setObjectName(QStringLiteral("ScrollBox1"));
    ScrollBox1->setWidgetResizable(false);
    ScrollBox1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // Keys belong to the window (they act before any control sees them).
    ScrollBox1->setFocusPolicy(Qt::NoFocus);
    PaintBox1 = new TPaintBox;
    PaintBox1->setObjectName(QStringLiteral("PaintBox1"));
    PaintBox1->resize(0, 0);
    PaintBox1->onPaint = [this](QPainter& p, const QRect& r) { PaintBox1Paint(p, r); };
    PaintBox1->onMouseDown = [this](QMouseEvent* e) { PaintBox1MouseDown(e); };
    PaintBox1->onMouseMove = [this](QMouseEvent* e) { PaintBox1MouseMove(e); };
    PaintBox1->onMouseUp = [this](QMouseEvent* e) { PaintBox1MouseUp(e); };
    ScrollBox1->setWidget(PaintBox1);
    layout->addWidget(ScrollBox1, 1);

    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    const int panelWidths[2] = {175, 50};
    for (int i = 0; i < 2; ++i) {
        StatusPanels[i] = new QLabel(StatusBar1);
        StatusPanels[i]->setMinimumWidth(panelWidths[i]);
        StatusBar1->addWidget(StatusPanels[i], i == 1 ? 1 : 0);
    }
    // A fixed height, so the window's size arithmetic can count on it. Neither the panels'
    // widths nor the scroll box's own hint may hold the window larger than a small image needs:
    // the panels are cut off at the window's edge instead.
    StatusBar1->setFixedHeight(StatusBar1->sizeHint().height());
    StatusBar1->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    ScrollBox1->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    layout->addWidget(StatusBar1);
    setFocusPolicy(Qt::StrongFocus);
}

void TKorvelSubFrm::buildPopupMenu() {
    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    auto add = [this](QMenu* menu, const char* name, const QString& caption, void (TKorvelSubFrm::*slot)()) {
        QAction* a = menu->addAction(caption);
        a->setObjectName(QLatin1String(name));
        if (slot) connect(a, &QAction::triggered, this, slot);
        return a;
    };
    actions_.largePopup = add(PopupMenu1, "largePopup", tr("拡大(&+)"), &TKorvelSubFrm::largePopupClick);
    actions_.SmallPopup = add(PopupMenu1, "SmallPopup", tr("縮小(&-)"), &TKorvelSubFrm::SmallPopupClick);
    QMenu* turnMenu = PopupMenu1->addMenu(tr("画像の回転(&T)"));
    actions_.SubTurn = turnMenu->menuAction();
    actions_.SubTurn->setObjectName(QStringLiteral("SubTurn"));
    actions_.SubTurn1 = add(turnMenu, "SubTurn1", tr("右90度(&R)"), &TKorvelSubFrm::SubTurn1Click);
    actions_.SubTurn2 = add(turnMenu, "SubTurn2", tr("180度(&T)"), &TKorvelSubFrm::SubTurn2Click);
    actions_.SubTurn3 = add(turnMenu, "SubTurn3", tr("左90度(&L)"), &TKorvelSubFrm::SubTurn3Click);
    actions_.SubTurnSave = add(turnMenu, "SubTurnSave", tr("回転を保存(&V)"), &TKorvelSubFrm::SubTurnSaveClick);
    actions_.ClipImage = add(PopupMenu1, "ClipImage", tr("ｸﾘｯﾌﾟﾎﾞｰﾄﾞへｺﾋﾟｰ(&C)"), &TKorvelSubFrm::ClipImageClick);
    PopupMenu1->addSeparator()->setVisible(false);
    actions_.Cascade1 = add(PopupMenu1, "Cascade1", tr("重ねて表示(&S)"), &TKorvelSubFrm::Cascade1Click);
    actions_.TileHorizontal1 =
        add(PopupMenu1, "TileHorizontal1", tr("上下に並べて表示(&H)"), &TKorvelSubFrm::TileHorizontal1Click);
    actions_.TileVertical1 = add(PopupMenu1, "TileVertical1", tr("左右に並べて表示(&V)"), &TKorvelSubFrm::TileVertical1Click);
    actions_.AllSmall = add(PopupMenu1, "AllSmall", tr("全サブウィンドウを最小化(&M)"), &TKorvelSubFrm::AllSmallClick);
    PopupMenu1->addSeparator();
    actions_.AllClose = add(PopupMenu1, "AllClose", tr("全サブウィンドウを閉じる(&X)"), &TKorvelSubFrm::AllCloseClick);
    actions_.AnimPause = add(PopupMenu1, "AnimPause", tr("ｱﾆﾒｰｼｮﾝの一時停止(&P)"), &TKorvelSubFrm::AnimPauseClick);
    actions_.AnimPause->setCheckable(true);
    actions_.AnimStep = add(PopupMenu1, "AnimStep", tr("次のｺﾏへ(&N)"), &TKorvelSubFrm::AnimStepClick);
    actions_.AnimPause->setVisible(false);
    actions_.AnimStep->setVisible(false);
    connect(PopupMenu1, &QMenu::aboutToShow, this, &TKorvelSubFrm::PopupMenu1Popup);
}

bool TKorvelSubFrm::LoadSubImage(const std::string& path, QString* reason) {
    if (coreSucceeds([&] {
            SubImage = LoadImageAsBitmap(path, photo_);
            return true;
        }, reason))
        return true;
    SubImage.clear();
    return false;
}

void TKorvelSubFrm::FormCreate(const std::string& path) {
    ZoomFactor = 1.0f;
    path_ = path;
    turned_ = 1;
    QString reason;
    if (!LoadSubImage(path, &reason)) {
        // The caption also names the decoder that refused the file and why.
        QString caption = pathText(path) + tr(" － 画像を表示出来ません。");
        if (!reason.isEmpty()) caption += QLatin1Char(' ') + reason;
        setWindowTitle(literalCaption(caption));
        resize(kDesignedClientSize);
        return;
    }
    shown_ = toQImage(SubImage).convertToFormat(QImage::Format_RGB32);
    startAnimation(path);
    updateView();
    placeWindow();
    setWindowTitle(literalCaption(pathText(path)));
}

void TKorvelSubFrm::startAnimation(const std::string& path) {
    anim_ = korvel::openAnimation(path);
    // A picture turned upright on load no longer matches the frames' canvas: it stays still.
    if (!anim_ || anim_->current().width != SubImage.width() || anim_->current().height != SubImage.height()) {
        anim_.reset();
        return;
    }
    if (!animTimer_) {  // a file shown again keeps its timer
        animTimer_ = new QTimer(this);
        animTimer_->setSingleShot(true);
        connect(animTimer_, &QTimer::timeout, this, &TKorvelSubFrm::frameDue);
    }
    actions_.AnimPause->setVisible(true);
    actions_.AnimStep->setVisible(true);
    showFrame();
    scheduleFrame();
}

void TKorvelSubFrm::showFrame() {
    const korvel::AnimFrame& f = anim_->current();
    const QImage frame(f.rgba.data(), f.width, f.height, f.width * 4, QImage::Format_RGBA8888);
    // Transparent parts show the window's background, as a still picture's do.
    QImage shown(f.width, f.height, QImage::Format_RGB32);
    shown.fill(palette().color(QPalette::Window));
    QPainter p(&shown);
    p.drawImage(0, 0, frame);
    p.end();
    shown_ = std::move(shown);
    PaintBox1->update();
}

void TKorvelSubFrm::scheduleFrame() {
    if (anim_ && !animPaused_ && !anim_->finished()) animTimer_->start(anim_->delayMs());
}

void TKorvelSubFrm::frameDue() {
    if (!anim_ || animPaused_) return;
    if (anim_->advance()) showFrame();
    scheduleFrame();
}

void TKorvelSubFrm::AnimPauseClick() {
    if (!anim_) return;
    animPaused_ = !animPaused_;
    actions_.AnimPause->setChecked(animPaused_);
    if (animPaused_) animTimer_->stop();
    else scheduleFrame();
}

void TKorvelSubFrm::AnimStepClick() {
    if (!anim_) return;
    // Stepping pauses, so the frame stepped to stays to be looked at.
    if (!animPaused_) AnimPauseClick();
    if (anim_->advance(true)) showFrame();
}

void TKorvelSubFrm::placeWindow() {
    QMargins frame;
    if (QWindow* w = windowHandle()) frame = w->frameMargins();
    const int scrollBar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, this);
    const qreal r = PaintBox1->devicePixelRatioF();
    const SubViewerPlacement p = placeSubViewer(QSize(logical(SubImage.width(), r), logical(SubImage.height(), r)),
                                                subViewerWorkArea(), StatusBar1->height(), scrollBar, frame);
    resize(p.client);
    if (p.framePos) move(*p.framePos);
    placedWithFrame_ = frame;
    placed_ = p.framePos.has_value();
}

void TKorvelSubFrm::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // The window manager's frame is known only once the window is mapped; a window placed
    // against the work area's edges is placed again with it.
    if (!placed_) return;
    QTimer::singleShot(50, this, [this] {
        if (!placed_ || !windowHandle() || windowHandle()->frameMargins() == placedWithFrame_) return;
        if (!isMinimized() && !isMaximized()) placeWindow();
        placed_ = false;
    });
}

void TKorvelSubFrm::updateView() {
    if (SubImage.empty()) return;
    // A zoom of 1 shows one image pixel on each device pixel; the view size is in those.
    const int W = zoomed(SubImage.width(), ZoomFactor), H = zoomed(SubImage.height(), ZoomFactor);
    const qreal r = PaintBox1->devicePixelRatioF();
    PaintBox1->resize(logical(W, r), logical(H, r));
    StatusPanels[0]->setText(QStringLiteral("OriginalSize : %1x%2 (x%3)")
                                 .arg(SubImage.width())
                                 .arg(SubImage.height())
                                 .arg(zoomText(ZoomFactor)));
    StatusPanels[1]->setText(QStringLiteral("ViewSize : %1x%2").arg(W).arg(H));
    PaintBox1->update();
}

void TKorvelSubFrm::PaintBox1Paint(QPainter& p, const QRect& exposed) {
    if (SubImage.empty() || shown_.isNull()) return;
    // The plain stretch of the whole image onto (0,0,W,H), drawn only where exposed: the source
    // pixels covering the exposed part map through the same scale as the whole image would.
    const qreal r = PaintBox1->devicePixelRatioF();
    const double kx = zoomed(SubImage.width(), ZoomFactor) / r / shown_.width();
    const double ky = zoomed(SubImage.height(), ZoomFactor) / r / shown_.height();
    const int x0 = std::max(0, int(std::floor(exposed.left() / kx)));
    const int y0 = std::max(0, int(std::floor(exposed.top() / ky)));
    const int x1 = std::min(shown_.width(), int(std::ceil((exposed.right() + 1) / kx)));
    const int y1 = std::min(shown_.height(), int(std::ceil((exposed.bottom() + 1) / ky)));
    if (x1 <= x0 || y1 <= y0) return;
    p.setRenderHint(QPainter::SmoothPixmapTransform, false);
    p.setClipRect(exposed);
    p.drawImage(QRectF(x0 * kx, y0 * ky, (x1 - x0) * kx, (y1 - y0) * ky), shown_, QRectF(x0, y0, x1 - x0, y1 - y0));
}

void TKorvelSubFrm::PaintBox1MouseDown(QMouseEvent* event) {
    dragging_ = event->button() == Qt::LeftButton;
    pressed_ = event->position().toPoint();
}

void TKorvelSubFrm::PaintBox1MouseMove(QMouseEvent* event) {
    if (!dragging_) return;
    // The pressed point is kept: the paint box moves with the scroll, so the grabbed pixel
    // stays under the pointer.
    const QPoint pos = event->position().toPoint();
    QScrollBar* h = ScrollBox1->horizontalScrollBar();
    QScrollBar* v = ScrollBox1->verticalScrollBar();
    h->setValue(h->value() - (pos.x() - pressed_.x()));
    v->setValue(v->value() - (pos.y() - pressed_.y()));
}

void TKorvelSubFrm::PaintBox1MouseUp(QMouseEvent*) { dragging_ = false; }

void TKorvelSubFrm::largePopupClick() {
    if (SubImage.empty() || ZoomFactor == 8.0f) return;
    float next = 8.0f;  // a value that is no step goes to the largest
    for (size_t i = 0; i + 1 < kZoomSteps.size(); ++i)
        if (ZoomFactor == kZoomSteps[i]) next = kZoomSteps[i + 1];
    ZoomFactor = next;
    updateView();
}

void TKorvelSubFrm::SmallPopupClick() {
    if (SubImage.empty() || ZoomFactor == 0.25f) return;
    float next = 0.25f;
    for (size_t i = 1; i < kZoomSteps.size(); ++i)
        if (ZoomFactor == kZoomSteps[i]) next = kZoomSteps[i - 1];
    ZoomFactor = next;
    updateView();
}

void TKorvelSubFrm::turn(TurnKind kind) {
    if (SubImage.empty()) return;
    if (!TurnShownImage(SubImage, kind, this)) return;
    turned_ = TurnAfter(turned_, kind);
    // The turned picture is the first frame turned; the animation stops there.
    anim_.reset();
    if (animTimer_) animTimer_->stop();
    actions_.AnimPause->setVisible(false);
    actions_.AnimStep->setVisible(false);
    shown_ = toQImage(SubImage).convertToFormat(QImage::Format_RGB32);
    updateView();
}

void TKorvelSubFrm::SubTurn1Click() { turn(TurnKind::Right90); }
void TKorvelSubFrm::SubTurn2Click() { turn(TurnKind::Half); }
void TKorvelSubFrm::SubTurn3Click() { turn(TurnKind::Left90); }

void TKorvelSubFrm::SubTurnSaveClick() {
    // Its follow-up shows the file again in this viewer and every other one of it.
    if (!SubImage.empty()) SaveTurnToFile(path_, turned_, this);
}

void TKorvelSubFrm::reloadFile() {
    turned_ = 1;
    anim_.reset();
    if (animTimer_) animTimer_->stop();
    actions_.AnimPause->setVisible(false);
    actions_.AnimStep->setVisible(false);
    if (!LoadSubImage(path_)) return;
    shown_ = toQImage(SubImage).convertToFormat(QImage::Format_RGB32);
    startAnimation(path_);
    updateView();
}

void TKorvelSubFrm::ClipImageClick() {
    // The file as stored, not the caption's text of its name.
    if (!SubImage.empty()) CopyFileImageToClipboard(path_, this);
}

void TKorvelSubFrm::Cascade1Click() { arrangeSubViewers(SubArrange::Cascade, parentWidget()); }
void TKorvelSubFrm::TileHorizontal1Click() { arrangeSubViewers(SubArrange::TileHorizontal, parentWidget()); }
void TKorvelSubFrm::TileVertical1Click() { arrangeSubViewers(SubArrange::TileVertical, parentWidget()); }
void TKorvelSubFrm::AllSmallClick() { minimizeAllSubViewers(); }
void TKorvelSubFrm::AllCloseClick() { closeAllSubViewers(); }

void TKorvelSubFrm::PopupMenu1Popup() {
    const Actions& a = actions_;
    const bool several = normalSubViewerCount() > 1;
    for (QAction* item : {a.Cascade1, a.TileHorizontal1, a.TileVertical1, a.AllSmall}) item->setEnabled(several);
    a.SmallPopup->setEnabled(!SubImage.empty() && ZoomFactor != 0.25f);
    a.largePopup->setEnabled(!SubImage.empty() && ZoomFactor != 8.0f);
    for (QAction* item : {a.SubTurn, a.ClipImage, a.AllClose}) item->setEnabled(true);
}

void TKorvelSubFrm::contextMenuEvent(QContextMenuEvent* event) { PopupMenu1->popup(event->globalPos()); }

void TKorvelSubFrm::keyPressEvent(QKeyEvent* event) {
    const bool keypad = event->modifiers() & Qt::KeypadModifier;
    switch (event->key()) {
    case Qt::Key_X:
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape: close(); return;
    case Qt::Key_S: showMinimized(); return;
    case Qt::Key_L: showMaximized(); return;
    case Qt::Key_C: ClipImageClick(); return;
    case Qt::Key_P: AnimPauseClick(); return;
    case Qt::Key_N: AnimStepClick(); return;
    case Qt::Key_Plus:
        if (keypad) largePopupClick();
        return;
    case Qt::Key_Minus:
        if (keypad) SmallPopupClick();
        return;
    default: QWidget::keyPressEvent(event);
    }
}

namespace {

// Shows the viewer once its owner is on screen. The window system learns who owns a window
// when the window is made, so a viewer made before its owner has a window of its own would
// never be kept above it nor minimised with it.
class ShowWithOwner : public QObject {
public:
    ShowWithOwner(TKorvelSubFrm* viewer, QWidget* owner) : QObject(viewer), viewer_(viewer) { owner->installEventFilter(this); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show) {
            watched->removeEventFilter(this);
            // After the owner's own show has finished, so that it is mapped first.
            QTimer::singleShot(0, viewer_, [v = viewer_] { v->show(); });
            deleteLater();
        }
        return false;
    }

private:
    TKorvelSubFrm* viewer_;
};

}  // namespace

TKorvelSubFrm* openSubViewer(const std::string& path, QWidget* owner, const korvel::PhotoSwitches& photo) {
    auto* w = new TKorvelSubFrm(path, owner, photo);
    if (owner && !owner->isVisible())
        new ShowWithOwner(w, owner);
    else
        w->show();
    return w;
}
