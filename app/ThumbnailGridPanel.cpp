// The thumbnail grid: layout, cell drawing, marking by mouse and keys, the drag out of it, and
// the splitter between the grid and the preview.
#include "app/ThumbnailGridPanel.h"

#include <QApplication>
#include <QDrag>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QSplitter>
#include <QTextLayout>
#include <QToolTip>
#include <QUrl>
#include <QVBoxLayout>
#include <cmath>

#include "app/KorvelMain.h"
#include "app/ResizeWatcher.h"
#include "browse/EmbeddedThumbs.h"
#include "browse/FileList.h"
#include "browse/SharedThumbs.h"
#include "browse/ThumbCache.h"
#include "browse/ThumbPool.h"
#include "browse/ui/OrgStGrid.h"
#include "platform/PathText.h"

ThumbnailGridPanel::ThumbnailGridPanel(QSplitter* splitter, korvel::FileList& files,
                                       const korvel::MediaExtList& mediaExts, bool& thumbnailBusy)
    : QWidget(splitter), splitter_(splitter), files_(files), mediaExts_(mediaExts), thumbnailBusy_(thumbnailBusy) {
    setObjectName(QStringLiteral("Panel3"));
    setMinimumHeight(1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    grid_ = new TOrgStGrid(this);
    grid_->setObjectName(QStringLiteral("StringGrid1"));
    layout->addWidget(grid_);

    grid_->ExScroll = true;
    grid_->onDrawCell = [this](QPainter& p, int c, int r, const QRect& rect) { drawCell(p, c, r, rect); };
    grid_->onSelectCell = [this](int c, int r) { return selectCell(c, r); };
    // Ctrl and Shift count as held when the button goes down, even if the grid did not have the
    // focus when they were pressed.
    grid_->onPressModifiers = [this](Qt::KeyboardModifiers m) {
        ctrlHeld_ = m & Qt::ControlModifier;
        shiftHeld_ = m & Qt::ShiftModifier;
    };
    grid_->onMouseDown = [this](QMouseEvent* e, bool) { mouseDown(e); };
    grid_->onMouseMove = [this](QMouseEvent* e) { pointer_ = e->position().toPoint(); };
    grid_->onKeyDown = [this](QKeyEvent* e) { keyDown(e); };
    grid_->onKeyUp = [this](QKeyEvent* e) { keyUp(e); };
    grid_->onDblClick = [this] { openMarked(); };
    grid_->viewport()->installEventFilter(this);
    connect(splitter_, &QSplitter::splitterMoved, this, &ThumbnailGridPanel::snapToRows);
    new ResizeWatcher(splitter_, [this] { fitToSplitter(); });
}

ThumbnailGridPanel::~ThumbnailGridPanel() { stopThumbnails(); }

size_t ThumbnailGridPanel::cellIndex(int col, int row) const {
    return size_t(row) * size_t(grid_->colCount()) + size_t(col);
}

// Until the window has wired the panel, it counts as still being built.
bool ThumbnailGridPanel::building() const { return !hooks.building || hooks.building(); }

ThumbnailGridPanel::Look ThumbnailGridPanel::look() const { return hooks.look ? hooks.look() : Look{}; }

void ThumbnailGridPanel::marksChanged() {
    if (hooks.marksChanged) hooks.marksChanged();
}

void ThumbnailGridPanel::layOut(int size, bool keepMarks) {
    if (building()) return;
    layingOut_ = true;
    std::vector<size_t> kept;
    if (keepMarks)
        for (size_t k = 0; k < grid_->marks().cellCount(); ++k)
            if (grid_->marks().marked(k)) kept.push_back(k);
    // The previewed file is usually the current cell: found there, the path index need not be built.
    const size_t shownAt = cellIndex(grid_->selection().col, grid_->selection().row);
    const QSize client = grid_->viewport()->size();
    const korvel::GridLayout g = korvel::computeGridLayout(size, TOrgStGrid::GridLineWidth, client.width(),
                                                           client.height(), files_.size());
    grid_->setLayout(g.colCount, g.rowCount, g.cellSize);
    grid_->marks().clear();
    if (keepMarks) {
        for (size_t k : kept) grid_->marks().set(k, true);
        // The previewed file stays the selection, scrolled to the top row.
        const std::string previewed = hooks.previewPath ? hooks.previewPath() : std::string();
        std::ptrdiff_t k = -1;
        if (shownAt < files_.size() && files_.path(shownAt) == previewed) k = std::ptrdiff_t(shownAt);
        else if (!previewed.empty()) k = files_.indexOf(previewed);
        if (k >= 0) {
            const int row = int(size_t(k) / size_t(g.colCount)), col = int(size_t(k) % size_t(g.colCount));
            grid_->setSelection({col, row}, false);
            grid_->setTopRow(row == g.rowCount - 1 && row > 0 ? row - 1 : row);
        }
    }
    layingOut_ = false;
    syncThumbnails();
    grid_->repaintCells();
    marksChanged();
    if (hooks.previewOnLayout && hooks.previewOnLayout() && hooks.previewCell)
        hooks.previewCell(grid_->selection().col, grid_->selection().row);
}

bool ThumbnailGridPanel::inCornerMark(int x, int y, int row, int col) const {
    if (col < 0 || row < 0 || !grid_->marks().marked(cellIndex(col, row))) return false;
    const QRect r = grid_->cellRect({col, row});
    return korvel::inCornerMark(x, y, r.left(), r.top(), grid_->defaultSize());
}

void ThumbnailGridPanel::drawCell(QPainter& p, int col, int row, const QRect& rect) {
    if (layingOut_) return;
    const QPalette& pal = grid_->palette();
    if (height() <= 1) {
        p.fillRect(grid_->viewport()->rect(), pal.color(QPalette::Button));
        return;
    }
    const size_t index = cellIndex(col, row);
    const bool marked = grid_->marks().marked(index);
    const QColor fill = marked ? pal.color(QPalette::Highlight) : pal.color(QPalette::Base);
    p.fillRect(rect, fill);
    const QColor textColor = marked ? pal.color(QPalette::Base) : QColor(Qt::black);
    if (index >= files_.size()) return;
    const Look lk = look();
    const QImage thumb = thumbnail(index);
    if (!thumb.isNull()) {
        // Placed in device pixels, so that its pixels meet the screen's one to one.
        const qreal r = thumb.devicePixelRatio();
        const int size = qRound(lk.thumbSize * r), info = qRound(lk.infoHeight * r);
        const int x = qRound(rect.left() * r) + qRound(2 * r) + (size - thumb.width()) / 2;
        const int y = qRound(rect.top() * r) + (size - thumb.height() - info) / 2;
        p.drawImage(QPointF(x / r, y / r), thumb);
    }
    // The info text sits in the cell's bottom two text lines, wrapped and clipped, on the cell's
    // fill so that a full-height thumbnail never shows through it.
    const std::string info = korvel::cellInfoText(lk.infoMode, files_.path(index), files_.seek(index));
    // LF CR parts the two lines; the parts hold name bytes and become text for display only.
    const bool fileName = lk.infoMode == int(TKorvelMain::InfoMode::FileName);
    const size_t brk = fileName ? std::string::npos : info.find("\n\r");
    const QString text = brk == std::string::npos ? pathText(info)
                                                  : pathText(info.substr(0, brk)) + QChar(QChar::LineSeparator) +
                                                        pathText(info.substr(brk + 2));
    const int left = rect.left() + lk.infoHeight / 3, width = rect.width() - lk.infoHeight / 3 - 1;
    QTextLayout layout(text, p.font(), p.device());
    QTextOption option(Qt::AlignLeft);
    option.setWrapMode(QTextOption::WrapAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    // Line heights come from the glyphs' own fonts: Japanese text is often drawn by a taller
    // fallback font than the one the grid asks for.
    qreal y = 0, firstLine = p.fontMetrics().height();
    for (int n = 0; n < 2; ++n) {
        QTextLine line = layout.createLine();
        if (!line.isValid()) break;
        line.setLineWidth(width);
        line.setPosition(QPointF(0, y));
        y += line.height();
        if (n == 0) firstLine = std::max(firstLine, line.height());
    }
    layout.endLayout();
    const int textHeight = int(std::ceil(layout.lineCount() >= 2 ? y : 2 * firstLine));
    const QRect box(left, rect.bottom() + 1 - textHeight, width, textHeight);
    p.setClipRect(box.intersected(rect));
    p.fillRect(box, fill);
    p.setPen(textColor);
    layout.draw(&p, box.topLeft());
    // The corner mark (the drag handle) comes last so that the text band never covers it.
    p.setClipRect(rect);
    if (refused_.count(files_.path(index))) {
        // A refused file's icon carries a mark; its tool tip says why.
        const int d = std::max(12, lk.thumbSize / 6);
        const QRect mark(rect.left() + 4, rect.top() + 4, d, d);
        p.save();
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0xC0, 0x10, 0x10));
        p.drawEllipse(mark);
        p.setPen(Qt::white);
        QFont bold = p.font();
        bold.setBold(true);
        bold.setPixelSize(d - 2);
        p.setFont(bold);
        p.drawText(mark, Qt::AlignCenter, QStringLiteral("!"));
        p.restore();
    }
    const int w = grid_->defaultSize();
    p.fillRect(QRect(rect.left() + w - 8, rect.top() + w - 6, 8, 6), pal.color(QPalette::Button));
}

bool ThumbnailGridPanel::selectCell(int col, int row) {
    if (!ctrlHeld_ && !shiftHeld_ && !arrowWrapping_ && !inCornerMark(pointer_.x(), pointer_.y(), row, col)) {
        grid_->marks().clear();
        grid_->repaintCells();
        marksChanged();
    }
    return true;
}

void ThumbnailGridPanel::mouseDown(QMouseEvent* event) {
    ctrlHeld_ = event->modifiers() & Qt::ControlModifier;
    shiftHeld_ = event->modifiers() & Qt::ShiftModifier;
    const korvel::GridCell cell = grid_->cellAt(event->position().toPoint());
    const bool valid = cell.col >= 0;
    const size_t index = valid ? cellIndex(cell.col, cell.row) : 0;
    const int x = int(event->position().x()), y = int(event->position().y());
    const bool inMark = valid && inCornerMark(x, y, cell.row, cell.col);
    korvel::GridMarks& marks = grid_->marks();
    if (event->button() == Qt::LeftButton && inMark && index < files_.size()) {
        pointerMarks_.otherPress(cell);
        startFileDrag();
    } else if (event->button() == Qt::LeftButton && valid) {
        if (pointerMarks_.leftPress(marks, cell, shiftHeld_, grid_->colCount()) && hooks.previewCell)
            hooks.previewCell(cell.col, cell.row);
    } else if (event->button() == Qt::RightButton && valid && index < files_.size()) {
        if (pointerMarks_.rightPress(marks, cell, grid_->colCount())) grid_->setSelection(cell, false);
        marksChanged();
        grid_->repaintCells();
        if (hooks.showMenu) hooks.showMenu(event->globalPosition().toPoint());
        ctrlHeld_ = shiftHeld_ = false;
    } else {
        pointerMarks_.otherPress(cell);
    }
    grid_->repaintCells();
    marksChanged();
}

void ThumbnailGridPanel::wrapArrow(int key) {
    const korvel::GridCell to =
        korvel::wrapArrow(grid_->selection(), key == Qt::Key_Right, grid_->colCount(), grid_->rowCount());
    if (!(to == grid_->selection())) grid_->setSelection(to, false);
}

void ThumbnailGridPanel::keyDown(QKeyEvent* event) {
    ctrlHeld_ = event->modifiers() & Qt::ControlModifier;
    shiftHeld_ = event->modifiers() & Qt::ShiftModifier;
    const bool plain = !(event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier));
    if ((event->key() == Qt::Key_Right || event->key() == Qt::Key_Left) && plain && !arrowWrapping_) {
        arrowWrapping_ = true;
        wrapArrow(event->key());
    }
}

void ThumbnailGridPanel::keyUp(QKeyEvent* event) {
    if (event->isAutoRepeat()) return;
    ctrlHeld_ = shiftHeld_ = false;
    switch (event->key()) {
        case Qt::Key_Left:
        case Qt::Key_Right:
        case Qt::Key_Up:
        case Qt::Key_Down: {
            const korvel::GridCell sel = grid_->selection();
            // A plain arrow marks the one cell; after Shift+arrows the anchor stays marked too.
            korvel::markRange(grid_->marks(), {grid_->anchor(), sel}, grid_->colCount());
            grid_->repaintCells();
            marksChanged();
            if (hooks.previewCell) hooks.previewCell(sel.col, sel.row);
            arrowWrapping_ = false;
            break;
        }
        default:
            if (hooks.keyReleased) hooks.keyReleased(event);
            break;
    }
}

std::vector<size_t> ThumbnailGridPanel::markedFiles() const { return grid_->marks().markedFiles(files_.size()); }

void ThumbnailGridPanel::selectAll() {
    grid_->selectAll();
    grid_->marks().markAll();
    grid_->repaintCells();
    marksChanged();
}

void ThumbnailGridPanel::openMarked() {
    const QPoint p = grid_->viewport()->mapFromGlobal(QCursor::pos());
    // The keys act on the grid the user works in: the one with the keyboard, or under the pointer.
    const QWidget* focus = QApplication::focusWidget();
    const bool keyboardHere = focus && (focus == grid_ || grid_->isAncestorOf(focus));
    if (files_.empty() || (!keyboardHere && grid_->cellAt(p).col < 0)) return;
    for (size_t i : markedFiles())
        if (!korvel::IsMediaFile(mediaExts_, files_.path(i)) && hooks.openFile) hooks.openFile(files_.path(i));
    ctrlHeld_ = shiftHeld_ = false;
}

void ThumbnailGridPanel::snapToRows() {
    QWidget* preview = splitter_->widget(1);
    previewOpen_ = preview && preview->height() > 1;
    const bool shift = QGuiApplication::queryKeyboardModifiers() & Qt::ShiftModifier;
    const int whole = splitter_->height();
    const korvel::GridSnap snap =
        korvel::snapGridPanel(height(), whole, look().thumbSize, TOrgStGrid::GridLineWidth, shift);
    if (!snap.snapped) return;
    grid_->setScrollBarShown(!snap.collapsed);
    const int h = snap.height;
    splitter_->setSizes({h, std::max(1, whole - splitter_->handleWidth() - h)});
}

void ThumbnailGridPanel::fitToSplitter() {
    // Resizes during construction come before the stored pane heights are in force.
    if (building()) return;
    const bool ready = hooks.ready && hooks.ready();
    if (ready) {
        const int panes = splitter_->height() - splitter_->handleWidth();
        const int previewHeight = splitter_->widget(1) ? splitter_->widget(1)->height() : 1;
        if (!previewOpen_) splitter_->setSizes({panes - 1, 1});
        else splitter_->setSizes({std::max(1, panes - previewHeight), previewHeight});
    }
    snapToRows();
    layOut(look().thumbSize, true);
    if (ready) {
        // Measured from row 0, not from the top row the layout just chose: the current cell
        // stays in view as the last visible row when it lies below the first screenful.
        const int selRow = grid_->selection().row, visible = std::max(1, grid_->visibleRowCount());
        grid_->setTopRow(selRow >= visible ? selRow - visible + 1 : 0);
    }
}

void ThumbnailGridPanel::startFileDrag() {
    // Other programs receive copies only: a drag out of Korvel never moves a file away.
    QList<QUrl> urls;
    QByteArray paths;
    for (size_t i : markedFiles()) {
        urls << fileUrl(files_.path(i));
        paths.append(files_.path(i).data(), qsizetype(files_.path(i).size())).append('\0');
    }
    if (urls.isEmpty()) return;
    auto* data = new QMimeData;
    data->setUrls(urls);
    data->setData(QString::fromLatin1(TKorvelMain::MarkedFilesMimeType), paths);
    auto* drag = new QDrag(grid_);
    drag->setMimeData(data);
    drag->exec(Qt::CopyAction);
    ctrlHeld_ = shiftHeld_ = false;
    grid_->viewport()->unsetCursor();
}

QString ThumbnailGridPanel::refusedReason(const std::string& path) const {
    const auto it = refused_.find(path);
    return it == refused_.end() ? QString() : it->second;
}

bool ThumbnailGridPanel::eventFilter(QObject* watched, QEvent* event) {
    if (watched == grid_->viewport() && event->type() == QEvent::ToolTip) {
        const auto* help = static_cast<QHelpEvent*>(event);
        const korvel::GridCell cell = grid_->cellAt(help->pos());
        const size_t index = cell.col >= 0 ? cellIndex(cell.col, cell.row) : files_.size();
        const QString why = index < files_.size() ? refusedReason(files_.path(index)) : QString();
        if (why.isEmpty()) QToolTip::hideText();
        else QToolTip::showText(help->globalPos(), why, grid_->viewport(), grid_->cellRect(cell));
        return true;
    }
    return QWidget::eventFilter(watched, event);
}
