#pragma once
// Commands the preview pane and the sub-viewers share: turning the shown image and copying a
// file's decoded image to the clipboard, each with its message on failure.
#include <QString>
#include <functional>
#include <string>
#include <vector>

#include "base/Limits.h"

class QWidget;

namespace korvel {
class TBitmap;
}

enum class TurnKind { Right90, Half, Left90 };

// Turns image in place (hourglass cursor meanwhile). On failure shows "画像を回転出来ません。"
// and leaves image as it was. An empty image is left alone and gives false without a message.
bool TurnShownImage(korvel::TBitmap& image, TurnKind kind, QWidget* parent);

// Saves the turn the user gave the shown picture (an EXIF orientation: 6 right, 3 half, 8 left;
// 1 none, which applies the file's own orientation) into the file at path, asking whether to trim
// a JPEG whose size is not a whole number of blocks, and records it for undo. Says why on
// failure. True when the file was turned.
bool SaveTurnToFile(const std::string& path, int turn, QWidget* parent);
// Whether SaveTurnToFile keeps the file's modification time (the options dialog's choice; off
// at first, as a changed file gets a new time).
void setTurnKeepsTime(bool keep);
bool turnKeepsTime();

// Files whose bytes a command changed in place, under the same names (a saved turn, or its undo
// or redo): every open viewer of one shows it again, then the follower hears of them (the main
// window: its thumbnails, the shared ones, its preview). SaveTurnToFile announces its file.
void announceRewritten(const std::vector<std::string>& files);
void setRewriteFollower(std::function<void(const std::vector<std::string>& files)> follower);

// The orientation of turning the shown picture by kind after the turn it had.
int TurnAfter(int turn, TurnKind kind);

// Loads path afresh by its extension and puts the decoded image on the clipboard, so neither a
// rotation nor a zoom of the shown copy is copied. On failure shows "クリップボードへコピー出来ませんでした。"
// with the caption "Copy Error".
bool CopyFileImageToClipboard(const std::string& path, QWidget* parent);

// Decodes path by its extension into a 24-bit bitmap (transparent areas white).
// Throws korvel::Exception or std::bad_alloc.
korvel::TBitmap LoadImageAsBitmap(const std::string& path, const korvel::PhotoSwitches& photo);

// Shortest decimal text of a zoom factor: "1.5", "1", "0.25".
QString zoomText(float zoom);
