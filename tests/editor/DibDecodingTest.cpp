// Palette sizes and the RLE8 decoder, including data written to break it (runs past the row,
// deltas past the height, truncated input); ASan checks that nothing is touched out of bounds.
#include <gtest/gtest.h>

#include <cstdint>
#include <utility>
#include <vector>

#include "editor/DibDecoding.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Decode(const Bytes& data, int width, int height) {
    return dib::DecodeRle8(data.data(), data.size(), width, height);
}

TEST(DibPalette, EntriesUpToEightBitsOnlyAndRowsPaddedToFourBytes) {
    for (auto [bits, entries] :
         {std::pair{1u, 2}, {4u, 16}, {8u, 256}, {16u, 0}, {24u, 0}, {32u, 0}}) {
        EXPECT_EQ(dib::PaletteEntryCount(bits), entries) << bits;
    }
    EXPECT_EQ(dib::ColourTableEntryCount(0, 8), 256);
    EXPECT_EQ(dib::ColourTableEntryCount(5, 8), 5);
    EXPECT_EQ(dib::ColourTableEntryCount(0xFFFFFFFF, 8), 256);  // never negative
    const struct {
        int width;
        unsigned bits;
        size_t bytes;
    } rows[] = {{5, 8, 8}, {8, 8, 8}, {7, 4, 4}, {9, 4, 8}, {428, 24, 1284}, {12, 24, 36}};
    for (const auto& r : rows)
        EXPECT_EQ(dib::RowBytes(r.width, r.bits), r.bytes) << r.width << " x " << r.bits;
}

// Decoded images are whole rows of 4-byte multiples, bottom row first, zeros where nothing was
// written. Runs, absolute runs (odd ones padded) and deltas stop at the row's width; decoding
// stops at the end-of-bitmap escape, at the height, or where the data ends, keeping what it has.
TEST(Rle8, DecodesRunsAndEscapesAndSurvivesDataWrittenToBreakIt) {
    Bytes lines;  // ten lines of two pixels for a bitmap three lines high
    for (int line = 0; line < 10; ++line) lines.insert(lines.end(), {2, uint8_t(line + 1), 0, 0});
    // clang-format off
    const struct {
        int width, height;
        Bytes data, pixels;
    } cases[] = {
        // Runs, absolute runs and line ends; nothing is read after the end of the bitmap.
        {5, 3, {3, 7, 2, 9, 0, 0, 0, 3, 1, 2, 3, 0, 1, 4, 0, 0, 0, 4, 5, 6, 7, 8, 0, 1, 5, 99},
         {7, 7, 7, 9, 9, 0, 0, 0, 1, 2, 3, 4, 0, 0, 0, 0, 5, 6, 7, 8, 0, 0, 0, 0}},
        // A delta right and up leaves zeros.
        {4, 3, {1, 5, 0, 2, 2, 1, 1, 6, 0, 1}, {5, 0, 0, 0, 0, 0, 0, 6, 0, 0, 0, 0}},
        // Decoding stops when the line count reaches the height.
        {2, 3, lines, {1, 1, 0, 0, 2, 2, 0, 0, 3, 3, 0, 0}},
        // An encoded run, an absolute run and a delta past the row: nothing spills.
        {3, 3, {255, 1, 0, 0, 0, 7, 1, 2, 3, 4, 5, 6, 7, 0, 0, 0, 0, 2, 200, 0, 1, 9},
         {1, 1, 1, 0, 1, 2, 3, 0, 0, 0, 0, 0}},
        {5, 1, Bytes(1 << 20, 255), {255, 255, 255, 255, 255, 0, 0, 0}},  // a megabyte of runs
        // Past the top.
        {2, 2, {1, 4, 0, 2, 0, 255, 1, 8, 0, 2, 1, 1, 1, 9}, {4, 0, 0, 0, 0, 0, 0, 0}},
        // Truncated: an absolute run promising 200 bytes with 3 left, a delta without its
        // offsets, a lone count byte, nothing at all, an odd absolute run without its pad.
        {8, 1, {2, 8, 0, 200, 1, 2, 3}, {8, 8, 1, 2, 3, 0, 0, 0}},
        {4, 1, {1, 8, 0, 2, 1}, {8, 0, 0, 0}},
        {4, 1, {1, 8, 3}, {8, 0, 0, 0}},
        {4, 1, {}, {0, 0, 0, 0}},
        {4, 1, {0, 3, 1, 2, 3}, {1, 2, 3, 0}},
        // Unusable sizes give nothing (RLE bitmaps are always stored bottom up).
        {0, 4, {1, 1, 0, 1}, {}},
        {4, 0, {1, 1, 0, 1}, {}},
        {4, -4, {1, 1, 0, 1}, {}},
        {-4, 4, {1, 1, 0, 1}, {}},
        {0x7fffffff, 0x7fffffff, {1, 1, 0, 1}, {}},
        {1, 1, {1, 1, 0, 1}, {1, 0, 0, 0}},
    };
    // clang-format on
    for (const auto& c : cases) {
        EXPECT_EQ(dib::DecodeRle8(c.data.data(), c.data.size(), c.width, c.height), c.pixels)
            << "case " << &c - cases;
    }
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
            const size_t rowBytes = dib::RowBytes(size[0], 8);
            for (size_t i = 0; i < pixels.size(); ++i) {
                if (i % rowBytes >= size_t(size[0])) {
                    ASSERT_EQ(pixels[i], 0) << i;
                }
            }
        }
    }
}

}  // namespace
