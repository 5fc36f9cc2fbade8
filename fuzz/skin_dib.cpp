// The skin's bitmaps and their compositing. The input is eight bytes of drawing settings
// (opacity, tint, margin mode, source offset) followed by a packed DIB as LoadSkinBitmap reads
// it from a resource: BITMAPINFOHEADER, colour table, bits. The header is taken as the loader
// takes it and an RLE8 body goes through the decoder; the decoded image, coloured through its
// colour table, with its index bytes as transparency, is then laid over a page block. Every
// blended channel must lie between the image's and the page's.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "editor/Compositing.h"
#include "editor/DibDecoding.h"
#include "fuzz/FuzzCheck.h"

namespace {

constexpr uint32_t kInfoHeaderBytes = 40;  // BITMAPINFOHEADER
constexpr uint32_t kBiRle8 = 1;
// Larger images decode the same way, only slower: they are left to the unit tests.
constexpr size_t kMaxFuzzedImageBytes = 64u << 10;
// The block composited: enough for every margin rule, small enough to stay fast.
constexpr int kMaxBlock = 48;

uint32_t Le32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

bool Between(int value, int a, int b) {
    return value >= std::min(a, b) && value <= std::max(a, b);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 8 + kInfoHeaderBytes) return 0;
    const int opacity = data[0];
    const uint32_t tint = Le32(data + 1);
    const int marginMode = data[5] % 3;
    const int offsetX = data[6], offsetY = data[7];
    const uint8_t* dib = data + 8;
    const size_t dibBytes = size - 8;

    const uint32_t headerSize = Le32(dib);
    if (headerSize < kInfoHeaderBytes || headerSize > dibBytes) return 0;
    const int width = static_cast<int32_t>(Le32(dib + 4));
    const int height = static_cast<int32_t>(Le32(dib + 8));
    const unsigned bitCount = dib[14] | dib[15] << 8;
    const uint32_t compression = Le32(dib + 16);
    const uint32_t colorsUsed = Le32(dib + 32);

    const int paletteEntries = dib::PaletteEntryCount(bitCount);
    FUZZ_CHECK(paletteEntries >= 0 && paletteEntries <= 256);
    if (compression != kBiRle8) return 0;

    // The loader sizes the colour table in bytes from this count.
    const int tableEntries = dib::ColourTableEntryCount(colorsUsed, bitCount);
    FUZZ_CHECK(tableEntries >= 0);
    const size_t headerBytes = headerSize + static_cast<size_t>(tableEntries) * 4;
    if (headerBytes > dibBytes) return 0;
    if (width > 0 && height > 0) {
        const size_t imageBytes = dib::RowBytes(width, 8) * static_cast<size_t>(height);
        if (imageBytes > kMaxFuzzedImageBytes && imageBytes <= dib::kMaxDecodedBytes) return 0;
    }
    const std::vector<uint8_t> pixels =
        dib::DecodeRle8(dib + headerBytes, dibBytes - headerBytes, width, height);
    if (pixels.empty()) return 0;
    const size_t rowBytes = dib::RowBytes(width, 8);
    FUZZ_CHECK(rowBytes >= static_cast<size_t>(width) && rowBytes % 4 == 0);
    FUZZ_CHECK(pixels.size() == rowBytes * static_cast<size_t>(height));

    // The image as RGBT pixels, top row first: colours from the table (black past its end).
    std::vector<uint8_t> image(static_cast<size_t>(width) * height * 4);
    for (int row = 0; row < height; ++row) {
        for (int column = 0; column < width; ++column) {
            const uint8_t index = pixels[(height - 1 - row) * rowBytes + column];
            uint8_t* out = &image[(static_cast<size_t>(row) * width + column) * 4];
            const size_t quad = headerSize + 4 * size_t{index};  // blue, green, red, reserved
            const bool inTable = index < tableEntries && quad + 4 <= dibBytes;
            out[0] = inTable ? dib[quad + 2] : 0;
            out[1] = inTable ? dib[quad + 1] : 0;
            out[2] = inTable ? dib[quad] : 0;
            out[3] = index;
        }
    }

    // A block of the image over a page block of the same size, from the given offset.
    const int sourceX = offsetX % width, sourceY = offsetY % height;
    const int w = std::min(width - sourceX, kMaxBlock), h = std::min(height - sourceY, kMaxBlock);
    std::vector<uint8_t> page(static_cast<size_t>(w) * h * 4);
    for (size_t i = 0; i < page.size(); ++i) page[i] = static_cast<uint8_t>(i * 37);
    std::vector<uint8_t> before = page;
    skin::CompositeRectOverBgrx(page.data(), w, h, image.data(), sourceX, sourceY, width, opacity);
    for (int row = 0; row < h; ++row) {
        for (int column = 0; column < w; ++column) {
            const uint8_t* s =
                &image[((static_cast<size_t>(sourceY) + row) * width + sourceX + column) * 4];
            const size_t d = (static_cast<size_t>(row) * w + column) * 4;
            FUZZ_CHECK(Between(page[d], s[2], before[d]));
            FUZZ_CHECK(Between(page[d + 1], s[1], before[d + 1]));
            FUZZ_CHECK(Between(page[d + 2], s[0], before[d + 2]));
        }
    }

    // The whole-image entry point with a tint, on the top-left block as its own image.
    std::vector<uint8_t> block(static_cast<size_t>(w) * h * 4);
    for (int row = 0; row < h; ++row)
        std::memcpy(&block[static_cast<size_t>(row) * w * 4],
                    &image[static_cast<size_t>(row) * width * 4], static_cast<size_t>(w) * 4);
    skin::CompositeOverBgrx(page.data(), w, h, block.data(), opacity, tint, marginMode);
    return 0;
}
