// Checks, before the Windows tests run, that the Wine components they rely on work: the filter
// graph, File Source (Async) and the WAVE Parser reading a 16-bit file. A missing component
// otherwise shows up as a scatter of confusing graph-test failures; here it is one clear line.
#include <cstdio>

#include <windows.h>
#include <dshow.h>

#include "framework/ComPtr.h"

namespace {

const CLSID kWaveParser = {
    0xd51bd5a1, 0x7548, 0x11cf, {0xa5, 0x20, 0x00, 0x80, 0xc7, 0x7e, 0xf5, 0x8a}};

// A short 16-bit stereo PCM file of silence in the temp folder.
bool WriteWave(const WCHAR* path) {
    FILE* file = _wfopen(path, L"wb");
    if (!file) return false;
    const WAVEFORMATEX format = {WAVE_FORMAT_PCM, 2, 44100, 44100 * 4, 4, 16, 0};
    const DWORD dataBytes = 4 * 441;
    const DWORD riffBytes = 4 + 8 + 16 + 8 + dataBytes;
    const DWORD formatBytes = 16;
    fwrite("RIFF", 1, 4, file);
    fwrite(&riffBytes, 4, 1, file);
    fwrite("WAVEfmt ", 1, 8, file);
    fwrite(&formatBytes, 4, 1, file);
    fwrite(&format, 1, formatBytes, file);
    fwrite("data", 1, 4, file);
    fwrite(&dataBytes, 4, 1, file);
    for (DWORD i = 0; i < dataBytes; ++i) fputc(0, file);
    return fclose(file) == 0;
}

ComPtr<IPin> FirstPin(IBaseFilter* filter, PIN_DIRECTION wanted) {
    ComPtr<IEnumPins> pins;
    if (FAILED(filter->EnumPins(pins.Put()))) return nullptr;
    ComPtr<IPin> pin;
    while (pins->Next(1, pin.Put(), nullptr) == S_OK) {
        PIN_DIRECTION direction;
        if (SUCCEEDED(pin->QueryDirection(&direction)) && direction == wanted) return pin;
    }
    return nullptr;
}

// Null when the parser reads the file, else the one line that says what is missing.
const char* ProbeWaveParser(const WCHAR* path) {
    ComPtr<IGraphBuilder> graph;
    ComPtr<IBaseFilter> reader, parser;
    ComPtr<IFileSourceFilter> source;
    ComPtr<IPin> readerOut, parserIn, parserOut;
    const char* problem = nullptr;
    if (FAILED(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                graph.PutVoid()))) {
        problem = "Wine's filter graph is unavailable: install wine64";
    } else if (FAILED(CoCreateInstance(CLSID_AsyncReader, nullptr, CLSCTX_INPROC_SERVER,
                                       IID_IBaseFilter, reader.PutVoid())) ||
               FAILED(reader.As(IID_IFileSourceFilter, &source)) ||
               FAILED(source->Load(path, nullptr))) {
        problem = "Wine's File Source (Async) is unavailable: install wine64";
    } else if (FAILED(CoCreateInstance(kWaveParser, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                       parser.PutVoid()))) {
        problem = "Wine's WAVE Parser is unavailable: install libgstreamer1.0-0 and "
                  "gstreamer1.0-plugins-base";
    } else {
        graph->AddFilter(reader.Get(), L"Reader");
        graph->AddFilter(parser.Get(), L"Parser");
        readerOut = FirstPin(reader.Get(), PINDIR_OUTPUT);
        parserIn = FirstPin(parser.Get(), PINDIR_INPUT);
        // The parser's output pin appears once it has read the file's format.
        if (!readerOut || !parserIn ||
            FAILED(graph->ConnectDirect(readerOut.Get(), parserIn.Get(), nullptr)) ||
            !(parserOut = FirstPin(parser.Get(), PINDIR_OUTPUT)))
            problem = "Wine's WAVE Parser is unavailable: install gstreamer1.0-plugins-good";
    }
    // Released in the order declared backwards: the pins before their filters, the graph last.
    return problem;
}

}  // namespace

int main() {
    WCHAR folder[MAX_PATH], path[MAX_PATH];
    if (!GetTempPathW(MAX_PATH, folder) || !GetTempFileNameW(folder, L"twp", 0, path) ||
        !WriteWave(path)) {
        std::puts("Wine's temp folder is not writable: check the Wine prefix");
        return 1;
    }
    const char* problem = "COM does not start under Wine: check the Wine prefix";
    if (SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED))) {
        problem = ProbeWaveParser(path);
        CoUninitialize();
    }
    DeleteFileW(path);
    if (problem) {
        std::puts(problem);
        return 1;
    }
    return 0;
}
