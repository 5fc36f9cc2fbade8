// The renderer's work without the filter graph, to measure what the graph costs: the same WAV
// reader and writer, the same summary statistics, and the engine called directly on blocks of
// the same size. tools/bench-render times it against twphase-render.
//   twphase-bare-render --make-input FILE SECONDS   writes the demo signal as stereo float
//   twphase-bare-render IN.wav OUT.wav BLOCK         renders stereo float input with the FIR
//                                                    filter, MS phase 45, width 130 %, -2 dB
// and prints the seconds the stream took, from the first read to the last write.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/BlockProcessor.h"
#include "engine/ParamModel.h"
#include "host/render/DemoSignal.h"
#include "host/render/RenderStats.h"
#include "host/wav/WavReader.h"
#include "host/wav/WavWriter.h"

namespace {

int Fail(const std::string& message) {
    std::fprintf(stderr, "twphase-bare-render: %s\n", message.c_str());
    return 1;
}

int MakeInput(const std::string& path, double seconds) {
    std::string error;
    return WriteDemoFile(path, seconds, &error) ? 0 : Fail(error);
}

int Render(const std::string& in, const std::string& out, int blockFrames) {
    CWavReader reader;
    if (!reader.Open(in)) return Fail(reader.Error());
    const WaveFormat format = reader.Format();
    if (format.wFormatTag != kWaveFormatIeeeFloat || format.wBitsPerSample != 32 ||
        format.nChannels != 2)
        return Fail("the input must be stereo 32-bit float");
    CWavWriter writer;
    if (!writer.Open(out, format)) return Fail(writer.Error());

    CParamModel params;
    CBlockProcessor engine(params);
    params.SetParams({{45, 130, -20, ParamValueOf(Mode::kMsPhase), ParamValueOf(MeterPosition::kPost),
                       ParamValueOf(QuadratureFilter::kFir)}});
    engine.StartStream(&format, &format);
    CRenderStats stats(2);
    std::vector<float> input(2 * blockFrames), output(2 * blockFrames);

    LARGE_INTEGER frequency, started, finished;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&started);
    for (;;) {
        const size_t frames = reader.Read(input.data(), static_cast<size_t>(blockFrames));
        if (frames == 0) break;
        int inFrames = static_cast<int>(frames), outFrames = static_cast<int>(frames);
        engine.ProcessFloat(input.data(), &inFrames, output.data(), &outFrames);
        if (!writer.Write(output.data(), frames)) return Fail(writer.Error());
        stats.AddFloat(output.data(), frames);
    }
    QueryPerformanceCounter(&finished);
    if (!reader.Error().empty()) return Fail(reader.Error());
    if (!writer.Finish()) return Fail(writer.Error());
    std::printf("stream %.4f s, %llu frames, peak %s dBFS\n",
                double(finished.QuadPart - started.QuadPart) / double(frequency.QuadPart),
                static_cast<unsigned long long>(stats.Frames()), FormatDbfs(stats.Peak(0)).c_str());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::string(argv[1]) == "--make-input")
        return MakeInput(argv[2], std::atof(argv[3]));
    if (argc == 4) {
        const int block = std::atoi(argv[3]);
        if (block < 16 || block > 65536) return Fail("BLOCK must be 16..65536");
        return Render(argv[1], argv[2], block);
    }
    std::fputs("usage: twphase-bare-render --make-input FILE SECONDS | IN.wav OUT.wav BLOCK\n",
               stderr);
    return 2;
}
