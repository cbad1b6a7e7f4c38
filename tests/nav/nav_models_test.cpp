// The history, favourites and quick-folder models the main window's boxes and buttons show.
#include <gtest/gtest.h>

#include "nav/FolderLists.h"
#include "nav/QuickFolders.h"

using namespace korvel;

namespace {
std::string f(int i) { return "/f" + std::to_string(i) + "/"; }
std::vector<std::string> numbered(int from, int to) {  // f(from) … f(to), either direction
    std::vector<std::string> v;
    for (int i = from; from <= to ? i <= to : i >= to; from <= to ? ++i : --i) v.push_back(f(i));
    return v;
}
std::vector<std::string> concat(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}
}  // namespace

// Each row: stored items, then folders opened in order, and the history that results.
TEST(FolderHistory, OpensMoveUpOrPushOutTheOldest) {
    const struct {
        const char* name;
        std::vector<std::string> stored, opened, expected;
    } rows[] = {
        {"stored: empties and repeats dropped", {"/a/", "", "/b/", "/a/"}, {}, {"/a/", "/b/"}},
        {"stored: only twenty", numbered(0, 24), {}, numbered(0, 19)},
        {"same folder moves up", {"/a/", "/b/", "/c/"}, {"/c/"}, {"/c/", "/a/", "/b/"}},
        {"exact comparison", {"/a/"}, {"/A/"}, {"/A/", "/a/"}},
        {"a twenty-first pushes out the oldest", numbered(19, 0), {"/new/"}, concat({"/new/"}, numbered(19, 1))},
        {"a full list moves a repeat without loss", numbered(19, 0), {f(0)}, concat({f(0)}, numbered(19, 1))},
    };
    for (const auto& r : rows) {
        FolderHistory h;
        h.assign(r.stored);
        for (const std::string& p : r.opened) h.add(p);
        EXPECT_EQ(h.items(), r.expected) << r.name;
    }
}

// Each row: stored items, folders added, the list that results and how many adds changed it.
TEST(Favourites, AddsOnceAndKeepsTwenty) {
    const struct {
        const char* name;
        std::vector<std::string> stored, added, expected;
        int changed;
    } rows[] = {
        {"stored: empties dropped, repeats kept", {"/a/", "", "/a/"}, {}, {"/a/", "/a/"}, 0},
        {"newest first", {"/a/"}, {"/b/", "/c/"}, {"/c/", "/b/", "/a/"}, 2},
        {"a favourite twice is one", {"/a/"}, {"/a/", ""}, {"/a/"}, 0},
        {"a twenty-first drops the last", numbered(0, 19), {"/new/"}, concat({"/new/"}, numbered(0, 18)), 1},
    };
    for (const auto& r : rows) {
        Favourites fav;
        fav.assign(r.stored);
        int changed = 0;
        for (const std::string& p : r.added) changed += fav.add(p);
        EXPECT_EQ(fav.items(), r.expected) << r.name;
        EXPECT_EQ(changed, r.changed) << r.name;
    }
}

TEST(Favourites, FoldersLeadingToOne) {
    Favourites fav;
    fav.assign({"/home/u/pics", "/data/x/"});
    const std::pair<const char*, bool> rows[] = {
        {"/", true},          {"/home/", true}, {"/home/u/", true}, {"/home/u/pics/", true},
        {"/home/u/pi", false},  // a part of a name is not on the way
        {"/home/v/", false},  {"/data/x", true}, {"/data/x/y/", false},
    };
    for (const auto& [folder, leads] : rows) EXPECT_EQ(fav.leadsTo(folder), leads) << folder;
    EXPECT_FALSE(Favourites().leadsTo("/"));
}

TEST(QuickFolders, CaptionRule) {
    // "/a/bb/short" has 11 cells: the rule applies, nothing is cut.
    // The prefix is an ellipsis, never "/..", which reads as a relative path.
    const std::pair<const char*, const char*> rows[] = {
        {"/Photos/", "/Photos"},         {"/123456789", "/123456789"},
        {"/home/u/Barbecue2006/", "…/Barbecue.."}, {"/Barbecue2006", "/Barbecue.."},
        {"/a/b/写真フォルダ", "…/写真フォ.."}, {"/a/b/ｼｬｼﾝﾌｫﾙﾀﾞ", "…/ｼｬｼﾝﾌｫﾙﾀ.."},
        {"/a/bb/short", "…/short"}};
    for (const auto& [path, caption] : rows) EXPECT_EQ(MakeQuickFolderCaption(path), caption) << path;
}

// Binding, stored values and the current button; captions are bytes and need not be UTF-8.
TEST(QuickFolders, BindingsLoadAndStore) {
    const std::string odd = "/q/\xff\xfe";
    const struct {
        const char* name;
        std::string folder, caption;
        QuickFolder expected;
    } rows[] = {
        {"caption kept", "/q/one", "One", {"/q/one", "One"}},
        {"caption of twelve bytes kept", "/q/two", "123456789012", {"/q/two", "123456789012"}},
        {"empty caption derived", "/home/u/Barbecue2006/", "", {"/home/u/Barbecue2006/", "…/Barbecue.."}},
        {"bytes kept", odd, "\xff", {odd, "\xff"}},
        {"no folder unbinds", "", "stale", {"", ""}},
    };
    for (const auto& r : rows) {
        QuickFolderSet set;
        set.bind(3, "/old/", "old");
        set.bind(3, r.folder, r.caption);
        EXPECT_EQ(std::tuple(set.at(3).folder, set.at(3).caption, set.at(3).bound()),
                  std::tuple(r.expected.folder, r.expected.caption, !r.expected.folder.empty()))
            << r.name;

        // What is stored reads back the same into a fresh set.
        std::array<std::string, QuickFolderSet::kCount> folders, captions;
        set.store(folders, captions);
        QuickFolderSet back;
        back.load(folders, captions);
        EXPECT_EQ(back.at(3).folder + "|" + back.at(3).caption, r.expected.folder + "|" + r.expected.caption) << r.name;
        EXPECT_EQ(back.at(4).folder + back.at(4).caption, "") << r.name;
    }

    QuickFolderSet set;
    std::array<std::string, QuickFolderSet::kCount> folders{}, captions{};
    folders[0] = "/a/", captions[0] = "", captions[1] = "orphan";
    set.load(folders, captions);
    EXPECT_EQ(set.at(0).caption + "|" + set.at(1).caption, "/a|");
    EXPECT_FALSE(set.currentCanBeCleared());  // no button pressed yet
    set.setCurrent(1);
    EXPECT_FALSE(set.currentCanBeCleared());
    set.setCurrent(0);
    EXPECT_TRUE(set.currentCanBeCleared());
    set.setCurrent(QuickFolderSet::kCount);
    EXPECT_EQ(set.current(), -1);
}
