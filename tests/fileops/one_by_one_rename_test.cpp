// The one-by-one rename: each answer renames, skips or stops in order, on the disk as asked,
// and a failure is reported for its file without touching any other.
#include <gtest/gtest.h>

#include "fileops/OneByOneRename.h"
#include "tests/support/FaultyFileSystem.h"

using namespace korvel;
using namespace korvel::testing;

namespace {
std::string upper(std::string s) {
    for (char& c : s) c = char(std::toupper((unsigned char)c));
    return s;
}
}  // namespace

TEST(OneByOneRename, AnswersInOrder) {
    // Answers: "n:<name>" OK with a name, "s" skip, "x" stop, "A" all in upper case.
    const struct {
        const char* name;
        std::vector<const char*> answers;
        const char* failing;  // a file whose rename the disk refuses, or ""
        const char *onDisk, *results;
    } rows[] = {
        {"each renamed", {"n:x.bmp", "n:y.bmp", "n:z.bmp"}, "", "sub/ sub/z.bmp x.bmp y.bmp", "+x.bmp +y.bmp +sub/z.bmp"},
        {"skip, then stop", {"s", "n:y.bmp", "x"}, "", "a.bmp sub/ sub/c.bmp y.bmp", "+y.bmp"},
        {"all OK from the second", {"s", "A"}, "", "B.BMP a.bmp sub/ sub/C.BMP", "+B.BMP +sub/C.BMP"},
        {"a failure goes on", {"n:x.bmp", "A"}, "b.bmp", "b.bmp sub/ sub/C.BMP x.bmp", "+x.bmp -B.BMP +sub/C.BMP"},
        {"a taken name fails", {"n:b.bmp", "s", "s"}, "", "a.bmp b.bmp sub/ sub/c.bmp", "-b.bmp"},
        {"a name into another folder", {"n:../x.bmp", "x"}, "", "a.bmp b.bmp sub/ sub/c.bmp", "-../x.bmp"},
    };
    for (const auto& r : rows) {
        TempTree t;
        for (const char* name : {"a.bmp", "b.bmp", "sub/c.bmp"}) t.file(name, 0);
        FaultyFileSystem fs;
        const std::string failing = t / r.failing;
        fs.fault = [&](const std::string& call, const std::string& path) {
            return *r.failing && call == "renameNoReplace" && path == failing ? EACCES : 0;
        };
        OneByOneRename loop({t / "a.bmp", t / "b.bmp", t / "sub/c.bmp"}, fs);
        std::string results;
        auto note = [&](const RenameResult& res) {
            results += (results.empty() ? "" : " ") + std::string(res.done() ? "+" : "-") + res.to.substr(t.root().size());
        };
        for (const std::string a : r.answers) {
            ASSERT_FALSE(loop.finished()) << r.name;
            if (a.starts_with("n:")) note(loop.rename(a.substr(2)));
            else if (a == "s") loop.skip();
            else if (a == "x") loop.stop();
            else for (const RenameResult& res : loop.renameAll(upper)) note(res);
        }
        EXPECT_TRUE(loop.finished()) << r.name;
        EXPECT_EQ(listing(t.dir(), false), r.onDisk) << r.name;
        EXPECT_EQ(results, r.results) << r.name;
    }
}
