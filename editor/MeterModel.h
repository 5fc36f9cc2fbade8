// Portable arithmetic of the editor's bar meter ("tw:Meter"): the ballistics that advance once
// per incoming value, and which pixels of the lit image show for a level.
#pragma once
#include <cstdint>

namespace meter {

constexpr int32_t kNoLevel = -9999;  // level, peak hold and maximum before any value arrived
constexpr int32_t kDefaultMin = 0;
constexpr int32_t kDefaultMax = 100;
constexpr int32_t kDefaultDecayStep = 20;   // fall of the bar per update
constexpr int32_t kPeakHoldUpdates = 30;    // updates a new peak stays put
constexpr int32_t kPeakFallPerUpdate = 30;  // fall of the peak-hold level once the hold ran out

// The ballistics of one channel. Levels are in the owner's units (tenths of a dB in the editor).
struct ChannelBallistics {
    int32_t level = kNoLevel;
    int32_t peakHold = kNoLevel;
    int32_t maxLevel = kNoLevel;
    int32_t holdCount = 0;
};

// One update with a new value: the bar falls by decayStep but never below the value, the peak
// hold is held or falls, the running maximum rises. Levels saturate instead of wrapping when a
// silent input lets them sink for very long.
void ApplyBallistics(ChannelBallistics& channel, int32_t value, int32_t decayStep);

// floor((level - min) * length / (max - min) + 0.5): a level's distance from min in pixels out
// of length. 0 for an empty range; the product cannot overflow.
int ScaleLevel(int32_t level, int32_t min, int32_t max, int length);

// A rectangle of client pixels; the lit image shows through it at the same coordinates.
struct PixelBand {
    int x = 0, y = 0, width = 0, height = 0;
    bool Empty() const { return width <= 0 || height <= 0; }
};

// The meter's geometry: client size, range and the drawing styles.
struct MeterLayout {
    int width = 0;
    int height = 0;
    int32_t min = kDefaultMin;
    int32_t max = kDefaultMax;
    bool vertical = false;
    bool inverted = false;  // vertical positions measured from the top
    bool centred = false;   // vertical bar growing up or down from a fixed centre row
    bool marker = false;    // horizontal: a 3-pixel marker instead of a bar
};

// The band of the lit image that shows for level, clipped to the client area; empty when
// nothing is lit. Vertical meters never light their two top and bottom rows. A horizontal bar
// at or beyond the top of the range lights all but its two rightmost columns.
PixelBand LitBand(const MeterLayout& layout, int32_t level);

// The two-row peak-hold line for peakHold, clipped to the client area; empty when it is out of
// sight.
PixelBand PeakHoldLine(const MeterLayout& layout, int32_t peakHold);

}  // namespace meter
