#include <gtest/gtest.h>

#include "nav/QuickFolders.h"

using namespace korvel;

TEST(QuickFolders, HistoryMovesDuplicatesUpAndKeepsTwenty) {
    std::vector<std::string> h;
    for (int i = 0; i < 20; ++i) AddToHistory(h, "/f" + std::to_string(i) + "/");
    EXPECT_EQ(h.size(), 20u);
    EXPECT_EQ(h.front(), "/f19/");
    AddToHistory(h, "/f5/");
    EXPECT_EQ(h.size(), 20u);
    EXPECT_EQ(h.front(), "/f5/");
    EXPECT_EQ(std::count(h.begin(), h.end(), "/f5/"), 1);
    AddToHistory(h, "/new/");
    EXPECT_EQ(h.size(), 20u);
    EXPECT_EQ(std::find(h.begin(), h.end(), "/f0/"), h.end());  // the oldest went
    AddToHistory(h, "/F5/");  // exact comparison: another folder
    EXPECT_EQ(std::count(h.begin(), h.end(), "/f5/"), 1);
}

TEST(QuickFolders, CaptionRule) {
    struct Row {
        const char* path;
        const char* caption;
    } rows[] = {
        {"/Photos/", "/Photos"},
        {"/123456789", "/123456789"},
        {"/home/u/Barbecue2006/", "/../Barbecue.."},
        {"/Barbecue2006", "/Barbecue.."},
        {"/a/Barbecue2006", "/../Barbecue.."},  // any "/" but the root's starts the last name
        {"/a/b/写真フォルダ", "/../写真フォ.."},
        {"/a/b/ｼｬｼﾝﾌｫﾙﾀﾞ", "/../ｼｬｼﾝﾌｫﾙﾀ.."},
        {"/a/bb/short", "/../short"},  // 11 cells: the rule applies, nothing is cut
    };
    for (const Row& r : rows) EXPECT_EQ(MakeQuickFolderCaption(r.path), r.caption) << r.path;
    EXPECT_EQ(displayBytes("ｶﾅ"), 2u);
    EXPECT_EQ(displayBytes("写真"), 4u);
}
