#pragma once
// TShowFrm1: the slideshow window. It plays the listed files, or the marked ones, at a fixed
// interval; a toolbar, a pop-up menu and keys navigate. Slides are decoded ahead on a worker,
// so the timer's tick only swaps in a prepared slide and paints it.
#include <QDialog>
#include <QImage>
#include <QSet>
#include <QSize>
#include <QString>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "browse/SlidePrefetch.h"
#include "browse/SlideShow.h"
#include "imaging/Bitmap.h"
#include "settings/ShowSettings.h"

class QAction;
class QMenu;
class QTimer;
class QToolBar;
class SlideLoader;
struct SlideResult;
class TPaintBox;

// What the main window hands the show.
struct ShowSource {
    std::vector<std::string> files;   // every listed file, in list order
    std::vector<std::string> marked;  // the marked cells' files, in grid order
    std::string previewed;            // the file the preview shows; "" = none
    std::string startFile;            // the show starts here when listed ("/s FILE"); "" = as set
    int gridColumns = 1;              // the grid's column count: the Shift jumps go one row
    std::string settingsPath;         // "Korvel.ini"
    korvel::PhotoSwitches photo{true, true, true};  // how slides are turned and coloured
};

class TShowFrm1 : public QDialog {
    Q_OBJECT
public:
    explicit TShowFrm1(const ShowSource& source, QWidget* parent = nullptr);
    ~TShowFrm1() override;

    struct Actions {
        QAction *CloseBtn1 = nullptr, *TopRewBtn = nullptr, *RewBtn = nullptr, *PauseBtn = nullptr,
                *PlayBtn = nullptr, *FFBtn = nullptr, *LFFBtn = nullptr;
        QAction *CloseMenu = nullptr, *TopViewManu = nullptr, *RewMenu = nullptr, *PauseMenu = nullptr,
                *PlayMenu = nullptr, *FFMenu = nullptr, *LFFMenu = nullptr;
    };
    const Actions& actions() const { return actions_; }
    QToolBar* toolBar() const { return ToolBar1; }
    QMenu* popupMenu() const { return PopupMenu1; }
    TPaintBox* paintBox() const { return PaintBox1; }
    QTimer* timer() const { return Timer1; }
    // In full screen the pointer hides when it has stood still this long (two seconds).
    QTimer* pointerTimer() const { return pointerTimer_; }
    SlideLoader* loader() const { return loader_; }
    const korvel::SlidePlaylist& playlist() const { return SlideList; }
    const korvel::ShowSettings& settings() const { return settings_; }
    // The slide on screen (SlidePicture); empty when none is loaded or it could not be decoded.
    const korvel::TBitmap& slide() const { return slide_; }
    // A load is pending: ticks are ignored meanwhile.
    bool loading() const { return prefetch_.pending() != Pending::None; }
    // "再生中 : path  ( i/n )" for the slide just loaded.
    QString SlideCaption() const;

signals:
    // The timer's tick was taken (measurements).
    void ticked();
    // A slide that arrived since the last paint has been painted.
    void slidePainted();

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    korvel::PhotoSwitches photo_;
    using Pending = korvel::SlidePrefetch::Pending;

    void FormCreate(const ShowSource& source);
    void FormShow();
    bool FormCloseQuery();
    bool FormKeyUp(QKeyEvent* event);
    void PaintBox1Paint(QPainter& p, const QRect& exposed);
    void Timer1Timer();
    void PauseBtnClick();
    void CloseBtn1Click();
    void NavigateSlide(korvel::SlidePlaylist::Nav nav);
    void PlayMenuClick();
    void PauseMenuClick();
    void PopupMenu1Popup();
    void StartSlideLoad();
    void SlideLoaded(SlideResult& result);
    void AdvanceSlideIndex() { SlideList.advance(); }

    void buildControls();
    void placeWindow();
    void setPlaying(bool playing);
    // Asks the worker for the slide at the list's index, or takes the one decoded ahead.
    void requestSlide(Pending kind);
    void requestAhead();
    void takeResult(const std::shared_ptr<SlideResult>& result);
    // Does what the prefetch decided: shows a slide or hands a decode to the loader.
    void follow(korvel::SlidePrefetch::Step step);
    korvel::SlideBox currentBox() const;
    void setBusy(bool busy);
    // The mouse on the picture: a click goes on, the wheel steps, a move shows the pointer.
    bool paintBoxMouse(QEvent* event);
    void showPointer();
    void hidePointer();
    QString keysHelp() const;

    korvel::ShowSettings settings_;
    std::string settingsPath_;
    int gridColumns_ = 1;
    korvel::SlidePlaylist SlideList;
    korvel::TBitmap slide_;
    QImage shown_;  // slide_ as the display draws it
    bool newSlide_ = false;

    korvel::SlidePrefetch prefetch_;
    bool workerReported_ = false;  // a refused worker thread is reported once
    QSet<int> pressedKeys_;  // keys whose press this window received and whose release is due
    bool busy_ = false;
    bool busyCursor_ = false;  // the hourglass is up (not while the pointer is hidden)
    bool pointerHidden_ = false;
    korvel::WheelSteps wheel_;
    bool closed_ = false;
    bool shownOnce_ = false;

    QToolBar* ToolBar1 = nullptr;
    TPaintBox* PaintBox1 = nullptr;
    QMenu* PopupMenu1 = nullptr;
    QTimer* Timer1 = nullptr;
    QTimer* pointerTimer_ = nullptr;
    SlideLoader* loader_ = nullptr;
    Actions actions_;
};
