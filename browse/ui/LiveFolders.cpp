#include "browse/ui/LiveFolders.h"

#include <QSocketNotifier>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <utility>

#include "base/ErrorReason.h"
#include "base/Errors.h"

namespace {

using Millis = korvel::ChangeCoalescer::Millis;
constexpr Millis kInterval{300};

Millis now() {
    return std::chrono::duration_cast<Millis>(std::chrono::steady_clock::now().time_since_epoch());
}

}  // namespace

LiveFolders::LiveFolders(korvel::FolderWatch::Watch what, QObject* parent)
    // A tree of folders needs no wait for files being written.
    : QObject(parent),
      coalescer_(kInterval, what == korvel::FolderWatch::Watch::Files ? Millis(2000) : Millis(0)) {
    try {
        watch_ = std::make_unique<korvel::FolderWatch>(what);
    } catch (const korvel::EFileError& e) {
        // Refresh still lists the folder again; saying so once is enough.
        static bool told = false;
        if (!std::exchange(told, true))
            std::fprintf(stderr, "korvel: folders will not update themselves: %s\n",
                         korvel::systemErrorText(e.errorNumber()).c_str());
        return;
    }
    notifier_ = new QSocketNotifier(watch_->fd(), QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &LiveFolders::readEvents);
    timer_ = new QTimer(this);
    timer_->setSingleShot(true);
    connect(timer_, &QTimer::timeout, this, &LiveFolders::deliver);
}

LiveFolders::~LiveFolders() = default;

void LiveFolders::watchOnly(const std::set<std::string>& folders) {
    if (watch_) watch_->watchOnly(folders);
}

bool LiveFolders::watching(const std::string& folder) const { return watch_ && watch_->watching(folder); }

void LiveFolders::readEvents() {
    const Millis at = now();
    for (const korvel::FolderEvent& e : watch_->read()) coalescer_.add(e, at);
    arm();
}

void LiveFolders::arm() {
    const std::optional<Millis> due = coalescer_.due();
    if (!due) return timer_->stop();
    timer_->start(int(std::max<qint64>(0, (*due - now()).count())));
}

void LiveFolders::deliver() {
    if (held && held()) {
        timer_->start(int(kInterval.count()));
        return;
    }
    const korvel::FolderUpdate update = coalescer_.take(now());
    arm();
    if (!update.empty() && changed) changed(update);
}

void LiveFolders::poke() {
    if (watch_ && coalescer_.due()) deliver();
}
