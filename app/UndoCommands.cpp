#include "app/UndoCommands.h"

#include <QKeySequence>
#include <QMessageBox>
#include <memory>

#include "app/FileCommands.h"
#include "platform/Translations.h"
#include "view/ImageCommands.h"

using korvel::StepKind;
using korvel::UndoDirection;

UndoCommands::UndoCommands(FileCommands& files, QWidget* window)
    : QObject(window), files_(files), path_(korvel::Journal::defaultPath()), journal_(path_) {
    refresh();
}

void UndoCommands::refresh() {
    // One lstat per call: the window asks whenever its menus and buttons change state.
    const std::optional<korvel::FileIdentity> now =
        path_.empty() ? std::nullopt : korvel::fileIdentity(korvel::systemFileSystem(), path_);
    if (loaded_ && now == read_) return;
    loaded_ = true;
    read_ = now;
    journal_.load();
}

const korvel::JournalStep* UndoCommands::next(UndoDirection direction) const {
    return direction == UndoDirection::Undo ? journal_.nextUndo() : journal_.nextRedo();
}

bool UndoCommands::available(UndoDirection direction) const { return next(direction) != nullptr; }

QString UndoCommands::caption(UndoDirection direction) const {
    const bool undo = direction == UndoDirection::Undo;
    QString text = undo ? tr("元に戻す(&U)") : tr("やり直し(&R)");
    if (const korvel::JournalStep* step = next(direction))
        text += QStringLiteral(": ") + coreText(korvel::stepText(*step));
    // Shown in the menu's key column; the window's key table does the work.
    const QKeySequence keys(undo ? Qt::CTRL | Qt::Key_Z : Qt::CTRL | Qt::SHIFT | Qt::Key_Z);
    return text + QLatin1Char('\t') + keys.toString(QKeySequence::NativeText);
}

void UndoCommands::run(UndoDirection direction) {
    if (files_.jobRunning()) return;
    // The job reads the journal itself, under its lock: it takes the step that is next then.
    auto job = std::make_shared<korvel::UndoJob>(direction, 1, path_, files_.files());
    files_.startJob(job, [this, job] { follow(*job); });
}

void UndoCommands::follow(const korvel::UndoJob& job) {
    if (job.worked().empty()) return;  // the journal could not be read; the runner said so
    const StepKind kind = job.worked().front().kind;  // one step a run
    FileCommands::Hooks& grid = files_.hooks;
    if (kind == StepKind::Rename || kind == StepKind::SerialRename) {
        // Renamed in place, as the rename itself was: the grid keeps order, marks and thumbnails.
        for (const auto& [from, to] : job.moved()) grid.renamed(from, to);
        grid.renamesEnded();
        return;
    }
    if (kind == StepKind::Turn) {
        // The files stay where they are; their bytes went back or forth.
        std::vector<std::string> files;
        for (const korvel::StepEntry& e : job.worked().front().entries) files.push_back(e.source);
        announceRewritten(files);
        return;
    }
    if (kind == StepKind::FolderRename) {
        for (const auto& [from, to] : job.moved()) hooks.folderRenamed(from, to);
        return;
    }
    for (const auto& [from, to] : job.moved()) hooks.itemMoved(from, to);
    grid.pruneVanished();
    grid.listNewFiles(grid.shownFolder());
}

void showNotRecorded(QWidget* parent, int err) {
    QMessageBox::critical(parent, QObject::tr("エラー"),
                          withReason(coreText(korvel::notRecordedText()), errorReasonLine(err)));
}
