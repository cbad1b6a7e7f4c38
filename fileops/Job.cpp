#include "fileops/Job.h"

namespace korvel {

void JobControl::progress(const JobProgress& p) {
    if (listener_.progress) listener_.progress(p, false);
}

void JobControl::step(const JobProgress& p) {
    if (!listener_.progress) return;
    std::unique_lock lock(m_);
    if (cancelled()) return;
    waiting_ = Wait::Step;
    replied_ = false;
    lock.unlock();
    listener_.progress(p, true);
    lock.lock();
    woken_.wait(lock, [this] { return replied_ || cancelled(); });
    waiting_ = Wait::None;
}

JobAnswer JobControl::ask(const JobQuestion& q) {
    if (!listener_.ask) return {};
    std::unique_lock lock(m_);
    if (cancelled()) return {};
    waiting_ = Wait::Answer;
    replied_ = false;
    lock.unlock();
    listener_.ask(q);
    lock.lock();
    woken_.wait(lock, [this] { return replied_ || cancelled(); });
    waiting_ = Wait::None;
    return replied_ ? answer_ : JobAnswer{};
}

ErrorAnswer JobControl::fail(const JobFailure& failure, bool canCancel) {
    {
        std::lock_guard lock(m_);
        failures_.push_back(failure);
        if (quiet_) return ErrorAnswer::Skip;
    }
    JobQuestion q;
    q.kind = JobQuestion::Kind::Failure;
    q.failure = failure;
    q.canCancel = canCancel;
    const ErrorAnswer a = ask(q).error;
    if (a == ErrorAnswer::SkipQuietly) {
        std::lock_guard lock(m_);
        quiet_ = true;
    }
    // A box without ｷｬﾝｾﾙ only stops the run when the run itself was cancelled.
    if (a == ErrorAnswer::Cancel && (canCancel || cancelled())) {
        cancel();
        return ErrorAnswer::Cancel;
    }
    return a == ErrorAnswer::Cancel ? ErrorAnswer::Skip : a;
}

void JobControl::listOnly() {
    std::lock_guard lock(m_);
    quiet_ = true;
}

void JobControl::answer(const JobAnswer& a) {
    std::lock_guard lock(m_);
    if (waiting_ != Wait::Answer || replied_) return;  // a box left over from a cancelled wait
    answer_ = a;
    replied_ = true;
    woken_.notify_all();
}

void JobControl::taken() {
    std::lock_guard lock(m_);
    if (waiting_ != Wait::Step || replied_) return;
    replied_ = true;
    woken_.notify_all();
}

void JobControl::cancel() {
    std::lock_guard lock(m_);
    cancel_ = true;
    woken_.notify_all();
}

std::vector<JobFailure> JobControl::failures() const {
    std::lock_guard lock(m_);
    return failures_;
}

bool JobControl::quiet() const {
    std::lock_guard lock(m_);
    return quiet_;
}

}  // namespace korvel
