// Date tokens of the serial rename: what they expand to, which are refused, and the planner's
// clashes and unreadable files.
#include <gtest/gtest.h>

#include <tuple>

#include "base/FileNames.h"
#include "fileops/Rename.h"
#include "fileops/RenameTokens.h"
#include "tests/support/FaultyFileSystem.h"
#include "tests/support/TakenSamples.h"
#include "tests/support/TempTree.h"

using namespace korvel;
using namespace korvel::testing;
using Names = std::vector<std::string>;

namespace {

// a.jpg taken 2021-03-04 05:06:07 (+09:00, which no name shows), b.jpg taken at the same second,
// c.png without a date; every file last written 2022-11-12 13:14:15 local.
struct Files {
    TempTree t;
    Names paths;
    Files() {
        paths = {t / "a.jpg", t / "b.jpg", t.write("c.png", "png")};
        writeFile(paths[0], jpegWithExif(exifTakenBlock("2021:03:04 05:06:07", "+09:00")));
        writeFile(paths[1], jpegWithExif(exifTakenBlock("2021:03:04 05:06:07", "", true)));
        for (const char* f : {"a.jpg", "b.jpg", "c.png"}) t.mtime(f, localTime(2022, 11, 12, 13, 14, 15));
    }
};

Names newNames(const RenamePlan& plan) {
    Names out;
    for (const PlanRow& r : plan.rows) out.push_back(extractFileName(r.newPath));
    return out;
}

}  // namespace

TEST(DateTokens, PatternsAndNames) {
    Files f;
    struct Case {
        const char* pattern;
        Names want;
        int clashes = 0, failing = 0;  // the second of a clash finds its name taken
    };
    const Case cases[] = {
        {"{taken:yyyyMMdd_HHmmss}", {"20210304_050607.jpg", "20210304_050607.jpg", "20221112_131415.png"}, 2, 1},
        {"{taken:yyyyMMdd}_\\", {"20210304_01.jpg", "20210304_02.jpg", "20221112_03.png"}},
        {"\\ {mtime:yy-MM-dd HH.mm.ss}", {"01 22-11-12 13.14.15.jpg", "02 22-11-12 13.14.15.jpg", "03 22-11-12 13.14.15.png"}},
        {"{taken:yyyy}{mtime:yyyy}\\", {"2021202201.jpg", "2021202202.jpg", "2022202203.png"}},
        {"{when:yyyy}\\", {"{when:yyyy}01.jpg", "{when:yyyy}02.jpg", "{when:yyyy}03.png"}},  // not a token
    };
    const RenamePlanner planner(f.paths);
    for (const Case& c : cases) {
        const auto pattern = SerialPattern::parse(c.pattern);
        ASSERT_TRUE(pattern) << c.pattern;
        const RenamePlan plan = planner.planSerial({*pattern, 1, 2, ExtCase::Keep});
        EXPECT_EQ(std::tuple(newNames(plan), plan.clashes, plan.failing), std::tuple(c.want, c.clashes, c.failing))
            << c.pattern;
    }
    // Two places for the number, a letter that is no field, short or open tokens, a folder, the
    // number's place inside a token, neither a number nor a date.
    for (const char* refused : {"{taken:yyyy}\\\\", "{taken:yyyyMMddTHH}", "{taken:yyy}", "{taken:}", "{taken:yyyy",
                                "{mtime:yyyy/MM}", "{taken:\\}", "plain"})
        EXPECT_FALSE(SerialPattern::parse(refused)) << refused;
}

TEST(DateTokens, UnreadableFilesKeepTheirNames) {
    Files f;
    FaultyFileSystem fs;
    inject(fs, f.t.root(), {{"read", "a.jpg", EIO}, {"open", "c.png", EACCES}});
    const RenamePlanner planner(f.paths, fs);
    // A pattern without dates reads nothing, so the faults change nothing.
    RenamePlan plan = planner.planSerial({*SerialPattern::parse("n\\"), 1, 1, ExtCase::Keep});
    EXPECT_EQ(plan.failing, 0);
    plan = planner.planSerial({*SerialPattern::parse("{taken:yyyyMMdd}"), 1, 1, ExtCase::Keep});
    EXPECT_EQ(newNames(plan), (Names{"a.jpg", "20210304.jpg", "c.png"}));
    EXPECT_EQ(plan.failing, 2);
    for (size_t i : {0, 2}) EXPECT_TRUE(plan.rows[i].noDate && plan.rows[i].fails()) << i;
    EXPECT_FALSE(plan.rows[1].fails());
}
