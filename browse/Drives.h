#pragma once
// The top-level nodes of the folder tree: the home folder, the root file system, then the other
// mounted file systems of real devices, each with a caption "label (mount point)".
#include <functional>
#include <string>
#include <vector>

#include "base/Translatable.h"

namespace korvel {

struct DriveEntry {
    std::string path;     // ends with "/"
    std::string caption;  // "label (mount point)", or "(mount point)" without a label
    TrText captionText;   // the caption as a marked text, where it is one (the home folder's)
};

// Volume label of a device node ("/dev/sda1"), or "" when it has none.
using LabelLookup = std::function<std::string(const std::string& device)>;

// Builds the drive list from the text of a mount table (/proc/self/mounts format). Pseudo and
// virtual file systems (proc, sysfs, tmpfs, overlay, squashfs images, ...) are left out; the
// root file system is always present. Mount points are sorted; a mount point listed twice
// counts once.
std::vector<DriveEntry> listDrives(const std::string& mountsText, const std::string& home, const LabelLookup& labels);

// Labels from /dev/disk/by-label.
std::string systemVolumeLabel(const std::string& device);

// The drives of this machine now.
std::vector<DriveEntry> currentDrives();

// Whether path (ending with "/") is a Trash "files" folder: the freedesktop home Trash or a
// .Trash-UID / .Trash/UID folder at the top of a mount.
bool IsRecycleBinFolder(const std::string& path);
// Whether path is such a folder on disk as a Trash keeps it: an existing "files" folder with the
// "info" folder beside it. A folder that only carries the name is no Trash.
bool IsTrashFilesFolderOnDisk(const std::string& path);
// Whether path lies strictly inside a Trash "files" folder (a trashed folder): the tree hides those.
bool IsInsideRecycleBin(const std::string& path);
// Whether path lies below a Windows recycle bin: after "/recycled/" (or, when that is absent,
// "/recycler/"), ignoring letter case, something follows. The bin folder itself is not below.
bool IsBelowWindowsRecycleBin(const std::string& path);
// The folder tree's rule: no folder inside the Trash or below a Windows recycle bin is shown.
bool PassesRecycleBinRule(const std::string& path);

}  // namespace korvel
