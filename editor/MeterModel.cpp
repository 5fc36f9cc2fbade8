// The bar meter's ballistics and lit-band geometry.
#include "editor/MeterModel.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace meter {

namespace {

constexpr int kEdgePixels = 2;  // unlit rows (columns) at each end of the scale
constexpr int kScaleInset = 2 * kEdgePixels;
constexpr int kMarkerWidth = 3;
constexpr int kPeakLineRows = 2;
// The centred style is laid out for a meter 154 pixels high: zero sits on row 77, and each
// half of the scale is 75 rows long.
constexpr int kCentreRow = 77;
constexpr int kCentreHalfSpan = 75;
// Scaled positions are far beyond any client size long before they reach this.
constexpr double kScaleLimit = 1 << 30;

int32_t SaturatingSubtract(int32_t a, int32_t b) {
    const int64_t result = int64_t(a) - b;
    return int32_t(std::clamp<int64_t>(result, std::numeric_limits<int32_t>::min(),
                                       std::numeric_limits<int32_t>::max()));
}

PixelBand ClipToClient(PixelBand band, const MeterLayout& layout) {
    const int left = std::max(band.x, 0);
    const int top = std::max(band.y, 0);
    const int right = std::min(band.x + band.width, layout.width);
    const int bottom = std::min(band.y + band.height, layout.height);
    if (right <= left || bottom <= top) return PixelBand();
    return PixelBand{left, top, right - left, bottom - top};
}

// Row offset (from kEdgePixels) at which a vertical scale places level, never above the top.
int VerticalPosition(const MeterLayout& layout, int32_t level) {
    const int span = layout.height - kScaleInset;
    const int scaled = ScaleLevel(level, layout.min, layout.max, span);
    return std::max(layout.inverted ? scaled : span - scaled, 0);
}

PixelBand VerticalBand(const MeterLayout& layout, int32_t level) {
    const int span = layout.height - kScaleInset;
    const int pos = VerticalPosition(layout, level);
    if (layout.centred) {
        if (level < 0) return PixelBand{0, kCentreRow, layout.width, pos - kCentreHalfSpan};
        return PixelBand{0, pos + kEdgePixels, layout.width, span - pos - kCentreHalfSpan};
    }
    if (pos >= span) return PixelBand();
    return PixelBand{0, pos + kEdgePixels, layout.width, span - pos};
}

PixelBand HorizontalBand(const MeterLayout& layout, int32_t level) {
    if (layout.marker) {
        const int scaled =
            ScaleLevel(level, layout.min, layout.max, layout.width - kScaleInset - kMarkerWidth);
        if (scaled >= layout.width - kScaleInset) return PixelBand();
        return PixelBand{scaled + kEdgePixels, 0, kMarkerWidth, layout.height};
    }
    // The bar starts at the left edge. At the top of the range (and beyond) it stays full
    // rather than going dark: a phase meter at 180 degrees must not read as silence.
    const int span = layout.width - kScaleInset;
    const int scaled =
        std::clamp(ScaleLevel(level, layout.min, layout.max, span), 0, std::max(span, 0));
    return PixelBand{0, 0, scaled + kEdgePixels, layout.height};
}

}  // namespace

void ApplyBallistics(ChannelBallistics& channel, int32_t value, int32_t decayStep) {
    channel.level = SaturatingSubtract(channel.level, decayStep);
    if (channel.holdCount == 0) {
        channel.peakHold = SaturatingSubtract(channel.peakHold, kPeakFallPerUpdate);
    } else {
        --channel.holdCount;
    }
    channel.level = std::max(channel.level, value);
    channel.maxLevel = std::max(channel.maxLevel, value);
    if (channel.level > channel.peakHold) {
        channel.peakHold = channel.level;
        channel.holdCount = kPeakHoldUpdates;
    }
}

int ScaleLevel(int32_t level, int32_t min, int32_t max, int length) {
    const int64_t range = int64_t(max) - min;
    if (range == 0) return 0;
    const int64_t product = (int64_t(level) - min) * length;
    const double scaled = std::floor(double(product) / double(range) + 0.5);
    return int(std::clamp(scaled, -kScaleLimit, kScaleLimit));
}

PixelBand LitBand(const MeterLayout& layout, int32_t level) {
    const PixelBand band =
        layout.vertical ? VerticalBand(layout, level) : HorizontalBand(layout, level);
    return ClipToClient(band, layout);
}

PixelBand PeakHoldLine(const MeterLayout& layout, int32_t peakHold) {
    const int span = layout.height - kScaleInset;
    const int pos = VerticalPosition(layout, peakHold);
    if (pos >= span) return PixelBand();
    return ClipToClient(PixelBand{0, pos + kEdgePixels, layout.width, kPeakLineRows}, layout);
}

}  // namespace meter
