// Pixel arithmetic of the skin: lays RGBT images over a block of the page read back as 32-bit
// BGRX pixels, with opacity, per-pixel transparency and an optional colour tint.
// Portable; the GDI side (reading and writing the device context) is in Drawing.cpp.
#pragma once
#include <cstdint>

namespace skin {

// TintColor: red, green and blue multipliers in bits 0-7, 8-15 and 16-23, the common divisor in
// bits 24-31. 0 means no tint.
constexpr uint32_t kNoTint = 0;
constexpr uint32_t kHighlightTint = 0xeb78f8ff;  // x255/235, x248/235, x120/235: a warm glow

constexpr int kFullOpacity = 255;

// Which pixels a tint reaches (the marginMode argument of CompositeImage).
constexpr int kTintWholeImage = 0;
constexpr int kTintInsideEvenMargin = 1;    // margins 2, 2, 2, 2
constexpr int kTintInsideButtonMargin = 2;  // margins left 1, top 1, right 3, bottom 3

// Transparency of a pixel with the image's opacity folded in: T itself at full opacity, else
// opacity + (255 - opacity) * T / 255.
int EffectiveTransparency(int transparency, int opacity);

// Blend weight of the destination out of 256: 0 for opaque, A + 1 otherwise (255 keeps the
// destination exactly).
int BlendWeight(int effectiveTransparency);

// One channel through one tint multiplier: min(255, channel * multiplier / divisor).
int TintChannel(int channel, unsigned multiplier, unsigned divisor);

// Whether the pixel in column, row of a width x height image is tinted under marginMode: the
// inner rectangle left <= column <= width - right, top <= row <= height - bottom.
bool IsTintedPixel(int column, int row, int width, int height, int marginMode);

// source + floor((destination - source) * weight / 256), flooring negative quotients too.
int BlendChannel(int source, int destination, int weight);

// Lays a whole width x height RGBT image over destination, which holds width x height BGRX
// pixels, rows top first. opacity 0-255; tint a TintColor or 0.
void CompositeOverBgrx(uint8_t* destination, int width, int height, const uint8_t* image,
                       int opacity, uint32_t tint, int marginMode);

// Lays the width x height block of an RGBT image starting at (sourceX, sourceY) over
// destination (width x height BGRX pixels). stride is the image's row length in pixels, 0
// meaning width. No tint.
void CompositeRectOverBgrx(uint8_t* destination, int width, int height, const uint8_t* image,
                           int sourceX, int sourceY, int stride, int opacity);

}  // namespace skin
