#include "app/QuickFolderBar.h"

#include <QLineEdit>
#include <QMainWindow>
#include <QMessageBox>
#include <QMouseEvent>
#include <QToolBar>
#include <QToolButton>

#include "app/ToolIcons.h"
#include "nav/ui/QFSelectFrm.h"
#include "platform/PathText.h"

QuickFolderBar::QuickFolderBar(QMainWindow* window) : QObject(window), window_(window) {
    bar_ = new QToolBar(QStringLiteral("ToolBar2"), window);
    bar_->setObjectName(QStringLiteral("ToolBar2"));
    bar_->setOrientation(Qt::Vertical);
    bar_->setMovable(false);
    bar_->setIconSize(QSize(20, 20));
    window->addToolBar(Qt::RightToolBarArea, bar_);
    for (int i = 0; i < kCount; ++i) {
        auto* b = new QToolButton(bar_);
        b->setObjectName(QStringLiteral("FolderBtn%1").arg(i + 1));
        b->setAutoRaise(true);
        b->setToolButtonStyle(Qt::ToolButtonIconOnly);
        b->setFixedSize(23, 22);
        b->setAcceptDrops(true);  // marked cells dropped here open the drop menu
        bar_->addWidget(b);
        // Its own pop-up menu opens on the right button's release, after the press made it current.
        b->setContextMenuPolicy(Qt::PreventContextMenu);
        b->installEventFilter(this);
        connect(b, &QToolButton::clicked, this, [this, i] { onButtonClicked(i); });
        buttons_[size_t(i)] = b;
        showButton(i);
    }
}

void QuickFolderBar::showButton(int i) {
    const korvel::QuickFolder& q = set_.at(i);
    QToolButton* b = buttons_[size_t(i)];
    b->setToolTip(pathText(q.folder));
    b->setText(pathText(q.caption));
    // A button with a caption shows its numbered image; one without the plain image.
    b->setIcon(q.caption.empty() ? toolIcon(ToolIcon::SubFolders) : quickFolderIcon(i + 1));
}

void QuickFolderBar::bind(int i, const std::string& folder, const std::string& caption) {
    set_.bind(i, folder, caption);
    showButton(i);
}

void QuickFolderBar::load(std::span<const std::string> folders, std::span<const std::string> captions) {
    set_.load(folders, captions);
    for (int i = 0; i < kCount; ++i) showButton(i);
}

void QuickFolderBar::showCaptions(bool on) {
    captionsShown_ = on;
    for (QToolButton* b : buttons_) {
        b->setToolButtonStyle(on ? Qt::ToolButtonTextBesideIcon : Qt::ToolButtonIconOnly);
        if (on) {
            b->setMinimumSize(0, 0);
            b->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
        } else {
            b->setFixedSize(23, 22);
        }
    }
}

int QuickFolderBar::indexOf(const QObject* watched) const {
    for (int i = 0; i < kCount; ++i)
        if (watched == buttons_[size_t(i)]) return i;
    return -1;
}

QPoint QuickFolderBar::toScreen(int i, QPoint at) const { return buttons_[size_t(i)]->mapToGlobal(at); }

bool QuickFolderBar::eventFilter(QObject* watched, QEvent* event) {
    const int i = indexOf(watched);
    if (i < 0 || (event->type() != QEvent::MouseButtonPress && event->type() != QEvent::MouseButtonRelease))
        return false;
    auto* mouse = static_cast<QMouseEvent*>(event);
    if (event->type() == QEvent::MouseButtonPress) {
        // The menu and the click act on the button last pressed, with either mouse button.
        set_.setCurrent(i);
        pressedAt_ = mouse->globalPosition().toPoint();
        return mouse->button() == Qt::RightButton;
    }
    if (mouse->button() != Qt::RightButton) return false;
    if (hooks.showMenu) hooks.showMenu(mouse->globalPosition().toPoint());
    return true;
}

void QuickFolderBar::onButtonClicked(int i) {
    set_.setCurrent(i);
    const std::string& f = folder(i);
    if (f.empty()) return editCurrent();
    if (hooks.filesMarked && hooks.filesMarked() && hooks.offerTarget) hooks.offerTarget(f, pressedAt_);
}

void QuickFolderBar::editCurrent() {
    const int i = set_.current();
    if (i < 0) return;
    const std::string treeFolder = hooks.treeFolder ? hooks.treeFolder() : std::string();
    TQFSelectFrm dialog(window_);
    dialog.setFolder(folder(i).empty() ? treeFolder : folder(i));
    dialog.QFCaptionEdit->setText(pathText(set_.at(i).caption));
    dialog.treeFolder = treeFolder;
    dialog.folderCreated = hooks.folderCreated;
    if (hooks.places) dialog.places = hooks.places();
    if (dialog.exec() != QDialog::Accepted) return;
    bind(i, dialog.folder(), pathBytes(dialog.caption()));
}

void QuickFolderBar::clearCurrent() {
    if (!set_.currentCanBeCleared()) return;
    if (QMessageBox::question(window_, tr("確認"), tr("フォルダの設定をクリアします。\nよろしいですか？"),
                              QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes)
        return;
    set_.unbind(set_.current());
    showButton(set_.current());
}
