// Bounded mutation of the texts the file list parses: filter strings, masks and file names with
// arbitrary bytes (including names that are not valid in the locale's encoding). Run under the
// sanitizers; each check also holds an invariant, so a wrong result fails as well as a crash.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "browse/Collation.h"
#include "browse/ExtensionSet.h"
#include "browse/FileSort.h"
#include "browse/FolderScan.h"
#include "base/FileNames.h"
#include "formats/FormatRegistry.h"
#include "tests/support/TempTree.h"
#include "tests/support/Mutation.h"

using namespace korvel;
using korvel::testing::Bytes;
using korvel::testing::forEachMutation;

namespace {
std::string text(const Bytes& b) { return std::string(b.begin(), b.end()); }
Bytes bytes(const std::string& s) { return Bytes(s.begin(), s.end()); }
int sign(int v) { return v > 0 ? 1 : v < 0 ? -1 : 0; }
}  // namespace

TEST(ListMutation, FilterStringsAndMasks) {
    const std::string filter = GraphicFilter(TGraphic::classInfo);
    forEachMutation(bytes(filter), 600, [](const Bytes& m) {
        const std::string s = text(m);
        std::vector<FilterItem> items = parseFilterItems(s);
        size_t bars = size_t(std::count(s.begin(), s.end(), '|'));
        EXPECT_EQ(items.size(), s.empty() ? 0 : bars / 2 + 1);
        for (const FilterItem& item : items) {
            EXPECT_EQ(item.description.find('|'), std::string::npos);
            EXPECT_EQ(item.mask.find('|'), std::string::npos);
            ExtensionSet set(item.mask);
            std::set<std::string> unique(set.members().begin(), set.members().end());
            EXPECT_EQ(unique.size(), set.members().size());
            for (const std::string& member : set.members()) {
                EXPECT_EQ(member.find(';'), std::string::npos);
                // A member ".ext" matches a name ending in it, unless ext holds another dot (the
                // extension of a name starts at its last dot).
                if (member.size() > 1 && member[0] == '.' && member.find('.', 1) == std::string::npos)
                    EXPECT_TRUE(set.matches("x" + asciiUpper(member))) << member;
            }
        }
        (void)filterBoxMask(items, int(m.size() % 5) - 1);
    });
}

TEST(ListMutation, NamesCompareConsistently) {
    for (const char* loc : {"C", "C.UTF-8"}) {
        korvel::testing::ScopedLocale l(loc);
        ASSERT_TRUE(l.ok());
        const std::string good = "写真 Éclair_2021-03-04.JPEG";
        std::vector<std::string> names;
        forEachMutation(bytes(good), 300, [&](const Bytes& m) {
            const std::string a = text(m);
            EXPECT_EQ(compareTextIgnoreCase(a, a), 0);
            EXPECT_EQ(sign(compareTextIgnoreCase(a, good)), -sign(compareTextIgnoreCase(good, a)));
            names.push_back(a);
        });
        FileList list;
        for (const std::string& n : names) list.append("/m/" + n, TSeekFile{});
        sortFileList(list, SortKey::Name);
        for (size_t i = 0; i + 1 < list.size(); ++i) EXPECT_LE(CompareByName(list, i, i + 1), 0) << loc << " at " << i;
    }
}

TEST(ListMutation, OddFileNamesAreListedOnce) {
    korvel::testing::TempTree t;
    std::set<std::string> made;
    forEachMutation(bytes("Photo_写真.jpg"), 200, [&](const Bytes& m) {
        std::string name = text(m);
        std::replace(name.begin(), name.end(), '/', '_');
        name.erase(std::remove(name.begin(), name.end(), '\0'), name.end());
        if (name.empty() || name == "." || name == ".." || name.size() > 255 || made.count(name)) return;
        int fd = ::open((t.root() + name).c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
        if (fd < 0) return;
        bool ok = ::write(fd, "x", 1) == 1;
        ::close(fd);
        if (ok) made.insert(name);
    });
    ASSERT_GT(made.size(), 50u);
    FileList list;
    ListOptions o;
    o.mask = "*.*";
    ListFolder(list, t.root(), ListMode::Replace, o);
    std::set<std::string> listed;
    for (const FileEntry& e : list) EXPECT_TRUE(listed.insert(e.path.substr(t.root().size())).second) << e.path;
    EXPECT_EQ(listed, made);
}
