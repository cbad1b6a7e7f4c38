// Items put back from the Trash where their info file says, never over a name taken since; and
// the identity an undo checks before it touches a file.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <functional>

#include "fileops/FileIdentity.h"
#include "fileops/Trash.h"
#include "tests/support/FaultyFileSystem.h"

using namespace korvel;
using namespace korvel::testing;
namespace fs = std::filesystem;

namespace {

TEST(Trash, RestoreGoesBackToTheRecordedPlaceOrChangesNothing) {
    const std::string vol = "vol/.Trash-" + std::to_string(::geteuid());
    struct Case {
        const char* name;
        std::string original;   // relative to the tree
        std::string info = "";  // the info text; "" as the deleting side writes it
        int error = 0;
        std::vector<Fault> faults = {};
        const char* taken = "";  // a file made at the original place since the delete
        std::string trash = "home/Trash";
        bool item = true;  // the item is in files/
    };
    const Case cases[] = {
        {"home trash, odd bytes in the name", "pics/caf\xE9 %41\n#1.jpg"},
        {"the parent folders are gone: made again", "pics/deep/er/a.jpg"},
        {"another mount's trash: the path is from its top", "vol/sub/a.jpg", "[Trash Info]\nPath=sub/a.jpg\n",
         0, {}, "", vol},
        {"the name is taken since: refused", "pics/a.jpg", "", EEXIST, {}, "newer"},
        {"not an info file", "pics/a.jpg", "Path=/pics/a.jpg\n", EBADMSG},
        {"a bad escape", "pics/a.jpg", "[Trash Info]\nPath=/pics/a%G1.jpg\n", EBADMSG},
        {"a relative path out of its folder", "pics/a.jpg", "[Trash Info]\nPath=../a.jpg\n", EBADMSG},
        {"the info file cannot be read", "pics/a.jpg", "", EIO, {{"read", "home/Trash/info", EIO}}},
        {"the move fails", "pics/a.jpg", "", EROFS, {{"renameNoReplace", "", EROFS}}},
        {"no such item", "pics/a.jpg", "", ENOENT, {}, "", "home/Trash", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempTree t;
        const std::string entry = fs::path(c.original).filename().string();
        t.folder("pics");
        t.folder(c.trash + "/info");
        if (c.item) t.write(c.trash + "/files/" + entry, "photo");
        t.write(c.trash + "/info/" + entry + ".trashinfo", c.info.empty() ? trashInfoText(t / c.original, 0) : c.info);
        if (*c.taken) t.write(c.original, c.taken);
        const std::string before = listing(t.dir());
        FaultyFileSystem f;
        inject(f, t.root(), c.faults);

        const TrashRestore r = restoreFromTrash(f, t / c.trash, entry);
        EXPECT_EQ(r.error, c.error) << std::strerror(r.error);
        if (c.error) {
            EXPECT_EQ(listing(t.dir()), before);
            continue;
        }
        EXPECT_EQ(r.path, t / c.original);
        EXPECT_EQ(t.read(c.original), "photo");
        EXPECT_TRUE(fs::is_empty(t / c.trash + "/files"));
        EXPECT_TRUE(fs::is_empty(t / c.trash + "/info"));
    }
}

TEST(Trash, InfoParserTakesOtherWritersAndDropsTheRest) {
    const std::pair<std::string, const char*> rows[] = {
        {"\xEF\xBB\xBF# c\r\n[Trash Info]\r\nPath = /a%2Fb%25\r\nDeletionDate=2024-01-02T03:04:05\r\n", "/a/b%"},
        {"[Other]\nPath=/x\n[Trash Info]\nPath=/y\nPath=/z\nDeletionDate=yesterday\n", "/y"},
        {"[Trash Info]\nPath=/a%00b\n", nullptr},
        {"[Trash Info]\nPath=%4\n", nullptr},
        {"[Trash Info]\nPath=\n", nullptr},
        {"[Trash Info]\nDeletionDate=2024-01-02T03:04:05\n", nullptr},
        {"[Trash Info]\nPath=/" + std::string(kMaxTrashInfoSize, 'a') + "\n", nullptr},
    };
    for (const auto& [text, path] : rows) {
        TrashInfo info;
        EXPECT_EQ(parseTrashInfo(text, info), path != nullptr) << text;
        if (path) {
            EXPECT_EQ(info.path, path);
        }
    }
}

TEST(FileIdentity, SameOnlyForTheFileLeftBehind) {
    struct Case {
        const char* name;
        std::function<void(const TempTree&)> change;
        const char* checked = "a.jpg";
        bool same = false;
        std::vector<Fault> faults = {};
    };
    // Each change keeps the modification time, so only the field it names tells it apart.
    const auto keepTime = [](const TempTree& t) { t.mtime("a.jpg", 1000000); };
    const Case cases[] = {
        {"untouched", [](const TempTree&) {}, "a.jpg", true},
        {"renamed", [](const TempTree& t) { fs::rename(t / "a.jpg", t / "b.jpg"); }, "b.jpg", true},
        {"rewritten, same size, newer", [](const TempTree& t) { t.write("a.jpg", "PHOTO"); t.mtime("a.jpg", 2000000); }},
        {"grown", [&](const TempTree& t) { t.write("a.jpg", "photo!"); keepTime(t); }},
        {"replaced by a copy", [&](const TempTree& t) {
             t.write("c.jpg", "photo");
             fs::rename(t / "c.jpg", t / "a.jpg");
             keepTime(t);
         }},
        {"gone", [](const TempTree& t) { fs::remove(t / "a.jpg"); }},
        {"unreadable", [](const TempTree&) {}, "a.jpg", false, {{"lstat", "", EIO}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempTree t;
        t.write("a.jpg", "photo");
        t.mtime("a.jpg", 1000000);
        FaultyFileSystem f;
        const std::optional<FileIdentity> id = fileIdentity(f, t / "a.jpg");
        ASSERT_TRUE(id);
        c.change(t);
        inject(f, t.root(), c.faults);
        EXPECT_EQ(sameFile(f, t / c.checked, *id), c.same);
    }
}

}  // namespace
