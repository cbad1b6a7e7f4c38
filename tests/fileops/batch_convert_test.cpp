// The extended copy on worker threads: the same names, files and failures in the same order as
// one file at a time, no lost file when two runs share a folder, and a stop after the files in hand.
#include <gtest/gtest.h>

#include <thread>

#include "base/FileNames.h"
#include "fileops/BatchConvert.h"
#include "formats/Picture.h"
#include "imaging/Bitmap.h"
#include "tests/support/TempTree.h"
#include "tests/support/TestImages.h"

using namespace korvel;
namespace kt = korvel::testing;
using kt::TempTree;

namespace {

// Sources with clashing names, unreadable files and different sizes, in two folders.
std::vector<std::string> mixedSources(TempTree& src) {
    std::vector<std::string> files;
    for (int i = 0; i < 14; ++i) {
        const std::string folder = src / (i % 2 ? "one" : "two");
        std::filesystem::create_directories(folder);
        const std::string path = folder + "/" + (i % 3 ? "p" + std::to_string(i % 5) : std::string("a")) + ".bmp";
        if (i % 7 == 3) kt::writeFile(path, "not an image");
        else kt::saveBmp(kt::randomBitmap(PixelFormat::pf24bit, 20 + 7 * i, 11 + i, uint32_t(i)), path);
        files.push_back(path);
    }
    return files;
}

struct Outcome {
    std::string name, bytes;  // name in the destination, empty for a failure
    bool operator==(const Outcome&) const = default;
};

}  // namespace

TEST(BatchConvert, SameNamesFilesAndFailuresInListOrderAsOneAtATime) {
    for (OutputFormat format : {OutputFormat::Bmp, OutputFormat::Jpeg, OutputFormat::Png}) {
        TempTree src, seq, par;
        const std::vector<std::string> files = mixedSources(src);
        ExtendedCopyOptions o;
        o.format = format;
        o.sizeMode = SizeMode::Scale;
        o.percent = 60;
        for (TempTree* d : {&seq, &par}) kt::writeFile(*d / "a.png", "taken");

        std::vector<Outcome> want;
        TPicture picture;
        TBitmap output;
        for (const std::string& f : files) {
            try {
                const std::string w = ConvertOneFile(f, seq.dir() + "/", o, picture, output);
                want.push_back({extractFileName(w), kt::readFile(w)});
            } catch (const std::exception&) {
                want.push_back({});
            }
        }
        std::vector<Outcome> got;
        std::vector<size_t> order;
        ConvertBatch(files, par.dir() + "/", &o, 4, [&](const ConvertResult& r) {
            order.push_back(r.index);
            EXPECT_EQ(r.source, files[r.index]);
            EXPECT_NE(r.ok(), !r.error.empty());
            got.push_back(r.ok() ? Outcome{extractFileName(r.written), kt::readFile(r.written)} : Outcome{});
        });
        std::vector<size_t> listOrder(files.size());
        for (size_t i = 0; i < listOrder.size(); ++i) listOrder[i] = i;
        EXPECT_EQ(order, listOrder) << "format " << int(format);
        ASSERT_EQ(got.size(), want.size());
        for (size_t i = 0; i < want.size(); ++i) {
            EXPECT_EQ(got[i].name, want[i].name) << "file " << i << " format " << int(format);
            EXPECT_TRUE(got[i].bytes == want[i].bytes) << "file " << i << " format " << int(format);
        }
        EXPECT_EQ(par.count(), seq.count());
    }
}

TEST(BatchConvert, TwoRunsIntoOneFolderLeaveEveryOutput) {
    TempTree src, dst;
    std::vector<std::string> files;
    for (int i = 0; i < 12; ++i) {
        files.push_back(src / ("f" + std::to_string(i % 4) + "_" + std::to_string(i) + ".bmp"));
        kt::saveBmp(kt::gradientBitmap(30 + i, 20), files.back());
    }
    files.push_back(src / "f.bmp");
    kt::saveBmp(kt::gradientBitmap(9, 9), files.back());
    ExtendedCopyOptions o;
    std::vector<std::string> written[2];
    std::thread runs[2];
    for (int k = 0; k < 2; ++k)
        runs[k] = std::thread([&, k] {
            ConvertBatch(files, dst.dir() + "/", &o, 2, [&, k](const ConvertResult& r) {
                if (r.ok()) written[k].push_back(r.written);
            });
        });
    for (std::thread& t : runs) t.join();
    ASSERT_EQ(written[0].size(), files.size());
    ASSERT_EQ(written[1].size(), files.size());
    EXPECT_EQ(dst.count(), long(2 * files.size()));
    // Each run's copy of a file holds that file's pixels, whichever name it got.
    for (int k = 0; k < 2; ++k)
        for (size_t i = 0; i < files.size(); ++i)
            EXPECT_EQ(kt::pixelDifference(kt::loadBmp(written[k][i]), kt::loadBmp(files[i])), "")
                << written[k][i];
}

TEST(BatchConvert, StopFinishesTheFilesInHandAndNoMore) {
    TempTree src, dst;
    std::vector<std::string> files;
    for (int i = 0; i < 40; ++i) {
        files.push_back(src / ("s" + std::to_string(i) + ".bmp"));
        kt::saveBmp(kt::gradientBitmap(40, 40), files.back());
    }
    ExtendedCopyOptions o;
    std::atomic<bool> stop{false};
    std::vector<size_t> seen;
    const unsigned jobs = 3;
    ConvertBatch(files, dst.dir() + "/", &o, jobs, [&](const ConvertResult& r) {
        seen.push_back(r.index);
        EXPECT_TRUE(r.ok());
        stop = true;
    }, &stop);
    // The first result stops the run; at most the other workers' files were still in hand,
    // each taken before the stop and finished.
    ASSERT_GE(seen.size(), 1u);
    EXPECT_LE(seen.size(), size_t(2 * jobs));
    for (size_t i = 0; i < seen.size(); ++i) EXPECT_EQ(seen[i], i);
    EXPECT_EQ(dst.count(), long(seen.size()));
}

TEST(BatchConvert, UnusableSettingsFailEveryFileWithoutWriting) {
    TempTree src, dst;
    const std::vector<std::string> files = mixedSources(src);
    size_t failures = 0;
    ConvertBatch(files, dst.dir() + "/", nullptr, 2, [&](const ConvertResult& r) { failures += !r.ok(); });
    EXPECT_EQ(failures, files.size());
    EXPECT_EQ(dst.count(), 0L);
}
