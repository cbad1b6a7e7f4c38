// The listing alone, without a window: ListFolder of a folder sorted by name, best of RUNS, as
// wall-clock time and as the process's processor time (which load from other programs on the
// machine disturbs less).
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <clocale>
#include <cstdio>
#include <cstdlib>

#include "browse/FolderScan.h"

namespace {
double cpuMs() {
    rusage r{};
    getrusage(RUSAGE_SELF, &r);
    return (r.ru_utime.tv_sec + r.ru_stime.tv_sec) * 1e3 + (r.ru_utime.tv_usec + r.ru_stime.tv_usec) / 1e3;
}
}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: list_folder FOLDER [RUNS]\n");
        return 2;
    }
    std::setlocale(LC_ALL, "");
    const int runs = argc > 2 ? std::atoi(argv[2]) : 5;
    double wall = 1e9, cpu = 1e9;
    size_t files = 0;
    for (int i = 0; i < runs; ++i) {
        korvel::FileList list;
        const double c0 = cpuMs();
        const auto t0 = std::chrono::steady_clock::now();
        korvel::ListFolder(list, argv[1], korvel::ListMode::Replace, korvel::ListOptions{});
        wall = std::min(wall, std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
        cpu = std::min(cpu, cpuMs() - c0);
        files = list.size();
    }
    std::printf("listed %zu files: %.1f ms wall, %.1f ms processor (best of %d)\n", files, wall, cpu, runs);
    return 0;
}
