// The "taken" sort: dates from EXIF, last-write times for the rest, ties by name, read lazily.
#include <gtest/gtest.h>

#include "base/FileNames.h"
#include "browse/FileSort.h"
#include "browse/FolderScan.h"
#include "browse/GridModel.h"
#include "browse/TakenTimes.h"
#include "tests/support/TakenSamples.h"
#include "tests/support/TempTree.h"

using namespace korvel;
using namespace korvel::testing;
using Names = std::vector<std::string>;

namespace {

Names namesOf(const FileList& list) {
    Names out;
    for (const FileEntry& e : list) out.push_back(extractFileName(e.path));
    return out;
}

// A folder of photos with and without dates. In UTC: c 09:00, a and b 10:00 on 2020-01-02;
// f at noon local on 2020-06-01 (no offset), d and e by their file times (2019 and 2021).
struct Photos {
    TempTree t;
    Photos() {
        writeFile(t / "b.jpg", jpegWithExif(exifTakenBlock("2020:01:02 10:00:00", "+00:00")));
        writeFile(t / "a.jpg", jpegWithExif(exifTakenBlock("2020:01:02 10:00:00", "+00:00", true)));
        writeFile(t / "c.JPEG", jpegWithExif(exifTakenBlock("2020:01:02 18:00:00", "+09:00")));
        t.write("d.png", "not a photo");
        writeFile(t / "e.jpg", jpegWithExif(exifTakenBlock("    :  :     :  :  ")));
        writeFile(t / "f.tif", exifTakenBlock("2020:06:01 12:00:00"));
        // Times that would put the photos in the opposite order, were they used.
        t.mtime("a.jpg", localTime(2030, 1, 1)), t.mtime("b.jpg", localTime(2029, 1, 1));
        t.mtime("c.JPEG", localTime(2031, 1, 1)), t.mtime("f.tif", localTime(2010, 1, 1));
        t.mtime("d.png", localTime(2019, 5, 5)), t.mtime("e.jpg", localTime(2021, 5, 5));
    }
    FileList list(int nameView) const {
        FileList l;
        ListOptions o;
        o.nameView = nameView;
        ListFolder(l, t.root(), ListMode::Replace, o);
        return l;
    }
};

}  // namespace

TEST(TakenSort, DatesThenFileTimesTiesByName) {
    Photos p;
    TakenTimes::shared().clear();
    const Names ascending = {"d.png", "c.JPEG", "a.jpg", "b.jpg", "f.tif", "e.jpg"};
    // Descending, a and b (one date) still go by name.
    const Names descending = {"e.jpg", "f.tif", "a.jpg", "b.jpg", "c.JPEG", "d.png"};
    for (const bool down : {false, true}) {
        FileList list = p.list(-1);
        sortFileList(list, SortKey::Taken, down);
        EXPECT_EQ(namesOf(list), down ? descending : ascending);
    }
    // The listing sorts by it too, as info mode 4.
    EXPECT_EQ(namesOf(p.list(4)), ascending);
}

TEST(TakenSort, ReadOnlyWhenAskedAndOnce) {
    Photos p;
    TakenTimes& times = TakenTimes::shared();
    times.clear();
    const size_t before = times.filesRead();
    for (int view : {0, 1, 2, 3, -1}) p.list(view);
    EXPECT_EQ(times.filesRead(), before) << "other sorts read no file";
    FileList list = p.list(4);
    EXPECT_EQ(times.filesRead(), before + 5) << "the five JPEG and TIFF files, not the PNG";
    sortFileList(list, SortKey::Taken, true);
    EXPECT_EQ(times.filesRead(), before + 5) << "known files are not read again";
    // A file written again is read again: c now has no date and goes by its file time.
    p.t.write("c.JPEG", "plain bytes now");
    p.t.mtime("c.JPEG", localTime(2000, 1, 1));
    list = p.list(4);
    EXPECT_EQ(times.filesRead(), before + 6);
    EXPECT_EQ(namesOf(list).front(), "c.JPEG");
}

TEST(TakenSort, CellsShowTheCameraClock) {
    Photos p;
    const FileList list = p.list(4);
    auto textOf = [&](const std::string& name) {
        const size_t i = size_t(list.indexOf(p.t / name));
        return cellInfoText(4, list.path(i), list.seek(i));
    };
    EXPECT_EQ(textOf("c.JPEG"), "20/01/02 18:00\n\r( c.JPEG )");
    EXPECT_EQ(textOf("d.png"), "19/05/05 12:00\n\r( d.png )");  // no date: the file's time
    // Renamed since the sort (the listing follows in place, unsorted): still the camera's date.
    const size_t c = size_t(list.indexOf(p.t / "c.JPEG"));
    p.t.write("renamed.jpg", p.t.read("c.JPEG"));
    EXPECT_EQ(cellInfoText(4, p.t / "renamed.jpg", list.seek(c)), "20/01/02 18:00\n\r( renamed.jpg )");
}
