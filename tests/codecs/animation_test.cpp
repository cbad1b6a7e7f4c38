// Animations made here as GIF and APNG: every frame against the plain compositor, delays, plays,
// the step back to the first frame, and a long animation holding two canvases at most.
#include <gtest/gtest.h>

#include "base/FileBytes.h"
#include "codecs/FrameSource.h"
#include "codecs/Gif.h"
#include "codecs/Png.h"
#include "formats/Animation.h"
#include "tests/support/AnimationFiles.h"
#include "tests/support/TempTree.h"

using namespace korvel;
using namespace korvel::testing;

namespace {

constexpr uint32_t kRed = 0xFF0000FF, kGreen = 0x00FF00FF, kBlue = 0x0000FFFF, kHalfWhite = 0xFFFFFF80;

enum class Kind { Gif, Apng, ApngHiddenDefault };

std::vector<uint8_t> encoded(Kind kind, const AnimPlan& s) {
    return kind == Kind::Gif ? writeAnimatedGif(s) : writeApng(s, kind == Kind::ApngHiddenDefault);
}

std::unique_ptr<FrameSource> open(Kind kind, std::vector<uint8_t> bytes) {
    const auto held = FileBytes::hold(std::move(bytes));
    return kind == Kind::Gif ? openGifFrames(held) : openPngFrames(held);
}

struct Case {
    const char* name;
    Kind kind;
    AnimPlan plan;
    int plays;
};

AnimPlan disposals(int loops) {
    return {8, 6, loops,
            {solidFrame(0, 0, 8, 6, kRed, 0, 40, true), solidFrame(1, 1, 3, 3, kGreen, 2, 70),
             solidFrame(4, 2, 3, 3, kBlue, 1, 120, true), solidFrame(2, 0, 2, 2, kGreen, 0, 10)}};
}

AnimPlan blends() {
    AnimPlan s{6, 4, 3, {solidFrame(0, 0, 6, 4, kBlue), solidFrame(1, 1, 4, 2, kHalfWhite, 0, 50),
                         solidFrame(2, 0, 2, 4, kHalfWhite, 1, 50)}};
    s.frames[2].blendOver = false;
    return s;
}

TEST(Animation, FramesDelaysAndPlaysMatchTheReference) {
    const Case cases[] = {
        {"gif disposals, loops forever", Kind::Gif, disposals(0), 0},
        {"gif loop count 2 plays three times", Kind::Gif, disposals(2), 3},
        {"gif without loop block plays once", Kind::Gif, disposals(-1), 1},
        {"apng disposals, two plays", Kind::Apng, disposals(2), 2},
        {"apng with hidden default image", Kind::ApngHiddenDefault, disposals(0), 0},
        {"apng blend over and source", Kind::Apng, blends(), 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::unique_ptr<FrameSource> src = open(c.kind, encoded(c.kind, c.plan));
        ASSERT_TRUE(src);
        EXPECT_EQ(src->width(), c.plan.width);
        for (int round = 0; round < 2; ++round) {
            AnimFrame f;
            for (size_t k = 0; k < c.plan.frames.size(); ++k) {
                ASSERT_TRUE(src->next(f)) << "frame " << k;
                EXPECT_EQ(src->plays(), c.plays);
                EXPECT_EQ(f.delayMs, c.plan.frames[k].delayMs) << "frame " << k;
                const std::vector<uint8_t> want = referenceCanvas(c.plan, k);
                ASSERT_EQ(f.rgba.size(), want.size());
                for (size_t i = 0; i < want.size(); ++i)
                    ASSERT_NEAR(f.rgba[i], want[i], 1) << "frame " << k << " byte " << i;
            }
            EXPECT_FALSE(src->next(f));
            src->rewind();
        }
    }
}

TEST(Animation, PlayerStepsThroughPlaysWithClampedDelaysAndStops) {
    const std::pair<int, int> table[] = {{0, 100}, {10, 100}, {11, 11}, {20, 20}, {1000, 1000}};
    for (auto [given, shown] : table) EXPECT_EQ(clampFrameDelay(given), shown) << given;
    const AnimPlan s = disposals(1);  // the loop block's 1: two plays
    FramePlayer player(open(Kind::Gif, encoded(Kind::Gif, s)));
    std::vector<int> order{player.index()}, delays{player.delayMs()};
    while (player.advance()) order.push_back(player.index()), delays.push_back(player.delayMs());
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3, 0, 1, 2, 3}));
    EXPECT_EQ(delays, (std::vector<int>{40, 70, 120, 100, 40, 70, 120, 100}));  // 10 ms shown as browsers do
    EXPECT_TRUE(player.finished());
    EXPECT_EQ(player.frameCount(), 4);
    // The last frame stays; a step goes on regardless.
    EXPECT_EQ(player.current().rgba, referenceCanvas(s, 3));
    EXPECT_TRUE(player.advance(true));
    EXPECT_EQ(player.index(), 0);
    EXPECT_EQ(player.current().rgba, referenceCanvas(s, 0));
}

TEST(Animation, LongAnimationHoldsFewRasters) {
    for (Kind kind : {Kind::Gif, Kind::Apng}) {
        AnimPlan s{32, 32, 0, {}};
        for (int i = 0; i < 1000; ++i)
            s.frames.push_back(solidFrame(i % 30, i % 29, 2, 3, i % 2 ? kRed : kGreen, i % 3, 20));
        FramePlayer player(open(kind, encoded(kind, s)));
        int most = 0;
        for (int seen = 1; seen < 2100; ++seen) {
            ASSERT_TRUE(player.advance());
            most = std::max(most, player.source().rastersHeld());
        }
        EXPECT_EQ(player.frameCount(), 1000);
        EXPECT_EQ(player.index(), 2099 % 1000);
        EXPECT_LE(most, 2);
        EXPECT_GE(most, 1);
    }
}

TEST(Animation, OpenAnimationDecidesByContent) {
    TempTree tree;
    const AnimPlan two{4, 4, 0, {solidFrame(0, 0, 4, 4, kRed), solidFrame(0, 0, 2, 2, kBlue)}};
    const AnimPlan one{4, 4, 0, {solidFrame(0, 0, 4, 4, kRed)}};
    // A canvas over the pixel limit is refused after the file was opened (leak-checked under ASan).
    const AnimPlan huge{60000, 60000, 0, {solidFrame(0, 0, 4, 4, kRed), solidFrame(0, 0, 2, 2, kBlue)}};
    std::vector<uint8_t> damaged = writeAnimatedGif(two);
    damaged.resize(20);
    const struct {
        const char* name;
        std::vector<uint8_t> bytes;
        bool animated;
    } table[] = {
        {"a.png", writeAnimatedGif(two), true},  // a GIF named .png still plays
        {"b.gif", writeApng(two), true},
        {"c.gif", writeAnimatedGif(one), false},
        {"d.png", writeApng(one), false},
        {"e.gif", damaged, false},
        {"f.gif", writeAnimatedGif(huge), false},
    };
    for (const auto& row : table) {
        const std::string path = tree.write(row.name, std::string(row.bytes.begin(), row.bytes.end()));
        EXPECT_EQ(openAnimation(path) != nullptr, row.animated) << row.name;
    }
}

TEST(Animation, DamageAfterTheFirstFrameEndsTheAnimation) {
    const AnimPlan s = disposals(0);
    for (Kind kind : {Kind::Gif, Kind::Apng}) {
        std::vector<uint8_t> bytes = encoded(kind, s);
        bytes.resize(bytes.size() - 40);  // inside the last frames
        std::unique_ptr<FrameSource> src = open(kind, bytes);
        AnimFrame f;
        int frames = 0;
        while (frames < 10 && src->next(f)) ++frames;
        EXPECT_GE(frames, 1);
        EXPECT_LT(frames, 4);
    }
}

}  // namespace
