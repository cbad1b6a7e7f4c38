// Folders that update themselves: the kernel's events on real folders, their gathering into
// updates on a made-up clock, and a listing brought up to date by an update.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <functional>
#include <sstream>

#include "browse/FileSort.h"
#include "browse/FolderChanges.h"
#include "browse/FolderWatch.h"
#include "browse/ListingUpdate.h"
#include "tests/support/TempTree.h"

using namespace korvel;
using namespace korvel::testing;
using K = FolderEvent::Kind;
using Millis = ChangeCoalescer::Millis;

namespace {

// "+a" created, "-a" deleted, "<a" ">a" moved out and in, "w a" written, "~a" modified,
// "@a" attributes; "/" after a folder's name; "gone" and "overflow".
std::string said(const std::vector<FolderEvent>& events) {
    std::string out;
    for (const FolderEvent& e : events) {
        static const char* const mark[] = {"+", "-", "<", ">", "w ", "~", "@", "gone", "overflow"};
        if (!out.empty()) out += ' ';
        out.append(mark[int(e.kind)]).append(e.name);
        if (e.isFolder && !e.name.empty()) out += '/';
    }
    return out;
}

// An update as the coalescer rows write it, "time:what": "*" everything, "a>b" renamed, the files
// (more than three counted), "d:" and "g:" folders, names without the folder "/f/".
std::string shown(Millis at, const FolderUpdate& u) {
    std::string s = std::to_string(at.count()) + ":";
    if (u.everything) s += "*";
    for (const auto& [from, to] : u.renamed) s += from.substr(3) + ">" + to.substr(3) + " ";
    if (u.files.size() > 3) s += std::to_string(u.files.size()) + " files ";
    else
        for (const std::string& f : u.files) s += f.substr(3) + " ";
    for (const std::string& f : u.folders) s += "d:" + f + " ";
    for (const std::string& f : u.gone) s += "g:" + f + " ";
    while (s.back() == ' ') s.pop_back();
    return s;
}

}  // namespace

// Every change another program can make reaches the watch as the kernel tells it; a folder
// that goes is no longer watched.
TEST(FolderWatch, ReportsWhatHappensInWatchedFolders) {
    TempTree t;
    t.folder("w");
    const std::string w = t / "w/";
    FolderWatch watch;
    ASSERT_TRUE(watch.watch(t.dir() + "/w"));  // without its "/"
    EXPECT_TRUE(watch.watching(w));
    EXPECT_FALSE(watch.watch(t / "missing/"));
    EXPECT_FALSE(watch.watch(t.write("file", "x")));
    struct Step {
        const char* what;
        std::function<void()> act;
        const char* events;
    } steps[] = {
        {"written", [&] { writeFile(w + "a", "abc"); }, "+a ~a w a"},
        {"renamed", [&] { ::rename((w + "a").c_str(), (w + "b").c_str()); }, "<a >b"},
        {"mode", [&] { ::chmod((w + "b").c_str(), 0600); }, "@b"},
        {"moved in", [&] { ::rename(t.write("c", "c").c_str(), (w + "c").c_str()); }, ">c"},
        {"moved out", [&] { ::rename((w + "c").c_str(), (t / "c").c_str()); }, "<c"},
        {"deleted", [&] { ::unlink((w + "b").c_str()); }, "-b"},
        {"folder", [&] { ::mkdir((w + "d").c_str(), 0755), ::rmdir((w + "d").c_str()); }, "+d/ -d/"},
        {"watched folder removed", [&] { ::rmdir(w.c_str()); }, "gone"},
        {"after it went", [&] { ::mkdir(w.c_str(), 0755), writeFile(w + "e", "e"); }, ""},
    };
    for (const Step& s : steps) {
        s.act();
        const std::vector<FolderEvent> events = watch.read();
        EXPECT_EQ(said(events), s.events) << s.what;
        for (const FolderEvent& e : events) EXPECT_EQ(e.folder, w) << s.what;
        // The two halves of a rename share a cookie.
        if (std::string_view(s.what) == "renamed" && events.size() == 2)
            EXPECT_TRUE(events[0].cookie != 0 && events[0].cookie == events[1].cookie);
    }
    EXPECT_FALSE(watch.watching(w));

    // Watching only some folders drops the others; a tree's watch hears nothing of writing.
    FolderWatch tree(FolderWatch::Watch::Folders);
    t.folder("x"), t.folder("y");
    tree.watchOnly({t / "x/", t / "y/"});
    tree.watchOnly({t / "y"});
    writeFile(t / "x/f", "f");
    writeFile(t / "y/f", "f");
    EXPECT_EQ(said(tree.read()), "+f");
    EXPECT_TRUE(tree.watching(t / "y/") && !tree.watching(t / "x/"));
}

// More events than the kernel keeps: the watch says so instead of going quiet.
TEST(FolderWatch, LostEventsAreReported) {
    long limit = 0;
    std::ifstream("/proc/sys/fs/inotify/max_queued_events") >> limit;
    if (limit <= 0 || limit > 40000) GTEST_SKIP() << "queue limit " << limit;
    TempTree t;
    FolderWatch watch;
    ASSERT_TRUE(watch.watch(t.root()));
    // Each file is two events (created, written).
    for (long i = 0; i < limit / 2 + 10; ++i)
        ::close(::open((t / std::to_string(i)).c_str(), O_WRONLY | O_CREAT, 0644));
    const std::vector<FolderEvent> events = watch.read();
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events.back().kind, K::Overflow);
}

// Events on a made-up clock, in the folder "/f/": the updates handed on, each at its time.
TEST(ChangeCoalescer, GathersBurstsAndWaitsForWrites) {
    struct Ev {
        int at;
        K kind;
        std::string name;
        bool folder = false;
        uint32_t cookie = 0;
    };
    struct Row {
        const char* what;
        std::vector<Ev> events;
        const char* updates;  // "; " between updates as shown() writes them
    };
    std::vector<Ev> burst;  // a camera import: 500 files in two seconds
    for (int i = 0; i < 500; ++i) {
        burst.push_back({i * 4, K::Created, std::to_string(i)});
        burst.push_back({i * 4, K::Written, std::to_string(i)});
    }
    std::vector<Ev> slow = {{0, K::Created, "a"}};
    for (int t = 500; t <= 4000; t += 500) slow.push_back({t, K::Modified, "a"});
    slow.push_back({4500, K::Written, "a"});
    const Row rows[] = {
        {"one file", {{0, K::Created, "a"}, {10, K::Modified, "a"}, {10, K::Written, "a"}}, "310:a"},
        {"a burst", burst,
         "300:75 files; 600:75 files; 900:75 files; 1200:75 files; 1500:75 files; 1800:75 files; 2100:50 files"},
        {"written slowly: shown once closed", slow, "4800:a"},
        {"never closed (a link): shown once settled", {{0, K::Created, "a"}}, "2300:a"},
        {"a stalled writer shows, and again when done",
         {{0, K::Created, "a"}, {100, K::Modified, "a"}, {5000, K::Written, "a"}},
         "2400:a; 5300:a"},
        {"renamed inside", {{0, K::MovedOut, "a", false, 7}, {0, K::MovedIn, "b", false, 7}}, "300:a>b"},
        {"renamed away", {{0, K::MovedOut, "a", false, 7}}, "300:a"},
        {"moved in", {{0, K::MovedIn, "b", false, 9}}, "300:b"},
        {"a download renamed when done",
         {{0, K::Created, "x.part"},
          {200, K::Modified, "x.part"},
          {400, K::MovedOut, "x.part", false, 3},
          {400, K::MovedIn, "x.jpg", false, 3}},
         "700:x.part>x.jpg"},
        {"deleted while written", {{0, K::Created, "a"}, {50, K::Deleted, "a"}}, "350:a"},
        {"attributes", {{0, K::Attributes, "a"}, {20, K::Attributes, "sub", true}}, "300:a"},
        {"events lost",
         {{0, K::Created, "a"}, {10, K::Written, "b"}, {20, K::Overflow, ""}, {30, K::Written, "c"}},
         "310:*"},
        {"folders",
         {{0, K::Created, "s", true}, {10, K::MovedOut, "t", true, 4}, {20, K::FolderGone, ""}},
         "300:d:/f/ g:/f/"},
        {"the next change waits its own interval", {{0, K::Written, "a"}, {350, K::Written, "b"}}, "300:a; 650:b"},
    };
    for (const Row& r : rows) {
        ChangeCoalescer c;
        std::string got;
        const auto deliverUntil = [&](int until) {
            for (Millis at; c.due() && (at = *c.due()).count() <= until;)
                if (const FolderUpdate u = c.take(at); !u.empty()) got += (got.empty() ? "" : "; ") + shown(at, u);
        };
        for (const Ev& e : r.events) {
            deliverUntil(e.at);
            const bool gone = e.kind == K::FolderGone, lost = e.kind == K::Overflow;
            c.add({e.kind, lost ? "" : "/f/", gone || lost ? "" : e.name, e.folder, e.cookie}, Millis(e.at));
        }
        deliverUntil(1 << 30);
        EXPECT_EQ(got, r.updates) << r.what;
        EXPECT_TRUE(c.take(Millis(1 << 30)).empty()) << r.what;  // nothing given twice
    }
}

namespace {

// The update a row gives, its names made full under the folder f ("" is f itself).
FolderUpdate under(const std::string& f, FolderUpdate u) {
    for (std::vector<std::string>* names : {&u.files, &u.folders, &u.gone})
        for (std::string& name : *names) name = f + name;
    for (auto& [from, to] : u.renamed)
        for (std::string* name : {&from, &to})
            if (!name->starts_with('/')) *name = f + *name;
    return u;
}

}  // namespace

// A listing of *.jpg without hidden names, sorted by name, holding a.jpg and b.jpg with their
// thumbnails at 5 and 6; each row changes f/ ("name=bytes" written, "name/" made, "-name"
// removed, "a>b" renamed) and applies its update.
TEST(ListingUpdate, KeepsUnchangedEntriesAndFollowsTheDisk) {
    struct Row {
        const char* what;
        const char* act;
        FolderUpdate update;
        const char* listing;  // name:ThumbPos ("-" for none) in list order
        bool changes = true, descending = false, subFolders = false;
    };
    const Row rows[] = {
        {"a new file is sorted in", "0.jpg=new", {.files = {"0.jpg"}}, "0.jpg:- a.jpg:5 b.jpg:6"},
        {"names the listing refuses", ".h.jpg=h x.txt=x e.jpg= d.jpg/",
         {.files = {".h.jpg", "x.txt", "e.jpg", "d.jpg"}}, "a.jpg:5 b.jpg:6", false},
        {"a file that went", "-a.jpg", {.files = {"a.jpg"}}, "b.jpg:6"},
        {"a changed file", "b.jpg=bigger", {.files = {"b.jpg"}}, "a.jpg:5 b.jpg:-"},
        {"an unchanged file named again (as after Korvel's own copy)", "", {.files = {"a.jpg"}}, "a.jpg:5 b.jpg:6",
         false},
        {"renamed: entry and place kept", "a.jpg>z.jpg", {.renamed = {{"a.jpg", "z.jpg"}}}, "z.jpg:5 b.jpg:6"},
        {"renamed out of the mask", "a.jpg>a.txt", {.renamed = {{"a.jpg", "a.txt"}}}, "b.jpg:6"},
        {"renamed over a listed file", "a.jpg>b.jpg", {.renamed = {{"a.jpg", "b.jpg"}}}, "b.jpg:5"},
        {"renamed in from elsewhere", "q.jpg=q", {.renamed = {{"/elsewhere/q.jpg", "q.jpg"}}},
         "a.jpg:5 b.jpg:6 q.jpg:-"},
        {"events lost: read again", "c.jpg=c -a.jpg", {.everything = true}, "b.jpg:6 c.jpg:-"},
        {"the folder went", "-", {.gone = {""}}, ""},
        {"descending stays descending", "0.jpg=new", {.files = {"0.jpg"}}, "b.jpg:6 a.jpg:5 0.jpg:-", true, true},
        {"sub-folders listed: a new one is read", "s/x.jpg=x", {.folders = {""}}, "a.jpg:5 b.jpg:6 s/x.jpg:-", true,
         false, true},
    };
    for (const Row& r : rows) {
        TempTree t;
        t.write("f/a.jpg", "a"), t.write("f/b.jpg", "bb");
        const std::string f = t / "f/";
        ListOptions options{.mask = "*.jpg", .noHideFile = true, .subDirSearch = r.subFolders};
        FileList list;
        ListFolder(list, f, ListMode::Replace, options);
        if (r.descending) sortByNameView(list, 0, true);
        ASSERT_EQ(list.size(), 2u) << r.what;
        for (size_t i = 0; i < 2; ++i) list.seek(i).ThumbPos = list.path(i) == f + "a.jpg" ? 5 : 6;
        std::istringstream words(r.act);
        for (std::string w; words >> w;) {
            const size_t eq = w.find('=');
            if (eq != std::string::npos) t.write("f/" + w.substr(0, eq), w.substr(eq + 1));
            else if (w.ends_with('/')) t.folder("f/" + w);
            else if (w[0] == '-') std::filesystem::remove_all(f + w.substr(1));
            else std::filesystem::rename(f + w.substr(0, w.find('>')), f + w.substr(w.find('>') + 1));
        }
        const ListingChange change = applyFolderUpdate(list, f, under(f, r.update), options, r.descending);
        std::string got;
        for (size_t i = 0; i < list.size(); ++i) {
            const int pos = list.seek(i).ThumbPos;
            if (i) got += ' ';
            got.append(list.path(i), f.size()).append(":").append(pos < 0 ? "-" : std::to_string(pos));
        }
        EXPECT_EQ(got, r.listing) << r.what;
        EXPECT_EQ(change.any(), r.changes) << r.what;
    }
}
