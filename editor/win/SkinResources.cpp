// Skin bitmaps and RGBT images out of the module's resources. Bitmap resources are packed DIBs:
// a BITMAPINFOHEADER, the colour table, then the bits.
#include "editor/win/SkinResources.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "editor/DibDecoding.h"

namespace {

constexpr WORD kLogPaletteVersion = 0x300;

// CreateDibPalette reading at most `available` bytes from header: entries whose colour would lie
// past them are left black rather than read out of bounds.
HPALETTE CreatePaletteWithin(const BITMAPINFOHEADER* header, size_t available, int* count) {
    if (count) *count = 0;
    if (!header) return nullptr;
    const int entries = dib::PaletteEntryCount(header->biBitCount);
    if (entries == 0) return nullptr;

    std::vector<BYTE> storage(sizeof(LOGPALETTE) + (entries - 1) * sizeof(PALETTEENTRY));
    auto* palette = reinterpret_cast<LOGPALETTE*>(storage.data());
    palette->palVersion = kLogPaletteVersion;
    palette->palNumEntries = static_cast<WORD>(entries);
    const auto* table = reinterpret_cast<const BYTE*>(header) + header->biSize;
    for (int i = 0; i < entries; ++i) {
        PALETTEENTRY& entry = palette->palPalEntry[i];
        entry = PALETTEENTRY{0, 0, 0, 0};
        if (header->biSize + (i + 1) * sizeof(RGBQUAD) > available) continue;
        const auto* quad = reinterpret_cast<const RGBQUAD*>(table) + i;
        entry.peRed = quad->rgbRed;
        entry.peGreen = quad->rgbGreen;
        entry.peBlue = quad->rgbBlue;
    }
    HPALETTE handle = CreatePalette(palette);
    if (handle && count) *count = entries;
    return handle;
}

// Builds the bitmap from a packed DIB of `size` bytes, or none when the data is too short for
// what its header claims.
HBITMAP CreateFromPackedDib(HDC screen, const BYTE* data, size_t size, int paletteEntries) {
    const auto* header = reinterpret_cast<const BITMAPINFOHEADER*>(data);
    const auto* info = reinterpret_cast<const BITMAPINFO*>(data);

    if (header->biCompression == BI_RLE8) {
        // The decoder yields 8-bit rows; a header claiming another depth would have GDI read
        // past them.
        if (header->biBitCount != 8) return nullptr;
        const size_t tableBytes =
            dib::ColourTableEntryCount(header->biClrUsed, header->biBitCount) * sizeof(RGBQUAD);
        const size_t headerBytes = header->biSize + tableBytes;
        if (headerBytes > size) return nullptr;
        const std::vector<uint8_t> pixels = dib::DecodeRle8(data + headerBytes, size - headerBytes,
                                                            header->biWidth, header->biHeight);
        if (pixels.empty()) return nullptr;
        // The decoded rows with a copy of header and colour table that says so.
        std::vector<BYTE> copy(data, data + headerBytes);
        auto* copyHeader = reinterpret_cast<BITMAPINFOHEADER*>(copy.data());
        copyHeader->biCompression = BI_RGB;
        copyHeader->biSizeImage = static_cast<DWORD>(pixels.size());
        return CreateDIBitmap(screen, copyHeader, CBM_INIT, pixels.data(),
                              reinterpret_cast<const BITMAPINFO*>(copy.data()), DIB_RGB_COLORS);
    }

    const size_t bitsOffset = header->biSize + paletteEntries * sizeof(RGBQUAD);
    if (bitsOffset > size) return nullptr;
    if (header->biCompression == BI_RGB) {
        const size_t needed = dib::RowBytes(header->biWidth, header->biBitCount) *
                              static_cast<size_t>(std::abs(static_cast<long>(header->biHeight)));
        if (header->biWidth <= 0 || needed > size - bitsOffset) return nullptr;
    }
    return CreateDIBitmap(screen, header, CBM_INIT, data + bitsOffset, info, DIB_RGB_COLORS);
}

}  // namespace

HPALETTE CreateDibPalette(const BITMAPINFOHEADER* header, int* count) {
    return CreatePaletteWithin(header, SIZE_MAX, count);
}

HBITMAP LoadSkinBitmap(HMODULE module, int id, HPALETTE* palette) {
    if (palette) *palette = nullptr;
    HRSRC resource = FindResourceW(module, MAKEINTRESOURCEW(id), RT_BITMAP);
    if (!resource) return nullptr;
    HGLOBAL loaded = LoadResource(module, resource);
    const auto* data = static_cast<const BYTE*>(loaded ? LockResource(loaded) : nullptr);
    const size_t size = SizeofResource(module, resource);
    const auto* header = reinterpret_cast<const BITMAPINFOHEADER*>(data);
    if (!data || size < sizeof(BITMAPINFOHEADER) || header->biSize < sizeof(BITMAPINFOHEADER) ||
        header->biSize > size) {
        return nullptr;
    }

    int paletteEntries = 0;
    HPALETTE dibPalette = CreatePaletteWithin(header, size, &paletteEntries);
    HDC screen = GetDC(nullptr);
    HPALETTE oldPalette = nullptr;
    if (dibPalette) {
        oldPalette = SelectPalette(screen, dibPalette, FALSE);
        RealizePalette(screen);
    }

    HBITMAP bitmap = CreateFromPackedDib(screen, data, size, paletteEntries);

    if (dibPalette) SelectPalette(screen, oldPalette, FALSE);
    ReleaseDC(nullptr, screen);
    FreeResource(loaded);

    if (bitmap && palette) {
        *palette = dibPalette;
    } else if (dibPalette) {
        DeleteObject(dibPalette);
    }
    return bitmap;
}

const BYTE* LoadRawImage(HMODULE module, int id) {
    HRSRC resource = FindResourceW(module, MAKEINTRESOURCEW(id), RT_RCDATA);
    if (!resource) return nullptr;
    HGLOBAL loaded = LoadResource(module, resource);
    return static_cast<const BYTE*>(loaded ? LockResource(loaded) : nullptr);
}
