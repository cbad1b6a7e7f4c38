// The thumbnail grid: layout, cell drawing, marking by mouse and keys, the window's keys handed
// to the command table, and the splitter between the grid and the preview.
#include <QApplication>
#include <QComboBox>
#include <QDrag>
#include <QMimeData>
#include <QUrl>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QSplitter>
#include <QTextLayout>
#include <cmath>
#include <QToolButton>

#include "app/KorvelMain.h"
#include "app/ResizeWatcher.h"
#include "browse/GridModel.h"
#include "browse/ui/OrgStGrid.h"
#include "formats/MediaFiles.h"
#include "platform/PathText.h"

namespace {
size_t cellIndex(const TOrgStGrid* g, int col, int row) { return size_t(row) * size_t(g->colCount()) + size_t(col); }
}  // namespace

void TKorvelMain::buildGrid() {
    StringGrid1->ExScroll = true;
    StringGrid1->onDrawCell = [this](QPainter& p, int c, int r, const QRect& rect) { StringGrid1DrawCell(p, c, r, rect); };
    StringGrid1->onSelectCell = [this](int c, int r) { return StringGrid1SelectCell(c, r); };
    // Ctrl and Shift count as held when the button goes down, even if the grid did not have the
    // focus when they were pressed.
    StringGrid1->onPressModifiers = [this](Qt::KeyboardModifiers m) {
        CtrlDown = m & Qt::ControlModifier;
        ShiftDown = m & Qt::ShiftModifier;
    };
    StringGrid1->onMouseDown = [this](QMouseEvent* e, bool partly) { StringGrid1MouseDown(e, partly); };
    StringGrid1->onMouseMove = [this](QMouseEvent* e) {
        MouseX = int(e->position().x());
        MouseY = int(e->position().y());
    };
    StringGrid1->onKeyDown = [this](QKeyEvent* e) { StringGrid1KeyDown(e); };
    StringGrid1->onKeyUp = [this](QKeyEvent* e) { StringGrid1KeyUp(e); };
    StringGrid1->onDblClick = [this] { StringGrid1DblClick(); };
    connect(gridSplitter_, &QSplitter::splitterMoved, this, &TKorvelMain::Splitter2Moved);
    new ResizeWatcher(gridSplitter_, [this] { Panel2Resize(); });
    qApp->installEventFilter(this);
}

void TKorvelMain::ClearMarks() {
    if (formState_ == FormState::Building) return;
    StringGrid1->marks().clear();
    StringGrid1->repaintCells();
    updateActions();
}

void TKorvelMain::LayoutGrid(int size, bool keepMarks) {
    if (formState_ == FormState::Building) return;
    DrawingSuspended = true;
    std::vector<size_t> kept;
    if (keepMarks)
        for (size_t k = 0; k < StringGrid1->marks().cellCount(); ++k)
            if (StringGrid1->marks().marked(k)) kept.push_back(k);
    // The previewed file is usually the current cell: found there, the path index need not be built.
    const size_t shownAt = size_t(StringGrid1->selection().row) * size_t(StringGrid1->colCount()) +
                           size_t(StringGrid1->selection().col);
    const QSize client = StringGrid1->viewport()->size();
    const korvel::GridLayout g = korvel::computeGridLayout(size, TOrgStGrid::GridLineWidth, client.width(),
                                                           client.height(), FileList.size());
    StringGrid1->setLayout(g.colCount, g.rowCount, g.cellSize);
    StringGrid1->marks().clear();
    if (keepMarks) {
        for (size_t k : kept) StringGrid1->marks().set(k, true);
        // The previewed file stays the selection, scrolled to the top row.
        std::ptrdiff_t k = -1;
        if (shownAt < FileList.size() && FileList.path(shownAt) == previewPanel_->path()) k = std::ptrdiff_t(shownAt);
        else if (!previewPanel_->path().empty()) k = FileList.indexOf(previewPanel_->path());
        if (k >= 0) {
            const int row = int(size_t(k) / size_t(g.colCount)), col = int(size_t(k) % size_t(g.colCount));
            StringGrid1->setSelection({col, row}, false);
            StringGrid1->setTopRow(row == g.rowCount - 1 && row > 0 ? row - 1 : row);
        }
    }
    DrawingSuspended = false;
    syncThumbPool();
    StringGrid1->repaintCells();
    updateActions();
    if (ChangeImFlg) ShowCellPreview(StringGrid1->selection().col, StringGrid1->selection().row);
}

bool TKorvelMain::InCornerMark(int x, int y, int row, int col) const {
    if (col < 0 || row < 0 || !StringGrid1->marks().marked(cellIndex(StringGrid1, col, row))) return false;
    const QRect r = StringGrid1->cellRect({col, row});
    return korvel::inCornerMark(x, y, r.left(), r.top(), StringGrid1->defaultSize());
}

void TKorvelMain::StringGrid1DrawCell(QPainter& p, int col, int row, const QRect& rect) {
    if (DrawingSuspended) return;
    const QPalette& pal = StringGrid1->palette();
    if (gridPanel_->height() <= 1) {
        p.fillRect(StringGrid1->viewport()->rect(), pal.color(QPalette::Button));
        return;
    }
    const size_t index = cellIndex(StringGrid1, col, row);
    const bool marked = StringGrid1->marks().marked(index);
    const QColor fill = marked ? pal.color(QPalette::Highlight) : pal.color(QPalette::Base);
    p.fillRect(rect, fill);
    const QColor textColor = marked ? pal.color(QPalette::Base) : QColor(Qt::black);
    if (index >= FileList.size()) return;
    const QImage thumb = thumbnailImage(index);
    if (!thumb.isNull())
        p.drawImage(rect.left() + 2 + (ThumbSize - thumb.width()) / 2,
                    rect.top() + (ThumbSize - thumb.height() - InfoHeight) / 2, thumb);
    // The info text sits in the cell's bottom two text lines, wrapped and clipped, on the cell's
    // fill so that a full-height thumbnail never shows through it.
    const std::string info = korvel::cellInfoText(int(infoMode_), FileList.path(index), FileList.seek(index));
    // LF CR parts the two lines; the parts hold name bytes and become text for display only.
    const size_t brk = infoMode_ == InfoMode::FileName ? std::string::npos : info.find("\n\r");
    const QString text = brk == std::string::npos ? pathText(info)
                                                  : pathText(info.substr(0, brk)) + QChar(QChar::LineSeparator) +
                                                        pathText(info.substr(brk + 2));
    const int left = rect.left() + InfoHeight / 3, width = rect.width() - InfoHeight / 3 - 1;
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
    const int height = int(std::ceil(layout.lineCount() >= 2 ? y : 2 * firstLine));
    const QRect box(left, rect.bottom() + 1 - height, width, height);
    p.setClipRect(box.intersected(rect));
    p.fillRect(box, fill);
    p.setPen(textColor);
    layout.draw(&p, box.topLeft());
    // The corner mark (the drag handle) comes last so that the text band never covers it.
    p.setClipRect(rect);
    const int w = StringGrid1->defaultSize();
    p.fillRect(QRect(rect.left() + w - 8, rect.top() + w - 6, 8, 6), pal.color(QPalette::Button));
}

bool TKorvelMain::StringGrid1SelectCell(int col, int row) {
    if (!CtrlDown && !ShiftDown && !ArrowWrap && !InCornerMark(MouseX, MouseY, row, col)) {
        StringGrid1->marks().clear();
        StringGrid1->repaintCells();
        updateActions();
    }
    return true;
}

void TKorvelMain::StringGrid1MouseDown(QMouseEvent* event, bool) {
    CtrlDown = event->modifiers() & Qt::ControlModifier;
    ShiftDown = event->modifiers() & Qt::ShiftModifier;
    const korvel::GridCell cell = StringGrid1->cellAt(event->position().toPoint());
    const bool valid = cell.col >= 0;
    const size_t index = valid ? cellIndex(StringGrid1, cell.col, cell.row) : 0;
    const int x = int(event->position().x()), y = int(event->position().y());
    const bool inMark = valid && InCornerMark(x, y, cell.row, cell.col);
    korvel::GridMarks& marks = StringGrid1->marks();
    if (event->button() == Qt::LeftButton && inMark && index < FileList.size()) {
        pointerMarks_.otherPress(cell);
        startFileDrag();
    } else if (event->button() == Qt::LeftButton && valid) {
        if (pointerMarks_.leftPress(marks, cell, ShiftDown, StringGrid1->colCount())) ShowCellPreview(cell.col, cell.row);
    } else if (event->button() == Qt::RightButton && valid && index < FileList.size()) {
        if (pointerMarks_.rightPress(marks, cell, StringGrid1->colCount())) StringGrid1->setSelection(cell, false);
        updateActions();
        StringGrid1->repaintCells();
        if (GridPopup) GridPopup->popup(event->globalPosition().toPoint());
        CtrlDown = ShiftDown = false;
    } else {
        pointerMarks_.otherPress(cell);
    }
    StringGrid1->repaintCells();
    updateActions();
}

void TKorvelMain::WrapArrow(int key) {
    const korvel::GridCell to = korvel::wrapArrow(StringGrid1->selection(), key == Qt::Key_Right,
                                                  StringGrid1->colCount(), StringGrid1->rowCount());
    if (!(to == StringGrid1->selection())) StringGrid1->setSelection(to, false);
}

void TKorvelMain::StringGrid1KeyDown(QKeyEvent* event) {
    CtrlDown = event->modifiers() & Qt::ControlModifier;
    ShiftDown = event->modifiers() & Qt::ShiftModifier;
    const bool plain = !(event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier));
    if ((event->key() == Qt::Key_Right || event->key() == Qt::Key_Left) && plain && !ArrowWrap) {
        ArrowWrap = true;
        WrapArrow(event->key());
    }
}

void TKorvelMain::StringGrid1KeyUp(QKeyEvent* event) {
    if (event->isAutoRepeat()) return;
    CtrlDown = ShiftDown = false;
    switch (event->key()) {
        case Qt::Key_Left:
        case Qt::Key_Right:
        case Qt::Key_Up:
        case Qt::Key_Down: {
            const korvel::GridCell sel = StringGrid1->selection();
            // A plain arrow marks the one cell; after Shift+arrows the anchor stays marked too.
            korvel::markRange(StringGrid1->marks(), {StringGrid1->anchor(), sel}, StringGrid1->colCount());
            StringGrid1->repaintCells();
            updateActions();
            ShowCellPreview(sel.col, sel.row);
            ArrowWrap = false;
            break;
        }
        default: runKey(event, KeyWhen::GridRelease); break;
    }
}

std::vector<size_t> TKorvelMain::markedFiles() const { return StringGrid1->marks().markedFiles(FileList.size()); }

int TKorvelMain::selectedCount() const { return int(markedFiles().size()); }

void TKorvelMain::SelectAllClick() {
    StringGrid1->selectAll();
    StringGrid1->marks().markAll();
    StringGrid1->repaintCells();
    updateActions();
}

void TKorvelMain::NameViewBtnClick() {
    const int mode = int(infoMode_);
    if (mode >= 0 && mode <= 3) setInfoMode(InfoMode((mode + 1) % 4));
}

void TKorvelMain::StringGrid1DblClick() {
    const QPoint p = StringGrid1->viewport()->mapFromGlobal(QCursor::pos());
    if (FileList.empty() || StringGrid1->cellAt(p).col < 0) return;
    for (size_t i : markedFiles())
        if (!korvel::IsMediaFile(MediaExtList, FileList.path(i))) openSubViewer(FileList.path(i));
    CtrlDown = ShiftDown = false;
}

void TKorvelMain::Splitter2Moved() {
    PreviewOpen = previewPanel_->height() > 1;
    const bool shift = QGuiApplication::queryKeyboardModifiers() & Qt::ShiftModifier;
    const int panel2 = gridSplitter_->height();
    const korvel::GridSnap snap =
        korvel::snapGridPanel(gridPanel_->height(), panel2, ThumbSize, TOrgStGrid::GridLineWidth, shift);
    if (!snap.snapped) return;
    StringGrid1->setScrollBarShown(!snap.collapsed);
    const int h = snap.height;
    gridSplitter_->setSizes({h, std::max(1, panel2 - gridSplitter_->handleWidth() - h)});
}

void TKorvelMain::Panel2Resize() {
    // Resizes during construction come before the stored panel heights are in force.
    if (formState_ == FormState::Building) return;
    if (formState_ == FormState::Ready) {
        const int panel2 = gridSplitter_->height() - gridSplitter_->handleWidth();
        if (!PreviewOpen) gridSplitter_->setSizes({panel2 - 1, 1});
        else gridSplitter_->setSizes({std::max(1, panel2 - previewPanel_->height()), previewPanel_->height()});
    }
    Splitter2Moved();
    LayoutGrid(ThumbSize, true);
    if (formState_ == FormState::Ready) {
        // Measured from row 0, not from the top row the layout just chose: the current cell
        // stays in view as the last visible row when it lies below the first screenful.
        const int selRow = StringGrid1->selection().row, visible = std::max(1, StringGrid1->visibleRowCount());
        StringGrid1->setTopRow(selRow >= visible ? selRow - visible + 1 : 0);
    }
}

bool TKorvelMain::eventFilter(QObject* watched, QEvent* event) {
    // Marked cells dropped on a quick-folder button.
    if (event->type() == QEvent::DragEnter || event->type() == QEvent::DragMove || event->type() == QEvent::Drop)
        if (const int i = quickFolders_->indexOf(watched); i >= 0) return quickFolderDragEvent(i, event);
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

void TKorvelMain::startFileDrag() {
    // Other programs receive copies only: a drag out of Korvel never moves a file away.
    QList<QUrl> urls;
    QByteArray paths;
    for (size_t i : markedFiles()) {
        urls << fileUrl(FileList.path(i));
        paths.append(FileList.path(i).data(), qsizetype(FileList.path(i).size())).append('\0');
    }
    if (urls.isEmpty()) return;
    auto* data = new QMimeData;
    data->setUrls(urls);
    data->setData(QString::fromLatin1(MarkedFilesMimeType), paths);
    auto* drag = new QDrag(StringGrid1);
    drag->setMimeData(data);
    drag->exec(Qt::CopyAction);
    StringGrid1EndDrag();
}

void TKorvelMain::StringGrid1EndDrag() {
    CtrlDown = ShiftDown = false;
    StringGrid1->viewport()->unsetCursor();
}
