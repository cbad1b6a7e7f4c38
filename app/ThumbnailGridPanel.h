#pragma once
// The thumbnail grid in the upper pane over the preview: its cells, the marks made with the
// mouse and the keys, the drag of marked files out of it, and the thumbnails, built on workers
// and kept in the cache file. The window says how cells look and hears when the marks change,
// a cell is to be previewed or a file opened.
#include <QImage>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "base/Limits.h"
#include "browse/GridModel.h"
#include "browse/RewrittenFiles.h"
#include "browse/Thumbnails.h"
#include "formats/MediaFiles.h"

class QKeyEvent;
class QMouseEvent;
class QPainter;
class QSplitter;
class TOrgStGrid;
namespace korvel {
class FileList;
class FileIconSource;
class SharedThumbs;
class ThumbCache;
class ThumbnailPool;
class EmbeddedThumbLane;
}  // namespace korvel

class ThumbnailGridPanel : public QWidget {
    Q_OBJECT
public:
    // The panel is the splitter's upper pane. files is the window's list, shown in index order;
    // thumbnailBusy is raised while a thumbnail is built on this thread (the preview waits then).
    ThumbnailGridPanel(QSplitter* splitter, korvel::FileList& files, const korvel::MediaExtList& mediaExts,
                       bool& thumbnailBusy);
    // Stops the thumbnail workers (stopThumbnails()).
    ~ThumbnailGridPanel() override;

    // How the cells look, from the window's settings.
    struct Look {
        int thumbSize = 100;
        int infoHeight = 20;
        int infoMode = 0;  // what the info lines show, as the window's info mode
        bool speedFlg = false;
        bool sharedCache = true;
        korvel::PhotoSwitches photo;
    };
    // What the panel asks of the window.
    struct Hooks {
        std::function<Look()> look;
        // Nothing is laid out before the window is shown; once it is ready, a resize
        // keeps the preview pane's height.
        std::function<bool()> building;
        std::function<bool()> ready;
        // A layout also previews the current cell (an option of the window's).
        std::function<bool()> previewOnLayout;
        std::function<std::string()> previewPath;
        std::function<void()> marksChanged;
        std::function<void(int col, int row)> previewCell;
        std::function<void(const std::string& path)> openFile;
        // A key the grid does not use itself, after its release.
        std::function<void(QKeyEvent* event)> keyReleased;
        std::function<void(QPoint globalPos)> showMenu;
    } hooks;

    TOrgStGrid* view() const { return grid_; }

    // Lays the list out in cells of size; the marks are kept or cleared, and with kept marks the
    // previewed file stays the current cell.
    void layOut(int size, bool keepMarks);
    // True while a layout walks the list (the list must not change under it).
    bool layingOut() const { return layingOut_; }
    void selectAll();
    // The files of the marked cells, in index order.
    std::vector<size_t> markedFiles() const;
    // Opens viewers for the marked files that are no media files, when the grid has the keyboard
    // or the pointer is on a cell.
    void openMarked();
    // A new folder's marks: the pointer's anchor goes.
    void forgetPointerMarks() { pointerMarks_.forget(); }
    // Snaps the pane to whole rows after the splitter moved, and lays out again after a resize.
    void snapToRows();
    void fitToSplitter();

    // Thumbnails. start() opens the cache file and the workers (a failure to start them is
    // reported; cells are then built here); stop() ends the workers, each after its file in hand.
    void startThumbnails();
    void stopThumbnails();
    // Drops every cached thumbnail: a new listing follows.
    void resetThumbnails();
    // Hands the workers the list as it is now (after a listing, sort or layout).
    void syncThumbnails();
    // The thumbnail of a file if in hand (asked of the workers otherwise), or built here now.
    // Built at the cell's size in device pixels, it carries the device pixel ratio.
    QImage thumbnail(size_t index);
    QImage thumbnailNow(size_t index);
    // True when the cell of index has a picture to draw: its thumbnail, or the stand-in from the
    // photo's embedded EXIF picture until the thumbnail is built.
    bool pictureInHand(size_t index) const;
    // While held, thumbnails the workers finish wait for the release (tests watch the stand-ins).
    void holdThumbnails(bool hold);
    // Why the file's thumbnail could not be made (its cell shows a mark and this as its tool
    // tip); empty when it was made or not tried yet.
    QString refusedReason(const std::string& path) const;
    // Files whose bytes changed in place: their thumbnails, here and in the shared folder, are
    // made again and their cells drawn anew. previewed: the previewed file, "" for none.
    korvel::RewriteFollowUp rewritten(const std::vector<std::string>& files, const std::string& previewed);

signals:
    // Thumbnails built on the workers have reached the cache; views drawing them repaint.
    void thumbnailsArrived();

private:
    size_t cellIndex(int col, int row) const;
    bool inCornerMark(int x, int y, int row, int col) const;
    void drawCell(QPainter& p, int col, int row, const QRect& rect);
    bool selectCell(int col, int row);
    void mouseDown(QMouseEvent* event);
    void keyDown(QKeyEvent* event);
    void keyUp(QKeyEvent* event);
    void wrapArrow(int key);
    void startFileDrag();
    void marksChanged();
    bool building() const;
    Look look() const;
    korvel::ThumbParams thumbParams() const;
    void updateThumbView();
    void takeThumbnails();
    void takeStandIns();
    void repaintCell(size_t index);
    QImage atRatio(QImage image) const;
    bool eventFilter(QObject* watched, QEvent* event) override;

    QSplitter* splitter_;
    TOrgStGrid* grid_ = nullptr;
    korvel::FileList& files_;
    const korvel::MediaExtList& mediaExts_;
    bool& thumbnailBusy_;
    bool layingOut_ = false;
    bool previewOpen_ = true;  // the preview pane was more than its 1-pixel edge at the last move
    // Ctrl and Shift as held at the last press, and a plain Left/Right whose wrap is under way.
    bool ctrlHeld_ = false, shiftHeld_ = false, arrowWrapping_ = false;
    QPoint pointer_;  // where the mouse last moved over the cells
    korvel::GridPointerMarks pointerMarks_;

    std::unique_ptr<korvel::ThumbCache> cache_;
    std::unique_ptr<korvel::FileIconSource> iconSource_;
    std::unique_ptr<korvel::ThumbnailBuilder> builder_;
    std::unique_ptr<korvel::SharedThumbs> sharedThumbs_;  // null without a home folder
    std::unique_ptr<korvel::ThumbnailPool> pool_;
    // Thumbnails the cache could not take (no cache file, full disk), drawn from memory; bounded.
    std::unordered_map<size_t, QImage> uncached_;
    bool uncachedEvicted_ = false;  // some of them were dropped to keep the bound
    // Stand-ins from embedded EXIF pictures, drawn until the real thumbnail arrives; never cached.
    std::unique_ptr<korvel::EmbeddedThumbLane> lane_;  // null when its thread could not start
    std::unordered_map<size_t, QImage> standIns_;
    bool held_ = false;
    // Files of the listing whose thumbnail failed, by path (a sort moves indexes), with the reason.
    std::unordered_map<std::string, QString> refused_;
    bool listingReplaced_ = true;   // the next sync starts a new listing
    korvel::ThumbParams poolParams_;
    int viewTop_ = 0;  // the top row the workers were last told of
    qreal ratio_ = 1;  // device pixels per logical pixel of the listing's thumbnails
};
