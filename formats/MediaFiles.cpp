#include "formats/MediaFiles.h"

#include <sys/stat.h>

#include "base/FileNames.h"

namespace korvel {

bool MediaExtList::contains(const std::string& ext) const {
    const std::string wanted = asciiUpper(ext);
    for (const std::string& e : exts_)
        if (asciiUpper(e) == wanted) return true;
    return false;
}

bool IsMediaFile(const MediaExtList& list, const std::string& path) {
    // The name first: the status call is the dear part, and most files are not media.
    if (list.empty() || !list.contains(extractFileExt(path))) return false;
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

void applyPluginRegistrationPolicy(const std::string& pluginFileName, const std::string& extension,
                                   const GraphicClass*& cls, MediaExtList& media) {
    // JPEG and GIF always go to the built-in codecs.
    const std::string upper = asciiUpper(extension);
    if (upper == "JPG" || upper == "JPEG" || upper == "GIF") cls = nullptr;
    // "*.*" in a plug-in's filter offers the extension "*".
    if (extension == "*") cls = nullptr;
    if (asciiLower(extractFileName(pluginFileName)) == "ifmm.spi" && !extension.empty()) media.add("." + extension);
}

}  // namespace korvel
