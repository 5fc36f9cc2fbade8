// The compositing arithmetic: transparency and opacity, the tint and its margins, rounding,
// channel order (RGBT image over BGRX destination) and the sub-rectangle addressing.
#include <gtest/gtest.h>

#include <cstdint>
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

// w x h RGBT image of one colour and transparency.
std::vector<uint8_t> SolidImage(int w, int h, Rgb c, int transparency) {
    std::vector<uint8_t> image;
    for (int i = 0; i < w * h; ++i) {
        image.insert(image.end(),
                     {uint8_t(c.r), uint8_t(c.g), uint8_t(c.b), uint8_t(transparency)});
    }
    return image;
}

// w x h BGRX destination of one colour; the X byte is set to a marker that must survive.
std::vector<uint8_t> SolidDestination(int w, int h, Rgb c) {
    std::vector<uint8_t> dest;
    for (int i = 0; i < w * h; ++i) {
        dest.insert(dest.end(), {uint8_t(c.b), uint8_t(c.g), uint8_t(c.r), 0x5a});
    }
    return dest;
}

Rgb PixelAt(const std::vector<uint8_t>& dest, int w, int x, int y) {
    const uint8_t* p = &dest[(y * w + x) * 4];
    return {p[2], p[1], p[0]};
}

// One pixel composited with CompositeOverBgrx.
Rgb CompositeOne(Rgb source, int transparency, Rgb destination, int opacity = 255,
                 uint32_t tint = skin::kNoTint) {
    auto image = SolidImage(1, 1, source, transparency);
    auto dest = SolidDestination(1, 1, destination);
    skin::CompositeOverBgrx(dest.data(), 1, 1, image.data(), opacity, tint, skin::kTintWholeImage);
    EXPECT_EQ(dest[3], 0x5a) << "the unused destination byte is not ours";
    return PixelAt(dest, 1, 0, 0);
}

TEST(Compositing, FullTransparencyKeepsTheDestinationAndOpaqueGivesTheImage) {
    const Rgb sources[] = {{0, 0, 0}, {255, 255, 255}, {12, 200, 97}};
    const Rgb destinations[] = {{0, 0, 0}, {255, 255, 255}, {250, 3, 128}, {1, 254, 77}};
    for (Rgb s : sources) {
        for (Rgb d : destinations) {
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
}

TEST(Compositing, BlendRoundsTowardsTheLowerValue) {
    // t = 128: half way between 100 and 99 is 99.5, floored to 99 on both sides.
    EXPECT_EQ(CompositeOne({100, 100, 100}, 127, {99, 99, 99}).r, 99);
    EXPECT_EQ(CompositeOne({99, 99, 99}, 127, {100, 100, 100}).r, 99);
    EXPECT_EQ(skin::BlendChannel(10, 0, 1), 9);  // -10 / 256 floors to -1
    EXPECT_EQ(skin::BlendChannel(0, 10, 1), 0);
    EXPECT_EQ(skin::BlendChannel(255, 0, 256), 0);
}

TEST(Compositing, HighlightTintMultipliesEachChannel) {
    EXPECT_EQ(CompositeOne({235, 235, 235}, 0, {0, 0, 0}, 255, skin::kHighlightTint),
              (Rgb{255, 248, 120}));
    EXPECT_EQ(CompositeOne({100, 100, 100}, 0, {0, 0, 0}, 255, skin::kHighlightTint),
              (Rgb{108, 105, 51}));
    // Channel order: red x 2, green x 1, blue x 0 (divisor 1).
    EXPECT_EQ(CompositeOne({10, 20, 30}, 0, {0, 0, 0}, 255, 0x01000102), (Rgb{20, 20, 0}));
    // The tinted colour is what gets blended.
    EXPECT_EQ(CompositeOne({235, 235, 235}, 255, {7, 8, 9}, 255, skin::kHighlightTint),
              (Rgb{7, 8, 9}));
}

TEST(Compositing, TintWithoutDivisorIsIgnored) {
    EXPECT_EQ(CompositeOne({10, 20, 30}, 0, {0, 0, 0}, 255, 0x00ffffff), (Rgb{10, 20, 30}));
}

// Which pixels of a w x h image come out tinted under marginMode.
std::vector<std::vector<bool>> TintedPixels(int w, int h, int marginMode) {
    const Rgb plain{100, 100, 100};
    auto image = SolidImage(w, h, plain, 0);
    auto dest = SolidDestination(w, h, {0, 0, 0});
    skin::CompositeOverBgrx(dest.data(), w, h, image.data(), 255, skin::kHighlightTint, marginMode);
    std::vector<std::vector<bool>> tinted(h, std::vector<bool>(w));
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) tinted[y][x] = !(PixelAt(dest, w, x, y) == plain);
    }
    return tinted;
}

TEST(Compositing, TintMarginsLeaveAFrameUntinted) {
    const int w = 10, h = 8;
    struct Case {
        int marginMode, left, top, lastColumn, lastRow;
    };
    // The inner rectangle is left <= x <= w - right, top <= y <= h - bottom.
    for (Case c : {Case{skin::kTintWholeImage, 0, 0, w - 1, h - 1},
                   Case{skin::kTintInsideEvenMargin, 2, 2, w - 2, h - 2},
                   Case{skin::kTintInsideButtonMargin, 1, 1, w - 3, h - 3}}) {
        auto tinted = TintedPixels(w, h, c.marginMode);
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                const bool inside =
                    x >= c.left && x <= c.lastColumn && y >= c.top && y <= c.lastRow;
                EXPECT_EQ(tinted[y][x], inside)
                    << "marginMode " << c.marginMode << " at " << x << ", " << y;
            }
        }
    }
}

TEST(Compositing, SubRectangleReadsItsOwnRowsAndColumns) {
    // A 6 x 4 image whose pixels encode their position; the block (2, 1) 3 x 2 is laid down.
    const int iw = 6, ih = 4;
    std::vector<uint8_t> image;
    for (int y = 0; y < ih; ++y) {
        for (int x = 0; x < iw; ++x) image.insert(image.end(), {uint8_t(x), uint8_t(y), 77, 0});
    }
    auto dest = SolidDestination(3, 2, {255, 255, 255});
    skin::CompositeRectOverBgrx(dest.data(), 3, 2, image.data(), 2, 1, iw, 255);
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 3; ++x) EXPECT_EQ(PixelAt(dest, 3, x, y), (Rgb{2 + x, 1 + y, 77}));
    }

    // Stride 0 means rows as long as the block.
    auto whole = SolidDestination(iw, 2, {255, 255, 255});
    skin::CompositeRectOverBgrx(whole.data(), iw, 2, image.data(), 0, 2, 0, 255);
    EXPECT_EQ(PixelAt(whole, iw, 5, 1), (Rgb{5, 3, 77}));
}

TEST(Compositing, EmptySizesDrawNothing) {
    auto image = SolidImage(2, 2, {1, 2, 3}, 0);
    auto dest = SolidDestination(2, 2, {9, 9, 9});
    const auto before = dest;
    skin::CompositeOverBgrx(dest.data(), 0, 2, image.data(), 255, 0, 0);
    skin::CompositeOverBgrx(dest.data(), 2, -1, image.data(), 255, 0, 0);
    skin::CompositeRectOverBgrx(dest.data(), -3, 2, image.data(), 0, 0, 2, 255);
    EXPECT_EQ(dest, before);
}

}  // namespace
