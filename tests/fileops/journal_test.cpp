// The journal of completed operations: what it writes reads back after a restart, byte for
// byte; damage loses only the damaged record; a failed write records nothing.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>
#include <set>

#include "fileops/Journal.h"
#include "tests/support/FaultyFileSystem.h"
#include "tests/support/TempTree.h"

using namespace korvel;
using namespace korvel::testing;

namespace {

// Paths no text encoding would keep: a newline, bytes that are not UTF-8, the record marker
// itself, a long name.
const std::string kOdd[] = {"/p/a\nb.jpg", "/p/\xFF\xFE\x80.png", "/p/\x1EKJS\x1EKJM", std::string(5000, 'x'), "/p/写真 1.jpg"};

// Writes at most 16 bytes a call, so a fault can land inside a record.
struct ShortWrites : FaultyFileSystem {
    ssize_t write(int fd, const void* b, size_t n) override { return FaultyFileSystem::write(fd, b, n < 16 ? n : 16); }
};

JournalStep stepOf(StepKind kind, int n) {
    static uint64_t ids = 0;
    JournalStep s;
    s.id = ++ids;  // append gives its own; steps encoded by hand need distinct ones
    s.kind = kind;
    s.timeNs = 1700000000123456789 + n;
    for (int i = 0; i < n; ++i)
        s.entries.push_back({kOdd[i % 5] + std::to_string(i), i % 2 ? std::string() : kOdd[(i + 1) % 5],
                             {uint64_t(i) << 40, uint64_t(~i), i * 1000003LL, -1 - i}});
    return s;
}

}  // namespace

TEST(Journal, EveryKindSurvivesARestart) {
    TempTree d;
    std::vector<JournalStep> written;
    const size_t last = kLastStepKind - 1;
    {
        Journal j(d / "state/journal");
        for (uint8_t k = 1; k <= kLastStepKind; ++k) {
            written.push_back(stepOf(StepKind(k), k == 2 ? 0 : k + 3));
            ASSERT_EQ(j.append(written.back()), 0);
        }
        // Undo the last two, then redo one.
        ASSERT_EQ(j.mark(written[last].id, true), 0);
        ASSERT_EQ(j.mark(written[last - 1].id, true), 0);
        ASSERT_EQ(j.mark(written[last - 1].id, false), 0);
        written[last].undone = true;
        EXPECT_EQ(j.steps(), written);
    }
    Journal again(d / "state/journal");
    again.load();
    EXPECT_EQ(again.steps(), written);
    ASSERT_TRUE(again.nextUndo() && again.nextRedo());
    EXPECT_EQ(again.nextUndo()->id, written[last - 1].id);
    EXPECT_EQ(again.nextRedo()->id, written[last].id);
    // A step written again under its id replaces it where it stood.
    JournalStep changed = written[3];
    changed.entries.pop_back();
    EXPECT_EQ(parseJournal(encodeStep(written[3]) + encodeStep(written[4]) + encodeStep(changed)),
              (std::vector<JournalStep>{changed, written[4]}));
}

// Which steps of a, b, c survive each damage to the file a + b + c.
TEST(Journal, DamageLosesOnlyTheDamagedRecord) {
    const JournalStep a = stepOf(StepKind::Move, 3), b = stepOf(StepKind::Rename, 1), c = stepOf(StepKind::Copy, 3);
    const std::string ea = encodeStep(a), eb = encodeStep(b), ec = encodeStep(c);
    std::string flipped = ea + eb + ec;
    flipped[ea.size() + eb.size() / 2] ^= 0x20;
    std::string longLength = ea + eb;
    longLength.replace(ea.size() + 4, 4, "\xFF\xFF\xFF\x7F");
    const struct {
        const char* name;
        std::string bytes;
        std::vector<JournalStep> expected;
    } rows[] = {
        {"garbage first", "\x1EKJ\x1EKJSjunk\n" + ea + eb + ec, {a, b, c}},
        {"garbage between", ea + std::string(100, '\x1E') + eb + "\x1EKJM" + ec, {a, b, c}},
        {"a byte flipped", flipped, {a, c}},
        {"a length past the end", longLength + ec, {a, c}},
        {"mark of an unknown step", ea + encodeMark(12345, true), {a}},
        {"only garbage", std::string(3000, '\x1E'), {}},
        {"empty", "", {}},
    };
    for (const auto& row : rows) EXPECT_EQ(parseJournal(row.bytes), row.expected) << row.name;
    // A crash mid-append: every cut of the last record leaves the ones before.
    for (size_t cut = 0; cut < ec.size(); ++cut)
        ASSERT_EQ(parseJournal(ea + eb + ec.substr(0, cut)), (std::vector<JournalStep>{a, b})) << cut;
}

TEST(Journal, KeepsTheLastHundredSteps) {
    TempTree d;
    Journal j(d / "journal");
    std::vector<uint64_t> ids;
    for (int i = 0; i < 250; ++i) {
        JournalStep s = stepOf(StepKind::Move, 1);
        ASSERT_EQ(j.append(s), 0);
        ids.push_back(s.id);
        if (i == 240) {
            ASSERT_EQ(j.mark(s.id, true), 0);
        }
    }
    Journal again(d / "journal");
    again.load();
    ASSERT_EQ(again.steps().size(), Journal::kKeep);
    for (size_t i = 0; i < Journal::kKeep; ++i) {
        EXPECT_EQ(again.steps()[i].id, ids[150 + i]);
        EXPECT_EQ(again.steps()[i].undone, i == 90);
    }
    // Compacted: fewer records stand in the file than were appended.
    EXPECT_LE(readFile(d / "journal").size(), (Journal::kCompactAt + 1) * encodeStep(again.steps()[0]).size());
}

// Undone and redone again and again, a large step leaves a file of a few times its size, with
// every item where the last run put it.
TEST(Journal, RepeatedUndosStayBounded) {
    TempTree d;
    Journal j(d / "journal");
    JournalStep step = stepOf(StepKind::Move, 300);
    ASSERT_EQ(j.append(step), 0);
    const size_t one = encodeStep(step).size();
    for (int round = 0; round < 12; ++round) {
        ASSERT_EQ(j.hold(), 0);
        for (size_t i = 0; i < step.entries.size(); ++i) {
            step.entries[i].undone = round % 2 == 0;
            step.entries[i].left.inode = uint64_t(round * 1000) + i;
            ASSERT_EQ(j.updateEntry(step.id, i, step.entries[i]), 0);
        }
        step.undone = round % 2 == 0;
        ASSERT_EQ(j.mark(step.id, step.undone), 0);
        j.release();
        EXPECT_LE(readFile(d / "journal").size(), 3 * one) << round;
        EXPECT_EQ(parseJournal(readFile(d / "journal")), std::vector<JournalStep>{step}) << round;
    }
}

// A full disk or an I/O error: append says why, and neither the journal nor the file gains a step.
TEST(Journal, FailedWriteRecordsNothing) {
    const Fault rows[] = {{"write", "journal", ENOSPC}, {"fsync", "journal", EIO}, {"open", "journal", EACCES},
                          {"write", "journal", ENOSPC, 1}};
    for (const Fault& fault : rows) {
        TempTree d;
        ShortWrites fs;
        Journal j(d / "journal", fs);
        JournalStep first = stepOf(StepKind::TrashDelete, 2);
        ASSERT_EQ(j.append(first), 0);
        const std::string before = readFile(d / "journal");
        inject(fs, d.root(), {fault});
        JournalStep second = stepOf(StepKind::Copy, 3);
        EXPECT_EQ(j.append(second), fault.err) << fault.call;
        EXPECT_EQ(j.steps().size(), 1u);
        EXPECT_EQ(readFile(d / "journal"), before) << fault.call;
        Journal again(d / "journal");
        again.load();
        EXPECT_EQ(again.steps(), std::vector<JournalStep>{first});
    }
}

TEST(Journal, LivesInTheStateFolder) {
    const char* keys[] = {"KORVEL_STATE_DIR", "XDG_STATE_HOME", "HOME"};
    std::vector<std::optional<std::string>> saved;
    for (const char* k : keys) saved.push_back(std::getenv(k) ? std::optional<std::string>(std::getenv(k)) : std::nullopt);
    const struct {
        const char *state, *xdg, *home, *expected;
    } rows[] = {{"/s", "/x", "/h", "/s/journal"},
                {"", "/x", "/h", "/x/korvel/journal"},
                {"", "relative", "/h", "/h/.local/state/korvel/journal"},
                {"", "", "", ""}};
    for (const auto& row : rows) {
        const char* values[] = {row.state, row.xdg, row.home};
        for (int i = 0; i < 3; ++i) ::setenv(keys[i], values[i], 1);
        EXPECT_EQ(Journal::defaultPath(), row.expected);
    }
    for (int i = 0; i < 3; ++i)
        saved[size_t(i)] ? ::setenv(keys[i], saved[size_t(i)]->c_str(), 1) : ::unsetenv(keys[i]);
}

// The window and korvel-tool appending at once, in small writes: no record is torn or lost.
TEST(Journal, TwoProcessesAppendAtOnce) {
    TempTree d;
    int pipes[2];
    ASSERT_EQ(::pipe(pipes), 0);
    std::vector<pid_t> children;
    for (int c = 0; c < 2; ++c) {
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            ShortWrites fs;
            Journal j(d / "journal", fs);
            for (int i = 0; i < 90; ++i) {
                JournalStep s = stepOf(StepKind(1 + (i + c) % kLastStepKind), 2);
                if (j.append(s) != 0 || ::write(pipes[1], &s.id, sizeof s.id) != sizeof s.id) ::_exit(1);
            }
            ::_exit(0);
        }
        children.push_back(pid);
    }
    ::close(pipes[1]);
    for (pid_t pid : children) {
        int status = 0;
        ::waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    std::set<uint64_t> written, read;
    for (uint64_t id; ::read(pipes[0], &id, sizeof id) == sizeof id;) written.insert(id);
    ::close(pipes[0]);
    for (const JournalStep& s : parseJournal(readFile(d / "journal"))) read.insert(s.id);
    EXPECT_EQ(written.size(), 180u);
    EXPECT_EQ(read, written);
}
