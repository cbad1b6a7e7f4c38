#include "browse/FolderChanges.h"

#include <algorithm>

namespace korvel {

void ChangeCoalescer::touch(const std::string& path, Millis now) {
    files_.insert(path);
    started(now);
}

void ChangeCoalescer::folderChanged(const std::string& folder, Millis now) {
    folders_.insert(folder);
    started(now);
}

void ChangeCoalescer::add(const FolderEvent& e, Millis now) {
    using K = FolderEvent::Kind;
    if (e.kind == K::Overflow) {
        // A full reading covers every change gathered so far, files being written included.
        everything_ = true;
        renamed_.clear(), files_.clear(), folders_.clear(), movedOut_.clear(), writing_.clear();
        started(now);
        return;
    }
    if (e.kind == K::FolderGone) {
        gone_.insert(e.folder);
        started(now);
        return;
    }
    if (everything_) return;
    const std::string path = e.folder + e.name;
    switch (e.kind) {
        case K::Created:
            if (e.isFolder) folderChanged(e.folder, now);
            else if (settle_.count() == 0) touch(path, now);
            else writing_[path] = now;  // shown once written
            break;
        case K::Deleted:
            writing_.erase(path);
            if (e.isFolder) folderChanged(e.folder, now);
            else touch(path, now);
            break;
        case K::MovedOut:
            writing_.erase(path);
            movedOut_[e.cookie] = {path, e.isFolder};
            started(now);
            break;
        case K::MovedIn: {
            // A file moved in was written elsewhere: it is whole.
            writing_.erase(path);
            const auto out = movedOut_.find(e.cookie);
            if (out != movedOut_.end()) {
                renamed_.emplace_back(out->second.path, path);
                movedOut_.erase(out);
                started(now);
            } else if (e.isFolder) {
                folderChanged(e.folder, now);
            } else {
                touch(path, now);
            }
            break;
        }
        case K::Written:
            writing_.erase(path);
            if (!e.isFolder) touch(path, now);
            break;
        case K::Modified:
        case K::Attributes:
            if (const auto w = writing_.find(path); w != writing_.end()) w->second = now;
            else if (e.kind == K::Attributes && !e.isFolder) touch(path, now);
            break;
        default:
            break;
    }
}

std::optional<ChangeCoalescer::Millis> ChangeCoalescer::due() const {
    std::optional<Millis> at;
    if (since_) at = *since_ + interval_;
    for (const auto& [path, seen] : writing_)
        if (!at || seen + settle_ < *at) at = seen + settle_;
    return at;
}

FolderUpdate ChangeCoalescer::take(Millis now) {
    for (auto it = writing_.begin(); it != writing_.end();) {
        const Millis settled = it->second + settle_;
        if (settled > now) {
            ++it;
            continue;
        }
        files_.insert(it->first);
        if (!since_ || settled < *since_) since_ = settled;
        it = writing_.erase(it);
    }
    if (!since_ || *since_ + interval_ > now) return {};
    // A half of a rename without its other half left or entered the watched folders.
    for (const auto& [cookie, out] : movedOut_) {
        if (out.isFolder) folders_.insert(out.path.substr(0, out.path.rfind('/') + 1));
        else files_.insert(out.path);
    }
    FolderUpdate u;
    u.everything = std::exchange(everything_, false);
    u.renamed = std::move(renamed_);
    u.files.assign(files_.begin(), files_.end());
    u.folders.assign(folders_.begin(), folders_.end());
    u.gone.assign(gone_.begin(), gone_.end());
    renamed_.clear(), files_.clear(), folders_.clear(), gone_.clear(), movedOut_.clear();
    since_.reset();
    return u;
}

}  // namespace korvel
