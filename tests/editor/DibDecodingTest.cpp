// Palette sizes and the RLE8 decoder, including data written to break it (runs past the row,
// deltas past the height, truncated input); ASan checks that nothing is touched out of bounds.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "editor/DibDecoding.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Decode(const Bytes& data, int width, int height) {
    return dib::DecodeRle8(data.data(), data.size(), width, height);
}

// Row y (bottom row first, as stored) of a decoded image, padding included.
Bytes Row(const Bytes& pixels, int width, int y) {
    const size_t rowBytes = dib::RowBytes(width, 8);
    return Bytes(pixels.begin() + y * rowBytes, pixels.begin() + (y + 1) * rowBytes);
}

TEST(DibPalette, EntriesUpToEightBitsOnly) {
    EXPECT_EQ(dib::PaletteEntryCount(1), 2);
    EXPECT_EQ(dib::PaletteEntryCount(4), 16);
    EXPECT_EQ(dib::PaletteEntryCount(8), 256);
    EXPECT_EQ(dib::PaletteEntryCount(16), 0);
    EXPECT_EQ(dib::PaletteEntryCount(24), 0);
    EXPECT_EQ(dib::PaletteEntryCount(32), 0);
    EXPECT_EQ(dib::ColourTableEntryCount(0, 8), 256);
    EXPECT_EQ(dib::ColourTableEntryCount(5, 8), 5);
}

TEST(DibPalette, RowsArePaddedToFourBytes) {
    EXPECT_EQ(dib::RowBytes(5, 8), 8u);
    EXPECT_EQ(dib::RowBytes(8, 8), 8u);
    EXPECT_EQ(dib::RowBytes(7, 4), 4u);
    EXPECT_EQ(dib::RowBytes(9, 4), 8u);
    EXPECT_EQ(dib::RowBytes(428, 24), 1284u);
    EXPECT_EQ(dib::RowBytes(12, 24), 36u);
}

TEST(Rle8, RunsAbsoluteRunsAndLineEnds) {
    const Bytes data = {
        3, 7,  2, 9,        // row 0: 7 7 7 9 9
        0, 0,               // end of line
        0, 3,  1, 2, 3, 0,  // row 1: absolute 1 2 3, padded to even
        1, 4,               //        then 4
        0, 0,               //
        0, 4,  5, 6, 7, 8,  // row 2: absolute 5 6 7 8 (even, no pad)
        0, 1,               // end of bitmap
        5, 99,              // never read
    };
    const Bytes pixels = Decode(data, 5, 3);
    ASSERT_EQ(pixels.size(), 24u);
    EXPECT_EQ(Row(pixels, 5, 0), (Bytes{7, 7, 7, 9, 9, 0, 0, 0}));
    EXPECT_EQ(Row(pixels, 5, 1), (Bytes{1, 2, 3, 4, 0, 0, 0, 0}));
    EXPECT_EQ(Row(pixels, 5, 2), (Bytes{5, 6, 7, 8, 0, 0, 0, 0}));
}

TEST(Rle8, DeltaSkipsRightAndUpLeavingZeros) {
    const Bytes data = {1, 5, 0, 2, 2, 1, 1, 6, 0, 1};  // 5 at (0,0), skip to (3,1), 6
    const Bytes pixels = Decode(data, 4, 3);
    EXPECT_EQ(Row(pixels, 4, 0), (Bytes{5, 0, 0, 0}));
    EXPECT_EQ(Row(pixels, 4, 1), (Bytes{0, 0, 0, 6}));
    EXPECT_EQ(Row(pixels, 4, 2), (Bytes{0, 0, 0, 0}));
}

TEST(Rle8, StopsWhenTheLineCountReachesTheHeight) {
    Bytes data;
    for (int line = 0; line < 10; ++line) data.insert(data.end(), {2, uint8_t(line + 1), 0, 0});
    const Bytes pixels = Decode(data, 2, 3);
    ASSERT_EQ(pixels.size(), 12u);
    EXPECT_EQ(pixels, (Bytes{1, 1, 0, 0, 2, 2, 0, 0, 3, 3, 0, 0}));
}

TEST(Rle8, RunsPastTheRowAreClippedAtItsWidth) {
    // An encoded run of 255, an absolute run of 7 and a delta to the right, all on a row of 3:
    // nothing spills into the padding or the next row.
    const Bytes data = {255, 1, 0,   0,                          // row 0
                        0,   7, 1,   2, 3, 4, 5, 6, 7, 0, 0, 0,  // row 1, padded
                        0,   2, 200, 0, 1, 9};                   // row 2
    const Bytes pixels = Decode(data, 3, 3);
    EXPECT_EQ(Row(pixels, 3, 0), (Bytes{1, 1, 1, 0}));
    EXPECT_EQ(Row(pixels, 3, 1), (Bytes{1, 2, 3, 0}));
    EXPECT_EQ(Row(pixels, 3, 2), (Bytes{0, 0, 0, 0}));

    // A whole megabyte of runs on one line of the last row.
    Bytes flood(1 << 20, 255);
    const Bytes floodPixels = Decode(flood, 5, 1);
    EXPECT_EQ(floodPixels, (Bytes{255, 255, 255, 255, 255, 0, 0, 0}));
}

TEST(Rle8, DeltasBeyondTheHeightEndDecoding) {
    const Bytes data = {1, 4, 0, 2, 0, 255, 1, 8, 0, 2, 1, 1, 1, 9};
    const Bytes pixels = Decode(data, 2, 2);
    EXPECT_EQ(pixels, (Bytes{4, 0, 0, 0, 0, 0, 0, 0}));
}

TEST(Rle8, TruncatedDataKeepsWhatWasDecoded) {
    // Absolute run promising 200 bytes with 3 left.
    EXPECT_EQ(Decode({2, 8, 0, 200, 1, 2, 3}, 8, 1), (Bytes{8, 8, 1, 2, 3, 0, 0, 0}));
    // Delta without its offsets, a lone count byte, nothing at all.
    EXPECT_EQ(Decode({1, 8, 0, 2, 1}, 4, 1), (Bytes{8, 0, 0, 0}));
    EXPECT_EQ(Decode({1, 8, 3}, 4, 1), (Bytes{8, 0, 0, 0}));
    EXPECT_EQ(Decode({}, 4, 1), (Bytes{0, 0, 0, 0}));
    // An odd absolute run whose pad byte is missing is complete.
    EXPECT_EQ(Decode({0, 3, 1, 2, 3}, 4, 1), (Bytes{1, 2, 3, 0}));
}

TEST(Rle8, UnusableSizesGiveNothing) {
    const Bytes data = {1, 1, 0, 1};
    EXPECT_TRUE(Decode(data, 0, 4).empty());
    EXPECT_TRUE(Decode(data, 4, 0).empty());
    EXPECT_TRUE(Decode(data, 4, -4).empty());  // RLE bitmaps are always stored bottom up
    EXPECT_TRUE(Decode(data, -4, 4).empty());
    EXPECT_TRUE(Decode(data, 0x7fffffff, 0x7fffffff).empty());
    EXPECT_EQ(Decode(data, 1, 1).size(), 4u);
}

TEST(Rle8, RandomDataStaysInBounds) {
    uint32_t seed = 12345;
    auto next = [&] { return (seed = seed * 1664525u + 1013904223u) >> 24; };
    const int sizes[][2] = {{1, 1}, {3, 2}, {7, 5}, {64, 3}, {255, 1}};
    for (int round = 0; round < 300; ++round) {
        Bytes data(next() * 4 + next() % 4);
        for (auto& b : data) {
            // Favour the escape byte so that escapes are common.
            b = static_cast<uint8_t>(next() % 4 == 0 ? 0 : next());
        }
        for (const auto& size : sizes) {
            const Bytes pixels = Decode(data, size[0], size[1]);
            ASSERT_EQ(pixels.size(), dib::RowBytes(size[0], 8) * size[1]);
            // Padding bytes are never written.
            for (int y = 0; y < size[1]; ++y) {
                const Bytes row = Row(pixels, size[0], y);
                for (size_t x = size[0]; x < row.size(); ++x) ASSERT_EQ(row[x], 0);
            }
        }
    }
}

}  // namespace
