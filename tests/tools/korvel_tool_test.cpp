// Runs the korvel-tool binary as a script would, over one tree of sample files per case: what it
// prints, its errors and exit status, and every file it made, changed or removed.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>
#include <sstream>

#include "imaging/Bitmap.h"
#include "tests/support/TakenSamples.h"
#include "tests/support/TempTree.h"
#include "tests/support/TestImages.h"
#include "tests/tools/ToolRun.h"

using namespace korvel;
using namespace korvel::testing;
namespace fs = std::filesystem;
using Files = std::map<std::string, std::string>;
using namespace std::string_literals;

namespace {

const std::string kPam = "P7\nWIDTH 3\nHEIGHT 1\nDEPTH 4\nMAXVAL 255\nTUPLTYPE RGB_ALPHA\nENDHDR\n"
                         + std::string("\x10\x20\x30\xFF\xA0\xB0\xC0\xFF\x10\x20\x30\xFF", 12);
// Names that are not UTF-8 (Latin-1, Shift_JIS holding 0x5C) or that a shell would split or expand.
const std::vector<std::string> kOddNames = {"p.bmp", "caf\xE9.bmp", "\x83\x65\x83\x5C.bmp",
                                            "it's a $HOME \"b\".bmp"};

void makeScene(const TempTree& t) {
    for (const auto& [name, size] : std::vector<std::pair<std::string, int>>{
             {"b.jpg", 3}, {"A.JPG", 1}, {"c.bmp", 5}, {".h.gif", 4}, {"d.txt", 2}, {"empty.jpg", 0},
             {"sub/e.ico", 6}, {"写真.jpeg", 7}})
        t.file("l/" + name, size);
    // Taken z, then y a minute later; x has no date and goes by its file time, the latest.
    for (const auto& [name, date] : {std::pair{"z.jpg", "2020:01:01 10:00:00"}, {"y.jpg", "2020:01:01 10:01:00"}}) {
        const PhotoBytes p = jpegWithExif(exifTakenBlock(date, "+00:00"));
        t.write(std::string("t/") + name, std::string(p.begin(), p.end()));
        t.mtime(std::string("t/") + name, localTime(2000, 1, 1));
    }
    t.write("t/x.bmp", "x");
    t.mtime("t/x.bmp", localTime(2024, 1, 1));
    t.write("src/a.jpg", "new a");
    t.write("src/b.jpg", "new b");
    t.write("dst/b.jpg", "old b");
    for (const std::string name : {"y.JPG", "x.bmp", "1.jpg", "2.jpg", "a", "b"}) t.write("r/" + name, name);
    t.write("--help", "help");
    t.write("i/c.bmp", "not a bitmap");
    t.write("i/broken.bmp", "BM");
    t.write("o/one.bmp", "keep me");
    saveBmp(TBitmap(7, 5, PixelFormat::pf8bit), t / "i/a.bmp");
    saveBmp(TBitmap(4, 4, PixelFormat::pf24bit), t / "i/one.bmp");
    saveBmp(TBitmap(2, 2, PixelFormat::pf4bit), t / "i/two.bmp");
    TBitmap b(3, 1, PixelFormat::pf8bit);
    b.setPalette({RGBQuad::of(0x102030), RGBQuad::of(0xA0B0C0)});
    b.setRawPixel(1, 0, 1);
    t.folder("n");
    for (const std::string& name : kOddNames) saveBmp(b, t / ("n/" + name));
}

// Every regular file under root: path relative to root -> content.
Files treeFiles(const std::string& root) {
    Files m;
    for (const auto& e : fs::recursive_directory_iterator(root))
        if (e.is_regular_file()) m[fs::relative(e.path(), root).string()] = readFile(e.path().string());
    return m;
}

// In an expected text "*" stands for any run of characters. In any text of a case "@" stands for
// the tree's root and "#N" for the file named kOddNames[N].
bool globMatch(std::string_view text, std::string_view pattern) {
    const size_t star = pattern.find('*');
    if (star == std::string_view::npos) return text == pattern;
    if (text.substr(0, star) != pattern.substr(0, star)) return false;
    for (size_t i = star; i <= text.size(); ++i)
        if (globMatch(text.substr(i), pattern.substr(star + 1))) return true;
    return false;
}

std::string expand(std::string s, const std::string& root) {
    for (size_t at; (at = s.find('#')) != std::string::npos;)
        s.replace(at, 2, "@n/" + kOddNames[s[at + 1] - '0']);
    for (size_t at = 0; (at = s.find('@', at)) != std::string::npos; at += root.size())
        s.replace(at, 1, root);
    return s;
}

}  // namespace

TEST(KorvelTool, EverySubcommand) {
    const auto bmpBytes = [](int w, int h, PixelFormat pf) {
        const std::vector<uint8_t> b = savedBytes(TBitmap(w, h, pf));
        return std::string(b.begin(), b.end());
    };
    const std::string fourBit = bmpBytes(2, 2, PixelFormat::pf4bit);  // converted in its own depth
    struct Case {
        const char* name;
        std::string args;  // split at spaces
        int status = 0;
        std::vector<std::string> out = {};  // stdout lines
        std::string err = "";          // the whole of stderr
        Files changes = {};            // path -> content now, "-" when gone; every other file stays as it was
        std::string input = "";
        std::vector<std::string> env = {};
    };
    const Case cases[] = {
        {"list a relative folder without hidden, by size descending",
         "list --no-hidden --sort size --desc @l/sub/../", 0,
         {"@l/写真.jpeg", "@l/c.bmp", "@l/b.jpg", "@l/A.JPG"}},
        {"list by the date taken", "list --sort taken @t/", 0, {"@t/z.jpg", "@t/y.jpg", "@t/x.bmp"}},
        {"list by the date taken, descending", "list --sort taken --desc @t", 0, {"@t/x.bmp", "@t/y.jpg", "@t/z.jpg"}},
        {"list recursive, filter ignoring case", "list --recursive --filter *.TXT;*.ico @l/", 0,
         {"@l/d.txt", "@l/sub/e.ico"}},
        {"list missing folder", "list @missing", 1, {}, "*No such file or directory*"},
        {"list unknown option", "list --bogus @l", 2, {}, "*unknown option --bogus*"},
        {"rename in the order given", "rename --pattern A\\B --digits 3 --ext lower @r/y.JPG @r/x.bmp", 0,
         {"@r/y.JPG -> @r/A001B.jpg", "@r/x.bmp -> @r/A002B.bmp"}, "",
         {{"r/y.JPG", "-"}, {"r/x.bmp", "-"}, {"r/A001B.jpg", "y.JPG"}, {"r/A002B.bmp", "x.bmp"}}},
        {"rename onto a taken name", "rename --pattern \\ --start 2 --digits 1 @r/1.jpg @r/2.jpg", 1,
         {"@r/2.jpg -> @r/3.jpg"}, "*1.jpg*", {{"r/2.jpg", "-"}, {"r/3.jpg", "2.jpg"}}},
        {"rename dry run", "rename --pattern %d\\ --start 99 --dry-run @r/a @r/b", 0,
         {"@r/a -> @r/%d99", "@r/b -> @r/%d100"}},
        {"rename, a Latin-1 byte before the number", "rename --pattern caf\xE9\\ --dry-run @r/a", 0,
         {"@r/a -> @r/caf\xE9" "01"}},
        {"copy fails on an existing file", "copy -o @dst @src/a.jpg @src/b.jpg", 1, {},
         "korvel-tool: \"@dst/b.jpg\" exists; not replaced\n", {{"dst/a.jpg", "new a"}}},
        {"copy, ask: no", "copy --on-conflict ask -o @dst @src/a.jpg @src/b.jpg", 0, {},
         "replace \"@dst/b.jpg\"? *", {{"dst/a.jpg", "new a"}}, "n\n"},
        {"copy, ask: yes", "copy --on-conflict ask -o @dst @src/a.jpg @src/b.jpg", 0, {},
         "replace \"@dst/b.jpg\"? *", {{"dst/a.jpg", "new a"}, {"dst/b.jpg", "new b"}}, "y\n"},
        {"move a missing source", "move -o @dst @gone.jpg @src/a.jpg", 1, {}, "*@gone.jpg*",
         {{"src/a.jpg", "-"}, {"dst/a.jpg", "new a"}}},
        {"trash", "trash @src/a.jpg", 0, {}, "",
         {{"src/a.jpg", "-"}, {"data/Trash/files/a.jpg", "new a"},
          {"data/Trash/info/a.jpg.trashinfo", "*\nPath=@src/a.jpg\n*"}}, "", {"XDG_DATA_HOME=@data"}},
        // The tool runs in the tree's root, where a file is named "--help".
        {"after -- every argument is a file", "trash -- --help", 0, {}, "",
         {{"--help", "-"}, {"data/Trash/files/--help", "help"}, {"data/Trash/info/--help.trashinfo", "*"}}, "",
         {"XDG_DATA_HOME=@data"}},
        {"copy onto itself fails by default", "copy -o @src @src/a.jpg", 1, {},
         "korvel-tool: \"@src/a.jpg\": source and target are the same file; not copied\n"},
        {"copy onto itself, replace: nothing to do", "copy --on-conflict replace -o @src/ @src/a.jpg", 0, {},
         "korvel-tool: \"@src/a.jpg\": source and target are the same file; nothing to replace\n"},
        {"copy onto itself, rename: a copy", "copy --on-conflict rename -o @src @src/a.jpg", 0, {}, "",
         {{"src/a_1.jpg", "new a"}}},
        {"-o naming a file", "copy -o @src/b.jpg @src/a.jpg", 1, {},
         "korvel-tool copy: the output folder \"@src/b.jpg\" is a file, not a folder\n"},
        {"move a folder into itself", "move -o @l/sub @l", 1, {}, "korvel-tool: Cannot move a folder into itself \"@l\"\n"},
        {"info goes on after failures", "info @i/c.bmp @i/missing.bmp @i/x.xyz @i/a.bmp", 1,
         {"@i/c.bmp\terror: *", "@i/missing.bmp\terror: ビットマップ: 読み込めません (ファイルが見つかりません)", "@i/x.xyz\terror: *",
          "@i/a.bmp\t7x5 8 ビットマップ"}, "*"},
        {"info takes any name", "info #0 #1 #2 #3", 0,
         {"#0\t3x1 8 ビットマップ", "#1\t3x1 8 ビットマップ", "#2\t3x1 8 ビットマップ", "#3\t3x1 8 ビットマップ"}},
        {"decode, shell name", "decode #3 #3.pam", 0, {}, "", {{"n/" + kOddNames[3] + ".pam", kPam}}},
        {"convert goes on and never replaces",
         "convert --format bmp -o @o @i/one.bmp @i/broken.bmp @i/two.bmp", 1, {"@o/one_1.bmp", "@o/two.bmp"},
         "*broken.bmp*", {{"o/one_1.bmp", bmpBytes(4, 4, PixelFormat::pf24bit)}, {"o/two.bmp", fourBit}}},
        // The thumbnail's pixels are the core's; its 48 x 48 (60 less the text band) shows --size arrived.
        {"thumb at a size, never replacing", "thumb --size 60 -o @o @i/one.bmp", 0, {"@o/one_1.bmp"}, "",
         {{"o/one_1.bmp", "BM*\x30\0\0\0\x30\0\0\0*"s}}},
        {"thumb needs -o", "thumb", 2, {}, "*-o DIR is required*"},
        {"copy, no such answer to a conflict", "copy --on-conflict maybe -o @dst @src/a.jpg", 2, {},
         "korvel-tool copy: --on-conflict takes ask, skip, rename, replace or fail\n*"},
        {"rotate, no such angle", "rotate --angle 45 @src/a.jpg", 2, {},
         "korvel-tool rotate: --angle takes 90, 180, 270 or auto\n*"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempTree t;
        makeScene(t);
        const Files before = treeFiles(t.dir());
        const std::string root = t.root();
        std::vector<std::string> args, env{"LC_ALL=C.UTF-8"};
        std::istringstream words(c.args);
        for (std::string a; words >> a;) args.push_back(expand(a, root));
        for (const std::string& e : c.env) env.push_back(expand(e, root));
        const ToolRun r = runTool(args, env, 20, c.input, root);
        EXPECT_EQ(r.status, c.status) << r.err;
        EXPECT_TRUE(globMatch(r.err, expand(c.err, root))) << r.err;
        EXPECT_EQ(r.lines.size(), c.out.size()) << r.out;
        for (size_t i = 0; i < std::min(r.lines.size(), c.out.size()); ++i)
            EXPECT_TRUE(globMatch(r.lines[i], expand(c.out[i], root))) << r.lines[i];
        const Files after = treeFiles(t.dir());
        std::set<std::string> paths;
        for (const Files* m : {&before, &after, &c.changes})
            for (const auto& e : *m) paths.insert(e.first);
        for (const std::string& p : paths) {
            const std::string now = after.count(p) ? after.at(p) : "-";
            if (!c.changes.count(p)) {
                EXPECT_EQ(now, before.count(p) ? before.at(p) : "-") << p;
            }
            else EXPECT_TRUE(now == c.changes.at(p) || globMatch(now, expand(c.changes.at(p), root))) << p;
        }
    }
    // Every subcommand shows its own usage for --help.
    for (const char* command :
         {"info", "decode", "convert", "list", "thumb", "copy", "move", "trash", "rename", "history", "undo", "redo"}) {
        const ToolRun r = runTool({command, "--help"});
        EXPECT_EQ(r.status, 0) << command;
        EXPECT_TRUE(r.out.starts_with("usage: korvel-tool ") && r.out.find(command) < r.out.find('\n')) << r.out;
    }
}
