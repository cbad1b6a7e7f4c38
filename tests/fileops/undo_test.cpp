// Undo and redo of the steps the windows make through the core's jobs (folders made and renamed,
// a serial rename pass, an extended copy, a move to another file system, a copy and a delete), on
// real files; and an undo cut short by a failing disk or journal, finished by running it again.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <sstream>

#include "fileops/FolderOps.h"
#include "fileops/Jobs.h"
#include "fileops/UndoRedo.h"
#include "imaging/Bitmap.h"
#include "tests/support/FaultyFileSystem.h"
#include "tests/support/TestImages.h"
#include "tests/support/TreeState.h"

using namespace korvel;
using namespace korvel::testing;
namespace fs = std::filesystem;

namespace {

const char* const kWhy[] = {"Changed", "Taken", "Gone", "NotEmpty", "NoTrash", "Failed"};

// A temporary folder on another file system than the temporary tree, when there is one.
struct OtherDevice {
    std::string dir;
    explicit OtherDevice(const TempTree& t) {
        struct stat a, b;
        if (::stat("/dev/shm", &b) != 0 || ::stat(t.dir().c_str(), &a) != 0 || a.st_dev == b.st_dev) return;
        dir = "/dev/shm/korvel-undo-" + std::to_string(::getpid());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    ~OtherDevice() {
        std::error_code ec;
        if (!dir.empty()) fs::remove_all(dir, ec);
    }
};

// What the last undo or redo left alone: "Why:path" with the roots taken off, in order.
std::string leftText(const UndoJob& job, const TempTree& t, const std::string& other) {
    std::string s;
    for (const LeftAlone& l : job.leftAlone()) {
        std::string path = l.path;
        if (path.starts_with(t.root())) path.erase(0, t.root().size());
        else if (!other.empty() && path.starts_with(other + "/")) path.replace(0, other.size() + 1, "shm/");
        s += (s.empty() ? "" : " ") + std::string(kWhy[size_t(l.why)]) + ":" + path;
    }
    return s;
}

// The step a row's "op" makes, through the core as the window calls it.
void operate(const std::string& kind, const TempTree& t, const std::string& other) {
    // The delete asks first, as the window does; yes.
    JobControl* self = nullptr;
    JobControl control({{}, [&self](const JobQuestion&) { self->answer({.yes = true}); }});
    self = &control;
    if (kind == "folder create") {
        ASSERT_EQ(FolderOps().createNested(t.root(), "x/y"), t / "x/y");
    } else if (kind == "folder rename") {
        ASSERT_TRUE(FolderOps().renameFolder(t / "src", t / "pics"));
    } else if (kind == "serial rename") {
        SerialRenameJob({{t / "src/a.jpg", t / "src/n1.jpg"}, {t / "src/b.jpg", t / "src/n2.jpg"}}).run(control);
    } else if (kind == "extended copy") {
        t.folder("out");
        ExtendedCopyJob({t / "src/a.bmp", t / "src/b.bmp"}, t / "out/", ExtendedCopyOptions{}, 0).run(control);
    } else if (kind == "cross-device move") {
        FileOperationJob(FileCommand::Move, {t / "src/a.jpg", t / "src/b.jpg"}, other).run(control);
    } else {
        t.folder("dst");
        const FileCommand command = kind == "copy" ? FileCommand::Copy : FileCommand::Delete;
        FileOperationJob job(command, {t / "src/a.jpg", t / "src/b.jpg"}, t / "dst");
        job.homeTrash = t / "data/Trash";
        job.run(control);
    }
    ASSERT_TRUE(control.failures().empty());
}

}  // namespace

// Each row runs a script: "op" makes the step, "undo"/"redo" run a job, "=path=bytes" writes a
// file, "+path" makes a folder, "path>path" renames. The last job leaves left alone and the
// step marked undone or not as its direction says.
TEST(Undo, WindowStepsUndoneAndRedone) {
    const struct {
        const char* kind;
        const char* script;
        std::string after;
        std::string left = "";
    } rows[] = {
        {"folder create", "op undo", "src/"},
        {"folder create", "op +x/y/z undo", "src/ x/y/z/", "NotEmpty:x/y NotEmpty:x"},
        {"folder create", "op undo redo", "src/ x/y/"},
        {"folder rename", "op undo", "src/a.jpg=A src/b.jpg=BB"},
        {"folder rename", "op pics>old +pics undo", "old/a.jpg=A old/b.jpg=BB pics/", "Changed:pics"},
        {"folder rename", "op +src undo", "pics/a.jpg=A pics/b.jpg=BB src/", "Taken:src"},
        {"folder rename", "op undo redo", "pics/a.jpg=A pics/b.jpg=BB"},
        {"serial rename", "op undo", "src/a.jpg=A src/b.jpg=BB"},
        {"serial rename", "op =src/n2.jpg=C undo", "src/a.jpg=A src/n2.jpg=C", "Changed:src/n2.jpg"},
        {"serial rename", "op =src/b.jpg=new undo", "src/a.jpg=A src/b.jpg=new src/n2.jpg=BB", "Taken:src/b.jpg"},
        {"serial rename", "op undo redo", "src/n1.jpg=A src/n2.jpg=BB"},
        // The copies are 1 x 1 and 2 x 2 24-bit bitmaps, like their sources.
        {"extended copy", "op undo", "I/a.bmp I/b.bmp T/a.bmp=#58 T/b.bmp=#70 out/ src/a.bmp=#58 src/b.bmp=#70"},
        {"extended copy", "op =out/a.bmp=C undo", "I/b.bmp T/b.bmp=#70 out/a.bmp=C src/a.bmp=#58 src/b.bmp=#70",
         "Changed:out/a.bmp"},
        {"extended copy", "op undo =out/b.bmp=new redo",
         "I/b.bmp T/b.bmp=#70 out/a.bmp=#58 out/b.bmp=new src/a.bmp=#58 src/b.bmp=#70", "Taken:out/b.bmp"},
        {"extended copy", "op undo redo", "out/a.bmp=#58 out/b.bmp=#70 src/a.bmp=#58 src/b.bmp=#70"},
        {"cross-device move", "op undo", "src/a.jpg=A src/b.jpg=BB"},
        {"cross-device move", "op =shm/a.jpg=C undo", "shm/a.jpg=C src/b.jpg=BB", "Changed:shm/a.jpg"},
        {"cross-device move", "op =src/a.jpg=new undo", "shm/a.jpg=A src/a.jpg=new src/b.jpg=BB", "Taken:src/a.jpg"},
        {"cross-device move", "op undo redo", "shm/a.jpg=A shm/b.jpg=BB src/"},
        {"copy", "op undo", "I/a.jpg I/b.jpg T/a.jpg=A T/b.jpg=BB dst/ src/a.jpg=A src/b.jpg=BB"},
        {"trash", "op undo", "dst/ src/a.jpg=A src/b.jpg=BB"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.kind) + ": " + row.script);
        TempTree t;
        OtherDevice other(t);
        if (std::string_view(row.kind) == "cross-device move" && other.dir.empty()) {
            std::printf("no second file system: %s skipped\n", row.script);
            continue;
        }
        ScopedEnv state_("KORVEL_STATE_DIR", t / "state/");
        t.write("src/a.jpg", "A");
        t.write("src/b.jpg", "BB");
        saveBmp(TBitmap(1, 1, PixelFormat::pf24bit), t / "src/a.bmp");
        saveBmp(TBitmap(2, 2, PixelFormat::pf24bit), t / "src/b.bmp");
        const std::string kind = row.kind;
        if (kind != "extended copy") fs::remove(t / "src/a.bmp"), fs::remove(t / "src/b.bmp");
        if (kind == "folder create" || kind == "extended copy") fs::remove(t / "src/a.jpg"), fs::remove(t / "src/b.jpg");
        const auto at = [&](std::string p) { return p.starts_with("shm/") ? other.dir + p.substr(3) : t / p; };
        std::istringstream words(row.script);
        for (std::string w; words >> w;) {
            if (w == "op") {
                operate(row.kind, t, other.dir);
            } else if (w == "undo" || w == "redo") {
                const bool undo = w == "undo";
                UndoJob job(undo ? UndoDirection::Undo : UndoDirection::Redo, 1, t / "state/journal");
                job.homeTrash = t / "data/Trash";
                JobControl control({});
                job.run(control);
                EXPECT_EQ(job.journalError(), 0);
                ASSERT_EQ(job.worked().size(), 1u) << w;
                EXPECT_EQ(job.worked()[0].undone, undo) << w;
                EXPECT_EQ(leftText(job, t, other.dir), words.peek() == EOF ? row.left : "") << w;
            } else if (w[0] == '=') {
                const size_t eq = w.find('=', 1);
                writeFile(at(w.substr(1, eq - 1)), w.substr(eq + 1));
            } else if (w[0] == '+') {
                fs::create_directories(at(w.substr(1)));
            } else {
                const size_t gt = w.find('>');
                fs::rename(at(w.substr(0, gt)), at(w.substr(gt + 1)));
            }
        }
        EXPECT_EQ(treeState(t.dir(), other.dir), row.after);
    }
}

// An undo that a failing disk or journal cuts short leaves its step not undone, with each item
// where it went; the next undo finishes it and loses nothing.
TEST(Undo, CutShortThenFinished) {
    const struct {
        const char* name;
        Fault fault;
        std::string left;
        int journalError = 0;
    } rows[] = {
        {"a rename fails", {"renameNoReplace", "dst/b.jpg", EIO}, "Failed:dst/b.jpg"},
        // The move back goes through a copy, which the disk cuts off.
        {"another file system, the disk full", {"renameNoReplace", "dst/b.jpg", EXDEV}, "Failed:src/b.jpg"},
        {"the journal cannot be flushed", {"fsync", "state/journal", EIO}, "", EIO},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        TempTree t;
        ScopedEnv state_("KORVEL_STATE_DIR", t / "state/");
        for (const char* name : {"a.jpg", "b.jpg", "c.jpg"}) t.write(std::string("src/") + name, name);
        t.folder("dst");
        JobControl control({});
        FileOperationJob(FileCommand::Move, {t / "src/a.jpg", t / "src/b.jpg", t / "src/c.jpg"}, t / "dst").run(control);
        FaultyFileSystem faulty;
        std::vector<Fault> faults = {row.fault};
        if (row.fault.err == EXDEV) faults.push_back({"copyRange", "dst/b.jpg", ENOSPC});
        inject(faulty, t.root(), faults);
        UndoJob cut(UndoDirection::Undo, 1, t / "state/journal", faulty);
        cut.run(control);
        EXPECT_EQ(cut.journalError(), row.journalError);
        ASSERT_EQ(cut.worked().size(), 1u);
        EXPECT_EQ(leftText(cut, t, ""), row.left);
        const std::string half = treeState(t.dir());
        EXPECT_TRUE(half == "dst/b.jpg=b.jpg src/a.jpg=a.jpg src/c.jpg=c.jpg" ||
                    (row.journalError && half == "dst/ src/a.jpg=a.jpg src/b.jpg=b.jpg src/c.jpg=c.jpg"))
            << half;

        // The step was left not undone: the next undo takes it again.
        UndoJob again(UndoDirection::Undo, 1, t / "state/journal");
        again.run(control);
        ASSERT_EQ(again.worked().size(), 1u);
        EXPECT_TRUE(again.worked()[0].undone);
        EXPECT_EQ(leftText(again, t, ""), "");
        EXPECT_EQ(treeState(t.dir()), "dst/ src/a.jpg=a.jpg src/b.jpg=b.jpg src/c.jpg=c.jpg");
        Journal journal(t / "state/journal");
        journal.load();
        ASSERT_EQ(journal.steps().size(), 1u);
        EXPECT_TRUE(journal.steps()[0].undone);
    }
}
