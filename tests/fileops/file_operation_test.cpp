// Copy, move, delete, rename and folder operations through a file system that fails on demand:
// nothing lost, nothing half-written under a final name, nothing replaced unasked.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <filesystem>
#include <random>

#include "base/FileNames.h"
#include "fileops/FolderOps.h"
#include "fileops/Rename.h"
#include "tests/support/FaultyFileSystem.h"

using namespace korvel;
using korvel::testing::contentSet;
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

using Names = std::vector<std::string>;

// Renames files (in t's root, each holding its own name as content) serially; returns the
// plan made beforehand and checks it against what the pass did.
RenamePlan renameSerially(const TempTree& t, const Names& files, const SerialParams& p,
                          RenameCounts* counts = nullptr) {
    Names paths;
    for (const std::string& f : files) paths.push_back(t / f);
    const RenamePlanner planner(paths);
    const RenamePlan plan = planner.planSerial(p);
    std::vector<std::pair<std::string, std::string>> moves;
    for (const PlanRow& r : plan.rows) moves.emplace_back(r.oldPath, r.newPath);
    const RenameCounts c = runRenamePass(moves, [&](const RenameStep& s) {
        EXPECT_EQ(s.error != 0, plan.rows[s.index].fails()) << s.from << " -> " << s.to;
        return true;
    });
    EXPECT_EQ(c.failed, plan.failing);
    if (counts) *counts = c;
    return plan;
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

TEST(SerialPattern, ExactlyOnePlaceholderCountedByCharacter) {
    struct Case {
        const char* name;
        bool ok;
    } cases[] = {
        {"A\\B", true},   {"\\", true},       {"", false},          {"AB", false},
        {"A\\\\B", false}, {"\\A\\", false},  {"写真\\_夏", true},   {"ソ\\表", true},
        {"%s\\%d", true},  {"\xE3\\", false},  // a "\" inside a cut-off sequence is no placeholder
    };
    for (const Case& c : cases) EXPECT_EQ(SerialPattern::parse(c.name).has_value(), c.ok) << c.name;
}

TEST(SerialRename, NamesOnDisk) {
    struct Case {
        const char* what;
        Names files;
        const char* pattern;
        int64_t start;
        int digits;
        ExtCase ext;
        Names after;  // the folder's names afterwards, sorted
    } cases[] = {
        {"width 1 grows", {"a", "b", "c"}, "\\", 99, 1, ExtCase::Keep, {"100", "101", "99"}},
        {"width 3 pads", {"a.j", "b.j", "c.j"}, "n\\", 99, 3, ExtCase::Keep, {"n099.j", "n100.j", "n101.j"}},
        {"percent is literal", {"p.jpg", "q.jpg"}, "%s\\%d%%", 5, 2, ExtCase::Upper,
         {"%s05%d%%.JPG", "%s06%d%%.JPG"}},
        {"no extension", {"readme", "notes"}, "doc-\\", 0, 2, ExtCase::Upper, {"doc-00", "doc-01"}},
        {"Japanese", {"猫.JPG", "犬.jpeg"}, "写真\\_夏", 1, 2, ExtCase::Keep, {"写真01_夏.JPG", "写真02_夏.jpeg"}},
        {"negative start", {"a.b", "b.b"}, "\\", -1, 3, ExtCase::Keep, {"-001.b", "000.b"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempTree t;
        for (const std::string& f : c.files) t.write(f, f);
        const SerialParams p{*SerialPattern::parse(c.pattern), c.start, c.digits, c.ext};
        const RenamePlan plan = renameSerially(t, c.files, p);
        EXPECT_EQ(plan.failing, 0);
        const auto after = folderContents(t.dir());
        Names names;
        for (const auto& [name, content] : after) names.push_back(name);
        EXPECT_EQ(names, c.after);
        // The i-th file of the list got the i-th number.
        for (size_t i = 0; i < c.files.size(); ++i) {
            const auto got = after.find(extractFileName(plan.rows[i].newPath));
            EXPECT_TRUE(got != after.end() && got->second == c.files[i]) << c.files[i];
        }
    }
}

TEST(RenamePlan, ClashesInsideTheBatchAndBadNames) {
    TempTree t;
    for (const char* f : {"a", "b", "c", "d"}) t.write(f, f);
    const RenamePlanner planner({t / "a", t / "b", t / "c", t / "d"});
    const RenamePlan plan = planner.plan({t / "x", t / "x", t / "c", t / "."});
    EXPECT_TRUE(plan.rows[0].clash && plan.rows[1].clash);
    EXPECT_FALSE(plan.rows[0].fails());
    EXPECT_TRUE(plan.rows[1].takenOnDisk);  // a took x first
    EXPECT_TRUE(plan.rows[2].unchanged && !plan.rows[2].fails());
    EXPECT_TRUE(plan.rows[3].badName);
    EXPECT_EQ(plan.failing, 2);
    EXPECT_EQ(plan.clashes, 2);
    EXPECT_EQ(folderContents(t.dir()).size(), 4u);  // planning wrote nothing
}

TEST(SerialRename, ThousandOverlappingFilesLoseNothing) {
    // Numbers shifted up run into names the pass reaches later; shifted down, each name was
    // freed just before. Either way the folder keeps every content exactly once.
    for (int64_t start : {500, 0, 1}) {
        SCOPED_TRACE(start);
        TempTree t;
        Names files;
        for (int i = 1; i <= 1000; ++i) {
            files.push_back(std::to_string(i) + ".jpg");
            t.write(files.back(), "content " + std::to_string(i));
        }
        const auto before = contentSet(t.dir());
        RenameCounts counts;
        const SerialParams p{*SerialPattern::parse("\\"), start, 1, ExtCase::Keep};
        renameSerially(t, files, p, &counts);
        EXPECT_EQ(contentSet(t.dir()), before);
        EXPECT_EQ(counts.done + counts.failed, 1000);
        EXPECT_TRUE(start != 0 || counts.failed == 0) << "a shift down needs no retry";
        EXPECT_TRUE(start != 500 || counts.failed > 0) << "a shift up must meet names still taken";
    }
}

TEST(RenamePass, SystemErrorsAreReportedAndThePassGoesOn) {
    TempTree t;
    t.write("a", "a");
    t.write("b", "b");
    FaultyFileSystem faulty;
    faulty.fault = [](const std::string& call, const std::string& path) {
        return call == "renameNoReplace" && path.ends_with("/a") ? EIO : 0;
    };
    std::vector<int> errors;
    const RenameCounts c = runRenamePass({{t / "a", t / "x"}, {t / "b", t / "y"}},
                                         [&](const RenameStep& s) { return errors.push_back(s.error), true; },
                                         faulty);
    EXPECT_EQ(errors, (std::vector<int>{EIO, 0}));
    EXPECT_EQ(c.failed, 1);
    EXPECT_EQ(folderContents(t.dir()), (std::map<std::string, std::string>{{"a", "a"}, {"y", "b"}}));
}

TEST(FolderOps, CreateNested) {
    struct Row {
        const char* name;
        const char* made;    // the folder made ("" none)
        const char* absent;  // a folder that must not exist afterwards ("" none)
        int fault = 0;       // errno for every mkdir
    } rows[] = {
        {"old/c", "p/old/c", ""},  // an existing level is fine
        {"d//e/", "p/d/e", ""},
        {"x/./y", "", "p/x"},
        {"file/z", "", "p/file/z"},  // a file stands where a level should go
        {"denied", "", "p/denied", EACCES},
        {"", "", ""},
    };
    for (const Row& r : rows) {
        TempTree t;
        t.folder("p/old");
        t.write("p/file", "keep");
        FaultyFileSystem ffs;
        ffs.fault = [&](const std::string& call, const std::string&) {
            return call == "mkdir" ? r.fault : 0;
        };
        const std::string made = FolderOps(ffs).createNested(t / "p/", r.name);
        EXPECT_EQ(made, *r.made ? t / r.made : "") << r.name;
        EXPECT_TRUE(!*r.made || fs::is_directory(made)) << r.name;
        EXPECT_TRUE(!*r.absent || !fs::exists(t / r.absent)) << r.name;
        EXPECT_EQ(t.read("p/file"), "keep");
    }
}

TEST(FolderOps, NameChecks) {
    TempTree t;
    t.folder("p/Photos/sub");
    t.write("p/notes", "x");
    const FolderOps ops;
    struct Row {
        const char* name;
        FolderName forNew, forRename;  // new inside p/; rename of p/Photos
    } rows[] = {
        {"", FolderName::Empty, FolderName::Empty},
        {"photos", FolderName::Free, FolderName::Free},      // letter case differs on Linux
        {"Photos/sub", FolderName::Exists, FolderName::Exists},
        {"notes", FolderName::Free, FolderName::Free},       // a file: the rename itself fails
    };
    for (const Row& r : rows) {
        EXPECT_EQ(ops.checkNew(t / "p/", r.name), r.forNew) << r.name;
        EXPECT_EQ(ops.checkRename(t / "p/Photos", r.name), r.forRename) << r.name;
    }
    EXPECT_EQ(FolderOps::renameTarget(t / "p/Photos", "Trip/"), t / "p/Trip");
}

TEST(FolderOps, RenameNeverReplaces) {
    struct Row {
        const char* to;     // relative to the temporary root
        bool ok;
        int fault = 0;      // errno for the rename call
    } rows[] = {
        {"p/Trip", true},
        {"p/empty", false},     // an empty folder would be replaced by a plain rename
        {"p/Busy", false, EBUSY},
    };
    for (const Row& r : rows) {
        TempTree t;
        t.write("p/Photos/a.jpg", "photo");
        t.folder("p/empty");
        t.write("p/notes", "text");
        FaultyFileSystem ffs;
        ffs.fault = [&](const std::string& call, const std::string&) {
            return call == "renameNoReplace" ? r.fault : 0;
        };
        EXPECT_EQ(FolderOps(ffs).renameFolder(t / "p/Photos", t / r.to), r.ok) << r.to;
        const std::string home = r.ok ? r.to : "p/Photos";
        EXPECT_EQ(t.read(home + "/a.jpg"), "photo") << r.to;
        EXPECT_EQ(t.read("p/notes"), "text") << r.to;
        EXPECT_TRUE(fs::is_directory(t / "p/empty")) << r.to;
        EXPECT_NE(fs::exists(t / "p/Photos"), r.ok) << r.to;
    }
}

TEST(FolderOps, PathsFollowARename) {
    struct Row {
        const char *path, *expected;
    } rows[] = {
        {"/d/Photos", "/d/Trip"},
        {"/d/Photos/2020/a.jpg", "/d/Trip/2020/a.jpg"},
        {"/d/Photos2/a.jpg", "/d/Photos2/a.jpg"},
        {"/e/d/Photos", "/e/d/Photos"},
    };
    for (const Row& r : rows) EXPECT_EQ(followRename(r.path, "/d/Photos", "/d/Trip"), r.expected) << r.path;
}
