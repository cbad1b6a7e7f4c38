#pragma once
// Korvel's start-up policy for plug-ins, shared by the main window and korvel-tool: Shift (or
// its stand-in) loads none, the exclusion file refuses by file name, only image loaders are
// kept and only the first of a file name, and each extension passes the registration policy.
#include <functional>
#include <memory>
#include <string>

#include "formats/MediaFiles.h"
#include "formats/SpiHost.h"

namespace korvel {

struct PluginStartupHooks {
    // True while the key that skips plug-in loading is held; null means never.
    std::function<bool()> skipHeld;
    // Called for each candidate refused because of that key.
    std::function<void()> onSkipped;
};

// Installs the policy as spis's OnSearching, OnSearch and OnPictureRegister handlers. The
// exclusion file at exclusionPath is read again for every candidate; media receives the
// media extensions and must outlive the registration.
void installStartupPolicy(TSPIs& spis, const std::string& exclusionPath, MediaExtList& media,
                          PluginStartupHooks hooks);

// Creates the host (susieFolder when not empty, then the executable's folder), installs the
// policy and searches. Throws ESPIDupCreateSPIs when a host exists already.
std::unique_ptr<TSPIs> startPlugins(const std::string& executablePath, const std::string& susieFolder,
                                    MediaExtList& media, PluginStartupHooks hooks);

}  // namespace korvel
