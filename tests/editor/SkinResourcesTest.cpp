// Loading the skin under Wine: the real resources linked into this test program, and bitmaps
// written into a copy of it at run time (RLE8, short colour tables, lying headers).
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <utility>
#include <vector>

#include "editor/SkinImages.h"
#include "editor/win/SkinResources.h"
#include "tests/editor/TestSurface.h"

namespace {

using Bytes = std::vector<BYTE>;
using edtest::CSurface;

HMODULE Self() {
    return GetModuleHandleW(nullptr);
}

// Every bitmap of the skin loads at its size and with the pixels the system's own loader reads
// from the same resource; only bitmaps of 8 bits or fewer per pixel come with a palette.
TEST(LoadSkinBitmap, SkinBitmapsLoadAsTheSystemLoadsThem) {
    const struct {
        int id, width, height;
        bool palette;
    } bitmaps[] = {{skin::kPageBackgroundId, skin::kPageWidth, skin::kPageHeight, false},
                   {skin::kAnalysisBackgroundId, skin::kPageWidth, skin::kPageHeight, false},
                   {skin::kClipOffId, skin::kClipWidth, skin::kClipHeight, false},
                   {skin::kClipHeldId, skin::kClipWidth, skin::kClipHeight, false},
                   {skin::kClipActiveId, skin::kClipWidth, skin::kClipHeight, false},
                   {skin::kIndicatorGlyphId, skin::kGlyphWidth, skin::kGlyphHeight, true}};
    for (const auto& b : bitmaps) {
        SCOPED_TRACE(b.id);
        HPALETTE palette = reinterpret_cast<HPALETTE>(1);
        HBITMAP loaded = LoadSkinBitmap(Self(), b.id, &palette);
        HBITMAP reference = static_cast<HBITMAP>(
            LoadImageW(Self(), MAKEINTRESOURCEW(b.id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
        ASSERT_TRUE(loaded && reference);
        EXPECT_EQ(palette != nullptr, b.palette);
        const CSurface ours(loaded), theirs(reference);
        ASSERT_TRUE(ours.Width() == b.width && ours.Height() == b.height);
        EXPECT_TRUE(ours.Differences(theirs).Empty());
        if (b.palette) {
            WORD entries = 0;
            GetObjectW(palette, sizeof entries, &entries);
            EXPECT_EQ(entries, 16);
            PALETTEENTRY key = {};
            GetPaletteEntries(palette, 0, 1, &key);
            EXPECT_EQ(RGB(key.peRed, key.peGreen, key.peBlue), skin::kGlyphKeyColour);
            DeleteObject(palette);
        }
        DeleteObject(loaded);
        DeleteObject(reference);
    }
    // The clip indicator brightens from off over held to active.
    int red[3], i = 0;
    for (int id : {skin::kClipOffId, skin::kClipHeldId, skin::kClipActiveId}) {
        HBITMAP clip = LoadSkinBitmap(Self(), id, nullptr);
        red[i++] = GetRValue(CSurface(clip).At(6, 6));
        DeleteObject(clip);
    }
    EXPECT_TRUE(red[0] < red[1] && red[1] < red[2]) << red[0] << " " << red[1] << " " << red[2];
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

// A packed DIB: header, colour table (0x00rrggbb entries), bits.
Bytes PackedDib(int width, int height, int bitCount, DWORD compression, DWORD colorsUsed,
                const std::vector<uint32_t>& table, const Bytes& bits) {
    BITMAPINFOHEADER header = {};
    header.biSize = sizeof header;
    header.biWidth = width;
    header.biHeight = height;
    header.biPlanes = 1;
    header.biBitCount = WORD(bitCount);
    header.biCompression = compression;
    header.biSizeImage = DWORD(bits.size());
    header.biClrUsed = colorsUsed;
    Bytes dib(reinterpret_cast<const BYTE*>(&header), reinterpret_cast<const BYTE*>(&header + 1));
    for (uint32_t rgb : table)
        dib.insert(dib.end(), {BYTE(rgb), BYTE(rgb >> 8), BYTE(rgb >> 16), 0});
    dib.insert(dib.end(), bits.begin(), bits.end());
    return dib;
}

// A 256-entry table whose entries 1, 2 and 3 are red, green and blue.
std::vector<uint32_t> FullTable() {
    std::vector<uint32_t> table(256, 0x101010);
    table[1] = 0xff0000;
    table[2] = 0x00ff00;
    table[3] = 0x0000ff;
    return table;
}

TEST(CreateDibPalette, EntriesFromTheColourTableUpToEightBits) {
    const struct {
        int bitCount;
        std::vector<uint32_t> table;
        int count;
    } cases[] = {{8, FullTable(), 256}, {1, {0, 0xffffff}, 2}, {24, {}, 0}};
    for (const auto& c : cases) {
        const Bytes dib = PackedDib(1, 1, c.bitCount, BI_RGB, 0, c.table, {0, 0, 0, 0});
        int count = -1;
        HPALETTE palette =
            CreateDibPalette(reinterpret_cast<const BITMAPINFOHEADER*>(dib.data()), &count);
        EXPECT_EQ(count, c.count) << c.bitCount;
        EXPECT_EQ(palette != nullptr, c.count > 0) << c.bitCount;
        PALETTEENTRY entries[4] = {};
        if (c.bitCount == 8) {
            GetPaletteEntries(palette, 0, 4, entries);
            EXPECT_EQ(RGB(entries[1].peRed, entries[1].peGreen, entries[1].peBlue), RGB(255, 0, 0));
            EXPECT_EQ(RGB(entries[3].peRed, entries[3].peGreen, entries[3].peBlue), RGB(0, 0, 255));
            EXPECT_EQ(entries[1].peFlags, 0);
        }
        if (palette) DeleteObject(palette);
    }
}

// A copy of this program with extra bitmap resources, loaded as a data file.
class CResourceCopy {
public:
    explicit CResourceCopy(const std::vector<std::pair<int, Bytes>>& bitmaps) {
        wchar_t self[MAX_PATH], folder[MAX_PATH];
        GetModuleFileNameW(nullptr, self, MAX_PATH);
        GetTempPathW(MAX_PATH, folder);
        GetTempFileNameW(folder, L"tws", 0, path_);
        HANDLE update =
            CopyFileW(self, path_, FALSE) ? BeginUpdateResourceW(path_, FALSE) : nullptr;
        if (!update) return;
        for (const auto& [id, data] : bitmaps) {
            UpdateResourceW(update, RT_BITMAP, MAKEINTRESOURCEW(id),
                            MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL),
                            const_cast<BYTE*>(data.data()), static_cast<DWORD>(data.size()));
        }
        if (EndUpdateResourceW(update, FALSE))
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

    const COLORREF o = RGB(16, 16, 16), r = RGB(255, 0, 0), g = RGB(0, 255, 0), b = RGB(0, 0, 255);
    const COLORREF expected[3][5] = {
        {o, b, o, o, o}, {g, b, g, r, o}, {r, r, r, r, r}};  // top first
    for (int id : {300, 301}) {
        HPALETTE palette = nullptr;
        HBITMAP bitmap = LoadSkinBitmap(copy.Module(), id, &palette);
        ASSERT_NE(bitmap, nullptr) << id;
        EXPECT_NE(palette, nullptr) << id;
        const CSurface pixels(bitmap);
        ASSERT_TRUE(pixels.Width() == 5 && pixels.Height() == 3) << id;
        EXPECT_EQ(
            pixels.CountWhere([&](int x, int y) { return pixels.At(x, y) != expected[y][x]; }), 0)
            << id;
        DeleteObject(bitmap);
        DeleteObject(palette);
    }

    HBITMAP hostileBitmap = LoadSkinBitmap(copy.Module(), 302, nullptr);
    ASSERT_NE(hostileBitmap, nullptr);
    const CSurface hostilePixels(hostileBitmap);
    EXPECT_EQ(hostilePixels.At(2, 1), r) << "bottom row, clipped run";
    EXPECT_EQ(hostilePixels.At(0, 0), o) << "top row never reached";
    DeleteObject(hostileBitmap);

    HPALETTE palette = reinterpret_cast<HPALETTE>(1);
    EXPECT_EQ(LoadSkinBitmap(copy.Module(), 303, &palette), nullptr);
    EXPECT_EQ(palette, nullptr);
    EXPECT_EQ(LoadSkinBitmap(copy.Module(), 304, nullptr), nullptr) << "shorter than a header";
}

}  // namespace
