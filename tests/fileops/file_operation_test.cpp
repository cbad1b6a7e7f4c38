// Copy, move, delete, rename and folder operations through a file system that fails on demand:
// nothing lost, nothing half-written under a final name, nothing replaced unasked.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <random>
#include <regex>
#include <set>
#include <tuple>

#include "base/ErrorReason.h"
#include "base/Errors.h"
#include "fileops/FileIdentity.h"
#include "fileops/FolderOps.h"
#include "fileops/Rename.h"
#include "tests/support/FaultyFileSystem.h"

using namespace korvel;
using namespace korvel::testing;
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

// The names in dst, "|", the names in src: a bare name holds the source of that name; name=tag
// holds the source tag, kOld ("old"), kOther ("other") or anything else ("partial").
std::string state(const std::string& root) {
    std::string s;
    for (const char* folder : {"dst", "src"}) {
        for (const auto& [n, content] : folderContents(root + folder)) {
            std::string tag = content == kOld ? "old" : content == kOther ? "other" : "partial";
            for (const auto& [source, sourceContent] : kSources)
                if (content == sourceContent) tag = source;
            s += (tag == n ? n : n + "=" + tag) + " ";
        }
        if (*folder == 'd') s += "| ";
    }
    s.pop_back();
    return s;
}

using Names = std::vector<std::string>;

// Renames files (in t's root) serially and checks the plan made beforehand against the pass.
RenameCounts renameSerially(const TempTree& t, const Names& files, const SerialParams& p) {
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
    return c;
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
        const char* want;  // state() afterwards
        bool cancelled = false;
        Meddle meddle = {};
        std::function<bool(const FileOpProgress&)> goOn = {};
        const char* recorded = "a.jpg";  // the names done() lists for undo, each src/X now dst/X
    };
    const char* aOld = "a.jpg c.jpg=old | a.jpg b.jpg c.jpg";
    const Case cases[] = {
        {"copy, disk full inside b", false, skip, {{"copyRange", "src/b.jpg", ENOSPC, 2}}, aOld},
        {"copy, read error inside b (no copy_file_range)", false, skip,
         {{"copyRange", "", EXDEV}, {"read", "src/b.jpg", EIO, 1}}, aOld},
        {"copy, target folder refuses new files", false, ConflictAnswer::Replace, {{"open", "dst/", EACCES}},
         "c.jpg=old | a.jpg b.jpg c.jpg", false, {}, {}, ""},
        {"copy, b vanishes before it is opened", false, skip, {}, "a.jpg c.jpg=old | a.jpg c.jpg", false,
         [](const std::string& call, const std::string& p, const std::string& d) {
             if (call == "open" && p == d + "src/b.jpg") fs::remove(p);
         }},
        {"copy, b rewritten after it was listed: copied as it is when read", false, skip, {},
         "a.jpg b.jpg=other c.jpg=old | a.jpg b.jpg=other c.jpg", false,
         [](const std::string& call, const std::string& p, const std::string& d) {
             if (call == "open" && p == d + "src/b.jpg") writeFile(p, kOther);
         },
         {}, "a.jpg b.jpg"},
        {"copy, b appears in the target meanwhile, skipped", false, skip, {},
         "a.jpg b.jpg=other c.jpg=old | a.jpg b.jpg c.jpg", false,
         [](const std::string& call, const std::string& p, const std::string& d) {
             const bool ours = call == "renameNoReplace" && p.starts_with(d + "dst/.korvel-");
             if (ours && !fs::exists(d + "dst/b.jpg") && fs::exists(d + "dst/a.jpg"))
                 writeFile(d + "dst/b.jpg", kOther);
         }},
        {"move across file systems", true, skip, {exdev}, "a.jpg b.jpg c.jpg=old | c.jpg", false, {}, {}, "a.jpg b.jpg"},
        {"move across file systems, flush fails for b", true, skip, {exdev, {"fsync", "", EIO, 1}},
         "a.jpg c.jpg=old | b.jpg c.jpg"},
        {"move across file systems, a's source cannot be removed", true, skip,
         {exdev, {"unlink", "src/a.jpg", EACCES}}, "a.jpg b.jpg c.jpg=old | a.jpg c.jpg", false, {}, {}, "b.jpg"},
        {"copy, cancelled between files", false, skip, {}, aOld, true, {},
         [](const FileOpProgress& p) { return p.filesDone < 1; }},
        {"move across file systems, cancelled inside b", true, skip, {exdev}, "a.jpg c.jpg=old | b.jpg c.jpg",
         true, {}, [](const FileOpProgress& p) {
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
        EXPECT_EQ(state(d), c.want);
        std::string recorded;
        for (const StepEntry& e : op.done()) {
            const std::string name = e.target.substr(e.target.rfind('/') + 1);
            EXPECT_EQ(e.source, d + "src/" + name);
            EXPECT_EQ(e.target, d + "dst/" + name);
            EXPECT_TRUE(sameFile(f, e.target, e.left)) << name;
            recorded += (recorded.empty() ? "" : " ") + name;
        }
        EXPECT_EQ(recorded, c.recorded);
    }
}

// What a copy, move or delete records for undo: a folder it made as one item, the files it put
// into a folder that was there before one by one, a delete each item's place in the Trash.
TEST(FileOperation, RecordsWhereEachItemWent) {
    TempTree t;
    const std::string d = t.root();
    t.write("src/album/x.jpg", "x");
    t.write("src/album/sub/y.jpg", "y");
    t.write("src/one.jpg", "1");
    t.write("dst/merge/old.jpg", "old");
    t.write("src/merge/new.jpg", "new");
    ScriptedUser u;
    TFileOperation op(u);
    op.homeTrash = d + "trash";
    op.FromFiles = {d + "src/album", d + "src/one.jpg", d + "src/merge"};
    op.ToFiles = {d + "dst"};
    const auto recorded = [&] {
        std::vector<std::string> got;
        for (const StepEntry& e : op.done()) {
            got.push_back(e.source.substr(d.size()) + ">" + e.target.substr(d.size()));
            EXPECT_TRUE(sameFile(systemFileSystem(), e.target, e.left)) << e.target;
        }
        return got;
    };
    ASSERT_FALSE(op.Copy());
    EXPECT_EQ(recorded(), (std::vector<std::string>{"src/album>dst/album", "src/one.jpg>dst/one.jpg",
                                                    "src/merge/new.jpg>dst/merge/new.jpg"}));
    op.FromFiles = {d + "dst/one.jpg", d + "dst/album"};
    ASSERT_FALSE(op.Delete());
    EXPECT_EQ(recorded(),
              (std::vector<std::string>{"dst/one.jpg>trash/files/one.jpg", "dst/album>trash/files/album"}));
}

// A move to another file system removes a source only once its copy's name is on the disk: the
// new entry's folder (and a new folder's parent) is flushed first; a failed flush keeps the source.
// A failure names the user's file, never the temporary it was written to, with the system's reason.
TEST(FileOperation, MoveFlushesFirstAndFailuresNameTheUsersFile) {
    // What, a move, the file under src/ (its first part goes into dst/), the faults; the flushes,
    // folders made and removals in order, the listing afterwards, the report ("@" the tree's root).
    using Row = std::tuple<const char*, bool, std::string, std::vector<Fault>, const char*, const char*, const char*>;
    const Fault exdev{"renameNoReplace", "src/", EXDEV};
    const Row rows[] = {
        {"a folder moves", true, "p/b.jpg", {exdev},
         "mkdir dst/p, syncFolder dst/, fsync temp, syncFolder dst/p/, unlink src/p/b.jpg",
         "dst/ dst/p/ dst/p/b.jpg=ab src/", ""},
        {"the folder flush fails: the source stays", true, "a.jpg", {exdev, {"syncFolder", "dst/", EIO}},
         "fsync temp, syncFolder dst/", "dst/ dst/a.jpg=ab src/ src/a.jpg=ab",
         "Copied, but cannot remove the original \"@src/a.jpg\": Input/output error"},
        {"the new folder's parent cannot be flushed: nothing moves", true, "p/b.jpg",
         {exdev, {"syncFolder", "dst/", EIO}}, "mkdir dst/p, syncFolder dst/", "dst/ dst/p/ src/ src/p/ src/p/b.jpg=ab",
         "Cannot create \"@dst/p\": Input/output error"},
        {"quota reached at the flush of a move", true, "a.jpg", {exdev, {"fsync", "", EDQUOT}},
         "fsync temp, unlink temp", "dst/ src/ src/a.jpg=ab", "Cannot write \"@dst/a.jpg\": Disk quota exceeded"},
        {"disk full", false, "a.jpg", {{"copyRange", "src/", ENOSPC, 1}}, "unlink temp", "dst/ src/ src/a.jpg=ab",
         "Cannot write \"@dst/a.jpg\": No space left on device"},
        {"disk full, plain writes", false, "a.jpg", {{"copyRange", "", EXDEV}, {"write", "dst/", ENOSPC, 1}},
         "unlink temp", "dst/ src/ src/a.jpg=ab", "Cannot write \"@dst/a.jpg\": No space left on device"},
        {"read-only target folder", false, "a.jpg", {{"open", "dst/", EROFS}}, "", "dst/ src/ src/a.jpg=ab",
         "Cannot create \"@dst/a.jpg\": Read-only file system"},
    };
    for (const auto& [what, move, file, faults, wantCalls, after, error] : rows) {
        SCOPED_TRACE(what);
        TempTree t;
        const std::string d = t.root();
        t.write("src/" + file, "ab");
        t.folder("dst");
        std::string calls;
        FaultyFileSystem f;
        f.maxChunk = 1;  // two steps, so a fault can land after the first
        inject(f, d, faults, [&](const std::string& call, const std::string& p, const std::string&) {
            if (call != "fsync" && call != "syncFolder" && call != "unlink" && call != "mkdir") return;
            calls += (calls.empty() ? "" : ", ") + call + " " +
                     (p.find("/.korvel-") != std::string::npos ? "temp" : p.substr(d.size()));
        });
        ScriptedUser u;
        TFileOperation op(u, f);
        op.FromFiles = {d + "src/" + file.substr(0, file.find('/'))};
        op.ToFiles = {d + "dst"};
        EXPECT_FALSE(move ? op.Move() : op.Copy());
        EXPECT_EQ(calls, wantCalls);
        EXPECT_EQ(listing(t.dir()), after);
        EXPECT_EQ(u.errors.empty() ? "" : u.errors[0], std::regex_replace(error, std::regex("@"), d));
        // The text the window shows names the same file.
        for (const FileOpError& e : u.failures) EXPECT_TRUE(e.text().str().starts_with(e.path + " ")) << e.path;
    }
}

// Reasons the table has are its short texts; the others are the system's own.
TEST(ErrorReason, TableTextsElseTheSystemsOwn) {
    const std::pair<int, const char*> rows[] = {
        {ENOSPC, "空き容量が足りません"}, {EDQUOT, "空き容量が足りません"}, {EPERM, "アクセス権がありません"},
        {ENOENT, "ファイルが見つかりません"}, {ENOTCONN, nullptr}, {4095, nullptr}};
    for (const auto& [err, text] : rows) {
        EXPECT_EQ(errorReasonText(err) != nullptr, text != nullptr) << err;
        EXPECT_EQ(errorReason(err), text ? text : std::strerror(err)) << err;
    }
    // What a failure carries: its errno, a marked text filled in one pass, or its message.
    const TrText unknown{"Picture", "拡張子 .%1 の画像形式は処理できません", {"%2"}};
    EXPECT_EQ(reasonOf(EFileError("Cannot write", "/a/b.png", EROFS)).str(), "書き込みが禁止されています");
    EXPECT_EQ(reasonOf(EInvalidGraphic(unknown)).str(), "拡張子 .%2 の画像形式は処理できません");
    EXPECT_EQ(reasonOf(std::bad_alloc()).str(), "メモリが足りません");
    EXPECT_EQ(reasonOf(EInvalidGraphic("GIF error: bad")).str(), "GIF error: bad");
}

TEST(FileOperation, DeleteMovesToTheTrashOfTheItemsFileSystem) {
    const std::string uid = std::to_string(::geteuid()), own = "vol/.Trash-" + uid + "/files/a.jpg";
    struct Case {
        const char* name;
        std::string item;      // relative to the tree; vol/ is another file system
        std::string trash;     // where the item lands; "" stays, "gone" deleted for good
        std::string infoPath;  // the Path= value; a leading "/" stands for the tree's root
        std::vector<Fault> faults = {};
        size_t errors = 0;
        int permanent = 0;  // deleting for good: 1 asked and refused, 2 asked and agreed
        const char* taken = "";                   // an info file already in the home trash
        fs::perms dotTrash = fs::perms::unknown;  // of vol/.Trash; unknown: there is none
    };
    const Case cases[] = {
        {"home trash, name percent-encoded", "pics/写真 1.jpg", "home/Trash/files/写真 1.jpg",
         "/pics/%E5%86%99%E7%9C%9F%201.jpg"},
        {"home trash, the name is taken there", "pics/a.jpg", "home/Trash/files/a.jpg.2", "/pics/a.jpg", {},
         0, 0, "a.jpg.trashinfo"},
        {"another mount: its .Trash-UID, path from its top", "vol/sub/a.jpg", own, "sub/a.jpg"},
        {"another mount with a sticky .Trash", "vol/sub/a.jpg", "vol/.Trash/" + uid + "/files/a.jpg",
         "sub/a.jpg", {}, 0, 0, "", fs::perms::all | fs::perms::sticky_bit},
        // Without the sticky bit any user could take or replace what others put there.
        {"another mount with a .Trash not sticky: its .Trash-UID", "vol/sub/a.jpg", own, "sub/a.jpg", {}, 0,
         0, "", fs::perms::all},
        {"the move into the trash fails: item stays, no info left", "pics/a.jpg", "", "",
         {{"renameNoReplace", "", EACCES}}, 1},
        {"no usable trash, deleting for good refused", "pics/a.jpg", "", "", {{"mkdir", "", EROFS}}, 0, 1},
        {"no usable trash, deleting for good agreed", "pics/a.jpg", "gone", "", {{"mkdir", "", EROFS}}, 0, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempTree t;
        t.write(c.item, "photo");
        FaultyFileSystem f;
        inject(f, t.root(), c.faults);
        f.deviceOffset[t / "vol"] = 7;
        if (c.dotTrash != fs::perms::unknown) t.folder("vol/.Trash");
        if (c.dotTrash != fs::perms::unknown) fs::permissions(t / "vol/.Trash", c.dotTrash);
        if (*c.taken) t.write("home/Trash/info/" + std::string(c.taken), "taken");
        ScriptedUser u;
        u.permanent = c.permanent == 2;
        TFileOperation op(u, f);
        op.homeTrash = t / "home/Trash";
        op.FromFiles = {t / c.item};
        EXPECT_FALSE(op.Delete());
        EXPECT_EQ(fs::exists(t / c.item), c.trash.empty());
        EXPECT_EQ(std::pair(u.permanentAsked.size(), u.errors.size()),
                  std::pair(size_t(c.permanent > 0), c.errors));
        if (c.trash.empty() || c.trash == "gone") {
            EXPECT_TRUE(!fs::exists(t / "home/Trash/info") || fs::is_empty(t / "home/Trash/info"));
            continue;
        }
        EXPECT_EQ(t.read(c.trash), "photo");
        const fs::path trash = fs::path(t / c.trash).parent_path().parent_path();
        const fs::path info = trash / "info" / (fs::path(c.trash).filename().string() + ".trashinfo");
        const std::string wantPath = c.infoPath[0] == '/' ? t.dir() + c.infoPath : c.infoPath;
        EXPECT_TRUE(readFile(info).starts_with("[Trash Info]\nPath=" + wantPath + "\nDeletionDate=")) << info;
        EXPECT_EQ(fs::status(trash / "files").permissions() & fs::perms::all, fs::perms::owner_all);
    }
}

// Names of 247 to 255 bytes leave no room for ".trashinfo": they go in under a shorter name that
// keeps the extension, and the info file keeps the whole path, so a restore gives the name back.
TEST(FileOperation, LongNamesGoToTheTrashAndComeBackWhole) {
    TempTree t;
    ScriptedUser u;
    TFileOperation op(u);
    op.homeTrash = t / "Trash";
    std::map<std::string, std::string> pathOf;  // name -> its info file's Path line
    std::multiset<std::string> want, got;
    for (size_t size = 247; size <= 255; ++size) {
        // Three-byte characters after 0 to 2 ASCII bytes: every cut lands at another place in one,
        // and the names of one offset share their beginning, so their short names clash.
        std::string stem((size - 4) % 3, 'x'), encoded = stem;
        for (; stem.size() + 4 < size; encoded += "%E5%86%99") stem += "写";
        op.FromFiles.push_back(t.write("pics/" + stem + ".jpg", stem + ".jpg"));
        pathOf[stem + ".jpg"] = "Path=" + t.dir() + "/pics/" + encoded + ".jpg";
        want.insert(stem + ".jpg");
    }
    EXPECT_FALSE(op.Delete());
    for (const auto& e : fs::directory_iterator(t / "Trash/info")) {
        const std::string info = e.path().filename(), entry = info.substr(0, info.size() - 10);
        // The content is the original name: the entry and its info file belong together.
        const std::string name = t.read("Trash/files/" + entry);
        got.insert(name);
        EXPECT_NE(readFile(e.path()).find("\n" + pathOf[name] + "\n"), std::string::npos) << info;
        EXPECT_TRUE(info.size() <= 255 && entry.ends_with(".jpg")) << entry;
        const std::string stem = entry.substr(0, entry.find_last_of(entry == name ? '.' : '~'));
        EXPECT_TRUE(name.starts_with(stem) && (name[stem.size()] & 0xC0) != 0x80) << entry;
    }
    EXPECT_EQ(got, want);
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
        {"a user's .part file stays; our finished temporary survives a sweep until it has its name",
         "IMG_0001.part", false, 0, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempTree t;
        const std::string d = t.root();
        for (const auto& [n, s] : kSources) t.write("src/" + n, s);
        t.write("dst/" + c.leftover, "left");
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
        const std::string kept = c.kept ? c.leftover + "=partial " : "";
        EXPECT_EQ(state(d), kept + (c.sweepDuringRename ? "a.jpg b.jpg" : "a.jpg") + " | a.jpg b.jpg c.jpg");
    }
}

TEST(SerialPattern, ExactlyOnePlaceholder) {
    struct Case {
        const char* name;
        bool ok;
    } cases[] = {
        {"A\\B", true},   {"\\", true},       {"", false},          {"AB", false},
        {"A\\\\B", false}, {"\\A\\", false},  {"写真\\_夏", true},   {"ソ\\表", true},
        {"%s\\%d", true},  {"\xE3\\", true},  {"caf\xE9_\\", true},  // a stray byte never hides the "\"
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
        Names after;  // the name each file gets, in order
    } cases[] = {
        {"width 1 grows", {"a", "b", "c"}, "\\", 99, 1, ExtCase::Keep, {"99", "100", "101"}},
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
        std::map<std::string, std::string> want;
        for (size_t i = 0; i < c.files.size(); ++i) {
            t.write(c.files[i], c.files[i]);
            want[c.after[i]] = c.files[i];
        }
        const SerialParams p{*SerialPattern::parse(c.pattern), c.start, c.digits, c.ext};
        EXPECT_EQ(renameSerially(t, c.files, p).failed, 0);
        EXPECT_EQ(folderContents(t.dir()), want);
    }
}

TEST(RenamePlan, ClashesInsideTheBatchAndBadNames) {
    TempTree t;
    for (const char* f : {"a", "b", "c", "d"}) t.write(f, f);
    const RenamePlanner planner({t / "a", t / "b", t / "c", t / "d"});
    const RenamePlan plan = planner.plan({t / "x", t / "x", t / "c", t / "."});
    std::string flags;  // clash, taken on disk (b: a took x first), unchanged, bad name
    for (const PlanRow& r : plan.rows)
        flags += std::string(r.clash ? "c" : "") + (r.takenOnDisk ? "t" : "") + (r.unchanged ? "u" : "") +
                 (r.badName ? "b" : "") + " ";
    EXPECT_EQ(flags, "c ct u b ");
    EXPECT_EQ(std::pair(plan.failing, plan.clashes), std::pair(2, 2));
    EXPECT_EQ(folderContents(t.dir()).size(), 4u);  // planning wrote nothing
}

// A new name is refused before anything moves when it would leave the folder or keep only the
// extension, through the single rename and through a serial pattern alike.
TEST(RenameInPlace, NamesThatLeaveTheFolderOrKeepOnlyTheExtensionAreRefused) {
    const std::string bad = "名前が正しくありません", bare = "拡張子の前にファイル名がありません";
    const std::tuple<const char*, const char*, std::string, const char*> rows[] = {  // from, to, reason, after
        {"a.jpg", "sub/a.jpg", bad, ".png a.jpg sub/"},
        {"a.jpg", "sub/", bad, ".png a.jpg sub/"},
        {"a.jpg", ".jpg", bare, ".png a.jpg sub/"},
        {".png", ".PNG", "", ".PNG a.jpg sub/"},  // it was no more than that already
        {"a.jpg", "b.jpg", "", ".png b.jpg sub/"},
    };
    for (const auto& [from, to, reason, after] : rows) {
        SCOPED_TRACE(to);
        TempTree t;
        t.write("a.jpg", "a"), t.write(".png", "p"), t.folder("sub");
        EXPECT_EQ(renameInPlace(systemFileSystem(), t / from, t / to).str(), reason);
        EXPECT_EQ(listing(t.dir(), false), after);
    }
    TempTree t;
    t.write("a.jpg", "a"), t.folder("sub");
    const SerialParams p{*SerialPattern::parse("sub/\\"), 1, 1, ExtCase::Keep};
    EXPECT_EQ(renameSerially(t, {"a.jpg"}, p).failed, 1);
    EXPECT_EQ(listing(t.dir(), false), "a.jpg sub/");
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
        const SerialParams p{*SerialPattern::parse("\\"), start, 1, ExtCase::Keep};
        const RenameCounts counts = renameSerially(t, files, p);
        EXPECT_EQ(contentSet(t.dir()), before);
        EXPECT_EQ(counts.done + counts.failed, 1000);
        EXPECT_TRUE(start != 0 || counts.failed == 0) << "a shift down needs no retry";
        EXPECT_TRUE(start != 500 || counts.failed > 0) << "a shift up must meet names still taken";
    }
}

TEST(RenamePass, SystemErrorsAreReportedAndThePassGoesOn) {
    TempTree t;
    for (const char* f : {"a", "b"}) t.write(f, f);
    FaultyFileSystem faulty;
    inject(faulty, t / "a", {{"renameNoReplace", "", EIO}});
    std::vector<int> errors;
    const RenameCounts c = runRenamePass({{t / "a", t / "x"}, {t / "b", t / "y"}},
                                         [&](const RenameStep& s) { return errors.push_back(s.error), true; },
                                         faulty);
    EXPECT_EQ(errors, (std::vector<int>{EIO, 0}));
    EXPECT_EQ(c.failed, 1);
    EXPECT_EQ(folderContents(t.dir()), (std::map<std::string, std::string>{{"a", "a"}, {"y", "b"}}));
}

// Folders made or renamed inside p/; nothing there is replaced or lost on the way.
TEST(FolderOps, CreateNestedAndRenameNeverReplace) {
    const char* before = "Photos/ Photos/a.jpg=photo empty/ notes=text";
    struct Row {
        bool rename;             // p/Photos to p/arg; else arg made inside p/
        const char* arg;
        const char* made;        // the folder made or renamed to, inside p/; "" none
        const char* after = "";  // what p/ holds afterwards; "" as before
        int fault = 0;           // errno for every mkdir and rename
    } rows[] = {
        // An existing level is fine.
        {false, "Photos/c", "Photos/c", "Photos/ Photos/a.jpg=photo Photos/c/ empty/ notes=text"},
        {false, "d//e/", "d/e", "Photos/ Photos/a.jpg=photo d/ d/e/ empty/ notes=text"},
        {false, "x/./y", ""},
        {false, "notes/z", ""},  // a file stands where a level should go
        {false, "denied", "", "", EACCES},
        {false, "", ""},
        {true, "Trip", "Trip", "Trip/ Trip/a.jpg=photo empty/ notes=text"},
        {true, "empty", ""},  // an empty folder would be replaced by a plain rename
        {true, "Busy", "", "", EBUSY},
    };
    for (const Row& r : rows) {
        TempTree t;
        const std::string p = t / "p/";
        t.write("p/Photos/a.jpg", "photo");
        t.folder("p/empty");
        t.write("p/notes", "text");
        FaultyFileSystem ffs;
        inject(ffs, "", {{"mkdir", "", r.fault}, {"renameNoReplace", "", r.fault}});
        const FolderOps ops(ffs);
        const bool renamed = r.rename && ops.renameFolder(p + "Photos", p + r.arg);
        const std::string made = r.rename ? (renamed ? p + r.arg : "") : ops.createNested(p, r.arg);
        EXPECT_EQ(made, *r.made ? p + r.made : "") << r.arg;
        EXPECT_EQ(listing(p), *r.after ? r.after : before) << r.arg;
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

TEST(FolderOps, PathsFollowARename) {
    const std::pair<const char*, const char*> rows[] = {{"/d/Photos", "/d/Trip"},
        {"/d/Photos/2020/a.jpg", "/d/Trip/2020/a.jpg"}, {"/d/Photos2/a.jpg", "/d/Photos2/a.jpg"},
        {"/e/d/Photos", "/e/d/Photos"}};
    for (const auto& [path, want] : rows) EXPECT_EQ(followRename(path, "/d/Photos", "/d/Trip"), want) << path;
}
