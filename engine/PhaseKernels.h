// The phase/width signal path as block kernels: the filter constants, the state the kernels keep
// between blocks, the description of one block, and the table of kernels of each instruction-set
// path (plain C++, SSE2, AVX2, AVX-512) with the run-time choice between them. Every path
// computes each output with the same operations in the same order, so all give identical bits.
#pragma once
#include <cstdint>

#include "engine/ChunkTap.h"
#include "engine/Coefficients.h"
#include "engine/ParamDescriptors.h"
#include "engine/PreciseQuadrature.h"

constexpr int kFirTaps = 127;
constexpr int kFirLatencyFrames = 63;
constexpr double kFirInputScale = 0.6371267756210187;  // unity magnitude at a quarter of fs

// Hamming-windowed 1/k taps for odd k = 1..63, as stored (single precision). The last three sit
// one step above the formula's rounding; these values, not the formula, define the filter.
inline constexpr float kFirTapMagnitudes[32] = {
    0.9994282f,    0.33162072f,   0.1971551f,    0.13889408f,   0.10604952f,   0.08477398f,
    0.06974469f,   0.05848026f,   0.049669147f,  0.042553794f,  0.036666665f,  0.031704f,
    0.027460154f,  0.023791097f,  0.020593038f,  0.017789295f,  0.015321944f,  0.013146338f,
    0.011227389f,  0.009537003f,  0.008052271f,  0.006754156f,  0.0056265485f, 0.0046555544f,
    0.0038289705f, 0.0031358856f, 0.0025663788f, 0.0021112899f, 0.001762044f,  0.0015105197f,
    0.0013489483f, 0.0012698413f};

// The FIR table indexed by delay-line position (0 oldest, 63 centre, 126 newest): +c(k) at
// 63 - k, -c(k) at 63 + k, zero at every odd position.
struct FirQuadratureTable {
    float value[128];
    constexpr FirQuadratureTable() : value() {
        for (int i = 0; i < 32; ++i) {
            const int k = 2 * i + 1;
            value[kFirLatencyFrames - k] = kFirTapMagnitudes[i];
            value[kFirLatencyFrames + k] = -kFirTapMagnitudes[i];
        }
    }
};
inline constexpr FirQuadratureTable kFirQuadratureTable{};

// The kernels work through a block in chunks of at most this many frames (even, so the
// all-pass pairs of frames never straddle two chunks).
constexpr int kPhaseChunkFrames = 256;
// FIR inputs a frame needs besides its own.
constexpr int kFirHistory = kFirTaps - 1;
// Room behind a line's chunk for a vector that runs past the chunk's last frame.
constexpr int kLinePaddingFrames = 8;

// All-pass sections y = k * (y[n-2] - x) + x[n-2] in series.
template <int kSections>
struct AllpassChain {
    double x1, x2;           // the chain's two previous inputs
    double y[kSections][2];  // each section's two previous outputs, the newest first
};
typedef AllpassChain<3> AllpassChainState;                 // the all-pass network's chains
typedef AllpassChain<kPreciseSections> PreciseChainState;  // the precise filter's chains

// Everything the signal path keeps between blocks, in the one layout all paths share, so the
// path can change between any two blocks. The lines hold their history at the front and take
// a chunk's new values behind it; after the chunk the newest history moves to the front.
struct PhaseState {
    AllpassChainState chains[3];   // A: first signal, B: second signal, C: its quadrature
    PreciseChainState precise[3];  // the same three of the precise filter
    // Scaled FIR inputs: the 126 previous ones, oldest first, then the chunk's.
    double firLine[kFirHistory + kPhaseChunkFrames + kLinePaddingFrames];
    // The compensation delays of the FIR path: the 63 previous first (second) signals, then the
    // chunk's. The all-pass path uses the space behind the history for the chunk's inputs.
    double lineA[kFirLatencyFrames + kPhaseChunkFrames];
    double lineB[kFirLatencyFrames + kPhaseChunkFrames];
    // Per chunk, not carried over: the quadrature stage's outputs (reference of the first signal,
    // reference and quadrature of the second), and the phase meter's opposite-sign flags of the
    // frames (two chunks' worth: the meter steps through one chunk while the next is computed).
    double u[kPhaseChunkFrames];
    double t[kPhaseChunkFrames];
    double v[kPhaseChunkFrames];
    int64_t opposite[2][kPhaseChunkFrames];
};

// One block for a kernel: what to do, and the meters it carries on from the previous block.
struct PhaseBlock {
    int frames;
    bool stereoIn;            // interleaved stereo input, otherwise mono
    QuadratureFilter filter;  // how the quadrature pair is made (any other value: all-pass)
    bool meterPre;            // the phase meter watches the input, otherwise the output
    // The precise filter's coefficients for the stream's rate (PreciseQuadratureFor): needed
    // when it runs, read only then.
    const PreciseQuadratureTable* precise;
    Coefficients coefficients;
    // Handed each chunk after its output when set (the analysis tap); null costs one test a
    // chunk.
    IChunkTap* tap;
    // Meters, in and out: the phase-meter accumulator and its factors, the running peaks,
    // whether an output went beyond full scale.
    double phase;
    double phaseDecay;
    double phaseRise;
    double peak[2];
    bool clip[2];
};

// One chunk's quadrature pair: u and t, the reference versions of the first and second signals
// (with the FIR filter, those signals 63 frames back), and v, the quadrature version of the
// second; the output stage makes every output from them. The values lie in the state's
// per-chunk arrays, valid until the state takes its next chunk.
struct QuadraturePair {
    const double* u;
    const double* t;
    const double* v;
};

// One path's kernels. Process*: a block of interleaved (or mono) samples into interleaved
// stereo. Quadrature*: one chunk (at most kPhaseChunkFrames frames) of the same input into its
// quadrature pair alone, with the same arithmetic and state, for the phase analysis; the
// block's meters are left alone. PcmToFloat and FloatToPcm: the 16-bit conversions of
// SampleConvert.h over an array.
struct SignalKernels {
    void (*processFloat)(PhaseState& state, PhaseBlock& block, const float* in, float* out);
    void (*processDouble)(PhaseState& state, PhaseBlock& block, const double* in, double* out);
    void (*quadratureFloat)(PhaseState& state, const PhaseBlock& block, const float* in,
                            QuadraturePair& pair);
    void (*quadratureDouble)(PhaseState& state, const PhaseBlock& block, const double* in,
                             QuadraturePair& pair);
    void (*pcmToFloat)(const int16_t* in, float* out, int count);
    void (*floatToPcm)(const float* in, int16_t* out, int count);
};

// The instruction-set paths, slowest first.
enum class SignalPath : int32_t { kScalar = 0, kSse2 = 1, kAvx2 = 2, kAvx512 = 3 };
constexpr int kSignalPathCount = 4;

// Whether this build has the path and this processor and operating system can run it; the
// plain C++ path always can.
bool SignalPathSupported(SignalPath path);
// The fastest supported path.
SignalPath BestSignalPath();
// "scalar", "sse2", "avx2" or "avx512".
const char* SignalPathName(SignalPath path);
// A supported path's kernels, or null.
const SignalKernels* SignalKernelsFor(SignalPath path);

// Each path's table, defined in its own translation unit (compiled for its instruction set).
const SignalKernels& ScalarSignalKernels();
#if defined(__x86_64__) || defined(__i386__)
const SignalKernels& Sse2SignalKernels();
const SignalKernels& Avx2SignalKernels();
const SignalKernels& Avx512SignalKernels();
#endif
