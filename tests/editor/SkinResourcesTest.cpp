// Loading the skin under Wine: the real resources linked into this test program, and bitmaps
// written into a copy of it at run time (RLE8, short colour tables, lying headers).
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <utility>
#include <vector>

#include "editor/SkinImages.h"
#include "editor/win/SkinResources.h"

namespace {

using Bytes = std::vector<BYTE>;

HMODULE Self() {
    return GetModuleHandleW(nullptr);
}

struct BitmapSize {
    int width, height;
};

BitmapSize SizeOf(HBITMAP bitmap) {
    BITMAP info = {};
    GetObjectW(bitmap, sizeof info, &info);
    return {info.bmWidth, info.bmHeight};
}

// The pixel (x, y), y counted from the top, as 0x00rrggbb.
uint32_t PixelOf(HBITMAP bitmap, int x, int y) {
    const BitmapSize size = SizeOf(bitmap);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = size.width;
    info.bmiHeader.biHeight = -size.height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    std::vector<uint32_t> pixels(size.width * size.height);
    HDC screen = GetDC(nullptr);
    GetDIBits(screen, bitmap, 0, size.height, pixels.data(), &info, DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    return pixels[y * size.width + x] & 0xffffff;
}

TEST(LoadSkinBitmap, PageBackgroundAndClipIndicators) {
    HPALETTE palette = reinterpret_cast<HPALETTE>(1);
    HBITMAP page = LoadSkinBitmap(Self(), skin::kPageBackgroundId, &palette);
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(palette, nullptr) << "a 24-bit bitmap has no palette";
    EXPECT_EQ(SizeOf(page).width, skin::kPageWidth);
    EXPECT_EQ(SizeOf(page).height, skin::kPageHeight);
    EXPECT_EQ(PixelOf(page, 5, skin::kPageHeight - 3), 0x232529u) << "title band colour";
    DeleteObject(page);

    uint32_t red[3];
    const int ids[3] = {skin::kClipOffId, skin::kClipHeldId, skin::kClipActiveId};
    for (int i = 0; i < 3; ++i) {
        HBITMAP clip = LoadSkinBitmap(Self(), ids[i], nullptr);
        ASSERT_NE(clip, nullptr) << ids[i];
        EXPECT_EQ(SizeOf(clip).width, skin::kClipWidth);
        EXPECT_EQ(SizeOf(clip).height, skin::kClipHeight);
        red[i] = PixelOf(clip, 6, 6) >> 16;
        DeleteObject(clip);
    }
    EXPECT_LT(red[0], red[1]) << "off is darker than held";
    EXPECT_LT(red[1], red[2]) << "held is dimmer than active";
}

TEST(LoadSkinBitmap, FourBitGlyphComesWithItsPalette) {
    HPALETTE palette = nullptr;
    HBITMAP glyph = LoadSkinBitmap(Self(), skin::kIndicatorGlyphId, &palette);
    ASSERT_NE(glyph, nullptr);
    ASSERT_NE(palette, nullptr);
    EXPECT_EQ(SizeOf(glyph).width, skin::kGlyphWidth);
    EXPECT_EQ(SizeOf(glyph).height, skin::kGlyphHeight);
    WORD entries = 0;
    GetObjectW(palette, sizeof entries, &entries);
    EXPECT_EQ(entries, 16);
    PALETTEENTRY key = {};
    GetPaletteEntries(palette, 0, 1, &key);
    EXPECT_EQ(RGB(key.peRed, key.peGreen, key.peBlue), skin::kGlyphKeyColour);
    EXPECT_EQ(PixelOf(glyph, 0, 0), 0xff00ffu);
    DeleteObject(glyph);
    DeleteObject(palette);
}

TEST(LoadSkinBitmap, MissingIdGivesNothing) {
    HPALETTE palette = reinterpret_cast<HPALETTE>(1);
    EXPECT_EQ(LoadSkinBitmap(Self(), 9999, &palette), nullptr);
    EXPECT_EQ(palette, nullptr);
    EXPECT_EQ(LoadSkinBitmap(Self(), skin::kButton76Id, nullptr), nullptr) << "RCDATA, not BITMAP";
}

TEST(LoadRawImage, ImagesAreInPlaceWithTheirSizes) {
    for (const auto& info : skin::kRawImages) {
        const BYTE* image = LoadRawImage(Self(), info.id);
        ASSERT_NE(image, nullptr) << info.id;
        EXPECT_EQ(LoadRawImage(Self(), info.id), image) << "the same bytes every time";
        HRSRC resource = FindResourceW(Self(), MAKEINTRESOURCEW(info.id), RT_RCDATA);
        EXPECT_EQ(SizeofResource(Self(), resource), DWORD(info.width * info.height * 4)) << info.id;
    }
    EXPECT_EQ(LoadRawImage(Self(), 9999), nullptr);
    EXPECT_EQ(LoadRawImage(Self(), skin::kPageBackgroundId), nullptr) << "BITMAP, not RCDATA";
}

// A packed DIB: header, colour table, bits.
Bytes PackedDib(int width, int height, int bitCount, DWORD compression, DWORD colorsUsed,
                const std::vector<uint32_t>& table, const Bytes& bits) {
    BITMAPINFOHEADER header = {};
    header.biSize = sizeof header;
    header.biWidth = width;
    header.biHeight = height;
    header.biPlanes = 1;
    header.biBitCount = static_cast<WORD>(bitCount);
    header.biCompression = compression;
    header.biSizeImage = static_cast<DWORD>(bits.size());
    header.biClrUsed = colorsUsed;
    Bytes dib(reinterpret_cast<const BYTE*>(&header),
              reinterpret_cast<const BYTE*>(&header) + sizeof header);
    for (uint32_t rgb : table)
        dib.insert(dib.end(), {BYTE(rgb), BYTE(rgb >> 8), BYTE(rgb >> 16), 0});
    dib.insert(dib.end(), bits.begin(), bits.end());
    return dib;
}

// A 256-entry table whose entries 1, 2 and 3 are red, green and blue (0x00rrggbb).
std::vector<uint32_t> FullTable() {
    std::vector<uint32_t> table(256, 0x101010);
    table[1] = 0xff0000;
    table[2] = 0x00ff00;
    table[3] = 0x0000ff;
    return table;
}

TEST(CreateDibPalette, EntriesFromTheColourTableUpToEightBits) {
    const Bytes eight = PackedDib(1, 1, 8, BI_RGB, 0, FullTable(), {0, 0, 0, 0});
    int count = -1;
    HPALETTE palette =
        CreateDibPalette(reinterpret_cast<const BITMAPINFOHEADER*>(eight.data()), &count);
    ASSERT_NE(palette, nullptr);
    EXPECT_EQ(count, 256);
    PALETTEENTRY entries[4] = {};
    GetPaletteEntries(palette, 0, 4, entries);
    EXPECT_EQ(RGB(entries[1].peRed, entries[1].peGreen, entries[1].peBlue), RGB(255, 0, 0));
    EXPECT_EQ(RGB(entries[3].peRed, entries[3].peGreen, entries[3].peBlue), RGB(0, 0, 255));
    EXPECT_EQ(entries[1].peFlags, 0);
    DeleteObject(palette);

    const Bytes one = PackedDib(1, 1, 1, BI_RGB, 0, {0, 0xffffff}, {0, 0, 0, 0});
    palette = CreateDibPalette(reinterpret_cast<const BITMAPINFOHEADER*>(one.data()), &count);
    EXPECT_EQ(count, 2);
    DeleteObject(palette);

    const Bytes truecolour = PackedDib(1, 1, 24, BI_RGB, 0, {}, {0, 0, 0, 0});
    EXPECT_EQ(
        CreateDibPalette(reinterpret_cast<const BITMAPINFOHEADER*>(truecolour.data()), &count),
        nullptr);
    EXPECT_EQ(count, 0);
}

// A copy of this program with extra bitmap resources, loaded as a data file.
class CResourceCopy {
public:
    explicit CResourceCopy(const std::vector<std::pair<int, Bytes>>& bitmaps) {
        wchar_t self[MAX_PATH], folder[MAX_PATH];
        GetModuleFileNameW(nullptr, self, MAX_PATH);
        GetTempPathW(MAX_PATH, folder);
        GetTempFileNameW(folder, L"tws", 0, path_);
        if (!CopyFileW(self, path_, FALSE)) return;
        HANDLE update = BeginUpdateResourceW(path_, FALSE);
        if (!update) return;
        for (const auto& [id, data] : bitmaps) {
            UpdateResourceW(update, RT_BITMAP, MAKEINTRESOURCEW(id),
                            MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL),
                            const_cast<BYTE*>(data.data()), static_cast<DWORD>(data.size()));
        }
        if (!EndUpdateResourceW(update, FALSE)) return;
        module_ = LoadLibraryExW(path_, nullptr, LOAD_LIBRARY_AS_DATAFILE);
    }
    ~CResourceCopy() {
        if (module_) FreeLibrary(module_);
        DeleteFileW(path_);
    }
    HMODULE Module() const { return module_; }

private:
    wchar_t path_[MAX_PATH] = {};
    HMODULE module_ = nullptr;
};

TEST(LoadSkinBitmap, DecodesRle8AndRefusesLyingHeaders) {
    const Bytes rle = {
        5, 1, 0, 0,              // bottom row: red x 5
        0, 3, 2, 3, 2, 0, 1, 1,  // middle row: green blue green (padded), red
        0, 0,                    //
        0, 2, 1, 0, 1, 3,        // top row: skip 1, blue, then the end of the bitmap
        0, 1,
    };
    // With a short colour table (biClrUsed 4) the data starts right after 4 entries.
    std::vector<uint32_t> shortTable = {0x101010, 0xff0000, 0x00ff00, 0x0000ff};
    const Bytes hostile = {255, 1, 0, 2, 0, 200, 0, 250, 9};  // runs and deltas out of range
    const Bytes shortBits = {1, 2, 3};                        // 24-bit 4 x 4 needs 48 bytes
    CResourceCopy copy({{300, PackedDib(5, 3, 8, BI_RLE8, 0, FullTable(), rle)},
                        {301, PackedDib(5, 3, 8, BI_RLE8, 4, shortTable, rle)},
                        {302, PackedDib(3, 2, 8, BI_RLE8, 4, shortTable, hostile)},
                        {303, PackedDib(4, 4, 24, BI_RGB, 0, {}, shortBits)},
                        {304, Bytes(20, 0)}});
    ASSERT_NE(copy.Module(), nullptr) << "could not write the test resources";

    for (int id : {300, 301}) {
        SCOPED_TRACE(id);
        HPALETTE palette = nullptr;
        HBITMAP bitmap = LoadSkinBitmap(copy.Module(), id, &palette);
        ASSERT_NE(bitmap, nullptr);
        EXPECT_NE(palette, nullptr);
        EXPECT_EQ(SizeOf(bitmap).width, 5);
        EXPECT_EQ(SizeOf(bitmap).height, 3);
        // Rows from the top: top row, middle row, bottom row.
        EXPECT_EQ(PixelOf(bitmap, 0, 0), 0x101010u);
        EXPECT_EQ(PixelOf(bitmap, 1, 0), 0x0000ffu);
        EXPECT_EQ(PixelOf(bitmap, 2, 0), 0x101010u);
        EXPECT_EQ(PixelOf(bitmap, 0, 1), 0x00ff00u);
        EXPECT_EQ(PixelOf(bitmap, 1, 1), 0x0000ffu);
        EXPECT_EQ(PixelOf(bitmap, 3, 1), 0xff0000u);
        EXPECT_EQ(PixelOf(bitmap, 4, 1), 0x101010u);
        EXPECT_EQ(PixelOf(bitmap, 4, 2), 0xff0000u);
        DeleteObject(bitmap);
        DeleteObject(palette);
    }

    HBITMAP hostileBitmap = LoadSkinBitmap(copy.Module(), 302, nullptr);
    ASSERT_NE(hostileBitmap, nullptr);
    EXPECT_EQ(PixelOf(hostileBitmap, 2, 1), 0xff0000u);  // bottom row, clipped run
    EXPECT_EQ(PixelOf(hostileBitmap, 0, 0), 0x101010u);  // top row never reached
    DeleteObject(hostileBitmap);

    HPALETTE palette = reinterpret_cast<HPALETTE>(1);
    EXPECT_EQ(LoadSkinBitmap(copy.Module(), 303, &palette), nullptr);
    EXPECT_EQ(palette, nullptr);
    EXPECT_EQ(LoadSkinBitmap(copy.Module(), 304, nullptr), nullptr) << "shorter than a header";
}

}  // namespace
