#include "platform/PeerCredentials.h"

#include <sys/socket.h>
#include <sys/stat.h>

namespace korvel {

std::optional<uid_t> socketPeerUid(int fd) {
    struct ucred cred {};
    socklen_t size = sizeof cred;
    if (fd < 0 || ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &cred, &size) != 0 || size != sizeof cred)
        return std::nullopt;
    return cred.uid;
}

std::optional<uid_t> entryOwner(const std::string& path) {
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0) return std::nullopt;
    return st.st_uid;
}

bool privateFolder(const std::string& path, uid_t own) {
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == own &&
           (st.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

bool trustedInstance(uid_t own, std::optional<uid_t> listener, std::optional<uid_t> socketOwner) {
    return listener == own && socketOwner == own;
}

}  // namespace korvel
