#pragma once
// TKorvelSubFrm: a separate viewer window for one image file, at natural size or zoomed in fixed
// steps, with scroll bars and grab-to-pan. Each window keeps its own decoded copy of the file.
#include <QImage>
#include <QPoint>
#include <QWidget>
#include <array>
#include <memory>
#include <string>

#include "imaging/Bitmap.h"
#include "view/ImageCommands.h"

class QAction;
class QLabel;
class QMenu;
class QScrollArea;
class QStatusBar;
class QTimer;
class TPaintBox;

namespace korvel {
class FramePlayer;
}

class TKorvelSubFrm : public QWidget {
    Q_OBJECT
public:
    // Loads path and sizes the window against the work area. owner: the window the viewer
    // belongs to (it stays above it and is destroyed with it); may be null.
    explicit TKorvelSubFrm(const std::string& path, QWidget* owner = nullptr,
                           const korvel::PhotoSwitches& photo = {true, true, true});
    ~TKorvelSubFrm() override;

    static constexpr std::array<float, 9> kZoomSteps{0.25f, 0.5f, 0.75f, 1.0f, 1.5f, 2.0f, 4.0f, 6.0f, 8.0f};
    // Client size of the window while it shows nothing.
    static constexpr QSize kDesignedClientSize{400, 300};

    // The commands of the pop-up menu.
    struct Actions {
        QAction *largePopup = nullptr, *SmallPopup = nullptr, *SubTurn = nullptr;
        QAction *SubTurn1 = nullptr, *SubTurn2 = nullptr, *SubTurn3 = nullptr, *ClipImage = nullptr;
        QAction* SubTurnSave = nullptr;
        QAction *Cascade1 = nullptr, *TileHorizontal1 = nullptr, *TileVertical1 = nullptr;
        QAction *AllSmall = nullptr, *AllClose = nullptr;
        QAction *AnimPause = nullptr, *AnimStep = nullptr;  // shown for animations only
    };

    // Read-only views for the viewer registry and tests.
    const korvel::TBitmap& subImage() const { return SubImage; }  // empty when loading failed
    float zoomFactor() const { return ZoomFactor; }
    const Actions& actions() const { return actions_; }
    QMenu* popupMenu() const { return PopupMenu1; }
    QScrollArea* scrollBox() const { return ScrollBox1; }
    TPaintBox* paintBox() const { return PaintBox1; }
    QStatusBar* statusBar() const { return StatusBar1; }
    QLabel* statusPanel(int i) const { return StatusPanels[size_t(i)]; }
    // The animation being played, or null for a still picture (or once it was turned).
    const korvel::FramePlayer* animation() const { return anim_.get(); }
    bool animationPaused() const { return animPaused_; }
    // The picture as drawn now (the current frame of an animation).
    const QImage& shownImage() const { return shown_; }

    // Decodes path into SubImage; false (nothing reported) on any failure.
    // reason: why it failed, when given.
    bool LoadSubImage(const std::string& path, QString* reason = nullptr);
    // The shown file as the file system names it (the caption is only its text).
    const std::string& path() const { return path_; }
    // Shows the file again as it now is (its bytes changed in place): the turn given goes.
    void reloadFile();

private slots:
    void PopupMenu1Popup();
    void largePopupClick();
    void SmallPopupClick();
    void SubTurn1Click();
    void SubTurn2Click();
    void SubTurn3Click();
    void SubTurnSaveClick();
    void ClipImageClick();
    void Cascade1Click();
    void TileHorizontal1Click();
    void TileVertical1Click();
    void AllSmallClick();
    void AllCloseClick();
    void AnimPauseClick();
    void AnimStepClick();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    korvel::PhotoSwitches photo_;  // how this viewer turns and colours what it loads
    korvel::TBitmap SubImage;
    float ZoomFactor = 1.0f;
    QScrollArea* ScrollBox1 = nullptr;
    TPaintBox* PaintBox1 = nullptr;
    QStatusBar* StatusBar1 = nullptr;
    std::array<QLabel*, 2> StatusPanels{};
    QMenu* PopupMenu1 = nullptr;
    Actions actions_;

    void FormCreate(const std::string& path);
    void buildControls();
    void buildPopupMenu();
    void placeWindow();
    void updateView();
    void turn(TurnKind kind);
    void startAnimation(const std::string& path);
    void showFrame();
    void scheduleFrame();
    void frameDue();
    void PaintBox1Paint(QPainter& painter, const QRect& exposed);
    void PaintBox1MouseDown(QMouseEvent* event);
    void PaintBox1MouseMove(QMouseEvent* event);
    void PaintBox1MouseUp(QMouseEvent* event);

    std::string path_;
    int turned_ = 1;  // the turn given since the file was loaded, as an EXIF orientation
    QImage shown_;  // SubImage as the display draws it; rebuilt when SubImage changes
    std::unique_ptr<korvel::FramePlayer> anim_;
    QTimer* animTimer_ = nullptr;
    bool animPaused_ = false;
    bool dragging_ = false;
    QPoint pressed_;
    QMargins placedWithFrame_;
    bool placed_ = false;
};

// Opens a new sub-viewer for path and shows it: at once, or when owner (usually the main
// window) shows, so that the viewer is owned by it on the desktop.
TKorvelSubFrm* openSubViewer(const std::string& path, QWidget* owner = nullptr,
                             const korvel::PhotoSwitches& photo = {true, true, true});
