// The demo signal: a centred bass (mono content, which width leaves alone), an A major chord
// whose partials start at different phases left and right (wide, decorrelated content), and a
// plucked arpeggio panned slowly across the image.
#include "host/render/DemoSignal.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <vector>

#include "engine/FormatRules.h"
#include "host/wav/WavWriter.h"

namespace {

constexpr double kTwoPi = 6.283185307179586;
constexpr double kHalfPi = 1.5707963267948966;

constexpr double kBassHz = 110.0;
constexpr double kBassLevel = 0.18;

struct ChordPartial {
    double hz;
    double rightPhaseOffset;  // radians; the left channel starts at phase 0
};
constexpr ChordPartial kChord[] = {{220.0, 0.9}, {277.18, 2.1}, {329.63, 3.6}, {440.0, 5.0}};
constexpr double kChordLevel = 0.09;

constexpr double kArpeggioHz[] = {440.0, 554.37, 659.26, 880.0};
constexpr double kNoteSeconds = 0.25;
constexpr double kNoteDecayPerSecond = 9.0;
constexpr double kNoteAttackSeconds = 0.004;
constexpr double kArpeggioLevel = 0.2;
constexpr double kPanHz = 0.125;  // one sweep left-right-left every 8 seconds

constexpr double kFadeSeconds = 0.05;

// Sine of 2*pi*hz*t, with the cycle count reduced first so long files stay accurate.
double Oscillator(double hz, double seconds, double phase) {
    const double cycles = hz * seconds;
    return std::sin(kTwoPi * (cycles - std::floor(cycles)) + phase);
}

}  // namespace

uint64_t DemoFrameCount(uint32_t samplesPerSec, double seconds) {
    return static_cast<uint64_t>(std::llround(samplesPerSec * seconds));
}

void GenerateDemoSignal(uint32_t samplesPerSec, uint64_t totalFrames, uint64_t first,
                        float* interleaved, size_t frameCount) {
    const double fadeFrames = kFadeSeconds * samplesPerSec;
    for (size_t i = 0; i < frameCount; ++i) {
        const uint64_t frame = first + i;
        if (frame >= totalFrames || samplesPerSec == 0) {
            interleaved[2 * i] = interleaved[2 * i + 1] = 0.0f;
            continue;
        }
        const double t = static_cast<double>(frame) / samplesPerSec;

        const double bass = kBassLevel * Oscillator(kBassHz, t, 0.0);
        double left = bass;
        double right = bass;
        for (const ChordPartial& partial : kChord) {
            left += kChordLevel * Oscillator(partial.hz, t, 0.0);
            right += kChordLevel * Oscillator(partial.hz, t, partial.rightPhaseOffset);
        }

        const double noteTime = std::fmod(t, kNoteSeconds);
        const size_t note = static_cast<size_t>(t / kNoteSeconds) % std::size(kArpeggioHz);
        const double envelope = std::fmin(1.0, noteTime / kNoteAttackSeconds) *
                                std::exp(-kNoteDecayPerSecond * noteTime);
        const double pluck =
            kArpeggioLevel * envelope * Oscillator(kArpeggioHz[note], noteTime, 0.0);
        const double pan = 0.5 - 0.5 * std::cos(kTwoPi * kPanHz * t);  // 0 left .. 1 right
        left += pluck * std::cos(kHalfPi * pan);                       // constant power
        right += pluck * std::sin(kHalfPi * pan);

        const double fromEnd = static_cast<double>(totalFrames - frame);
        const double fade = std::fmin(1.0, std::fmin(frame / fadeFrames, fromEnd / fadeFrames));
        interleaved[2 * i] = static_cast<float>(left * fade);
        interleaved[2 * i + 1] = static_cast<float>(right * fade);
    }
}

bool WriteDemoFile(const std::string& path, double seconds, std::string* error) {
    constexpr size_t kBlockFrames = 4096;
    CWavWriter writer;
    if (!writer.Open(path, MakeWaveFormat(kWaveFormatIeeeFloat, 2, kDemoSampleRate, 32))) {
        *error = writer.Error();
        return false;
    }
    const uint64_t total = DemoFrameCount(kDemoSampleRate, seconds);
    std::vector<float> block(2 * kBlockFrames);
    for (uint64_t done = 0; done < total; done += kBlockFrames) {
        const size_t frames = static_cast<size_t>(std::min<uint64_t>(kBlockFrames, total - done));
        GenerateDemoSignal(kDemoSampleRate, total, done, block.data(), frames);
        if (!writer.Write(block.data(), frames)) {
            *error = writer.Error();
            return false;
        }
    }
    if (!writer.Finish()) {
        *error = writer.Error();
        return false;
    }
    return true;
}
