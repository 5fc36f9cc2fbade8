// twphase-snapshot: writes a picture of the plug-in's editor as a PNG file. It creates the
// registered plug-in, gives it the demo's settings, opens its editor in the property frame as
// `twphase-render --edit` does, lets the page paint and run its timer for a moment, copies the
// frame from the screen and closes it. With --analysis it first plays a stereo mix through the
// plug-in in a filter graph, in real time, and pictures the analysis tab while the audio
// streams. tools/screenshot runs it under Xvfb for the README.
// Usage: twphase-snapshot [--analysis] OUT.png
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include <windows.h>
#include <commctrl.h>
#include <dshow.h>
#include <ole2.h>
#include <initguid.h>
#include <wincodec.h>

#include "base/win/ComPtr.h"
#include "engine/ParamDescriptors.h"
#include "engine/win/VxPlugInProp.h"
#include "host/render/win/EditorFrame.h"
#include "host/render/win/HResultText.h"
#include "plugin/PluginGuids.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

// How long the frame may take to appear, how often to look, and how long it then stays open
// before the copy: long enough for the page's first paint and several ticks of its timer.
constexpr DWORD kAppearTimeoutMs = 30000;
constexpr DWORD kLookIntervalMs = 50;
constexpr DWORD kSettleMs = 1500;
// The analysis tab gathers a few seconds of audio before the copy.
constexpr DWORD kAnalysisSettleMs = 4000;
constexpr DWORD kMixSeconds = 30;
constexpr DWORD kMixRate = 44100;

// The Null Renderer of DirectShow's sample grabber library.
const CLSID kNullRenderer = {
    0xc1f400a4, 0x3f08, 0x11d3, {0x9f, 0x0b, 0x00, 0x60, 0x08, 0x03, 0x9e, 0x37}};

void PrintError(const std::string& message) {
    std::fprintf(stderr, "twphase-snapshot: %s\n", message.c_str());
}

std::wstring Widen(const char* text) {
    const int length = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    std::wstring wide(length > 0 ? length - 1 : 0, L'\0');
    if (length > 1) MultiByteToWideChar(CP_ACP, 0, text, -1, &wide[0], length);
    return wide;
}

// The property frame: the visible top-level window of the thread that opened it (the other
// windows COM and Wine make there are hidden).
HWND FindFrame(DWORD threadId) {
    HWND found = nullptr;
    EnumThreadWindows(
        threadId,
        [](HWND window, LPARAM result) CALLBACK -> BOOL {
            if (!IsWindowVisible(window)) return TRUE;
            *reinterpret_cast<HWND*>(result) = window;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

// Writes top-down 32-bit BGRX pixels as a 24-bit PNG through WIC.
HRESULT WritePng(const std::wstring& path, UINT width, UINT height, const BYTE* bgrx) {
    const UINT stride = width * 3;
    std::vector<BYTE> bgr(size_t(stride) * height);
    for (size_t pixel = 0; pixel < size_t(width) * height; ++pixel)
        for (int channel = 0; channel < 3; ++channel)
            bgr[pixel * 3 + channel] = bgrx[pixel * 4 + channel];

    ComPtr<IWICImagingFactory> factory;
    ComPtr<IWICStream> stream;
    ComPtr<IWICBitmapEncoder> encoder;
    ComPtr<IWICBitmapFrameEncode> frame;
    WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
    HRESULT hr = CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                  IID_IWICImagingFactory, factory.PutVoid());
    if (SUCCEEDED(hr)) hr = factory->CreateStream(stream.Put());
    if (SUCCEEDED(hr)) hr = stream->InitializeFromFilename(path.c_str(), GENERIC_WRITE);
    if (SUCCEEDED(hr)) hr = factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, encoder.Put());
    if (SUCCEEDED(hr)) hr = encoder->Initialize(stream.Get(), WICBitmapEncoderNoCache);
    if (SUCCEEDED(hr)) hr = encoder->CreateNewFrame(frame.Put(), nullptr);
    if (SUCCEEDED(hr)) hr = frame->Initialize(nullptr);
    if (SUCCEEDED(hr)) hr = frame->SetSize(width, height);
    if (SUCCEEDED(hr)) hr = frame->SetPixelFormat(&format);
    if (SUCCEEDED(hr) && format != GUID_WICPixelFormat24bppBGR)
        hr = WINCODEC_ERR_UNSUPPORTEDPIXELFORMAT;
    if (SUCCEEDED(hr)) hr = frame->WritePixels(height, stride, UINT(bgr.size()), bgr.data());
    if (SUCCEEDED(hr)) hr = frame->Commit();
    if (SUCCEEDED(hr)) hr = encoder->Commit();
    return hr;
}

// Copies the window's client area from the screen, as it shows there, into a PNG file. The
// caption and border are left out: without a window manager (Xvfb) nobody draws them.
bool CaptureWindow(HWND window, const std::wstring& path, std::string* error) {
    RECT rect = {};
    GetClientRect(window, &rect);
    MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&rect), 2);
    const int width = rect.right - rect.left, height = rect.bottom - rect.top;
    if (width <= 0 || height <= 0) {
        *error = "the editor's frame has no size";
        return false;
    }
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ previous = bitmap ? SelectObject(memory, bitmap) : nullptr;
    const bool copied = bitmap && BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top,
                                         SRCCOPY | CAPTUREBLT);
    GdiFlush();
    HRESULT hr = copied ? WritePng(path, width, height, static_cast<const BYTE*>(bits)) : E_FAIL;
    if (previous) SelectObject(memory, previous);
    if (bitmap) DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    if (!copied) {
        *error = "copying the editor's frame from the screen failed";
        return false;
    }
    if (FAILED(hr)) {
        DeleteFileW(path.c_str());
        std::string name(path.begin(), path.end());
        *error = name + ": writing the PNG failed: " + HResultText(hr);
        return false;
    }
    return true;
}

// Shows the frame's second tab, the analysis page, with a click on it, queued as the mouse
// queues it: the page is then made on the frame's thread outside any call from this one.
void ClickSecondTab(HWND frame) {
    HWND tabs = FindWindowExW(frame, nullptr, L"SysTabControl32", nullptr);
    RECT second = {};
    if (!tabs || !SendMessageW(tabs, TCM_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&second))) return;
    const LPARAM at = MAKELPARAM((second.left + second.right) / 2, (second.top + second.bottom) / 2);
    PostMessageW(tabs, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageW(tabs, WM_LBUTTONUP, 0, at);
}

// On its own thread while the frame is open on the first: waits for the frame, copies it
// after a moment (on the analysis tab when asked) and closes it. `frameReturned` is set when
// the frame's call has returned.
void CaptureWhenShown(DWORD frameThread, HANDLE frameReturned, const std::wstring& path,
                      bool analysis, std::string* error) {
    HWND frame = nullptr;
    for (DWORD waited = 0; !frame; waited += kLookIntervalMs) {
        if (WaitForSingleObject(frameReturned, kLookIntervalMs) == WAIT_OBJECT_0) {
            *error = "the editor's frame closed before it could be copied";
            return;
        }
        if (waited >= kAppearTimeoutMs) {
            *error = "the editor's frame did not appear";
            return;
        }
        frame = FindFrame(frameThread);
    }
    if (analysis) ClickSecondTab(frame);
    if (WaitForSingleObject(frameReturned, analysis ? kAnalysisSettleMs : kSettleMs) ==
        WAIT_OBJECT_0) {
        *error = "the editor's frame closed before it could be copied";
        return;
    }
    const HRESULT init = CoInitializeEx(nullptr, COINIT_MULTITHREADED);  // for WIC
    CaptureWindow(frame, path, error);
    if (SUCCEEDED(init)) CoUninitialize();
    PostMessageW(frame, WM_CLOSE, 0, 0);
}

// The demo's settings with the precise filter, so that the picture shows more than the
// defaults.
HRESULT ApplyDemoSettings(IUnknown* filter) {
    ComPtr<IVxPlugInProp> prop;
    HRESULT hr = filter->QueryInterface(IID_IVxPlugInProp, prop.PutVoid());
    if (SUCCEEDED(hr)) hr = prop->SetPhase(60, FALSE);
    if (SUCCEEDED(hr)) hr = prop->SetWidth(130, FALSE);
    if (SUCCEEDED(hr)) hr = prop->SetOutput(-10, FALSE);
    if (SUCCEEDED(hr)) hr = prop->SetMode(1, FALSE);
    if (SUCCEEDED(hr)) hr = prop->SetFilter(ParamValueOf(QuadratureFilter::kPrecise), FALSE);
    return hr;
}

// A 16-bit stereo mix in a temporary WAV file: two voices panned apart, the right one a little
// behind, and a low note in both channels with its right copy turned by 120 degrees, so that
// the scope, the meters and the curves have something to show. Empty on failure.
std::wstring WriteDemoMix() {
    const uint32_t frames = kMixSeconds * kMixRate, bytes = frames * 4;
    std::vector<int16_t> samples(size_t(frames) * 2);
    const double pi = 3.14159265358979323846;
    for (uint32_t i = 0; i < frames; ++i) {
        const double t = double(i) / kMixRate;
        const double swell = 0.75 + 0.25 * std::sin(2 * pi * 0.3 * t);
        const double low = 0.35 * std::sin(2 * pi * 110 * t);
        const double lowTurned = 0.35 * std::sin(2 * pi * 110 * t - 2 * pi / 3);
        const double a = 0.2 * std::sin(2 * pi * 440 * t) * swell;
        const double b = 0.15 * std::sin(2 * pi * 659.25 * (t - 0.0004));
        samples[2 * i] = int16_t(std::lround((low + a + 0.4 * b) * 32767));
        samples[2 * i + 1] = int16_t(std::lround((lowTurned + 0.4 * a + b) * 32767));
    }
    WCHAR folder[MAX_PATH], path[MAX_PATH];
    if (!GetTempPathW(MAX_PATH, folder) || !GetTempFileNameW(folder, L"tws", 0, path)) return L"";
    FILE* file = _wfopen(path, L"wb");
    if (!file) return L"";
    const WAVEFORMATEX format = {WAVE_FORMAT_PCM, 2, kMixRate, kMixRate * 4, 4, 16, 0};
    const uint32_t riff = 4 + 8 + 16 + 8 + bytes, fmt = 16;
    bool ok = std::fwrite("RIFF", 1, 4, file) == 4 && std::fwrite(&riff, 4, 1, file) == 1 &&
              std::fwrite("WAVEfmt ", 1, 8, file) == 8 && std::fwrite(&fmt, 4, 1, file) == 1 &&
              std::fwrite(&format, 16, 1, file) == 1 && std::fwrite("data", 1, 4, file) == 4 &&
              std::fwrite(&bytes, 4, 1, file) == 1 &&
              std::fwrite(samples.data(), 1, bytes, file) == bytes;
    ok = std::fclose(file) == 0 && ok;
    if (!ok) DeleteFileW(path);
    return ok ? path : L"";
}

// The first pin of the filter in the direction.
ComPtr<IPin> PinOf(IBaseFilter* filter, PIN_DIRECTION wanted) {
    ComPtr<IEnumPins> pins;
    ComPtr<IPin> pin;
    if (FAILED(filter->EnumPins(pins.Put()))) return pin;
    while (pins->Next(1, pin.Put(), nullptr) == S_OK) {
        PIN_DIRECTION direction;
        if (SUCCEEDED(pin->QueryDirection(&direction)) && direction == wanted) return pin;
    }
    return ComPtr<IPin>();
}

// Plays the file through the plug-in into a Null Renderer, in real time, until the graph is
// released: File Source, the parser the graph finds, the plug-in, the renderer.
HRESULT PlayThrough(IUnknown* plugIn, const std::wstring& path, ComPtr<IGraphBuilder>* graph) {
    ComPtr<IBaseFilter> filter, source, sink;
    ComPtr<IMediaControl> control;
    HRESULT hr = plugIn->QueryInterface(IID_IBaseFilter, filter.PutVoid());
    if (SUCCEEDED(hr))
        hr = CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                              graph->PutVoid());
    if (SUCCEEDED(hr)) hr = (*graph)->AddSourceFilter(path.c_str(), L"Source", source.Put());
    if (SUCCEEDED(hr)) hr = (*graph)->AddFilter(filter.Get(), L"tw:Phase");
    if (SUCCEEDED(hr))
        hr = CoCreateInstance(kNullRenderer, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                              sink.PutVoid());
    if (SUCCEEDED(hr)) hr = (*graph)->AddFilter(sink.Get(), L"Renderer");
    if (SUCCEEDED(hr))
        hr = (*graph)->Connect(PinOf(source.Get(), PINDIR_OUTPUT).Get(),
                               PinOf(filter.Get(), PINDIR_INPUT).Get());
    if (SUCCEEDED(hr))
        hr = (*graph)->ConnectDirect(PinOf(filter.Get(), PINDIR_OUTPUT).Get(),
                                     PinOf(sink.Get(), PINDIR_INPUT).Get(), nullptr);
    if (SUCCEEDED(hr)) hr = (*graph)->QueryInterface(IID_IMediaControl, control.PutVoid());
    if (SUCCEEDED(hr)) hr = control->Run();
    return hr;
}

int Snapshot(const std::wstring& path, bool analysis) {
    ComPtr<IUnknown> filter;
    HRESULT hr = CoCreateInstance(CLSID_TwPhase, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                  filter.PutVoid());
    if (hr == REGDB_E_CLASSNOTREG) {
        PrintError("twPhaseDX.dll is not registered (run regsvr32 twPhaseDX.dll)");
        return kExitFailed;
    }
    if (SUCCEEDED(hr)) hr = ApplyDemoSettings(filter.Get());
    // LR phase on the analysis tab: both curves then follow the angle.
    ComPtr<IVxPlugInProp> prop;
    if (SUCCEEDED(hr) && analysis) hr = filter->QueryInterface(IID_IVxPlugInProp, prop.PutVoid());
    if (SUCCEEDED(hr) && analysis) hr = prop->SetMode(0, FALSE);
    if (SUCCEEDED(hr) && analysis) hr = prop->SetWidth(100, FALSE);
    if (FAILED(hr)) {
        PrintError("cannot create and set up the tw:Phase plug-in: " + HResultText(hr));
        return kExitFailed;
    }

    ComPtr<IGraphBuilder> graph;
    std::wstring mix;
    if (analysis) {
        mix = WriteDemoMix();
        hr = mix.empty() ? E_FAIL : PlayThrough(filter.Get(), mix, &graph);
        if (FAILED(hr)) {
            if (!mix.empty()) DeleteFileW(mix.c_str());
            PrintError("cannot play the demo mix through the plug-in: " + HResultText(hr));
            return kExitFailed;
        }
    }
    HANDLE frameReturned = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::string captureError;
    std::thread capture(CaptureWhenShown, GetCurrentThreadId(), frameReturned, path, analysis,
                        &captureError);
    std::string frameError;
    const bool shown = ShowEditorFrame(filter.Get(), nullptr, &frameError);
    SetEvent(frameReturned);
    capture.join();
    CloseHandle(frameReturned);
    if (graph) {
        ComPtr<IMediaControl> control;
        if (SUCCEEDED(graph->QueryInterface(IID_IMediaControl, control.PutVoid()))) control->Stop();
        graph.Reset();
        DeleteFileW(mix.c_str());
    }
    if (!shown || !captureError.empty()) {
        PrintError(shown ? captureError : frameError);
        return kExitFailed;
    }
    return kExitOk;
}

}  // namespace

int main(int argc, char** argv) {
    const bool analysis = argc == 3 && std::string(argv[1]) == "--analysis";
    if (argc != 2 && !analysis) {
        std::fputs("Usage: twphase-snapshot [--analysis] OUT.png\n", stderr);
        return kExitUsage;
    }
    if (FAILED(OleInitialize(nullptr))) {
        PrintError("OLE cannot be initialised");
        return kExitFailed;
    }
    const char* out = argv[argc - 1];
    const int result = Snapshot(Widen(out), analysis);
    OleUninitialize();
    if (result == kExitOk) std::printf("wrote %s\n", out);
    return result;
}
