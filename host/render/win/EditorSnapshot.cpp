// twphase-snapshot: writes a picture of the plug-in's editor as a PNG file. It creates the
// registered plug-in, gives it the demo's settings, opens its editor in the property frame as
// `twphase-render --edit` does, lets the page paint and run its timer for a moment, copies the
// frame from the screen and closes it. tools/screenshot runs it under Xvfb for the README.
// Usage: twphase-snapshot OUT.png
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include <windows.h>
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

// On its own thread while the frame is open on the first: waits for the frame, copies it
// after a moment and closes it. `frameReturned` is set when the frame's call has returned.
void CaptureWhenShown(DWORD frameThread, HANDLE frameReturned, const std::wstring& path,
                      std::string* error) {
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
    if (WaitForSingleObject(frameReturned, kSettleMs) == WAIT_OBJECT_0) {
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

int Snapshot(const std::wstring& path) {
    ComPtr<IUnknown> filter;
    HRESULT hr = CoCreateInstance(CLSID_TwPhase, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                  filter.PutVoid());
    if (hr == REGDB_E_CLASSNOTREG) {
        PrintError("twPhaseDX.dll is not registered (run regsvr32 twPhaseDX.dll)");
        return kExitFailed;
    }
    if (SUCCEEDED(hr)) hr = ApplyDemoSettings(filter.Get());
    if (FAILED(hr)) {
        PrintError("cannot create and set up the tw:Phase plug-in: " + HResultText(hr));
        return kExitFailed;
    }

    HANDLE frameReturned = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::string captureError;
    std::thread capture(CaptureWhenShown, GetCurrentThreadId(), frameReturned, path, &captureError);
    std::string frameError;
    const bool shown = ShowEditorFrame(filter.Get(), nullptr, &frameError);
    SetEvent(frameReturned);
    capture.join();
    CloseHandle(frameReturned);
    if (!shown || !captureError.empty()) {
        PrintError(shown ? captureError : frameError);
        return kExitFailed;
    }
    return kExitOk;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("Usage: twphase-snapshot OUT.png\n", stderr);
        return kExitUsage;
    }
    if (FAILED(OleInitialize(nullptr))) {
        PrintError("OLE cannot be initialised");
        return kExitFailed;
    }
    const int result = Snapshot(Widen(argv[1]));
    OleUninitialize();
    if (result == kExitOk) std::printf("wrote %s\n", argv[1]);
    return result;
}
