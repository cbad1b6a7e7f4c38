#pragma once
// The preview under the grid: the chosen file's picture, decoded on a thread of its own, fitted
// to the pane or at its own size (then panned by dragging), and the pop-up menu's commands on it.
// The window tells it which grid cell is chosen; the panel asks the window through hooks.
#include <QPoint>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "base/Workers.h"
#include "browse/GridModel.h"
#include "browse/PreviewModel.h"
#include "fileops/WallpaperBitmap.h"
#include "view/ImageCommands.h"

class MainStatusBar;
class QMenu;
class QScrollArea;
class QTimer;
class TPreviewPane;

namespace korvel {
class FramePlayer;
}

class PreviewPanel : public QWidget {
    Q_OBJECT
public:
    explicit PreviewPanel(QWidget* parent = nullptr);
    // Stops the decode thread; a picture it still hands over is dropped with the panel.
    ~PreviewPanel() override;

    // What the panel asks of the window.
    struct Hooks {
        // The file of grid cell (col, row), or nothing past the last file.
        std::function<std::optional<std::string>(int col, int row)> fileAt;
        // A thumbnail is being made in the window's thread: the cell is not previewed now.
        std::function<bool()> busy;
        // The window's layout is final, so the pane's size is the one to fit to.
        std::function<bool()> laidOut;
        // A double click on the previewed file.
        std::function<void(const std::string& path)> opened;
        // A load ended or the full-size switch moved: the commands show the new state.
        std::function<void()> stateChanged;
        // After the box about a previewed file that is gone: the window drops such files.
        std::function<void()> fileVanished;
    } hooks;
    // The panels of the previewed file (path, size, time, image size) are shown there.
    void setStatusBar(MainStatusBar* bar) { statusBar_ = bar; }

    // The pop-up menu; the window's command table fills it.
    QMenu* menu() const { return menu_; }
    TPreviewPane* pane() const { return pane_; }
    QScrollArea* scrollArea() const { return scrollArea_; }

    // The previewed file as the file system names it; "" = nothing previewed.
    const std::string& path() const { return model_.path(); }
    bool loading() const { return model_.loading(); }
    // The decoded picture, as turned by the user, before fitting; null when none.
    const korvel::TGraphic* graphic() const { return model_.picture().graphic(); }
    // The picture at its own size rather than fitted to the pane.
    bool fullSize() const { return fullSize_; }
    void setFullSize(bool on);
    // How pictures are turned and coloured, and whether small ones are enlarged to the pane.
    void setDisplay(const korvel::PhotoSwitches& photo, bool enlarge);

    // Previews the file of grid cell (col, row); a cell chosen while a picture loads is
    // previewed after it.
    void showCell(int col, int row);
    // Decodes the previewed file again: its bytes changed in place.
    void reload();
    // Sizes the pane for the picture and fits it again.
    void layoutImage();
    // Ends the decode thread; the window does so before anything the decode reports to is gone.
    void stopDecoding() { decodeQueue_.stop(); }
    // Stops the loader (the window closes); true when it had not begun decoding yet.
    bool stopLoading();

    // The animation the preview plays, or null for a still picture.
    const korvel::FramePlayer* animation() const { return anim_.get(); }

    // The pop-up menu's commands.
    void turn(TurnKind kind);
    void saveTurn();
    void copyToClipboard();
    void openWithDefaultProgram();
    void showProperties();
    void setAsWallpaper(korvel::WallpaperMode mode);

private:
    void clearFilePanels();
    void showFile(const std::string& path, bool again);
    void reportVanishedFile();
    void load(const std::string& path, uint64_t request);
    void showDecoded(uint64_t request, korvel::PreviewModel::Decoded decoded);
    void loadEnded();
    void fit();
    void redecodeForPane();
    QSize devicePixels(QSize logical) const;
    void mousePressed(QMouseEvent* event);
    void mouseMoved(QMouseEvent* event);
    void startAnimation();
    void stopAnimation();
    void frameDue();

    korvel::PreviewModel model_;
    // Decodes one picture at a time, so the window takes thumbnails and input meanwhile.
    korvel::WorkQueue decodeQueue_;
    std::optional<korvel::GridCell> wantedCell_;
    bool decoding_ = false;  // the loader has handed the decode to decodeQueue_
    // A decode for a new pane size is running: the picture stays, and so does the cursor.
    bool redecoding_ = false;
    QTimer* redecodeTimer_ = nullptr;
    bool fullSize_ = false;
    int turned_ = 1;  // the turn given since the picture was loaded, as an EXIF orientation
    bool enlarge_ = false;   // small pictures fill the pane too
    bool vanishedReportQueued_ = false;
    bool reloadWanted_ = false;  // the previewed file changed while it loaded
    bool dragging_ = false;  // a left press at full size pans the picture
    QPoint pressedAt_;
    QScrollArea* scrollArea_ = nullptr;
    TPreviewPane* pane_ = nullptr;
    QMenu* menu_ = nullptr;
    MainStatusBar* statusBar_ = nullptr;
    // An animated file plays its frames over the still first frame's place.
    std::unique_ptr<korvel::FramePlayer> anim_;
    QTimer* animTimer_ = nullptr;
};
