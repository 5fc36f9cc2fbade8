// The "tw:Meter" window class: state record, messages and double-buffered painting; the
// ballistics and band geometry are in editor/MeterModel.
#include "editor/controls/Meter.h"

#include <cstdint>

#include "editor/win/Drawing.h"
#include "editor/MeterModel.h"
#include "editor/controls/ControlShared.h"

namespace {

constexpr int kChannels = 2;
constexpr int kOpaqueDraw = 255;

// Only channel 1 is drawn; channel 2 runs through the same ballistics and can be read back.
struct MeterState {
    HBITMAP backBitmap;  // off-screen picture of the client size, made at the first paint
    HDC memoryDc;
    int32_t level[kChannels];
    int32_t min, max;
    int32_t peakHold[kChannels];
    int32_t maxLevel[kChannels];
    int32_t holdCount[kChannels];
    int32_t vertical;
    int32_t inverted;
    int32_t ballistics;
    int32_t centred;
    int32_t marker;
    int32_t decayStep;
    const BYTE* unlitImage;
    const BYTE* litImage;
};

int32_t ToInt32(WPARAM value) {
    return static_cast<int32_t>(value);
}

void InitialiseState(MeterState* state, DWORD style) {
    for (int i = 0; i < kChannels; ++i) {
        state->level[i] = meter::kNoLevel;
        state->peakHold[i] = meter::kNoLevel;
        state->maxLevel[i] = meter::kNoLevel;
        state->holdCount[i] = 0;
    }
    state->min = meter::kDefaultMin;
    state->max = meter::kDefaultMax;
    state->vertical = (style & MTS_VERTICAL) != 0;
    state->inverted = (style & MTS_INVERTED) != 0;
    state->ballistics = (style & MTS_BALLISTICS) != 0;
    state->centred = (style & MTS_CENTRED) != 0;
    state->marker = (style & MTS_MARKER) != 0;
    state->decayStep = meter::kDefaultDecayStep;
}

void ApplyValues(MeterState* state, const int32_t (&values)[kChannels]) {
    for (int i = 0; i < kChannels; ++i) {
        if (!state->ballistics) {
            state->level[i] = values[i];
            continue;
        }
        meter::ChannelBallistics channel{state->level[i], state->peakHold[i], state->maxLevel[i],
                                         state->holdCount[i]};
        meter::ApplyBallistics(channel, values[i], state->decayStep);
        state->level[i] = channel.level;
        state->peakHold[i] = channel.peakHold;
        state->maxLevel[i] = channel.maxLevel;
        state->holdCount[i] = channel.holdCount;
    }
}

void WriteThrough(WPARAM address, int32_t value) {
    if (address) *reinterpret_cast<int32_t*>(address) = value;
}

// Keeps one off-screen bitmap for the meter's lifetime; a new one only when the client size
// changed since it was made.
bool EnsureBackBuffer(MeterState* state, HDC target, int width, int height) {
    if (state->backBitmap) {
        BITMAP info = {};
        GetObjectA(state->backBitmap, sizeof(info), &info);
        if (info.bmWidth == width && info.bmHeight == height) return true;
        DeleteDC(state->memoryDc);
        DeleteObject(state->backBitmap);
        state->memoryDc = nullptr;
        state->backBitmap = nullptr;
    }
    state->memoryDc = CreateCompatibleDC(target);
    state->backBitmap = CreateCompatibleBitmap(target, width, height);
    if (!state->memoryDc || !state->backBitmap) {
        if (state->memoryDc) DeleteDC(state->memoryDc);
        if (state->backBitmap) DeleteObject(state->backBitmap);
        state->memoryDc = nullptr;
        state->backBitmap = nullptr;
        return false;
    }
    SelectObject(state->memoryDc, state->backBitmap);
    return true;
}

void DrawBand(HDC dc, const meter::PixelBand& band, const BYTE* image, int stride) {
    if (band.Empty()) return;
    CompositeImageRect(dc, band.x, band.y, band.width, band.height, band.x, band.y, image,
                       kOpaqueDraw, stride);
}

void Paint(HWND window, MeterState* state, HDC target) {
    RECT client;
    GetClientRect(window, &client);
    const int width = client.right - client.left;
    const int height = client.bottom - client.top;
    if (width <= 0 || height <= 0 || !EnsureBackBuffer(state, target, width, height)) return;

    HDC dc = state->memoryDc;
    if (state->unlitImage && state->litImage) {
        CompositeImage(dc, 0, 0, width, height, state->unlitImage, kOpaqueDraw, 0, 0);
        meter::MeterLayout layout;
        layout.width = width;
        layout.height = height;
        layout.min = state->min;
        layout.max = state->max;
        layout.vertical = state->vertical != 0;
        layout.inverted = state->inverted != 0;
        layout.centred = state->centred != 0;
        layout.marker = state->marker != 0;
        DrawBand(dc, meter::LitBand(layout, state->level[0]), state->litImage, width);
        if (state->ballistics) {
            DrawBand(dc, meter::PeakHoldLine(layout, state->peakHold[0]), state->litImage, width);
        }
    }
    BitBlt(target, 0, 0, width, height, dc, 0, 0, SRCCOPY);
}

void RepaintNow(HWND window, MeterState* state) {
    HDC dc = GetDC(window);
    if (!dc) return;
    Paint(window, state, dc);
    ReleaseDC(window, dc);
}

LRESULT OnCreate(HWND window, LPARAM lParam) {
    MeterState* state = CreateControlState<MeterState>(window);
    if (!state) return -1;
    InitialiseState(state, reinterpret_cast<const CREATESTRUCTA*>(lParam)->style);
    return 0;
}

LRESULT OnDestroy(HWND window, MeterState* state) {
    if (state->memoryDc) DeleteDC(state->memoryDc);  // frees the bitmap's selection first
    if (state->backBitmap) DeleteObject(state->backBitmap);
    DestroyControlState(window);
    return 0;
}

LRESULT OnSetRange(MeterState* state, WPARAM wParam, LPARAM lParam) {
    state->min = ToInt32(wParam);
    state->max = ToInt32(lParam);
    return 0;
}

LRESULT OnSetValues(HWND window, MeterState* state, WPARAM wParam, LPARAM lParam) {
    const int32_t values[kChannels] = {ToInt32(wParam), ToInt32(lParam)};
    ApplyValues(state, values);
    RepaintNow(window, state);
    return 0;
}

// MTM_GETPEAKHOLD and MTM_GETMAX: both channels' values written through the two pointers.
LRESULT OnGetLevels(const int32_t (&levels)[kChannels], WPARAM wParam, LPARAM lParam) {
    if (IsSentFromAnotherThread()) return 0;
    WriteThrough(wParam, levels[0]);
    WriteThrough(lParam, levels[1]);
    return 0;
}

LRESULT OnSetImages(MeterState* state, WPARAM wParam, LPARAM lParam) {
    if (IsSentFromAnotherThread()) return 0;
    state->unlitImage = reinterpret_cast<const BYTE*>(wParam);
    state->litImage = reinterpret_cast<const BYTE*>(lParam);
    return 0;
}

LRESULT CALLBACK MeterWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CREATE) return OnCreate(window, lParam);
    MeterState* state = ControlState<MeterState>(window);
    if (!state) return DefWindowProcA(window, message, wParam, lParam);
    // A meter never takes the capture: only the paint messages are the shared ones.
    LRESULT result;
    const auto paint = [&](HDC dc) {
        if (dc) Paint(window, state, dc);
    };
    if (HandlePaintMessage(window, message, paint, &result)) return result;

    switch (message) {
    case WM_DESTROY: return OnDestroy(window, state);
    case MTM_SETRANGE: return OnSetRange(state, wParam, lParam);
    case MTM_SETVALUES: return OnSetValues(window, state, wParam, lParam);
    case MTM_GETPEAKHOLD: return OnGetLevels(state->peakHold, wParam, lParam);
    case MTM_RESETMAX: state->maxLevel[0] = state->maxLevel[1] = meter::kNoLevel; return 0;
    case MTM_GETMAX: return OnGetLevels(state->maxLevel, wParam, lParam);
    case MTM_SETIMAGES: return OnSetImages(state, wParam, lParam);
    case MTM_SETDECAY: state->decayStep = ToInt32(wParam); return 0;
    default: return DefWindowProcA(window, message, wParam, lParam);
    }
}

}  // namespace

bool RegisterMeterClass(HINSTANCE module) {
    return RegisterCustomControlClass(module, kMeterClassName, MeterWindowProc);
}

void UnregisterMeterClass(HINSTANCE module) {
    UnregisterClassA(kMeterClassName, module);
}
