// GDI drawing helpers of the editor's controls: compositing of RGBT images over what a device
// context already shows, the colour-keyed blit, lines, the page background under a control
// and the caption font. Window thread only.
#pragma once
#include <windows.h>

// Lays a whole w x h RGBT image onto dc at (x, y). opacity 0-255 (255 = as stored); tint a
// TintColor or 0; marginMode 0 tints every pixel, 1 and 2 only the inner rectangle
// (see skin::IsTintedPixel). Draws nothing when w or h is not positive.
void CompositeImage(HDC dc, int x, int y, int w, int h, const BYTE* image, int opacity, DWORD tint,
                    int marginMode);

// Lays the w x h block of an RGBT image whose top-left pixel is (srcX, srcY) onto dc at
// (x, y); stride is the image's row length in pixels, 0 meaning w. No tint.
void CompositeImageRect(HDC dc, int x, int y, int w, int h, int srcX, int srcY, const BYTE* image,
                        int opacity, int stride);

// Copies the w x h block at (srcX, srcY) of bitmap to dc at (x, y), except where the source
// pixel equals keyColour. Nothing is drawn when the bitmap is missing.
void BlitColorKeyed(HDC dc, int x, int y, HBITMAP bitmap, int srcX, int srcY, int w, int h,
                    COLORREF keyColour);

// A solid one-pixel line from (x1, y1) to (x2, y2), the end point excluded.
void DrawLine(HDC dc, int x1, int y1, int x2, int y2, COLORREF colour);

// Copies the part of the page background under control into memoryDc at (0, 0), so the
// control's off-screen picture starts as the page it sits on.
void CopyParentBackground(HWND control, HDC memoryDc, HBITMAP backgroundBitmap);

// The caption font of buttons and edit fields: the stock GUI font at 96 dpi, else Arial 14.
// The caller deletes it after drawing (deleting the stock font is harmless).
HFONT CreateCaptionFont(HDC dc);
