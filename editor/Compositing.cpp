// The compositing arithmetic of the skin images.
#include "editor/Compositing.h"

#include <algorithm>
#include <cstddef>

namespace skin {
namespace {

constexpr int kMaxChannel = 255;
constexpr int kWeightScale = 256;

struct Margins {
    int left, top, right, bottom;
};

constexpr Margins kEvenMargins{2, 2, 2, 2};
constexpr Margins kButtonMargins{1, 1, 3, 3};

struct Tint {
    unsigned red, green, blue, divisor;
    bool active;
};

Tint SplitTint(uint32_t tint) {
    Tint t{tint & 0xff, (tint >> 8) & 0xff, (tint >> 16) & 0xff, tint >> 24, false};
    // A tint without a divisor is malformed; drawing it untinted beats dividing by zero.
    t.active = tint != kNoTint && t.divisor != 0;
    return t;
}

int FloorDiv256(int value) {
    return value >= 0 ? value / kWeightScale : -((-value + kWeightScale - 1) / kWeightScale);
}

// Shared by both entry points: sourceRow(row) gives the first RGBT pixel of the source row
// that lands on destination row `row`.
template <typename SourceRow>
void Composite(uint8_t* destination, int width, int height, SourceRow sourceRow, int opacity,
               uint32_t tint, int marginMode) {
    if (width <= 0 || height <= 0) return;
    opacity = std::clamp(opacity, 0, kFullOpacity);
    const Tint t = SplitTint(tint);
    for (int row = 0; row < height; ++row) {
        const uint8_t* s = sourceRow(row);
        uint8_t* d = destination + static_cast<size_t>(row) * width * 4;
        for (int column = 0; column < width; ++column, s += 4, d += 4) {
            const int weight = BlendWeight(EffectiveTransparency(s[3], opacity));
            int red = s[0], green = s[1], blue = s[2];
            if (t.active && IsTintedPixel(column, row, width, height, marginMode)) {
                red = TintChannel(red, t.red, t.divisor);
                green = TintChannel(green, t.green, t.divisor);
                blue = TintChannel(blue, t.blue, t.divisor);
            }
            d[0] = static_cast<uint8_t>(BlendChannel(blue, d[0], weight));
            d[1] = static_cast<uint8_t>(BlendChannel(green, d[1], weight));
            d[2] = static_cast<uint8_t>(BlendChannel(red, d[2], weight));
        }
    }
}

}  // namespace

int EffectiveTransparency(int transparency, int opacity) {
    if (opacity == kFullOpacity) return transparency;
    return opacity + (kMaxChannel - opacity) * transparency / kMaxChannel;
}

int BlendWeight(int effectiveTransparency) {
    return effectiveTransparency == 0 ? 0 : effectiveTransparency + 1;
}

int TintChannel(int channel, unsigned multiplier, unsigned divisor) {
    if (divisor == 0) return channel;
    return static_cast<int>(std::min<unsigned>(kMaxChannel, channel * multiplier / divisor));
}

bool IsTintedPixel(int column, int row, int width, int height, int marginMode) {
    if (marginMode == kTintWholeImage) return true;
    const Margins& m = marginMode == kTintInsideButtonMargin ? kButtonMargins : kEvenMargins;
    return m.left <= column && column <= width - m.right && m.top <= row &&
           row <= height - m.bottom;
}

int BlendChannel(int source, int destination, int weight) {
    return source + FloorDiv256((destination - source) * weight);
}

void CompositeOverBgrx(uint8_t* destination, int width, int height, const uint8_t* image,
                       int opacity, uint32_t tint, int marginMode) {
    Composite(
        destination, width, height,
        [&](int row) { return image + static_cast<size_t>(row) * width * 4; }, opacity, tint,
        marginMode);
}

void CompositeRectOverBgrx(uint8_t* destination, int width, int height, const uint8_t* image,
                           int sourceX, int sourceY, int stride, int opacity) {
    const size_t rowPixels = stride == 0 ? width : stride;
    Composite(
        destination, width, height,
        [&](int row) {
            return image + ((static_cast<size_t>(sourceY) + row) * rowPixels + sourceX) * 4;
        },
        opacity, kNoTint, kTintWholeImage);
}

}  // namespace skin
