// twphase-demo: renders the built-in demo signal through the engine's block processing into a
// WAV file and prints what the meters saw. Usage: twphase-demo [OUTPUT.wav]
#include <cstdio>
#include <string>
#include <vector>

#include "engine/AudioEngine.h"
#include "host/DemoSignal.h"
#include "host/RenderStats.h"
#include "host/WavWriter.h"

namespace {

// The engine on its own, with no editor windows to notify.
class DemoEngine : public CAudioEngine {
protected:
    bool WindowExists(void*) override { return false; }
    void PostCommand(void*, int, int) override {}
};

constexpr int kBlockFrames = 512;

}  // namespace

int main(int argc, char** argv) {
    const std::string outputPath = argc > 1 ? argv[1] : "twphase-demo.wav";
    const uint16_t align = 2 * sizeof(float);
    const WaveFormat format = {
        kWaveFormatIeeeFloat, 2, kDemoSampleRate, kDemoSampleRate * align, align, 32, 0};

    DemoEngine engine;
    // A wide MS rotation with the FIR quadrature filter, slightly widened.
    engine.SetParams({{60, 130, -10, 1, 1, 1}});
    engine.ResetProcessor(&format, &format);

    CWavWriter writer;
    if (!writer.Open(outputPath, format)) {
        std::fprintf(stderr, "twphase-demo: %s\n", writer.Error().c_str());
        return 1;
    }
    const uint64_t total = DemoFrameCount(kDemoSampleRate, kDemoSeconds);
    std::vector<float> in(2 * kBlockFrames), out(2 * kBlockFrames);
    CRenderStats inputStats, outputStats;
    int maxPhaseMeter = 0;
    for (uint64_t done = 0; done < total; done += kBlockFrames) {
        const int frames = static_cast<int>(std::min<uint64_t>(kBlockFrames, total - done));
        GenerateDemoSignal(kDemoSampleRate, total, done, in.data(), frames);
        int inFrames = frames, outFrames = frames;
        engine.ProcessFloat(in.data(), &inFrames, out.data(), &outFrames);
        inputStats.AddFloat(in.data(), frames);
        outputStats.AddFloat(out.data(), frames);
        if (engine.GetPhaseMeter() > maxPhaseMeter) maxPhaseMeter = engine.GetPhaseMeter();
        if (!writer.Write(out.data(), frames)) {
            std::fprintf(stderr, "twphase-demo: %s\n", writer.Error().c_str());
            return 1;
        }
    }
    if (!writer.Finish()) {
        std::fprintf(stderr, "twphase-demo: %s\n", writer.Error().c_str());
        return 1;
    }

    std::printf("wrote %s\n", outputPath.c_str());
    std::printf("  frames       %llu (%.2f s at %u Hz, 32-bit float stereo)\n",
                static_cast<unsigned long long>(outputStats.Frames()),
                double(outputStats.Frames()) / kDemoSampleRate, kDemoSampleRate);
    std::printf("  settings     Phase 60 deg, Width 130 %%, Output -1.0 dB, MS phase, FIR\n");
    std::printf("  input peak   L %s  R %s dBFS\n", FormatDbfs(inputStats.Peak(0)).c_str(),
                FormatDbfs(inputStats.Peak(1)).c_str());
    std::printf("  output peak  L %s  R %s dBFS\n", FormatDbfs(outputStats.Peak(0)).c_str(),
                FormatDbfs(outputStats.Peak(1)).c_str());
    std::printf("  phase meter  %d of 180 at the end, %d at most\n", engine.GetPhaseMeter(),
                maxPhaseMeter);
    std::printf("  clip         L %s  R %s\n", engine.GetClip(0, 0) ? "yes" : "no",
                engine.GetClip(1, 0) ? "yes" : "no");
    return 0;
}
