#include "view/ShowFrm1.h"

#include <sys/stat.h>

#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QRegion>
#include <QScreen>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>
#include <QtMath>
#include <QWheelEvent>
#include <cstdlib>

#include "base/Errors.h"
#include "base/IniFile.h"
#include "settings/SettingsTable.h"
#include "platform/PathText.h"
#include "platform/QtImage.h"
#include "platform/ThemeIcons.h"
#include "platform/UiHandOff.h"
#include "platform/WorkerFailure.h"
#include "settings/WindowGeometry.h"
#include "view/PaintBox.h"
#include "view/SlideLoader.h"

namespace {

using Nav = korvel::SlidePlaylist::Nav;

bool fileExists(const std::string& path) {
    struct stat st{};
    return ::stat(path.c_str(), &st) == 0;
}

// A Windows colour value is 0x00BBGGRR.
QColor windowsColor(unsigned c) { return QColor(int(c & 0xFF), int((c >> 8) & 0xFF), int((c >> 16) & 0xFF)); }

// In device pixels, as slides are decoded and drawn.
QSize primaryScreenSize() {
    const QScreen* s = QGuiApplication::primaryScreen();
    return s ? s->geometry().size() * s->devicePixelRatio() : QSize(1024, 768);
}

}  // namespace

TShowFrm1::TShowFrm1(const ShowSource& source, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("TShowFrm1"));
    setWindowTitle(tr("スライドショー　読込中...."));
    resize(506, 314);
    buildControls();
    loader_ = new SlideLoader(this);
    loader_->onLoaded = [this](std::shared_ptr<SlideResult> r) { takeResult(r); };
    FormCreate(source);
}

TShowFrm1::~TShowFrm1() {
    // The decode in hand ends first, while the window it reports to is whole; what it hands
    // over afterwards is dropped with the loader.
    loader_->stop();
    setBusy(false);
    delete loader_;
    loader_ = nullptr;
}

void TShowFrm1::buildControls() {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    ToolBar1 = new QToolBar(this);
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    ToolBar1->setFixedHeight(23);
    ToolBar1->setIconSize(QSize(16, 16));
    PaintBox1 = new TPaintBox(this);
    PaintBox1->setObjectName(QStringLiteral("PaintBox1"));
    // The paint handler fills what it draws on; nothing erases the box between slides.
    PaintBox1->setAttribute(Qt::WA_OpaquePaintEvent);
    PaintBox1->onPaint = [this](QPainter& p, const QRect& exposed) { PaintBox1Paint(p, exposed); };
    PaintBox1->setContextMenuPolicy(Qt::CustomContextMenu);
    layout->addWidget(ToolBar1);
    layout->addWidget(PaintBox1, 1);
    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    connect(PaintBox1, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { PopupMenu1->popup(PaintBox1->mapToGlobal(pos)); });
    connect(PopupMenu1, &QMenu::aboutToShow, this, &TShowFrm1::PopupMenu1Popup);

    struct Row {
        QAction* Actions::*member;
        const char* name;
        const char* text;
        ToolIcon icon;
        void (TShowFrm1::*run)();
    };
    const Row buttons[] = {
        {&Actions::CloseBtn1, "CloseBtn1", QT_TR_NOOP("終了"), ToolIcon::ShowClose, &TShowFrm1::CloseBtn1Click},
        {nullptr, nullptr, nullptr, {}, nullptr},
        {&Actions::TopRewBtn, "TopRewBtn", QT_TR_NOOP("一番最初へ"), ToolIcon::ShowFirst, nullptr},
        {&Actions::RewBtn, "RewBtn", QT_TR_NOOP("ひとつ前"), ToolIcon::ShowPrevious, nullptr},
        {&Actions::PauseBtn, "PauseBtn", QT_TR_NOOP("一時停止"), ToolIcon::ShowPause, &TShowFrm1::PauseBtnClick},
        {&Actions::PlayBtn, "PlayBtn", QT_TR_NOOP("再生"), ToolIcon::ShowPlay, &TShowFrm1::PauseBtnClick},
        {&Actions::FFBtn, "FFBtn", QT_TR_NOOP("ひとつ先"), ToolIcon::ShowNext, nullptr},
        {&Actions::LFFBtn, "LFFBtn", QT_TR_NOOP("一番最後へ"), ToolIcon::ShowLast, nullptr},
    };
    auto* playGroup = new QActionGroup(this);
    for (const Row& r : buttons) {
        if (!r.member) {
            ToolBar1->addSeparator();
            continue;
        }
        QAction* a = ToolBar1->addAction(toolIcon(r.icon), tr(r.text));
        a->setObjectName(QString::fromLatin1(r.name));
        a->setToolTip(tr(r.text));
        if (r.run) connect(a, &QAction::triggered, this, r.run);
        actions_.*r.member = a;
    }
    for (QAction* a : {actions_.PauseBtn, actions_.PlayBtn}) a->setCheckable(true), playGroup->addAction(a);

    const Row items[] = {
        {&Actions::CloseMenu, "CloseMenu", QT_TR_NOOP("終了(&X)"), {}, &TShowFrm1::CloseBtn1Click},
        {&Actions::TopViewManu, "TopViewManu", QT_TR_NOOP("一番最初へ(&R)"), {}, nullptr},
        {&Actions::RewMenu, "RewMenu", QT_TR_NOOP("ひとつ前(&B)"), {}, nullptr},
        {&Actions::PauseMenu, "PauseMenu", QT_TR_NOOP("一時停止(&A)"), {}, &TShowFrm1::PauseMenuClick},
        {&Actions::PlayMenu, "PlayMenu", QT_TR_NOOP("再生(&S)"), {}, &TShowFrm1::PlayMenuClick},
        {&Actions::FFMenu, "FFMenu", QT_TR_NOOP("ひとつ先(&N)"), {}, nullptr},
        {&Actions::LFFMenu, "LFFMenu", QT_TR_NOOP("一番最後へ(&F)"), {}, nullptr},
    };
    for (const Row& r : items) {
        QAction* a = PopupMenu1->addAction(tr(r.text));
        a->setObjectName(QString::fromLatin1(r.name));
        if (r.run) connect(a, &QAction::triggered, this, r.run);
        actions_.*r.member = a;
    }
    auto* menuGroup = new QActionGroup(this);  // drawn as radio items
    for (QAction* a : {actions_.PauseMenu, actions_.PlayMenu}) a->setCheckable(true), menuGroup->addAction(a);
    const std::pair<QAction*, Nav> navs[] = {
        {actions_.TopRewBtn, Nav::First}, {actions_.RewBtn, Nav::Previous}, {actions_.FFBtn, Nav::Next},
        {actions_.LFFBtn, Nav::Last},     {actions_.TopViewManu, Nav::First}, {actions_.RewMenu, Nav::Previous},
        {actions_.FFMenu, Nav::Next},     {actions_.LFFMenu, Nav::Last}};
    for (const auto& [a, nav] : navs) connect(a, &QAction::triggered, this, [this, nav = nav] { NavigateSlide(nav); });

    // The window sees every key before its controls.
    for (QWidget* w : findChildren<QWidget*>()) {
        if (qobject_cast<QMenu*>(w)) continue;
        w->setFocusPolicy(Qt::NoFocus);
        w->installEventFilter(this);
    }
    setFocusPolicy(Qt::StrongFocus);
    PaintBox1->installEventFilter(this);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setTimerType(Qt::PreciseTimer);
    Timer1->setInterval(500);
    connect(Timer1, &QTimer::timeout, this, &TShowFrm1::Timer1Timer);

    // The picture answers the mouse and tells its keys; in full screen the pointer gets out of
    // the way.
    PaintBox1->setMouseTracking(true);
    PaintBox1->setToolTip(keysHelp());
    pointerTimer_ = new QTimer(this);
    pointerTimer_->setSingleShot(true);
    pointerTimer_->setInterval(2000);
    connect(pointerTimer_, &QTimer::timeout, this, &TShowFrm1::hidePointer);
}

QString TShowFrm1::keysHelp() const {
    struct Row {
        const char* how;
        const char* action;
    };
    // Keys are named as printed on the keyboard; the mouse's rows are words and are translated.
    static const Row keys[] = {
        {"Esc, X", QT_TR_NOOP("終了")},
        {"Space", QT_TR_NOOP("一時停止／再生")},
        {"A", QT_TR_NOOP("一時停止")},
        {"S", QT_TR_NOOP("再生")},
        {"→, N", QT_TR_NOOP("ひとつ先")},
        {"←, B", QT_TR_NOOP("ひとつ前")},
        {"Shift+→, Shift+←", QT_TR_NOOP("一行先、一行前")},
        {"↓, R", QT_TR_NOOP("一番最初へ")},
        {"↑, F", QT_TR_NOOP("一番最後へ")},
    };
    static const Row mouse[] = {
        {QT_TR_NOOP("クリック、ホイールを手前へ"), QT_TR_NOOP("ひとつ先")},
        {QT_TR_NOOP("ホイールを奥へ"), QT_TR_NOOP("ひとつ前")},
        {QT_TR_NOOP("右クリック"), QT_TR_NOOP("メニュー")},
    };
    QString html = QStringLiteral("<table cellspacing=\"0\" cellpadding=\"3\">");
    const auto add = [&html](const QString& how, const QString& action) {
        html += QStringLiteral("<tr><td><b>%1</b></td><td>%2</td></tr>").arg(how.toHtmlEscaped(), action.toHtmlEscaped());
    };
    for (const Row& r : keys) add(QString::fromUtf8(r.how), tr(r.action));
    for (const Row& r : mouse) add(tr(r.how), tr(r.action));
    return html + QStringLiteral("</table>");
}

void TShowFrm1::FormCreate(const ShowSource& source) {
    settingsPath_ = source.settingsPath;
    photo_ = source.photo;
    gridColumns_ = std::max(1, source.gridColumns);
    settings_ = korvel::readShowSettings(korvel::IniFile::load(settingsPath_));
    if (settings_.fullScreen) {
        setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
        ToolBar1->setFixedHeight(0);
        ToolBar1->hide();
    } else {
        setWindowFlags(Qt::Window | Qt::WindowSystemMenuHint | Qt::WindowTitleHint | Qt::WindowMinMaxButtonsHint |
                       Qt::WindowCloseButtonHint);
    }
    Timer1->setInterval(settings_.interval());
    const QColor color = windowsColor(settings_.showColor);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, color);
    setPalette(pal);
    PaintBox1->setPalette(pal);
    // The buttons keep the desktop's colours, so their icons stay visible on a dark show.
    ToolBar1->setPalette(QApplication::palette());
    ToolBar1->setAutoFillBackground(true);
    placeWindow();
    // The paint box takes its size now, so the first slide is decoded for it.
    layout()->activate();
    SlideList.build(source.marked, source.files);
    // A file named with "/s" comes before the previewed one.
    if (source.startFile.empty() || !SlideList.startAt(source.startFile))
        if (settings_.selectStart) SlideList.startAt(source.previewed);
    if (!SlideList.empty()) StartSlideLoad();
}

void TShowFrm1::placeWindow() {
    // Without the saved placement nothing is applied, not even full screen's maximising.
    if (!settings_.windOption) return;
    // The geometry too, for a desktop whose window manager ignores the state (or has none).
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (settings_.fullScreen) {
        if (screen) setGeometry(screen->geometry());
        setWindowState(Qt::WindowFullScreen);
    } else if (settings_.maximized()) {
        if (screen) setGeometry(screen->availableGeometry());
        setWindowState(Qt::WindowMaximized);
    } else {
        std::vector<korvel::WindowRect> areas;
        for (const QScreen* s : QGuiApplication::screens()) {
            const QRect a = s->availableGeometry();
            areas.insert(s == screen ? areas.begin() : areas.end(), {a.left(), a.top(), a.width(), a.height()});
        }
        const korvel::WindowRect r = korvel::fitWindowToWorkAreas(
            {settings_.left, settings_.top, settings_.width, settings_.height}, areas, {506, 314}, {480, 320},
            {240, 160});
        // Left and Top place the frame, so the title bar stays on the work area.
        resize(r.width, r.height);
        move(r.left, r.top);
    }
}

void TShowFrm1::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!shownOnce_) {
        shownOnce_ = true;
        FormShow();
    }
}

void TShowFrm1::FormShow() {
    if (settings_.pauseStart) {
        actions_.PauseBtn->setChecked(true);
        actions_.PauseMenu->setChecked(true);
        PauseBtnClick();
        if (!SlideList.empty()) setWindowTitle(literalCaption(SlideCaption()));
    } else {
        actions_.PlayBtn->setChecked(true);
        actions_.PlayMenu->setChecked(true);
        Timer1->start();
    }
    if (settings_.fullScreen) pointerTimer_->start();
}

QString TShowFrm1::SlideCaption() const {
    if (SlideList.empty()) return {};
    return tr("再生中 : %1  ( %2/%3 )")
        .arg(pathText(SlideList.current()))
        .arg(SlideList.index() + 1)
        .arg(SlideList.count());
}

korvel::SlideBox TShowFrm1::currentBox() const {
    // Slides are fitted and drawn in device pixels: on a dense screen a picture keeps its detail.
    const qreal r = PaintBox1->devicePixelRatioF();
    return {qRound(PaintBox1->width() * r), qRound(PaintBox1->height() * r)};
}

void TShowFrm1::setBusy(bool busy) {
    busy_ = busy;
    // A hidden pointer stays hidden: the hourglass would bring it back at every slide.
    const bool hourglass = busy_ && !pointerHidden_;
    if (hourglass == busyCursor_) return;
    busyCursor_ = hourglass;
    if (hourglass) QApplication::setOverrideCursor(Qt::WaitCursor);
    else QApplication::restoreOverrideCursor();
}

void TShowFrm1::hidePointer() {
    if (!settings_.fullScreen || closed_) return;
    pointerHidden_ = true;
    PaintBox1->setCursor(Qt::BlankCursor);
    setBusy(busy_);
}

void TShowFrm1::showPointer() {
    if (pointerHidden_) {
        pointerHidden_ = false;
        PaintBox1->unsetCursor();
        setBusy(busy_);
    }
    if (settings_.fullScreen && !closed_) pointerTimer_->start();
}

bool TShowFrm1::paintBoxMouse(QEvent* event) {
    switch (event->type()) {
        case QEvent::MouseMove: showPointer(); return false;
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
            showPointer();
            // The right button opens the menu.
            if (static_cast<QMouseEvent*>(event)->button() != Qt::LeftButton) return false;
            NavigateSlide(Nav::Next);
            return true;
        case QEvent::Wheel: {
            const int steps = wheel_.add(static_cast<QWheelEvent*>(event)->angleDelta().y());
            for (int i = 0; i < std::abs(steps); ++i) NavigateSlide(steps > 0 ? Nav::Next : Nav::Previous);
            return true;
        }
        default: return false;
    }
}

void TShowFrm1::StartSlideLoad() {
    if (SlideList.empty()) return;
    // A vanished file is not loaded and the index stays: the previous slide stays on screen.
    if (loading() || !fileExists(SlideList.current())) return;
    requestSlide(Pending::Tick);
}

void TShowFrm1::requestSlide(Pending kind) {
    setBusy(true);
    follow(prefetch_.due(kind, SlideList.current(), currentBox(), !settings_.sSpeedFlg));
}

void TShowFrm1::requestAhead() {
    if (SlideList.empty() || closed_) return;
    follow({nullptr, prefetch_.ahead(SlideList.current(), currentBox(), !settings_.sSpeedFlg)});
}

void TShowFrm1::follow(korvel::SlidePrefetch::Step step) {
    if (step.show) {
        SlideLoaded(static_cast<SlideResult&>(*step.show));
        return;
    }
    if (!step.decode) return;
    SlideRequest request;
    static_cast<korvel::SlideOrder&>(request) = std::move(*step.decode);
    request.screen = primaryScreenSize();
    request.photo = photo_;
    try {
        loader_->request(request);
    } catch (const korvel::Exception& e) {
        // No thread to decode on: the slide comes back undecoded, so the show goes on.
        if (!std::exchange(workerReported_, true)) reportWorkerFailure(this, e);
        auto failed = std::make_shared<SlideResult>();
        failed->order = request;
        handToUi(this, [this, failed] { takeResult(failed); });
    }
}

void TShowFrm1::takeResult(const std::shared_ptr<SlideResult>& result) {
    if (closed_) return;  // no late paint into a closed window
    follow(prefetch_.arrived(result, currentBox()));
}

void TShowFrm1::SlideLoaded(SlideResult& result) {
    setBusy(false);
    // The result is not used again: its pixels move into the slide.
    slide_ = result.ok ? std::move(result.bitmap) : korvel::TBitmap();
    shown_ = result.ok ? std::move(result.image) : QImage();
    shown_.setDevicePixelRatio(PaintBox1->devicePixelRatioF());
    newSlide_ = true;
    PaintBox1->update();
    setWindowTitle(literalCaption(SlideCaption()));
    const Pending kind = prefetch_.shown();
    AdvanceSlideIndex();
    if (kind == Pending::Navigation) setPlaying(actions_.PlayBtn->isChecked());
    requestAhead();
}

void TShowFrm1::Timer1Timer() {
    emit ticked();
    if (loading()) return;  // a slide stays at least one interval
    if (SlideList.index() == 0 && !settings_.repeatFlg) {
        Timer1->stop();
        close();  // the last slide has been shown
        return;
    }
    StartSlideLoad();
}

void TShowFrm1::setPlaying(bool playing) {
    if (playing) Timer1->start();
    else Timer1->stop();
    actions_.PlayMenu->setChecked(actions_.PlayBtn->isChecked());
    actions_.PauseMenu->setChecked(actions_.PauseBtn->isChecked());
}

void TShowFrm1::PauseBtnClick() {
    if (!actions_.PauseBtn->isChecked()) {
        StartSlideLoad();
        Timer1->start();
    } else {
        Timer1->stop();
    }
}

// The items' marks follow the buttons while the menu is open (PopupMenu1Popup), so the button
// tells whether the item had its mark before the click moved it.
void TShowFrm1::PlayMenuClick() {
    const bool hadMark = actions_.PlayBtn->isChecked();
    if (!hadMark) {
        actions_.PlayBtn->setChecked(!actions_.PlayBtn->isChecked());
        PauseBtnClick();
    }
    PopupMenu1Popup();
}

void TShowFrm1::PauseMenuClick() {
    const bool hadMark = actions_.PauseBtn->isChecked();
    if (!hadMark) {
        actions_.PauseBtn->setChecked(!actions_.PauseBtn->isChecked());
        PauseBtnClick();
    }
    PopupMenu1Popup();
}

void TShowFrm1::PopupMenu1Popup() {
    actions_.PlayMenu->setChecked(actions_.PlayBtn->isChecked());
    actions_.PauseMenu->setChecked(actions_.PauseBtn->isChecked());
}

void TShowFrm1::CloseBtn1Click() { close(); }

void TShowFrm1::NavigateSlide(Nav nav) {
    if (SlideList.empty()) return;
    Timer1->stop();
    // A navigation still loading counts as done: the next one starts from the slide it chose.
    if (prefetch_.pending() == Pending::Navigation) AdvanceSlideIndex();
    SlideList.navigate(nav);
    requestSlide(Pending::Navigation);
}

bool TShowFrm1::FormKeyUp(QKeyEvent* e) {
    QAction* const pause = actions_.PauseBtn;
    QAction* const play = actions_.PlayBtn;
    const bool shift = e->modifiers() & Qt::ShiftModifier;
    switch (e->key()) {
        case Qt::Key_Escape:
        case Qt::Key_X: CloseBtn1Click(); break;
        case Qt::Key_Space:
            (pause->isChecked() ? play : pause)->setChecked(true);
            PauseBtnClick();
            break;
        case Qt::Key_A:
            if (!pause->isChecked()) pause->setChecked(true), PauseBtnClick();
            break;
        case Qt::Key_S:
            if (!play->isChecked()) play->setChecked(true), PauseBtnClick();
            break;
        case Qt::Key_Right:
        case Qt::Key_N:
            if (shift) SlideList.jump(gridColumns_ - 1);
            NavigateSlide(Nav::Next);
            break;
        case Qt::Key_Left:
        case Qt::Key_B:
            if (shift) SlideList.jump(-(gridColumns_ - 1));
            NavigateSlide(Nav::Previous);
            break;
        case Qt::Key_Up:
        case Qt::Key_F: NavigateSlide(Nav::Last); break;
        case Qt::Key_Down:
        case Qt::Key_R: NavigateSlide(Nav::First); break;
        default: return false;
    }
    return true;
}

void TShowFrm1::keyPressEvent(QKeyEvent* event) {
    // Keys act on release; a dialog would otherwise close on the press of Esc.
    if (!event->isAutoRepeat()) pressedKeys_.insert(event->key());
    event->accept();
}

void TShowFrm1::keyReleaseEvent(QKeyEvent* event) {
    // A key pressed while the pop-up menu had the keyboard has done its work there: its release,
    // which comes here once the menu has closed, must not act a second time.
    if (!event->isAutoRepeat() && pressedKeys_.remove(event->key())) FormKeyUp(event);
    event->accept();
}

bool TShowFrm1::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyRelease || event->type() == QEvent::KeyPress) {
        auto* k = static_cast<QKeyEvent*>(event);
        if (event->type() == QEvent::KeyPress) keyPressEvent(k);
        else keyReleaseEvent(k);
        return true;
    }
    if (watched == PaintBox1 && paintBoxMouse(event)) return true;
    if (watched == PaintBox1 && event->type() == QEvent::Resize && !SlideList.empty()) {
        // A slide decoded ahead for the old size is decoded again for the new one.
        if (prefetch_.aheadOutdated(currentBox())) requestAhead();
    }
    return QDialog::eventFilter(watched, event);
}

void TShowFrm1::PaintBox1Paint(QPainter& p, const QRect& exposed) {
    const int W = PaintBox1->width(), H = PaintBox1->height();
    const QColor brush = palette().color(QPalette::Window);
    if (slide_.empty()) {
        p.fillRect(PaintBox1->rect(), brush);
        p.setPen(QColor(brush.rgb() ^ 0xFFFFFF));
        const QString text = QStringLiteral("Please wait, while image is loading...");
        const QFontMetrics fm(p.font());
        const int x = std::max(0, W / 2 - fm.horizontalAdvance(text) / 2);
        const int y = std::max(0, H / 2 - fm.height() / 2);
        p.drawText(x, y + fm.ascent(), text);
        newSlide_ = false;
        return;
    }
    // Placed in device pixels; the painter's coordinates are logical ones.
    const korvel::SlideBox box = currentBox();
    const qreal r = PaintBox1->devicePixelRatioF();
    const korvel::SlidePlace place = korvel::placeSlide(slide_.width(), slide_.height(), box.width, box.height);
    const QRectF target(place.left / r, place.top / r, place.width / r, place.height / r);
    shown_.setDevicePixelRatio(r);
    if (place.reduced && settings_.sSpeedFlg) {
        p.fillRect(exposed, brush);
        p.setRenderHint(QPainter::SmoothPixmapTransform, false);
        p.drawImage(target, shown_);
    } else {
        if (place.reduced) {
            // The resampled copy replaces the slide: later paints find a slide that fits.
            try {
                korvel::fitSlide(slide_, box.width, box.height);
                shown_ = toQImage(slide_).convertToFormat(QImage::Format_RGB32);
            } catch (const korvel::Exception&) {
                slide_.clear(), shown_ = QImage();
            } catch (const std::bad_alloc&) {
                slide_.clear(), shown_ = QImage();
            }
            PaintBox1->update();
            return;
        }
        // Only the margins need the background: the slide covers the rest (the logical pixels
        // it only partly covers are filled first and then drawn over).
        const QRect inner(QPoint(qCeil(target.left()), qCeil(target.top())),
                          QPoint(qFloor(target.right()) - 1, qFloor(target.bottom()) - 1));
        for (const QRect& m : QRegion(exposed).subtracted(inner)) p.fillRect(m, brush);
        p.drawImage(target.topLeft(), shown_);
    }
    if (settings_.fullScreen && !settings_.fullScreenCaption) {
        const QFontMetrics fm(p.font());
        p.setBackgroundMode(Qt::TransparentMode);
        p.setPen(QColor(128, 128, 128));
        p.drawText(11, 11 + fm.ascent(), windowTitle());
        p.setPen(QColor(255, 255, 0));
        p.drawText(10, 10 + fm.ascent(), windowTitle());
    }
    if (newSlide_) {
        newSlide_ = false;
        emit slidePainted();
    }
}

bool TShowFrm1::FormCloseQuery() {
    if (loading()) {
        loader_->dropWaiting();  // the loader is told to stop; the placement is not written
        return true;
    }
    korvel::ShowSettings placement;
    placement.state = isMaximized() || isFullScreen() ? "wsMaximized" : "wsNormal";
    // The frame's position, as placeWindow applies it.
    placement.left = x(), placement.top = y(), placement.width = width(), placement.height = height();
    // A failed write is ignored.
    korvel::updateSettingsFile(settingsPath_,
                               [&](korvel::IniFile& ini) { korvel::writeShowPlacement(ini, placement); });
    return true;
}

void TShowFrm1::closeEvent(QCloseEvent* event) {
    if (!closed_) {
        FormCloseQuery();
        closed_ = true;
        Timer1->stop();
        pointerTimer_->stop();
        setBusy(false);
    }
    event->accept();
    QDialog::closeEvent(event);
}
