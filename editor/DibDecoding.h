// Packed-bitmap rules LoadSkinBitmap needs, kept portable: palette sizes and the RLE8 decoder.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

namespace dib {

// Entries of the logical palette built for a bitmap: 2^bitCount up to 8 bits, none above.
int PaletteEntryCount(unsigned bitCount);

// Entries in the colour table of an RLE8 bitmap: biClrUsed, or the palette's count when that
// is 0. GDI reads no more than 256 entries, so a larger biClrUsed counts as 256 (as a byte
// size a count of 2^31 or more would otherwise turn negative and wrap the bits' offset).
int ColourTableEntryCount(uint32_t colorsUsed, unsigned bitCount);

// Bytes in one row of an uncompressed DIB: width * bitCount bits rounded up to 4 bytes.
size_t RowBytes(int width, unsigned bitCount);

// Largest decoded image we accept; a header asking for more is hostile or broken.
constexpr size_t kMaxDecodedBytes = 64u << 20;

// Decodes BMP RLE8 data into 8-bit rows of RowBytes(width, 8) bytes, in the bitmap's own row
// order (bottom row first), starting from zeros. Runs (count, value) and absolute runs are
// clipped at the row's width; escape 0 ends the line, 1 ends the bitmap, 2 moves by the next
// two bytes (right, up). Decoding stops at the end of the bitmap, when the line count reaches
// the height or when the data runs out. Returns an empty buffer when width or height is not
// positive or the image would exceed kMaxDecodedBytes.
std::vector<uint8_t> DecodeRle8(const uint8_t* data, size_t size, int width, int height);

}  // namespace dib
