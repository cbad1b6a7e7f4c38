#pragma once
// Undo and redo of the recorded file operations, from the 編集 menu, the grid's menu and their
// keys. The window keeps the journal read, so that the captions name the step the command would
// work on; the step runs as the window's one job, and the grid, the tree and the history follow
// what it moved.
#include <QObject>
#include <QString>
#include <functional>
#include <optional>
#include <string>

#include "fileops/FileIdentity.h"
#include "fileops/Journal.h"
#include "fileops/UndoRedo.h"

class FileCommands;
class QWidget;

class UndoCommands : public QObject {
    Q_OBJECT
public:
    // The jobs run through files' job runner and report to its hooks; the journal is read now.
    // window owns the part.
    UndoCommands(FileCommands& files, QWidget* window);

    // Reads the journal again when its file changed since it was last read: this window, another
    // one or korvel-tool may have added or undone a step.
    void refresh();
    // Whether there is a step to work on, and the menu caption naming it ("元に戻す(&U): 12個のファイル
    // の移動"), or the plain caption when there is none.
    bool available(korvel::UndoDirection direction) const;
    QString caption(korvel::UndoDirection direction) const;
    // Undoes the newest step not undone, or redoes the one undone last, as the window's job.
    void run(korvel::UndoDirection direction);

    // What the window follows besides the grid (FileCommands' hooks); both paths without a
    // trailing "/".
    struct Hooks {
        // An item went from (empty: a folder was made) to to (empty: removed or into the Trash);
        // the tree follows when it is a folder.
        std::function<void(const std::string& from, const std::string& to)> itemMoved;
        // A folder took another name in its own folder.
        std::function<void(const std::string& from, const std::string& to)> folderRenamed;
    } hooks;

private:
    const korvel::JournalStep* next(korvel::UndoDirection direction) const;
    void follow(const korvel::UndoJob& job);

    FileCommands& files_;
    const std::string path_;  // the journal's
    korvel::Journal journal_;
    std::optional<korvel::FileIdentity> read_;  // the journal file as last read; none when missing
    bool loaded_ = false;
};

// The box of a command that did its work but could not record it for undo: err is the errno.
void showNotRecorded(QWidget* parent, int err);
