#include <gtest/gtest.h>

#include "browse/Drives.h"
#include "tests/support/TempTree.h"

using namespace korvel;

TEST(Drives, MountTableBecomesDriveList) {
    const std::string mounts =
        "proc /proc proc rw 0 0\n"
        "/dev/vda1 / ext4 rw 0 0\n"
        "tmpfs /run tmpfs rw 0 0\n"
        "/dev/sdb1 /media/u/USB\\040STICK vfat rw 0 0\n"
        "/dev/loop3 /snap/core/1 squashfs ro 0 0\n"
        "server:/export /mnt/nfs nfs4 rw 0 0\n"
        "/dev/sdc1 /data ext4 rw 0 0\n"
        "tmpfs /data tmpfs rw 0 0\n"  // a pseudo mount over /data hides it
        "overlay /var/lib/docker/x overlay rw 0 0\n"
        "garbage\n";
    auto labels = [](const std::string& dev) { return std::string(dev == "/dev/sdb1" ? "USB STICK" : ""); };
    std::vector<DriveEntry> d = listDrives(mounts, "/home/u", labels);
    const std::pair<std::string, std::string> want[] = {
        {"/home/u/", "ホーム (/home/u)"},
        {"/", "(/)"},
        {"/media/u/USB STICK/", "USB STICK (/media/u/USB STICK)"},
        {"/mnt/nfs/", "(/mnt/nfs)"}};
    ASSERT_EQ(d.size(), std::size(want));
    for (size_t i = 0; i < d.size(); ++i) EXPECT_EQ(std::pair(d[i].path, d[i].caption), want[i]);
    // Root is there even when it is an overlay (containers).
    EXPECT_EQ(listDrives("overlay / overlay rw 0 0\n", "", labels).size(), 1u);
}

TEST(Drives, RecycleBinRules) {
    struct Row {
        const char* path;
        bool isBin, inside, passes;
    } rows[] = {
        {"/home/u/.local/share/Trash/files/", true, false, true},
        {"/home/u/.local/share/Trash/files/old/", false, true, false},
        {"/media/u/USB/.Trash-1000/files/", true, false, true},
        {"/media/u/USB/.Trash-1000/files/x/", false, true, false},
        {"/media/u/USB/.Trash/1000/files/x/", false, true, false},
        {"/media/u/USB/.Trash/abc/files/x/", false, false, true},
        {"/home/u/files/", false, false, true},
        {"/home/u/.local/share/Trash/", false, false, true},
        // A Windows disk: the recycle bin folder is shown, nothing below it, in any letter case.
        {"/media/u/WIN/RECYCLED/", false, false, true},
        {"/media/u/WIN/RECYCLED/DC1/", false, false, false},
        {"/media/u/WIN/Recycled/DC1/x/", false, false, false},
        {"/media/u/WIN/ReCyClEr/S-1-5-21", false, false, false},
        {"/RECYCLED/a/", false, false, false},
        {"/media/u/WIN/RECYCLEDX/a/", false, false, true},
        {"/media/u/WIN/MyRECYCLED/a/", false, false, true},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(IsRecycleBinFolder(r.path), r.isBin) << r.path;
        EXPECT_EQ(IsInsideRecycleBin(r.path), r.inside) << r.path;
        EXPECT_EQ(PassesRecycleBinRule(r.path), r.passes) << r.path;
    }
}

TEST(Drives, TrashFolderOnDisk) {
    korvel::testing::TempTree t;
    t.folder("real/Trash/files");
    t.folder("real/Trash/info");
    t.folder("named/Trash/files");  // the name without the info folder beside it
    t.folder("other/Stuff/files");
    t.folder("other/Stuff/info");
    t.folder("mnt/.Trash-1000/files");
    t.folder("mnt/.Trash-1000/info");
    const struct Row {
        std::string path;
        bool trash;
    } rows[] = {
        {t / "real/Trash/files/", true},
        {t / "real/Trash/files", true},
        {t / "mnt/.Trash-1000/files/", true},
        {t / "named/Trash/files/", false},
        {t / "other/Stuff/files/", false},
        {t / "real/Trash/", false},
        {t / "gone/Trash/files/", false},
    };
    for (const Row& r : rows) EXPECT_EQ(IsTrashFilesFolderOnDisk(r.path), r.trash) << r.path;
}
