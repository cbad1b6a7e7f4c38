#pragma once
// Who is at the other end of the single-instance channel. Only the user's own processes are
// handed arguments or accepted as clients: another user may leave a socket where Korvel looks
// (the shared temporary folder), or connect to one that others can reach.
#include <sys/types.h>

#include <optional>
#include <string>

namespace korvel {

// The effective user id of the process at the other end of a connected local socket, as the
// kernel recorded it when that process listened or connected; nullopt when it does not say.
std::optional<uid_t> socketPeerUid(int fd);

// The owner of the entry at path itself (a link is not followed); nullopt when there is none.
std::optional<uid_t> entryOwner(const std::string& path);

// A folder (not a link) of own's that nobody else may write into: fit to hold own's socket.
bool privateFolder(const std::string& path, uid_t own);

// A running instance is trusted with own's arguments, or with a reason to end, only when both
// the process listening and the socket file are own's. Unknown counts as someone else.
bool trustedInstance(uid_t own, std::optional<uid_t> listener, std::optional<uid_t> socketOwner);

}  // namespace korvel
