#pragma once
// The two-list pattern the file dialogs share: files left out on the left, files to process on
// the right, four buttons moving items between them. Items keep the path's bytes; thumbnails
// come from the opener.
#include <QWidget>
#include <functional>
#include <string>
#include <vector>

class QLabel;
class QListWidget;
class QSize;
class QSplitter;
class QToolButton;
namespace korvel {
struct DialogPlacement;
}

class TTwoLists : public QWidget {
    Q_OBJECT
public:
    using ThumbSource = std::function<QImage(const std::string& path)>;
    explicit TTwoLists(ThumbSource thumbs, QWidget* parent = nullptr);

    // right: the files to process in this order; left: all minus those, in list order.
    void fill(const std::vector<std::string>& all, const std::vector<std::string>& right);
    std::vector<std::string> yesPaths() const;
    std::vector<std::string> noPaths() const;

    QListWidget* NoListBox = nullptr;
    QListWidget* YesListBox = nullptr;
    QLabel* NoLabel = nullptr;
    QLabel* YesLabel = nullptr;
    QToolButton *AddBtn = nullptr, *DelBtn = nullptr, *AllAddBtn = nullptr, *AllDelBtn = nullptr;
    QWidget* PanelN01 = nullptr;
    QSplitter* splitter = nullptr;
    // When set, "全て追加" and "全て戻す" too act only while an item of their source is selected.
    bool allNeedsSelection = false;

    // The dialog's size, list split, maximised state and centring, as stored; a hand-edited
    // size is fitted to the screen (size when unusable) and a split keeps both lists.
    void loadPlacement(QWidget& dialog, const korvel::DialogPlacement& stored, const QSize& size);
    // The dialog's state, size and list split as they are now.
    korvel::DialogPlacement placementOf(const QWidget& dialog) const;

    // Repaints both lists: thumbnails that were still being built have arrived.
    void thumbnailsChanged();

    void AddBtnClick() { moveItems(NoListBox, YesListBox, true); }
    void DelBtnClick() { moveItems(YesListBox, NoListBox, true); }
    void AllAddBtnClick() { moveItems(NoListBox, YesListBox, false); }
    void AllDelBtnClick() { moveItems(YesListBox, NoListBox, false); }

private:
    void moveItems(QListWidget* from, QListWidget* to, bool selectedOnly);
    void addItem(QListWidget* list, const std::string& path);
    ThumbSource thumbs_;
};
