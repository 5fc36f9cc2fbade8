// Palette sizes and the RLE8 decoder of LoadSkinBitmap. The decoder trusts nothing in the data:
// every write is checked against the row's width and the buffer's height.
#include "editor/DibDecoding.h"

#include <algorithm>

namespace dib {
namespace {

constexpr unsigned kMaxPaletteBits = 8;

// RLE8 escapes: a zero count followed by one of these.
constexpr uint8_t kEndOfLine = 0;
constexpr uint8_t kEndOfBitmap = 1;
constexpr uint8_t kDelta = 2;

}  // namespace

int PaletteEntryCount(unsigned bitCount) {
    return bitCount <= kMaxPaletteBits ? 1 << bitCount : 0;
}

int ColourTableEntryCount(uint32_t colorsUsed, unsigned bitCount) {
    constexpr uint32_t kMostEntries = 1u << kMaxPaletteBits;
    return colorsUsed != 0 ? static_cast<int>(std::min(colorsUsed, kMostEntries))
                           : PaletteEntryCount(bitCount);
}

size_t RowBytes(int width, unsigned bitCount) {
    return (static_cast<size_t>(width) * bitCount + 31) / 32 * 4;
}

std::vector<uint8_t> DecodeRle8(const uint8_t* data, size_t size, int width, int height) {
    if (width <= 0 || height <= 0) return {};
    const size_t rowBytes = RowBytes(width, 8);
    if (rowBytes > kMaxDecodedBytes / static_cast<size_t>(height)) return {};
    std::vector<uint8_t> pixels(rowBytes * height, 0);
    if (data == nullptr) return pixels;

    // x stays within 0..width (pixels past the row's end are dropped), so it cannot overflow
    // however long the data is; y only grows and ends the loop at the height.
    int x = 0, y = 0;
    auto put = [&](uint8_t value) {
        if (x < width) pixels[y * rowBytes + x++] = value;
    };

    size_t pos = 0;
    while (y < height && size - pos >= 2) {
        const uint8_t count = data[pos];
        const uint8_t value = data[pos + 1];
        pos += 2;
        if (count != 0) {
            for (int i = 0; i < count; ++i) put(value);
            continue;
        }
        switch (value) {
            case kEndOfLine:
                x = 0;
                ++y;
                break;
            case kEndOfBitmap:
                return pixels;
            case kDelta:
                if (size - pos < 2) return pixels;
                x = std::min(x + data[pos], width);
                y += data[pos + 1];
                pos += 2;
                break;
            default: {  // absolute run of `value` bytes, padded to an even length
                const size_t available = std::min<size_t>(value, size - pos);
                for (size_t i = 0; i < available; ++i) put(data[pos + i]);
                if (available < value) return pixels;
                pos += std::min<size_t>(value + (value & 1), size - pos);
                break;
            }
        }
    }
    return pixels;
}

}  // namespace dib
