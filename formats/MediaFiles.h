#pragma once
// Media extensions: files whose thumbnail is their desktop icon instead of a decoded image,
// and the policy that decides which plug-in extensions enter the format registry.
#include <string>
#include <vector>

#include "imaging/Graphic.h"

namespace korvel {

class MediaExtList {
public:
    // ext with its leading dot, as given.
    void add(const std::string& ext) { exts_.push_back(ext); }
    bool empty() const { return exts_.empty(); }
    // True when the list holds ext (with its dot), compared ignoring ASCII case.
    bool contains(const std::string& ext) const;
    const std::vector<std::string>& items() const { return exts_; }

private:
    std::vector<std::string> exts_;
};

// True when the list is not empty, the file exists and its extension is in the list.
bool IsMediaFile(const MediaExtList& list, const std::string& path);

// Decides whether an extension offered by an image-loader plug-in gets registered: on return
// cls is null when it must not be. Media extensions of "ifmm.spi" are recorded whatever is decided.
void applyPluginRegistrationPolicy(const std::string& pluginFileName, const std::string& extension,
                                   const GraphicClass*& cls, MediaExtList& media);

}  // namespace korvel
