// The job protocol: a job on its own thread waits for each answer, stops at a cancel also while
// a question waits, lists every failure, asks no more once told so, and lets the window see
// each waiting step before the next file is touched.
#include <gtest/gtest.h>

#include <deque>
#include <optional>
#include <thread>

#include "fileops/Jobs.h"
#include "tests/support/FaultyFileSystem.h"

using namespace korvel;
using namespace korvel::testing;

namespace {

// name=content of each file in folder, in name order.
std::string contents(const std::string& folder) {
    std::string s;
    for (const auto& [n, c] : folderContents(folder)) s += (s.empty() ? "" : " ") + n + "=" + c;
    return s;
}

// Plays the window on the test's thread: each question or waiting step the job hands over is
// answered by reply (nothing: the user cancels instead), with what it saw noted.
struct Window {
    std::function<std::optional<JobAnswer>(const JobQuestion&)> reply;
    std::function<std::string()> atStep;  // what the window notes when a waiting step arrives
    std::string seen;

    void run(Job& job, JobControl*& control_out, std::string& quietAndFailures) {
        std::mutex m;
        std::condition_variable cv;
        std::deque<std::function<void()>> events;
        bool done = false;
        JobControl* control = nullptr;
        JobControl::Listener listener;
        auto post = [&](std::function<void()> e) {
            std::lock_guard lock(m);
            events.push_back(std::move(e));
            cv.notify_all();
        };
        listener.ask = [&](const JobQuestion& q) {
            post([&, q] {
                seen += q.kind == JobQuestion::Kind::Replace ? "replace " : q.canCancel ? "error " : "ok-error ";
                const std::optional<JobAnswer> a = reply(q);
                if (a) control->answer(*a);
                else control->cancel();
            });
        };
        listener.progress = [&](const JobProgress& p, bool waits) {
            if (!waits) return;
            post([&, p] {
                seen += std::to_string(p.filesDone) + ":" + (atStep ? atStep() : "") + " ";
                control->taken();
            });
        };
        JobControl c(listener);
        control = &c;
        control_out = &c;
        std::thread worker([&] {
            job.run(c);
            post([&] { done = true; });
        });
        while (!done) {
            std::function<void()> e;
            {
                std::unique_lock lock(m);
                cv.wait(lock, [&] { return !events.empty(); });
                e = std::move(events.front());
                events.pop_front();
            }
            e();
        }
        worker.join();
        quietAndFailures = std::to_string(c.failures().size()) + (c.quiet() ? " quiet" : "");
    }
};

JobAnswer conflict(ConflictAnswer a) {
    JobAnswer r;
    r.conflict = a;
    return r;
}
JobAnswer error(ErrorAnswer a) {
    JobAnswer r;
    r.error = a;
    return r;
}

}  // namespace

TEST(Job, AnswersCancelsAndFailures) {
    const std::optional<JobAnswer> cancelNow;
    struct Row {
        const char* name;
        const char* taken;   // dst/a.jpg holds "old" beforehand
        bool failOpen;       // every source fails to open
        std::vector<std::optional<JobAnswer>> answers;  // one per question, in order
        const char* seen;
        const char* failures;
        const char* dst;
        bool aborted;
    } rows[] = {
        {"replace answered", "a.jpg", false, {conflict(ConflictAnswer::Replace)}, "replace ", "0",
         "a.jpg=A b.jpg=B c.jpg=C", false},
        {"cancel at the conflict", "a.jpg", false, {conflict(ConflictAnswer::Cancel)}, "replace ", "0", "a.jpg=old", true},
        {"cancelled while the question waits", "a.jpg", false, {cancelNow}, "replace ", "0", "a.jpg=old", true},
        {"each failure asked", "", true, {error(ErrorAnswer::Skip), error(ErrorAnswer::Skip), error(ErrorAnswer::Skip)},
         "error error error ", "3", "", false},
        {"no more boxes after the first", "", true, {error(ErrorAnswer::SkipQuietly)}, "error ", "3 quiet", "", false},
        {"cancel at a failure", "", true, {error(ErrorAnswer::Cancel)}, "error ", "1", "", true},
        {"cancelled while a failure waits", "", true, {cancelNow}, "error ", "1", "", true},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        TempTree t;
        t.folder("dst");
        std::vector<std::string> files;
        for (const char* n : {"a", "b", "c"})
            files.push_back(t.write(std::string("src/") + n + ".jpg", std::string(1, char(std::toupper(*n)))));
        if (*r.taken) t.write(std::string("dst/") + r.taken, "old");
        FaultyFileSystem fs;
        if (r.failOpen) inject(fs, t.root(), {{"open", "src/", EACCES}});
        FileOperationJob job(FileCommand::Copy, files, t / "dst", fs);
        size_t next = 0;
        Window w;
        w.reply = [&](const JobQuestion&) { return next < r.answers.size() ? r.answers[next++] : JobAnswer{}; };
        JobControl* control = nullptr;
        std::string failures;
        w.run(job, control, failures);
        EXPECT_EQ(w.seen, r.seen);
        EXPECT_EQ(failures, r.failures);
        EXPECT_EQ(contents(t / "dst"), r.dst);
        EXPECT_EQ(contents(t / "src"), "a.jpg=A b.jpg=B c.jpg=C");  // a copy never touches its sources
        EXPECT_EQ(job.aborted(), r.aborted);
    }
}

// A serial pass goes on after a taken name whatever the OK-only box answered, and the window sees
// each file's step before the next file is renamed.
TEST(Job, SerialRenameStepsAndFailures) {
    for (const bool escape : {false, true}) {
        SCOPED_TRACE(escape);
        TempTree t;
        for (const char* n : {"a", "b", "c"}) t.write(std::string(n) + ".jpg", n);
        SerialRenameJob job({{t / "a.jpg", t / "b.jpg"}, {t / "c.jpg", t / "d.jpg"}});
        Window w;
        w.reply = [&](const JobQuestion&) { return error(escape ? ErrorAnswer::Cancel : ErrorAnswer::Skip); };
        w.atStep = [&] {
            std::string names;
            for (const auto& [n, c] : folderContents(t.dir())) names += n.substr(0, 1);
            return names;
        };
        JobControl* control = nullptr;
        std::string failures;
        w.run(job, control, failures);
        EXPECT_EQ(w.seen, "ok-error 1:abc 2:abd ");
        EXPECT_EQ(failures, "1");
        ASSERT_EQ(job.renamed().size(), 1u);
        EXPECT_EQ(job.renamed()[0].second, t / "d.jpg");
    }
}
