#include "formats/SpiStartup.h"

#include "base/FileNames.h"
#include "formats/SpiExclusion.h"

namespace korvel {

void installStartupPolicy(TSPIs& spis, const std::string& exclusionPath, MediaExtList& media,
                          PluginStartupHooks hooks) {
    spis.OnSearching = [exclusionPath, hooks](TSPIs&, const std::string& fileName, bool& accept) {
        if (hooks.skipHeld && hooks.skipHeld()) {
            accept = false;
            if (hooks.onSkipped) hooks.onSkipped();
            return;
        }
        // Read per candidate, so a change made meanwhile is seen by the next one.
        if (isExcludedPlugin(readExclusionLines(exclusionPath), fileName)) accept = false;
    };
    spis.OnSearch = [](TSPIs& sender, TSPI& spi, bool& accept) {
        if (spi.kind() != SpiKind::In) {
            accept = false;
            return;
        }
        const std::string name = asciiLower(extractFileName(spi.FileName));
        for (int i = 0; i < sender.Count(); ++i)
            if (asciiLower(extractFileName(sender.item(i)->FileName)) == name) accept = false;
    };
    spis.OnPictureRegister = [&media](TSPIs&, TInSPI& spi, const std::string& ext, const std::string&,
                                      const GraphicClass*& cls) {
        applyPluginRegistrationPolicy(spi.FileName, ext, cls, media);
    };
}

std::unique_ptr<TSPIs> startPlugins(const std::string& executablePath, const std::string& susieFolder,
                                    MediaExtList& media, PluginStartupHooks hooks) {
    auto spis = std::make_unique<TSPIs>(executablePath);
    spis->SusieFolder = susieFolder;
    spis->SearchOptions = spsSusieDir | spsAppDir;
    spis->GraphicPreview = false;
    installStartupPolicy(*spis, exclusionFilePath(executablePath), media, std::move(hooks));
    spis->Loaded();
    return spis;
}

}  // namespace korvel
