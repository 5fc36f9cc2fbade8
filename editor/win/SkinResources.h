// Loading the skin out of a module's resources: bitmaps with their palettes, and the RGBT
// images used in place.
#pragma once
#include <windows.h>

// Loads bitmap resource id as a device-dependent bitmap compatible with the screen. palette
// (may be null) receives the logical palette of a bitmap of 8 bits per pixel or fewer, else
// none. The caller deletes both. Returns none when the resource is missing or unusable;
// RLE8-compressed bitmaps are decoded first.
HBITMAP LoadSkinBitmap(HMODULE module, int id, HPALETTE* palette);

// The logical palette of a packed bitmap (header followed by its colour table): 2^bitCount
// entries for 8 bits per pixel or fewer, else none. count (may be null) receives the number
// of entries, 0 when there is no palette.
HPALETTE CreateDibPalette(const BITMAPINFOHEADER* header, int* count);

// The bytes of RCDATA resource id, in place in the loaded module; none when it is missing.
const BYTE* LoadRawImage(HMODULE module, int id);
