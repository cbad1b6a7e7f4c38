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

struct Case {
    const char* name;
    bool move;
    ConflictAnswer conflict;
    // Sets faults and answers; d is the temp tree's root.
    std::function<void(FaultyFileSystem&, ScriptedUser&, const std::string& d)> arrange;
    std::map<std::string, std::string> dst;  // expected: name -> "a.jpg"/"b.jpg"/"c.jpg", "old" or "other"
    std::vector<std::string> srcLeft;
    bool cancelled;
    const char* vanished = "";  // a source the case itself removes or rewrites
};

int countCalls(std::map<std::string, int>& n, const std::string& key) { return ++n[key]; }

}  // namespace

TEST(FileOperation, FaultsLoseNothingAndReplaceNothingUnasked) {
    auto none = [](FaultyFileSystem&, ScriptedUser&, const std::string&) {};
    auto exdev = [](FaultyFileSystem& f, const std::string& d, std::function<int(const std::string&, const std::string&)> more) {
        f.fault = [d, more](const std::string& call, const std::string& p) {
            if (call == "renameNoReplace" && p.rfind(d + "src/", 0) == 0) return EXDEV;
            return more ? more(call, p) : 0;
        };
    };
    auto counts = std::make_shared<std::map<std::string, int>>();
    const std::vector<Case> cases = {
        {"copy, cancelled at the question", false, ConflictAnswer::Cancel, none,
         {{"a.jpg", "a.jpg"}, {"b.jpg", "b.jpg"}, {"c.jpg", "old"}}, {"a.jpg", "b.jpg", "c.jpg"}, true},
        {"copy, disk full inside b", false, ConflictAnswer::Skip,
         [counts](FaultyFileSystem& f, ScriptedUser&, const std::string& d) {
             f.fault = [=](const std::string& call, const std::string& p) {
                 return call == "copyRange" && p == d + "src/b.jpg" && countCalls(*counts, "full") > 2 ? ENOSPC : 0;
             };
         },
         {{"a.jpg", "a.jpg"}, {"c.jpg", "old"}}, {"a.jpg", "b.jpg", "c.jpg"}, false},
        {"copy, read error inside b (no copy_file_range)", false, ConflictAnswer::Skip,
         [counts](FaultyFileSystem& f, ScriptedUser&, const std::string& d) {
             f.fault = [=](const std::string& call, const std::string& p) {
                 if (call == "copyRange") return EXDEV;
                 return call == "read" && p == d + "src/b.jpg" && countCalls(*counts, "eio") > 1 ? EIO : 0;
             };
         },
         {{"a.jpg", "a.jpg"}, {"c.jpg", "old"}}, {"a.jpg", "b.jpg", "c.jpg"}, false},
        {"copy, target folder refuses new files", false, ConflictAnswer::Replace,
         [](FaultyFileSystem& f, ScriptedUser&, const std::string& d) {
             f.fault = [=](const std::string& call, const std::string& p) {
                 return call == "open" && p.rfind(d + "dst/", 0) == 0 ? EACCES : 0;
             };
         },
         {{"c.jpg", "old"}}, {"a.jpg", "b.jpg", "c.jpg"}, false},
        {"copy, b vanishes before it is opened", false, ConflictAnswer::Skip,
         [](FaultyFileSystem& f, ScriptedUser&, const std::string& d) {
             f.fault = [=](const std::string& call, const std::string& p) {
                 if (call == "open" && p == d + "src/b.jpg") fs::remove(p);
                 return 0;
             };
         },
         {{"a.jpg", "a.jpg"}, {"c.jpg", "old"}}, {"a.jpg", "c.jpg"}, false, "b.jpg"},
        {"copy, b rewritten after it was listed: copied as it is when read", false, ConflictAnswer::Skip,
         [](FaultyFileSystem& f, ScriptedUser&, const std::string& d) {
             f.fault = [=](const std::string& call, const std::string& p) {
                 if (call == "open" && p == d + "src/b.jpg") writeFile(p, kOther);
                 return 0;
             };
         },
         {{"a.jpg", "a.jpg"}, {"b.jpg", "other"}, {"c.jpg", "old"}}, {"a.jpg", "b.jpg", "c.jpg"}, false, "b.jpg"},
        {"copy, b appears in the target meanwhile, skipped", false, ConflictAnswer::Skip,
         [](FaultyFileSystem& f, ScriptedUser&, const std::string& d) {
             f.fault = [=](const std::string& call, const std::string& p) {
                 if (call == "renameNoReplace" && p.rfind(d + "dst/.korvel-", 0) == 0 && !fs::exists(d + "dst/b.jpg") &&
                     fs::exists(d + "dst/a.jpg"))
                     writeFile(d + "dst/b.jpg", kOther);
                 return 0;
             };
         },
         {{"a.jpg", "a.jpg"}, {"b.jpg", "other"}, {"c.jpg", "old"}}, {"a.jpg", "b.jpg", "c.jpg"}, false},
        {"move across file systems", true, ConflictAnswer::Skip,
         [&](FaultyFileSystem& f, ScriptedUser&, const std::string& d) { exdev(f, d, nullptr); },
         {{"a.jpg", "a.jpg"}, {"b.jpg", "b.jpg"}, {"c.jpg", "old"}}, {"c.jpg"}, false},
        {"move across file systems, disk full inside b", true, ConflictAnswer::Skip,
         [&, counts](FaultyFileSystem& f, ScriptedUser&, const std::string& d) {
             exdev(f, d, [=](const std::string& call, const std::string& p) {
                 return call == "copyRange" && p == d + "src/b.jpg" && countCalls(*counts, "full2") > 1 ? ENOSPC : 0;
             });
         },
         {{"a.jpg", "a.jpg"}, {"c.jpg", "old"}}, {"b.jpg", "c.jpg"}, false},
        {"move across file systems, flush fails for b", true, ConflictAnswer::Skip,
         [&](FaultyFileSystem& f, ScriptedUser& u, const std::string& d) {
             exdev(f, d, [=, &u](const std::string& call, const std::string&) {
                 return call == "fsync" && fs::exists(d + "dst/a.jpg") ? EIO : 0;
             });
         },
         {{"a.jpg", "a.jpg"}, {"c.jpg", "old"}}, {"b.jpg", "c.jpg"}, false},
        {"move across file systems, a's source cannot be removed", true, ConflictAnswer::Skip,
         [&](FaultyFileSystem& f, ScriptedUser&, const std::string& d) {
             exdev(f, d, [=](const std::string& call, const std::string& p) {
                 return call == "unlink" && p == d + "src/a.jpg" ? EACCES : 0;
             });
         },
         {{"a.jpg", "a.jpg"}, {"b.jpg", "b.jpg"}, {"c.jpg", "old"}}, {"a.jpg", "c.jpg"}, false},
        {"copy, cancelled between files", false, ConflictAnswer::Skip,
         [](FaultyFileSystem&, ScriptedUser& u, const std::string&) {
             u.onProgress = [](const FileOpProgress& p) { return p.filesDone < 1; };
         },
         {{"a.jpg", "a.jpg"}, {"c.jpg", "old"}}, {"a.jpg", "b.jpg", "c.jpg"}, true},
        {"move across file systems, cancelled inside b", true, ConflictAnswer::Skip,
         [&](FaultyFileSystem& f, ScriptedUser& u, const std::string& d) {
             exdev(f, d, nullptr);
             u.onProgress = [d](const FileOpProgress& p) {
                 return !(p.current == d + "src/b.jpg" && p.bytesDone > 150000 + 64 * 1024);
             };
         },
         {{"a.jpg", "a.jpg"}, {"c.jpg", "old"}}, {"b.jpg", "c.jpg"}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        counts->clear();
        TempTree t;
        const std::string d = t.root();
        fs::create_directories(d + "src");
        fs::create_directories(d + "dst");
        for (const auto& [n, s] : kSources) writeFile(d + "src/" + n, s);
        writeFile(d + "dst/c.jpg", kOld);
        FaultyFileSystem f;
        ScriptedUser u;
        u.conflict = c.conflict;
        c.arrange(f, u, d);
        TFileOperation op(u, f);
        for (const char* n : {"a.jpg", "b.jpg", "c.jpg"}) op.FromFiles.push_back(d + "src/" + n);
        op.ToFiles = {d + "dst/"};
        EXPECT_EQ(c.move ? op.Move() : op.Copy(), c.cancelled);

        const auto dst = folderContents(d + "dst"), src = folderContents(d + "src");
        std::map<std::string, std::string> wantDst;
        for (const auto& [n, tag] : c.dst)
            wantDst[n] = tag == std::string("old") ? kOld : tag == std::string("other") ? kOther : kSources.at(tag);
        EXPECT_EQ(dst.size(), wantDst.size());
        for (const auto& [n, s] : dst) EXPECT_TRUE(wantDst.count(n) && wantDst[n] == s) << "unexpected or partial " << n;
        std::vector<std::string> left;
        for (const auto& [n, s] : src) {
            left.push_back(n);
            if (n != c.vanished) {
                EXPECT_EQ(s, kSources.at(n)) << "source " << n << " changed";
            }
        }
        EXPECT_EQ(left, c.srcLeft);
        // Not lost: every source stands complete in the source or in the target.
        for (const auto& [n, s] : kSources) {
            if (n == c.vanished) continue;
            bool found = src.count(n) > 0;
            for (const auto& [dn, ds] : dst) found = found || ds == s;
            EXPECT_TRUE(found) << n << " lost";
        }
        // The file there before is replaced only after the user agreed.
        const bool agreed = c.conflict == ConflictAnswer::Replace &&
                            std::find(u.asked.begin(), u.asked.end(), d + "dst/c.jpg") != u.asked.end();
        if (!agreed) {
            EXPECT_EQ(dst.at("c.jpg"), kOld);
        }
    }
}

TEST(FileOperation, DeleteMovesToTheTrashOfTheItemsFileSystem) {
    const std::string uid = std::to_string(::geteuid());
    struct TrashCase {
        const char* name;
        std::string item;     // relative to the tree
        std::string trash;    // where the item must land, "" = stays, "gone" = deleted for good
        std::string infoPath; // expected Path= value; "/" prefix means the tree root
        std::function<void(FaultyFileSystem&, ScriptedUser&, const std::string& d)> arrange;
        size_t errors = 0;
        bool asksPermanent = false;
    };
    const std::vector<TrashCase> cases = {
        {"home trash, name percent-encoded", "pics/写真 1.jpg", "home/Trash/files/写真 1.jpg",
         "/pics/%E5%86%99%E7%9C%9F%201.jpg", nullptr},
        {"home trash, the name is taken there", "pics/a.jpg", "home/Trash/files/a.jpg.2", "/pics/a.jpg",
         [](FaultyFileSystem&, ScriptedUser&, const std::string& d) {
             fs::create_directories(d + "home/Trash/info");
             writeFile(d + "home/Trash/info/a.jpg.trashinfo", "taken");
         }},
        {"another mount: its .Trash-UID, path from its top", "vol/sub/a.jpg", "vol/.Trash-" + uid + "/files/a.jpg",
         "sub/a.jpg", [](FaultyFileSystem& f, ScriptedUser&, const std::string& d) { f.deviceOffset[d + "vol"] = 7; }},
        {"another mount with a sticky .Trash", "vol/sub/a.jpg", "vol/.Trash/" + uid + "/files/a.jpg", "sub/a.jpg",
         [](FaultyFileSystem& f, ScriptedUser&, const std::string& d) {
             f.deviceOffset[d + "vol"] = 7;
             fs::create_directories(d + "vol/.Trash");
             fs::permissions(d + "vol/.Trash", fs::perms::all | fs::perms::sticky_bit);
         }},
        {"the move into the trash fails: item stays, no info left", "pics/a.jpg", "", "",
         [](FaultyFileSystem& f, ScriptedUser&, const std::string& d) {
             f.fault = [](const std::string& call, const std::string&) { return call == "renameNoReplace" ? EACCES : 0; };
         }, 1},
        {"no usable trash, deleting for good refused", "pics/a.jpg", "", "",
         [](FaultyFileSystem& f, ScriptedUser&, const std::string&) {
             f.fault = [](const std::string& call, const std::string&) { return call == "mkdir" ? EROFS : 0; };
         }, 0, true},
        {"no usable trash, deleting for good agreed", "pics/a.jpg", "gone", "",
         [](FaultyFileSystem& f, ScriptedUser& u, const std::string&) {
             u.permanent = true;
             f.fault = [](const std::string& call, const std::string&) { return call == "mkdir" ? EROFS : 0; };
         }, 0, true},
    };
    for (const TrashCase& c : cases) {
        SCOPED_TRACE(c.name);
        TempTree t;
        const std::string d = t.root();
        fs::create_directories(fs::path(d + c.item).parent_path());
        writeFile(d + c.item, "photo");
        FaultyFileSystem f;
        ScriptedUser u;
        if (c.arrange) c.arrange(f, u, d);
        TFileOperation op(u, f);
        op.homeTrash = d + "home/Trash";
        op.FromFiles = {d + c.item};
        EXPECT_FALSE(op.Delete());
        const bool stays = c.trash.empty();
        EXPECT_EQ(fs::exists(d + c.item), stays);
        EXPECT_EQ(u.permanentAsked.size(), c.asksPermanent ? 1u : 0u);
        EXPECT_EQ(u.errors.size(), c.errors);
        if (stays || c.trash == "gone") {
            if (fs::exists(d + "home/Trash/info")) {
                EXPECT_TRUE(fs::is_empty(d + "home/Trash/info"));
            }
            continue;
        }
        EXPECT_EQ(readFile(d + c.trash), "photo");
        const fs::path trash = fs::path(d + c.trash).parent_path().parent_path();
        const std::string info = readFile((trash / "info" / fs::path(c.trash).filename()).string() + ".trashinfo");
        const std::string wantPath = c.infoPath[0] == '/' ? d.substr(0, d.size() - 1) + c.infoPath : c.infoPath;
        EXPECT_EQ(info.rfind("[Trash Info]\nPath=" + wantPath + "\nDeletionDate=", 0), 0u) << info;
        EXPECT_EQ(fs::status(trash / "files").permissions() & fs::perms::all, fs::perms::owner_all);
    }
}

TEST(FileOperation, KilledCopiesTemporariesGoOnlyWhenTheirWriterIsGone) {
    struct SweepCase {
        const char* name;
        std::string leftover;  // a file in the target folder before the copy
        bool locked;           // some process holds its lock
        int staleSeconds;
        bool kept;
        bool sweepDuringRename = false;  // another operation sweeps while ours is about to rename
    };
    const std::vector<SweepCase> cases = {
        {"a killed copy's temporary goes", ".korvel-99999-0.part", false, 0, false},
        {"one whose writer holds its lock stays", ".korvel-99999-1.part", true, 0, true},
        {"a fresh one stays: its writer may not have locked it yet", ".korvel-99999-2.part", false, 2, true},
        {"a name not ours stays", ".korvel-notes.txt", false, 0, true},
        {"a user's .part file stays", "holiday.part", false, 0, true},
        {"our finished temporary survives a sweep until it has its name", "", false, 0, true, true},
    };
    for (const SweepCase& c : cases) {
        SCOPED_TRACE(c.name);
        TempTree t;
        const std::string d = t.root();
        fs::create_directories(d + "src");
        fs::create_directories(d + "dst");
        writeFile(d + "src/a.jpg", kSources.at("a.jpg"));
        writeFile(d + "src/b.jpg", kSources.at("b.jpg"));
        if (!c.leftover.empty()) writeFile(d + "dst/" + c.leftover, "left");
        const int lock = c.locked ? ::open((d + "dst/" + c.leftover).c_str(), O_RDONLY) : -1;
        if (c.locked) {
            ASSERT_EQ(::flock(lock, LOCK_EX), 0);
        }
        FaultyFileSystem f;
        ScriptedUser u, other;
        if (c.sweepDuringRename)
            f.fault = [&](const std::string& call, const std::string& p) {
                if (call == "renameNoReplace" && p.rfind(d + "dst/.korvel-", 0) == 0) {
                    TFileOperation second(other);
                    second.staleTempSeconds = 0;
                    second.FromFiles = {d + "src/b.jpg"};
                    second.ToFiles = {d + "dst"};
                    second.Copy();
                }
                return 0;
            };
        TFileOperation op(u, f);
        op.staleTempSeconds = c.staleSeconds;
        op.FromFiles = {d + "src/a.jpg"};
        op.ToFiles = {d + "dst"};
        EXPECT_FALSE(op.Copy());
        if (lock >= 0) ::close(lock);
        EXPECT_TRUE(u.errors.empty() && other.errors.empty());
        EXPECT_TRUE(readFile(d + "dst/a.jpg") == kSources.at("a.jpg")) << "a.jpg lost or partial";
        if (c.sweepDuringRename) {
            EXPECT_TRUE(readFile(d + "dst/b.jpg") == kSources.at("b.jpg")) << "b.jpg lost or partial";
        }
        if (!c.leftover.empty()) {
            EXPECT_EQ(fs::exists(d + "dst/" + c.leftover), c.kept);
        }
    }
}
