// Checks, before the Windows tests run, that the Wine components they rely on work: the filter
// graph, File Source (Async) and the WAVE Parser reading a 16-bit file. A missing component
// otherwise shows up as a scatter of confusing graph-test failures; here it is one clear line.
#include <cstdio>
#include <string>
#include <vector>

#include <windows.h>
#include <dshow.h>

#include "base/win/ComPtr.h"
#include "tests/support/WineGraph.h"

namespace {

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
    } else if (FAILED(CoCreateInstance(twtest::kWaveParser, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                       parser.PutVoid()))) {
        problem = "Wine's WAVE Parser is unavailable: install libgstreamer1.0-0 and "
                  "gstreamer1.0-plugins-base";
    } else {
        graph->AddFilter(reader.Get(), L"Reader");
        graph->AddFilter(parser.Get(), L"Parser");
        readerOut = twtest::PinOf(reader.Get(), PINDIR_OUTPUT);
        parserIn = twtest::PinOf(parser.Get(), PINDIR_INPUT);
        // The parser's output pin appears once it has read the file's format.
        if (!readerOut || !parserIn ||
            FAILED(graph->ConnectDirect(readerOut.Get(), parserIn.Get(), nullptr)) ||
            !(parserOut = twtest::PinOf(parser.Get(), PINDIR_OUTPUT)))
            problem = "Wine's WAVE Parser is unavailable: install gstreamer1.0-plugins-good";
    }
    // Released in the order declared backwards: the pins before their filters, the graph last.
    return problem;
}

}  // namespace

int main() {
    // A short 16-bit stereo file of silence.
    const WAVEFORMATEX format = {WAVE_FORMAT_PCM, 2, 44100, 44100 * 4, 4, 16, 0};
    const std::wstring file = twtest::WriteWave(format, std::vector<BYTE>(4 * 441, 0));
    const WCHAR* path = file.c_str();
    if (GetFileAttributesW(path) == INVALID_FILE_ATTRIBUTES) {
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
