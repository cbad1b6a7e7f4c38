#pragma once
// The twenty quick-folder buttons' folders and captions, and how a caption is made.
#include <array>
#include <span>
#include <string>

namespace korvel {

// The display width of text in half-width cells: ASCII and half-width katakana count 1, every
// other character 2 (as double-byte characters did).
size_t displayBytes(const std::string& text);

// A short caption for a quick-folder button: the path without its trailing "/" when it is
// shorter than 11 cells; else "…" before the last "/" and folder name, cut together to at most
// 9 cells and followed by ".." when cut.
std::string MakeQuickFolderCaption(const std::string& path);

// One button's binding; both bytes as the user gave them.
struct QuickFolder {
    std::string folder;   // "" = unbound
    std::string caption;  // the button's text; "" shows the unbound image
    bool bound() const { return !folder.empty(); }
};

// The twenty buttons, and the one the last mouse press made current (the pop-up menu acts on it).
class QuickFolderSet {
public:
    static constexpr int kCount = 20;

    const QuickFolder& at(int i) const { return buttons_[size_t(i)]; }
    // Binds button i: no folder unbinds it; an empty caption is derived from the folder.
    void bind(int i, const std::string& folder, const std::string& caption);
    void unbind(int i) { buttons_[size_t(i)] = {}; }
    // Takes the stored folders and captions; a stored caption of an unbound button is dropped.
    void load(std::span<const std::string> folders, std::span<const std::string> captions);
    void store(std::span<std::string> folders, std::span<std::string> captions) const;

    // -1 until a button was pressed.
    int current() const { return current_; }
    void setCurrent(int i) { current_ = i >= 0 && i < kCount ? i : -1; }
    // Only a button that shows a caption can be cleared.
    bool currentCanBeCleared() const { return current_ >= 0 && !at(current_).caption.empty(); }

private:
    std::array<QuickFolder, kCount> buttons_{};
    int current_ = -1;
};

}  // namespace korvel
