#pragma once
// The main window's status bar: six sunken panels, the path panel taking the width the others
// leave.
#include <QObject>
#include <QString>
#include <array>
#include <cstddef>

class QLabel;
class QStatusBar;

// The panels from left to right.
enum class StatusPanel { FileCount, Path, FileSize, FileTime, ImageSize, Spare };

// Belongs to its bar, so that it lives exactly as long as the panels it fits.
class MainStatusBar : public QObject {
public:
    // Builds the panels into bar, which owns them and this.
    explicit MainStatusBar(QStatusBar* bar);

    QString text(StatusPanel panel) const;
    void setText(StatusPanel panel, const QString& text);
    // Empties the panels of the previewed file (path, size, time, image size).
    void clearFilePanels();
    // The listed files' count; the panel widens to its text when the text needs more room.
    void showFileCount(size_t count);
    // The image-size panel's text with a note (the content of a mislabelled file, or why the
    // file could not be shown); the panel widens to fit it and its tool tip holds it whole.
    void showImageNote(const QString& size, const QString& note);
    // The path panel takes what the other panels leave of the bar's width.
    void fitPathPanel();

private:
    QLabel* panel(StatusPanel p) const { return panels_[size_t(p)]; }

    QStatusBar* bar_;
    std::array<QLabel*, 6> panels_{};
};
