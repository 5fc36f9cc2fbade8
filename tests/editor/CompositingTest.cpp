// The compositing arithmetic: transparency and opacity, the tint and its margins, rounding,
// channel order (RGBT image over BGRX destination) and the sub-rectangle addressing.
#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <vector>

#include "editor/Compositing.h"

namespace {

struct Rgb {
    int r, g, b;
    bool operator==(const Rgb& o) const { return r == o.r && g == o.g && b == o.b; }
};
std::ostream& operator<<(std::ostream& out, const Rgb& c) {
    return out << "(" << c.r << ", " << c.g << ", " << c.b << ")";
}

// w x h pixels of one colour: an RGBT image (with its transparency) or, for transparency < 0,
// a BGRX destination whose X byte is a marker that must survive.
std::vector<uint8_t> Solid(int w, int h, Rgb c, int transparency = -1) {
    std::vector<uint8_t> pixels;
    for (int i = 0; i < w * h; ++i) {
        if (transparency >= 0) {
            pixels.insert(pixels.end(),
                          {uint8_t(c.r), uint8_t(c.g), uint8_t(c.b), uint8_t(transparency)});
        } else {
            pixels.insert(pixels.end(), {uint8_t(c.b), uint8_t(c.g), uint8_t(c.r), 0x5a});
        }
    }
    return pixels;
}

Rgb PixelAt(const std::vector<uint8_t>& dest, int w, int x, int y) {
    const uint8_t* p = &dest[(y * w + x) * 4];
    return {p[2], p[1], p[0]};
}

// One pixel composited with CompositeOverBgrx.
Rgb CompositeOne(Rgb source, int transparency, Rgb destination, int opacity = 255,
                 uint32_t tint = skin::kNoTint) {
    auto image = Solid(1, 1, source, transparency);
    auto dest = Solid(1, 1, destination);
    skin::CompositeOverBgrx(dest.data(), 1, 1, image.data(), opacity, tint, skin::kTintWholeImage);
    EXPECT_EQ(dest[3], 0x5a) << "the unused destination byte is not ours";
    return PixelAt(dest, 1, 0, 0);
}

TEST(Compositing, FullTransparencyKeepsTheDestinationAndOpaqueGivesTheImage) {
    for (Rgb s : {Rgb{0, 0, 0}, Rgb{255, 255, 255}, Rgb{12, 200, 97}}) {
        for (Rgb d : {Rgb{0, 0, 0}, Rgb{255, 255, 255}, Rgb{250, 3, 128}, Rgb{1, 254, 77}}) {
            EXPECT_EQ(CompositeOne(s, 255, d), d) << "over " << d << " from " << s;
            EXPECT_EQ(CompositeOne(s, 0, d), s) << "over " << d << " from " << s;
        }
    }
}

TEST(Compositing, ReducedOpacityRaisesTransparency) {
    EXPECT_EQ(skin::EffectiveTransparency(0, 160), 160);
    EXPECT_EQ(skin::BlendWeight(160), 161);
    // 200 + floor((40 - 200) * 161 / 256) = 200 + floor(-100.6) = 99
    EXPECT_EQ(CompositeOne({200, 200, 200}, 0, {40, 40, 40}, 160), (Rgb{99, 99, 99}));
    // Partly transparent pixels move towards full transparency: 192 + 63 * 128 / 255 = 223.
    EXPECT_EQ(skin::EffectiveTransparency(128, 192), 223);
    EXPECT_EQ(skin::EffectiveTransparency(255, 160), 255);
    // The value counts towards transparency: 254 leaves almost only the background, and 0
    // adds nothing (the pixel's own T alone, as at 255).
    EXPECT_EQ(CompositeOne({200, 200, 200}, 0, {40, 40, 40}, 254), (Rgb{40, 40, 40}));
    EXPECT_EQ(skin::EffectiveTransparency(77, 0), 77);
    // Rounding is towards the lower value: half way between 100 and 99 (t = 128) is 99.5,
    // floored to 99 on both sides.
    EXPECT_EQ(CompositeOne({100, 100, 100}, 127, {99, 99, 99}).r, 99);
    EXPECT_EQ(CompositeOne({99, 99, 99}, 127, {100, 100, 100}).r, 99);
    EXPECT_EQ(skin::BlendChannel(10, 0, 1), 9);  // -10 / 256 floors to -1
    EXPECT_EQ(skin::BlendChannel(0, 10, 1), 0);
    EXPECT_EQ(skin::BlendChannel(255, 0, 256), 0);
}

TEST(Compositing, TintMultipliesEachChannelBeforeTheBlend) {
    const uint32_t highlight = skin::kHighlightTint;  // x255/235, x248/235, x120/235, capped
    EXPECT_EQ(CompositeOne({235, 235, 235}, 0, {0, 0, 0}, 255, highlight), (Rgb{255, 248, 120}));
    EXPECT_EQ(CompositeOne({100, 100, 100}, 0, {0, 0, 0}, 255, highlight), (Rgb{108, 105, 51}));
    // Channel order: red x 2, green x 1, blue x 0 (divisor 1).
    EXPECT_EQ(CompositeOne({10, 20, 30}, 0, {0, 0, 0}, 255, 0x01000102), (Rgb{20, 20, 0}));
    EXPECT_EQ(CompositeOne({235, 235, 235}, 255, {7, 8, 9}, 255, highlight), (Rgb{7, 8, 9}));
    EXPECT_EQ(CompositeOne({10, 20, 30}, 0, {0, 0, 0}, 255, 0x00ffffff), (Rgb{10, 20, 30}))
        << "a tint without divisor is ignored";
}

// The tint reaches the inner rectangle left <= x <= w - right, top <= y <= h - bottom.
TEST(Compositing, TintMarginsLeaveAFrameUntinted) {
    const int w = 10, h = 8;
    const Rgb plain{100, 100, 100};
    const struct {
        int marginMode, left, top, right, bottom;
    } cases[] = {{skin::kTintWholeImage, 0, 0, 1, 1},
                 {skin::kTintInsideEvenMargin, 2, 2, 2, 2},
                 {skin::kTintInsideButtonMargin, 1, 1, 3, 3}};
    for (const auto& c : cases) {
        auto image = Solid(w, h, plain, 0);
        auto dest = Solid(w, h, {0, 0, 0});
        skin::CompositeOverBgrx(dest.data(), w, h, image.data(), 255, skin::kHighlightTint,
                                c.marginMode);
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                const bool inside =
                    x >= c.left && x <= w - c.right && y >= c.top && y <= h - c.bottom;
                EXPECT_EQ(!(PixelAt(dest, w, x, y) == plain), inside)
                    << "marginMode " << c.marginMode << " at " << x << ", " << y;
                EXPECT_EQ(skin::IsTintedPixel(x, y, w, h, c.marginMode), inside);
            }
        }
    }
}

TEST(Compositing, SubRectangleReadsItsOwnRowsAndColumnsAndEmptySizesDrawNothing) {
    // A 6 x 4 image whose pixels encode their position; the block (2, 1) 3 x 2 is laid down.
    const int iw = 6;
    std::vector<uint8_t> image;
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < iw; ++x) image.insert(image.end(), {uint8_t(x), uint8_t(y), 77, 0});
    }
    auto dest = Solid(3, 2, {255, 255, 255});
    skin::CompositeRectOverBgrx(dest.data(), 3, 2, image.data(), 2, 1, iw, 255);
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 3; ++x) EXPECT_EQ(PixelAt(dest, 3, x, y), (Rgb{2 + x, 1 + y, 77}));
    }
    auto whole = Solid(iw, 2, {255, 255, 255});  // stride 0: rows as long as the block
    skin::CompositeRectOverBgrx(whole.data(), iw, 2, image.data(), 0, 2, 0, 255);
    EXPECT_EQ(PixelAt(whole, iw, 5, 1), (Rgb{5, 3, 77}));

    const auto before = whole;
    skin::CompositeOverBgrx(whole.data(), 0, 2, image.data(), 255, 0, 0);
    skin::CompositeOverBgrx(whole.data(), 2, -1, image.data(), 255, 0, 0);
    skin::CompositeRectOverBgrx(whole.data(), -3, 2, image.data(), 0, 0, 2, 255);
    EXPECT_EQ(whole, before);
}

}  // namespace
