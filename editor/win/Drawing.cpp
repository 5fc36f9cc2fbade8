// GDI side of the skin drawing: reads the destination back, lets the portable core blend it,
// writes it back; the mask blit; small helpers of the controls.
#include "editor/win/Drawing.h"

#include "editor/Compositing.h"

namespace {

constexpr int kStandardDpi = 96;
constexpr int kCaptionFontHeight = 14;
constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kWhite = RGB(255, 255, 255);

// A memory device context with a bitmap selected, released in reverse order.
class CMemoryCanvas {
public:
    explicit CMemoryCanvas(HDC reference) : m_dc(CreateCompatibleDC(reference)) {}
    CMemoryCanvas(const CMemoryCanvas&) = delete;
    CMemoryCanvas& operator=(const CMemoryCanvas&) = delete;
    ~CMemoryCanvas() {
        if (m_old) SelectObject(m_dc, m_old);
        if (m_owned) DeleteObject(m_owned);
        if (m_dc) DeleteDC(m_dc);
    }

    // Selects bitmap; the canvas deletes it when owned is true.
    bool Select(HBITMAP bitmap, bool owned) {
        if (!m_dc || !bitmap) {
            if (owned && bitmap) DeleteObject(bitmap);
            return false;
        }
        if (owned) m_owned = bitmap;
        m_old = SelectObject(m_dc, bitmap);
        return m_old != nullptr;
    }
    HDC Dc() const { return m_dc; }

private:
    HDC m_dc;
    HGDIOBJ m_old = nullptr;
    HBITMAP m_owned = nullptr;
};

// Reads the w x h block at (x, y) of dc into a 32-bit top-down DIB section, hands its pixels to
// blend, and writes the block back.
template <typename Blend>
void BlendBlock(HDC dc, int x, int y, int w, int h, Blend blend) {
    if (w <= 0 || h <= 0) return;
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = -h;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP block = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    CMemoryCanvas canvas(dc);
    if (!canvas.Select(block, true) || !bits) return;
    BitBlt(canvas.Dc(), 0, 0, w, h, dc, x, y, SRCCOPY);
    GdiFlush();  // the pixels must have arrived before we touch them
    blend(static_cast<uint8_t*>(bits));
    BitBlt(dc, x, y, w, h, canvas.Dc(), 0, 0, SRCCOPY);
}

}  // namespace

void CompositeImage(HDC dc, int x, int y, int w, int h, const BYTE* image, int opacity, DWORD tint,
                    int marginMode) {
    if (!image) return;
    BlendBlock(dc, x, y, w, h, [&](uint8_t* pixels) {
        skin::CompositeOverBgrx(pixels, w, h, image, opacity, tint, marginMode);
    });
}

void CompositeImageRect(HDC dc, int x, int y, int w, int h, int srcX, int srcY, const BYTE* image,
                        int opacity, int stride) {
    if (!image) return;
    BlendBlock(dc, x, y, w, h, [&](uint8_t* pixels) {
        skin::CompositeRectOverBgrx(pixels, w, h, image, srcX, srcY, stride, opacity);
    });
}

void BlitColorKeyed(HDC dc, int x, int y, HBITMAP bitmap, int srcX, int srcY, int w, int h,
                    COLORREF keyColour) {
    if (!bitmap || w <= 0 || h <= 0) return;
    CMemoryCanvas source(dc), colour(dc), mask(dc), result(dc);
    if (!source.Select(bitmap, false) || !colour.Select(CreateCompatibleBitmap(dc, w, h), true) ||
        !mask.Select(CreateBitmap(w, h, 1, 1, nullptr), true) ||
        !result.Select(CreateCompatibleBitmap(dc, w, h), true)) {
        return;
    }
    BitBlt(colour.Dc(), 0, 0, w, h, source.Dc(), srcX, srcY, SRCCOPY);
    // Colour to monochrome: pixels equal to the background colour become 1, the rest 0.
    SetBkColor(colour.Dc(), keyColour);
    BitBlt(mask.Dc(), 0, 0, w, h, colour.Dc(), 0, 0, SRCCOPY);

    // Monochrome to colour: 1 becomes the background colour (white), 0 the text colour (black).
    BitBlt(result.Dc(), 0, 0, w, h, dc, x, y, SRCCOPY);
    SetBkColor(result.Dc(), kWhite);
    SetTextColor(result.Dc(), kBlack);
    BitBlt(result.Dc(), 0, 0, w, h, mask.Dc(), 0, 0, SRCAND);  // destination where the key was

    BitBlt(mask.Dc(), 0, 0, w, h, nullptr, 0, 0, DSTINVERT);
    SetBkColor(colour.Dc(), kWhite);
    SetTextColor(colour.Dc(), kBlack);
    BitBlt(colour.Dc(), 0, 0, w, h, mask.Dc(), 0, 0, SRCAND);  // source everywhere else

    BitBlt(result.Dc(), 0, 0, w, h, colour.Dc(), 0, 0, SRCPAINT);
    BitBlt(dc, x, y, w, h, result.Dc(), 0, 0, SRCCOPY);
}

void DrawLine(HDC dc, int x1, int y1, int x2, int y2, COLORREF colour) {
    HPEN pen = CreatePen(PS_SOLID, 1, colour);
    if (!pen) return;
    HGDIOBJ old = SelectObject(dc, pen);
    MoveToEx(dc, x1, y1, nullptr);
    LineTo(dc, x2, y2);
    SelectObject(dc, old);
    DeleteObject(pen);
}

void CopyParentBackground(HWND control, HDC memoryDc, HBITMAP backgroundBitmap) {
    RECT rect;
    if (!backgroundBitmap || !GetWindowRect(control, &rect)) return;
    POINT topLeft = {rect.left, rect.top};
    ScreenToClient(GetParent(control), &topLeft);
    CMemoryCanvas background(memoryDc);
    if (!background.Select(backgroundBitmap, false)) return;
    BitBlt(memoryDc, 0, 0, rect.right - rect.left, rect.bottom - rect.top, background.Dc(),
           topLeft.x, topLeft.y, SRCCOPY);
}

HFONT CreateCaptionFont(HDC dc) {
    if (GetDeviceCaps(dc, LOGPIXELSY) == kStandardDpi) {
        return static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    }
    LOGFONTW font = {};
    font.lfHeight = kCaptionFontHeight;
    font.lfWeight = FW_NORMAL;
    lstrcpyW(font.lfFaceName, L"Arial");
    return CreateFontIndirectW(&font);
}
