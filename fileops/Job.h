#pragma once
// Long work (file operations, serial rename passes, extended copies) runs as a job on a worker
// thread. The job reports progress, asks its questions and records its failures through a
// JobControl and polls the control's cancel flag; the window answers and the job waits. A
// cancel wakes a job that waits for an answer, so it can stop at any moment.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "base/ErrorReason.h"
#include "base/Translatable.h"

namespace korvel {

enum class ConflictAnswer { Replace, Skip, ReplaceAll, SkipAll, KeepBoth, Cancel };
// SkipQuietly goes on like Skip and asks about no later failure of the run: they are only
// listed at its end.
enum class ErrorAnswer { Skip, Cancel, SkipQuietly };

struct JobProgress {
    uint64_t bytesDone = 0, bytesTotal = 0;
    int filesDone = 0, filesTotal = 0;
    std::string current;  // the item being worked on
};

// One failed item: the marked text naming it and why it failed.
struct JobFailure {
    TrText text;
    FailureReason reason;
};

struct JobQuestion {
    enum class Kind { Replace, Failure, ConfirmTrash, ConfirmPermanentDelete };
    Kind kind = Kind::Failure;
    std::string source, target;      // Replace: source would replace target; ConfirmPermanentDelete: source
    std::vector<std::string> paths;  // ConfirmTrash
    JobFailure failure;              // Failure
    bool canCancel = false;          // Failure: besides going on, the user may stop the run
};

// The default answer is the one a cancel gives.
struct JobAnswer {
    ConflictAnswer conflict = ConflictAnswer::Cancel;
    ErrorAnswer error = ErrorAnswer::Cancel;
    bool yes = false;
};

class JobControl {
public:
    // Called on the job's thread; the window answers a question with answer() and takes a
    // waiting step with taken().
    struct Listener {
        std::function<void(const JobProgress&, bool waits)> progress;
        std::function<void(const JobQuestion&)> ask;
    };
    explicit JobControl(Listener listener) : listener_(std::move(listener)) {}

    // The job's side.
    bool cancelled() const { return cancel_.load(); }
    const std::atomic<bool>& cancelFlag() const { return cancel_; }
    // Progress the window may skip over when a newer one follows.
    void progress(const JobProgress& p);
    // Progress the window must see before the job goes on (the next item starts only after the
    // window showed this one, as a one-item-at-a-time run would).
    void step(const JobProgress& p);
    // Waits for the window's answer; a cancel answers with the default JobAnswer.
    JobAnswer ask(const JobQuestion& q);
    // Records a failed item and, unless the user asked to hear of no more, asks about it. Cancel
    // also sets the cancel flag.
    ErrorAnswer fail(const JobFailure& failure, bool canCancel);
    // From now on failures are only listed, never asked about; the run ends with their summary.
    void listOnly();

    // The window's side.
    void answer(const JobAnswer& a);
    void taken();
    void cancel();

    // What failed in the run, in order, and whether the user silenced the later ones.
    std::vector<JobFailure> failures() const;
    bool quiet() const;

private:
    enum class Wait { None, Answer, Step };
    Listener listener_;
    std::atomic<bool> cancel_{false};
    mutable std::mutex m_;
    std::condition_variable woken_;
    Wait waiting_ = Wait::None;
    bool replied_ = false;
    JobAnswer answer_;
    bool quiet_ = false;
    std::vector<JobFailure> failures_;
};

class Job {
public:
    virtual ~Job() = default;
    // Runs on a worker thread until done or cancelled.
    virtual void run(JobControl& control) = 0;
};

}  // namespace korvel
