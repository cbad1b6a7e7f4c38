// Undo against the operation it undoes, in one run on one folder, with the core alone:
//   a move of FILES files to another folder of the same file system, then its undo;
//   a delete of FILES files to the Trash, then its undo.
// Each operation is timed with the recording of its step, as the window and korvel-tool run it;
// each undo as a whole job (holding the journal, checking every file, recording where each went).
// RUNS rounds; prints the median of each and the ratio undo/operation.
//   undo_bench [--files N] [--runs R] [DIR]   (DIR default: a new folder in the temporary folder)
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "fileops/FileOperation.h"
#include "fileops/UndoRedo.h"

using namespace korvel;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

struct Quiet : FileOpUser {
    ConflictAnswer askReplace(const std::string&, const std::string&) override { return ConflictAnswer::Skip; }
    ConflictAnswer askCopyOntoItself(const std::string&) override { return ConflictAnswer::Skip; }
    ErrorAnswer reportError(const FileOpError& e) override {
        std::fprintf(stderr, "%s\n", e.message().c_str());
        return ErrorAnswer::Skip;
    }
    bool confirmPermanentDelete(const std::string&) override { return false; }
};

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

double cpuMs() {
    timespec ts{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}

struct Times {
    std::vector<double> wall, cpu;
};

// Wall-clock and CPU time of f; on a busy machine the CPU time says more.
template <typename F>
void timed(Times& into, F f) {
    ::sync();  // the previous part's write-back does not land in this one
    const auto start = Clock::now();
    const double cpu = cpuMs();
    f();
    into.cpu.push_back(cpuMs() - cpu);
    into.wall.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
}

void report(const char* name, const Times& op, const Times& undo) {
    std::printf("%-13s wall %8.1f  undo %8.1f  undo/operation %5.2f    CPU %8.1f  undo %8.1f  undo/operation %5.2f\n",
                name, median(op.wall), median(undo.wall), median(undo.wall) / median(op.wall), median(op.cpu),
                median(undo.cpu), median(undo.cpu) / median(op.cpu));
}

void require(bool ok, const char* what) {
    if (ok) return;
    std::fprintf(stderr, "undo_bench: %s\n", what);
    std::exit(1);
}

long count(const std::string& dir) {
    return long(std::distance(fs::directory_iterator(dir), fs::directory_iterator()));
}

}  // namespace

int main(int argc, char** argv) {
    int files = 1000, runs = 7;
    std::string dir;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--files") && i + 1 < argc) files = std::atoi(argv[++i]);
        else if (!std::strcmp(argv[i], "--runs") && i + 1 < argc) runs = std::atoi(argv[++i]);
        else dir = argv[i];
    }
    if (dir.empty()) dir = (fs::temp_directory_path() / ("korvel-undo-bench-" + std::to_string(::getpid()))).string();
    fs::remove_all(dir);
    const std::string src = dir + "/src/", dst = dir + "/dst/", trash = dir + "/Trash", journal = dir + "/state/journal";
    fs::create_directories(src);
    fs::create_directories(dst);
    std::vector<std::string> paths;
    const std::string bytes(4096, 'k');
    for (int i = 0; i < files; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "IMG_%05d.jpg", i);
        paths.push_back(src + name);
        std::FILE* f = std::fopen(paths.back().c_str(), "wb");
        require(f && std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size() && std::fclose(f) == 0, "no input");
    }

    Quiet user;
    Times move, moveUndo, del, delUndo;
    const auto undo = [&] {
        UndoJob job(UndoDirection::Undo, 1, journal);
        job.homeTrash = trash;
        JobControl control({});
        job.run(control);
        require(job.leftAlone().empty() && job.journalError() == 0 && job.worked().size() == 1, "undo failed");
    };
    for (int r = 0; r < runs; ++r) {
        timed(move, [&] {
            TFileOperation op(user);
            op.FromFiles = paths;
            op.ToFiles = {dst};
            op.Move();
            require(recordStep(StepKind::Move, op.done(), systemFileSystem(), journal) == 0, "move not recorded");
        });
        require(count(dst) == files && count(src) == 0, "move incomplete");
        timed(moveUndo, undo);
        require(count(src) == files && count(dst) == 0, "move undo incomplete");

        timed(del, [&] {
            TFileOperation op(user);
            op.homeTrash = trash;
            op.FromFiles = paths;
            op.Delete();
            require(recordStep(StepKind::TrashDelete, op.done(), systemFileSystem(), journal) == 0,
                    "delete not recorded");
        });
        require(count(src) == 0 && count(trash + "/files") == files, "delete incomplete");
        timed(delUndo, undo);
        require(count(src) == files && count(trash + "/files") == 0 && count(trash + "/info") == 0,
                "delete undo incomplete");
    }
    std::printf("%d files, %d runs, median ms\n", files, runs);
    report("move", move, moveUndo);
    report("Trash delete", del, delUndo);
    fs::remove_all(dir);
    return 0;
}
