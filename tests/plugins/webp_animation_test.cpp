// Animated WebP made with libwebp's animation encoder, played through the WebP plug-in's
// animation calls: frames in order, their delays, plays and rewinding; still files are refused.
#include <gtest/gtest.h>
#include <webp/encode.h>
#include <webp/mux.h>

#include "formats/Animation.h"
#include "formats/FormatRegistry.h"
#include "formats/SpiAnimation.h"
#include "formats/SpiHost.h"
#include "tests/support/TempTree.h"

using namespace korvel;
using korvel::testing::TempTree;
using Bytes = std::vector<uint8_t>;

namespace {

Bytes frameRgba(int w, int h, int k) {
    Bytes v;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) v.insert(v.end(), {uint8_t(k * 80), uint8_t(x * 20 + k), uint8_t(y * 30), 255});
    return v;
}

// Lossless frames, so the composed canvas must equal each frame's pixels exactly.
Bytes animatedWebp(int w, int h, const std::vector<int>& delays, int loops) {
    WebPAnimEncoderOptions options;
    WebPAnimEncoderOptionsInit(&options);
    options.anim_params.loop_count = loops;
    WebPAnimEncoder* enc = WebPAnimEncoderNew(w, h, &options);
    WebPConfig config;
    WebPConfigInit(&config);
    config.lossless = 1;
    int timestamp = 0;
    for (size_t k = 0; k < delays.size(); ++k) {
        WebPPicture pic;
        WebPPictureInit(&pic);
        pic.use_argb = 1, pic.width = w, pic.height = h;
        const Bytes rgba = frameRgba(w, h, int(k));
        WebPPictureImportRGBA(&pic, rgba.data(), w * 4);
        WebPAnimEncoderAdd(enc, &pic, timestamp, &config);
        WebPPictureFree(&pic);
        timestamp += delays[k];
    }
    WebPAnimEncoderAdd(enc, nullptr, timestamp, nullptr);
    WebPData out;
    WebPDataInit(&out);
    WebPAnimEncoderAssemble(enc, &out);
    Bytes bytes(out.bytes, out.bytes + out.size);
    WebPDataClear(&out);
    WebPAnimEncoderDelete(enc);
    return bytes;
}

class WebpAnimation : public ::testing::Test {
protected:
    void SetUp() override {
        host_.Search(std::string(KORVEL_PLUGIN_DIR) + "/korvel-webp.spi");
        ASSERT_EQ(host_.Count(), 1);
    }
    std::string file(const std::string& name, const Bytes& b) { return dir_.write(name, std::string(b.begin(), b.end())); }
    TempTree dir_;
    TFileFormatsList formats_;
    TSPIs host_{"", &formats_};
};

TEST_F(WebpAnimation, FramesDelaysAndPlays) {
    const struct {
        std::vector<int> delays;
        int loops;
    } table[] = {{{40, 70, 120}, 0}, {{30, 30}, 3}};
    for (const auto& row : table) {
        const std::string path = file("a.webp", animatedWebp(5, 4, row.delays, row.loops));
        std::unique_ptr<FrameSource> src = openPluginFrames(*host_.item(0), path);
        ASSERT_TRUE(src);
        EXPECT_EQ(src->plays(), row.loops);
        for (int round = 0; round < 2; ++round) {
            AnimFrame f;
            for (size_t k = 0; k < row.delays.size(); ++k) {
                ASSERT_TRUE(src->next(f)) << k;
                EXPECT_EQ(f.delayMs, row.delays[k]) << k;
                EXPECT_EQ(f.rgba, frameRgba(5, 4, int(k))) << k;
            }
            EXPECT_FALSE(src->next(f));
            src->rewind();
        }
    }
    // The viewer's entry point finds the plug-in by content, whatever the name says.
    EXPECT_TRUE(openAnimation(file("b.bin", animatedWebp(4, 4, {50, 50}, 0))));
}

TEST_F(WebpAnimation, StillAndDamagedFilesAreNoAnimation) {
    const Bytes rgba = frameRgba(4, 4, 0);
    uint8_t* still = nullptr;
    const size_t n = WebPEncodeLosslessRGBA(rgba.data(), 4, 4, 16, &still);
    Bytes cut = animatedWebp(8, 8, {50, 50}, 0);
    cut.resize(40);
    for (const Bytes& b : {Bytes(still, still + n), cut})
        EXPECT_FALSE(openPluginFrames(*host_.item(0), file("s.webp", b)));
    WebPFree(still);
}

}  // namespace
