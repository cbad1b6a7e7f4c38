// Copy, move and delete through a file system that fails on demand. Every case checks that no
// file is lost, none stands half-written under a final name and none is replaced unasked.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <filesystem>
#include <random>

#include "tests/support/FaultyFileSystem.h"
#include "tests/support/FolderContents.h"

using namespace korvel;
using korvel::testing::FaultyFileSystem;
using korvel::testing::ScriptedUser;
using korvel::testing::TempTree;
using korvel::testing::folderContents;
using korvel::testing::readFile;
using korvel::testing::writeFile;
namespace fs = std::filesystem;

namespace {

std::string bytes(size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    std::string s(n, '\0');
    for (char& c : s) c = char(rng());
    return s;
}

const std::map<std::string, std::string> kSources = {
    {"a.jpg", bytes(150000, 1)}, {"b.jpg", bytes(300000, 2)}, {"c.jpg", bytes(100000, 3)}};
const std::string kOld = "the c.jpg that was there", kOther = "a b.jpg made meanwhile";

// A call on a path under root + under fails with err from its (after + 1)-th such call on.
struct Fault {
    const char* call;
    const char* under;
    int err;
    int after = 0;
};
using Meddle = std::function<void(const std::string& call, const std::string& path, const std::string& root)>;

void inject(FaultyFileSystem& f, const std::string& root, std::vector<Fault> faults, Meddle meddle = {}) {
    auto hits = std::make_shared<std::vector<int>>(faults.size());
    f.fault = [=](const std::string& call, const std::string& p) {
        if (meddle) meddle(call, p, root);
        for (size_t i = 0; i < faults.size(); ++i) {
            const Fault& x = faults[i];
            if (call == x.call && p.starts_with(root + x.under) && ++(*hits)[i] > x.after) return x.err;
        }
        return 0;
    };
}

}  // namespace

TEST(FileOperation, FaultsLoseNothingAndReplaceNothingUnasked) {
    const Fault exdev{"renameNoReplace", "src/", EXDEV};  // the target is on another file system
    const ConflictAnswer skip = ConflictAnswer::Skip;
    struct Case {
        const char* name;
        bool move;
        ConflictAnswer conflict;
        std::vector<Fault> faults;
        std::map<std::string, std::string> dst;  // name -> "a.jpg"/"b.jpg"/"c.jpg", "old" or "other"
        std::vector<std::string> srcLeft;
        bool cancelled;
        const char* vanished = "";  // a source the case itself removes or rewrites
        Meddle meddle = {};
        std::function<bool(const FileOpProgress&)> goOn = {};
    };
    const std::map<std::string, std::string> aOldB{{"a.jpg", "a.jpg"}, {"c.jpg", "old"}};
    const std::vector<std::string> all{"a.jpg", "b.jpg", "c.jpg"}, bc{"b.jpg", "c.jpg"};
    const Case cases[] = {
        {"copy, disk full inside b", false, skip, {{"copyRange", "src/b.jpg", ENOSPC, 2}}, aOldB,
         all, false},
        {"copy, read error inside b (no copy_file_range)", false, ConflictAnswer::Skip,
         {{"copyRange", "", EXDEV}, {"read", "src/b.jpg", EIO, 1}}, aOldB, all, false},
        {"copy, target folder refuses new files", false, ConflictAnswer::Replace, {{"open", "dst/", EACCES}},
         {{"c.jpg", "old"}}, all, false},
        {"copy, b vanishes before it is opened", false, skip, {}, aOldB, {"a.jpg", "c.jpg"}, false,
         "b.jpg", [](const std::string& call, const std::string& p, const std::string& d) {
             if (call == "open" && p == d + "src/b.jpg") fs::remove(p);
         }},
        {"copy, b rewritten after it was listed: copied as it is when read", false, skip, {},
         {{"a.jpg", "a.jpg"}, {"b.jpg", "other"}, {"c.jpg", "old"}}, all, false, "b.jpg",
         [](const std::string& call, const std::string& p, const std::string& d) {
             if (call == "open" && p == d + "src/b.jpg") writeFile(p, kOther);
         }},
        {"copy, b appears in the target meanwhile, skipped", false, skip, {},
         {{"a.jpg", "a.jpg"}, {"b.jpg", "other"}, {"c.jpg", "old"}}, all, false, "",
         [](const std::string& call, const std::string& p, const std::string& d) {
             const bool ours = call == "renameNoReplace" && p.starts_with(d + "dst/.korvel-");
             if (ours && !fs::exists(d + "dst/b.jpg") && fs::exists(d + "dst/a.jpg"))
                 writeFile(d + "dst/b.jpg", kOther);
         }},
        {"move across file systems", true, skip, {exdev},
         {{"a.jpg", "a.jpg"}, {"b.jpg", "b.jpg"}, {"c.jpg", "old"}}, {"c.jpg"}, false},
        {"move across file systems, disk full inside b", true, ConflictAnswer::Skip,
         {exdev, {"copyRange", "src/b.jpg", ENOSPC, 1}}, aOldB, bc, false},
        {"move across file systems, flush fails for b", true, skip, {exdev, {"fsync", "", EIO, 1}},
         aOldB, bc, false},
        {"move across file systems, a's source cannot be removed", true, ConflictAnswer::Skip,
         {exdev, {"unlink", "src/a.jpg", EACCES}}, {{"a.jpg", "a.jpg"}, {"b.jpg", "b.jpg"}, {"c.jpg", "old"}},
         {"a.jpg", "c.jpg"}, false},
        {"copy, cancelled between files", false, skip, {}, aOldB, all, true, "", {},
         [](const FileOpProgress& p) { return p.filesDone < 1; }},
        {"move across file systems, cancelled inside b", true, skip, {exdev}, aOldB, bc, true, "", {},
         [](const FileOpProgress& p) {
             return !(p.current.ends_with("/src/b.jpg") && p.bytesDone > 150000 + 64 * 1024);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempTree t;
        const std::string d = t.root();
        for (const auto& [n, s] : kSources) t.write("src/" + n, s);
        t.write("dst/c.jpg", kOld);
        FaultyFileSystem f;
        inject(f, d, c.faults, c.meddle);
        ScriptedUser u;
        u.conflict = c.conflict;
        u.onProgress = c.goOn;
        TFileOperation op(u, f);
        for (const char* n : {"a.jpg", "b.jpg", "c.jpg"}) op.FromFiles.push_back(d + "src/" + n);
        op.ToFiles = {d + "dst/"};
        EXPECT_EQ(c.move ? op.Move() : op.Copy(), c.cancelled);

        const auto dst = folderContents(d + "dst"), src = folderContents(d + "src");
        std::map<std::string, std::string> wantDst;
        for (const auto& [n, tag] : c.dst)
            wantDst[n] = tag == "old" ? kOld : tag == "other" ? kOther : kSources.at(tag);
        EXPECT_EQ(dst.size(), wantDst.size());
        for (const auto& [n, s] : dst)
            EXPECT_TRUE(wantDst.count(n) && wantDst[n] == s) << "unexpected or partial " << n;
        std::vector<std::string> left;
        for (const auto& [n, s] : src) {
            left.push_back(n);
            EXPECT_TRUE(n == c.vanished || s == kSources.at(n)) << "source " << n << " changed";
        }
        EXPECT_EQ(left, c.srcLeft);
        // Not lost: every source stands complete in the source or in the target.
        for (const auto& [n, s] : kSources) {
            bool found = n == c.vanished || src.count(n) > 0;
            for (const auto& [dn, ds] : dst) found = found || ds == s;
            EXPECT_TRUE(found) << n << " lost";
        }
    }
}

TEST(FileOperation, DeleteMovesToTheTrashOfTheItemsFileSystem) {
    const std::string uid = std::to_string(::geteuid());
    const Fault noTrash{"mkdir", "", EROFS};
    const auto otherMount = [](FaultyFileSystem& f, const TempTree& t) { f.deviceOffset[t / "vol"] = 7; };
    struct Case {
        const char* name;
        std::string item;      // relative to the tree
        std::string trash;     // where the item lands; "" stays, "gone" deleted for good
        std::string infoPath;  // the Path= value; a leading "/" stands for the tree's root
        std::function<void(FaultyFileSystem&, const TempTree&)> arrange;
        std::vector<Fault> faults = {};
        size_t errors = 0;
        int permanent = 0;  // deleting for good: 1 asked and refused, 2 asked and agreed
    };
    const Case cases[] = {
        {"home trash, name percent-encoded", "pics/写真 1.jpg", "home/Trash/files/写真 1.jpg",
         "/pics/%E5%86%99%E7%9C%9F%201.jpg", {}},
        {"home trash, the name is taken there", "pics/a.jpg", "home/Trash/files/a.jpg.2", "/pics/a.jpg",
         [](FaultyFileSystem&, const TempTree& t) { t.write("home/Trash/info/a.jpg.trashinfo", "taken"); }},
        {"another mount: its .Trash-UID, path from its top", "vol/sub/a.jpg",
         "vol/.Trash-" + uid + "/files/a.jpg", "sub/a.jpg", otherMount},
        {"another mount with a sticky .Trash", "vol/sub/a.jpg", "vol/.Trash/" + uid + "/files/a.jpg",
         "sub/a.jpg",
         [&](FaultyFileSystem& f, const TempTree& t) {
             otherMount(f, t);
             t.folder("vol/.Trash");
             fs::permissions(t / "vol/.Trash", fs::perms::all | fs::perms::sticky_bit);
         }},
        // Without the sticky bit any user could take or replace what others put there.
        {"another mount with a .Trash not sticky: its .Trash-UID", "vol/sub/a.jpg",
         "vol/.Trash-" + uid + "/files/a.jpg", "sub/a.jpg",
         [&](FaultyFileSystem& f, const TempTree& t) {
             otherMount(f, t);
             t.folder("vol/.Trash");
             fs::permissions(t / "vol/.Trash", fs::perms::all);
         }},
        {"the move into the trash fails: item stays, no info left", "pics/a.jpg", "", "", {},
         {{"renameNoReplace", "", EACCES}}, 1},
        {"no usable trash, deleting for good refused", "pics/a.jpg", "", "", {}, {noTrash}, 0, 1},
        {"no usable trash, deleting for good agreed", "pics/a.jpg", "gone", "", {}, {noTrash}, 0, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempTree t;
        const std::string d = t.root();
        t.write(c.item, "photo");
        FaultyFileSystem f;
        inject(f, d, c.faults);
        if (c.arrange) c.arrange(f, t);
        ScriptedUser u;
        u.permanent = c.permanent == 2;
        TFileOperation op(u, f);
        op.homeTrash = d + "home/Trash";
        op.FromFiles = {d + c.item};
        EXPECT_FALSE(op.Delete());
        const bool stays = c.trash.empty();
        EXPECT_EQ(fs::exists(d + c.item), stays);
        EXPECT_EQ(u.permanentAsked.size(), c.permanent ? 1u : 0u);
        EXPECT_EQ(u.errors.size(), c.errors);
        if (stays || c.trash == "gone") {
            EXPECT_TRUE(!fs::exists(d + "home/Trash/info") || fs::is_empty(d + "home/Trash/info"));
            continue;
        }
        EXPECT_EQ(t.read(c.trash), "photo");
        const fs::path trash = fs::path(d + c.trash).parent_path().parent_path();
        const fs::path info = trash / "info" / (fs::path(c.trash).filename().string() + ".trashinfo");
        const std::string wantPath = c.infoPath[0] == '/' ? t.dir() + c.infoPath : c.infoPath;
        EXPECT_TRUE(readFile(info).starts_with("[Trash Info]\nPath=" + wantPath + "\nDeletionDate=")) << info;
        EXPECT_EQ(fs::status(trash / "files").permissions() & fs::perms::all, fs::perms::owner_all);
    }
}

TEST(FileOperation, KilledCopiesTemporariesGoOnlyWhenTheirWriterIsGone) {
    struct Case {
        const char* name;
        std::string leftover;  // a file in the target folder before the copy
        bool locked;           // some process holds its lock
        int staleSeconds;
        bool kept;
        bool sweepDuringRename = false;  // another operation sweeps while ours is about to rename
    };
    const Case cases[] = {
        {"a killed copy's temporary goes", ".korvel-99999-0.part", false, 0, false},
        {"one whose writer holds its lock stays", ".korvel-99999-1.part", true, 0, true},
        {"a fresh one stays: its writer may not have locked it yet", ".korvel-99999-2.part", false, 2, true},
        {"a name not ours stays", ".korvel-notes.txt", false, 0, true},
        {"a user's .part file stays", "holiday.part", false, 0, true},
        {"our finished temporary survives a sweep until it has its name", "", false, 0, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempTree t;
        const std::string d = t.root();
        t.write("src/a.jpg", kSources.at("a.jpg"));
        t.write("src/b.jpg", kSources.at("b.jpg"));
        t.folder("dst");
        if (!c.leftover.empty()) t.write("dst/" + c.leftover, "left");
        const int lock = c.locked ? ::open((d + "dst/" + c.leftover).c_str(), O_RDONLY) : -1;
        ASSERT_TRUE(!c.locked || ::flock(lock, LOCK_EX) == 0);
        ScriptedUser u, other;
        const auto copy = [&](TFileOperation&& op, int staleSeconds, const char* name) {
            op.staleTempSeconds = staleSeconds;
            op.FromFiles = {d + "src/" + name};
            op.ToFiles = {d + "dst"};
            EXPECT_FALSE(op.Copy());
        };
        FaultyFileSystem f;
        inject(f, d, {}, [&](const std::string& call, const std::string& p, const std::string&) {
            if (c.sweepDuringRename && call == "renameNoReplace" && p.starts_with(d + "dst/.korvel-"))
                copy(TFileOperation(other), 0, "b.jpg");
        });
        copy(TFileOperation(u, f), c.staleSeconds, "a.jpg");
        if (lock >= 0) ::close(lock);
        EXPECT_TRUE(u.errors.empty() && other.errors.empty());
        EXPECT_TRUE(t.read("dst/a.jpg") == kSources.at("a.jpg")) << "a.jpg lost or partial";
        EXPECT_TRUE(!c.sweepDuringRename || t.read("dst/b.jpg") == kSources.at("b.jpg")) << "b.jpg lost";
        EXPECT_TRUE(c.leftover.empty() || fs::exists(d + "dst/" + c.leftover) == c.kept);
    }
}
