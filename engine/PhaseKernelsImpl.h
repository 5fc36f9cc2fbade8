// The signal path's block kernels, written once for every instruction set. Each
// PhaseKernels*.cpp defines TW_VECTOR_BYTES (0 for plain C++, 16, 32 or 64), is compiled for
// its instruction set, includes this file and hands out the resulting SignalKernels table.
//
// A block runs in chunks, each in stages: the input (offset, mode matrix, FIR line), the
// quadrature pair (the chains of the all-pass network or of the precise filter, or the FIR sum),
// the output (rotation, mode matrix, gains, samples, clip and peak), and the phase meter. The
// vector code puts independent work side by side in the lanes: several frames of the FIR sum,
// of the input and of the output stage, and the even and odd frames of each all-pass recursion
// (a section depends on its own output two frames back, not one). Within one output nothing is
// reordered: every sum is formed with the same operations in the same order as the per-frame
// definition, so every path is bit-identical.
//
// Everything has internal linkage: the translation units are compiled with different
// instruction sets, so none of their code may be merged with another's by the linker. For the
// same reason the kernels call no inline function of another header, except the output stage,
// which each instruction set instantiates with a tag of its own.
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "engine/OutputStage.h"
#include "engine/PhaseKernels.h"

#ifndef TW_VECTOR_BYTES
#error "define TW_VECTOR_BYTES before including PhaseKernelsImpl.h"
#endif

namespace {

constexpr float kInputOffset = 1e-30f;  // keeps the recursive sections out of denormals
constexpr double kInputOffsetDouble = static_cast<double>(kInputOffset);
// The all-pass sections of the two paths of a 90-degree phase-difference network (sections in
// z^-2, one path taken one frame late), an approximation of an ideal quadrature pair, the
// Hilbert transformer: chain C lags chain B by 90 degrees within about 2 degrees from 0.002 to
// 0.49 of the sample rate, both at unit magnitude. They are the product's published values, to
// six decimals, used as published and not recomputed from a formula: renders, saved projects
// and presets depend on them bit for bit.
constexpr double kReferenceCoeffs[3] = {0.232829, 0.843573, 0.980351};   // chains A and B
constexpr double kQuadratureCoeffs[3] = {0.612779, 0.942636, 0.995302};  // chain C
constexpr int kFirTermCount = 64;  // the non-zero (even) positions of the table

// The table at the positions the FIR sum visits, widened to double once.
struct FirTermTable {
    double value[kFirTermCount];
    constexpr FirTermTable() : value() {
        for (int i = 0; i < kFirTermCount; ++i)
            value[i] = static_cast<double>(kFirQuadratureTable.value[2 * i]);
    }
};
constexpr FirTermTable kFirTerms{};

inline int Smaller(int a, int b) {
    return a < b ? a : b;
}

// --- Per frame, in plain C++: the definition the vector code reproduces lane by lane ---

inline double ReadSample(float s) {
    return static_cast<double>(s + kInputOffset);
}
inline double ReadSample(double s) {
    return s + kInputOffsetDouble;
}
inline double FirInput(double b, bool singleFirInput) {
    return (singleFirInput ? static_cast<double>(static_cast<float>(b)) : b) * kFirInputScale;
}
inline int64_t OppositeSigns(double x, double y) {
    // A NaN counts as negative.
    return !(x >= 0.0) != !(y >= 0.0) ? -1 : 0;
}

template <int kSections>
inline double RunChain(AllpassChain<kSections>& chain, const double (&k)[kSections], double x) {
    double inPrev2 = chain.x2;  // x[n-2] of the first section
    chain.x2 = chain.x1;
    chain.x1 = x;
    for (int s = 0; s < kSections; ++s) {
        double* ys = chain.y[s];
        const double y = k[s] * (ys[1] - x) + inPrev2;
        // This section's output two frames ago is the next section's x[n-2].
        inPrev2 = ys[1];
        ys[1] = ys[0];
        ys[0] = y;
        x = y;
    }
    return x;
}

// One output of the FIR: the 64 terms from the oldest position to the newest, one accumulator.
inline double FirSum(const double* line) {
    double sum = 0.0;
    for (int i = 0; i < kFirTermCount; ++i) sum += kFirTerms.value[i] * line[2 * i];
    return sum;
}

// The output stage, instantiated for this instruction set.
template <int kMode, typename T>
inline void MixOutput(T u, T t, T v, const Coefficients& c, T* left, T* right) {
    OutputStage::Mix<TW_VECTOR_BYTES, kMode>(u, t, v, c, left, right);
}

inline void WriteFrame(float* out, double left, double right) {
    out[0] = static_cast<float>(left);
    out[1] = static_cast<float>(right);
}
inline void WriteFrame(double* out, double left, double right) {
    out[0] = left;
    out[1] = right;
}

// The phase meter: a serial recursion, one step per frame, on flags the output (or input)
// stage has set. It runs a chunk behind, its steps woven into the next chunk's quadrature
// loops, so its chain of dependent operations overlaps their arithmetic instead of following it.
struct PhaseMeterCursor {
    double acc;
    double decay;
    double rise;
    const int64_t* opposite;
    int left;

    void Step() {
        if (left <= 0) return;
        if (*opposite)
            acc = acc + (1 - acc) * rise;
        else
            acc = acc * decay;
        ++opposite;
        --left;
    }
    void Finish() {
        PhaseMeterCursor local = *this;  // in registers, not in memory, while it runs
        while (local.left > 0) local.Step();
        *this = local;
    }
    // Finishes the frames before and moves on to these.
    void Start(const int64_t* flags, int frames) {
        Finish();
        opposite = flags;
        left = frames;
    }
};

// Running meters of a block.
struct OutputMeters {
    double peak[2];
    bool clip[2];
};

inline void MeterFrame(OutputMeters& m, double left, double right) {
    const double magLeft = __builtin_fabs(left), magRight = __builtin_fabs(right);
    m.clip[0] |= !(magLeft <= 1.0);  // beyond full scale, or NaN
    m.clip[1] |= !(magRight <= 1.0);
    if (magLeft > m.peak[0]) m.peak[0] = magLeft;
    if (magRight > m.peak[1]) m.peak[1] = magRight;
}

inline int16_t FloatToPcmSample(float y) {
    const float scaled = y * 32768.0f;
    if (scaled >= 32767.0f) return 32767;
    if (scaled <= -32768.0f) return -32768;
    if (scaled != scaled) return 0;
    return static_cast<int16_t>(static_cast<int32_t>(scaled));
}

#if TW_VECTOR_BYTES

// --- Vectors: TW_VECTOR_BYTES / 8 lanes of double ---

constexpr int kLanes = TW_VECTOR_BYTES / 8;
typedef double VecD __attribute__((vector_size(TW_VECTOR_BYTES)));
typedef int64_t VecI __attribute__((vector_size(TW_VECTOR_BYTES)));
typedef float VecF __attribute__((vector_size(TW_VECTOR_BYTES / 2)));        // kLanes floats
typedef float VecF2 __attribute__((vector_size(TW_VECTOR_BYTES)));           // 2 * kLanes
typedef int32_t VecI32x2 __attribute__((vector_size(TW_VECTOR_BYTES)));      // 2 * kLanes
typedef int16_t VecI16x2 __attribute__((vector_size(TW_VECTOR_BYTES / 2)));  // 2 * kLanes
// Two frames of one all-pass chain: the even and the odd frame of its recursion.
typedef double VecPair __attribute__((vector_size(16)));

// Lane orders: the even and odd elements of two vectors (deinterleave) and the zip of two
// vectors (interleave), in whole or in halves.
#if TW_VECTOR_BYTES == 16
#define TW_EVEN 0, 2
#define TW_ODD 1, 3
#define TW_ZIP_LOW 0, 2
#define TW_ZIP_HIGH 1, 3
#define TW_ZIP 0, 2, 1, 3
#elif TW_VECTOR_BYTES == 32
#define TW_EVEN 0, 2, 4, 6
#define TW_ODD 1, 3, 5, 7
#define TW_ZIP_LOW 0, 4, 1, 5
#define TW_ZIP_HIGH 2, 6, 3, 7
#define TW_ZIP 0, 4, 1, 5, 2, 6, 3, 7
#elif TW_VECTOR_BYTES == 64
#define TW_EVEN 0, 2, 4, 6, 8, 10, 12, 14
#define TW_ODD 1, 3, 5, 7, 9, 11, 13, 15
#define TW_ZIP_LOW 0, 8, 1, 9, 2, 10, 3, 11
#define TW_ZIP_HIGH 4, 12, 5, 13, 6, 14, 7, 15
#define TW_ZIP 0, 8, 1, 9, 2, 10, 3, 11, 4, 12, 5, 13, 6, 14, 7, 15
#else
#error "TW_VECTOR_BYTES must be 0, 16, 32 or 64"
#endif

template <typename V, typename T>
inline V LoadVec(const T* p) {
    V v;
    __builtin_memcpy(&v, p, sizeof v);
    return v;
}
template <typename T, typename V>
inline void StoreVec(T* p, V v) {
    __builtin_memcpy(p, &v, sizeof v);
}
inline VecD Splat(double x) {
    VecD v;
    for (int lane = 0; lane < kLanes; ++lane) v[lane] = x;
    return v;
}
// mag > peak ? mag : peak, which is what the processors' max instructions compute. V is any
// of the double vectors, here and below.
template <typename V>
inline V Larger(V mag, V peak) {
    return mag > peak ? mag : peak;
}
template <typename V>
inline V Abs(V x) {
    using Mask = decltype(x < x);
    return reinterpret_cast<V>(reinterpret_cast<Mask>(x) & (Mask{} + INT64_MAX));
}
template <typename V>
inline auto OppositeSigns(V x, V y) {
    return (x >= V{}) ^ (y >= V{});
}
// The largest magnitudes into peaks, and into the in-range masks whether every frame so far
// stayed within full scale (a NaN does not).
template <typename V, typename Mask>
inline void MeterFrames(V left, V right, V* peakLeft, V* peakRight, Mask* inRangeLeft,
                        Mask* inRangeRight) {
    const V magLeft = Abs(left), magRight = Abs(right), fullScale = V{} + 1.0;
    *inRangeLeft &= magLeft <= fullScale;
    *inRangeRight &= magRight <= fullScale;
    *peakLeft = Larger(magLeft, *peakLeft);
    *peakRight = Larger(magRight, *peakRight);
}
// The lanes' meters into the block's. The peaks hold no NaN, so the largest is the same in any
// order.
template <typename V, typename Mask>
inline void MergeMeters(OutputMeters& m, V peakLeft, V peakRight, Mask inRangeLeft,
                        Mask inRangeRight) {
    for (int lane = 0; lane < static_cast<int>(sizeof(V) / sizeof(double)); ++lane) {
        if (peakLeft[lane] > m.peak[0]) m.peak[0] = peakLeft[lane];
        if (peakRight[lane] > m.peak[1]) m.peak[1] = peakRight[lane];
        m.clip[0] |= inRangeLeft[lane] == 0;
        m.clip[1] |= inRangeRight[lane] == 0;
    }
}
inline VecD FirInput(VecD b, bool singleFirInput) {
    if (singleFirInput) b = __builtin_convertvector(__builtin_convertvector(b, VecF), VecD);
    return b * kFirInputScale;
}

// A frame group's left and right input values, offset and widened.
inline void ReadFrames(const float* in, bool stereo, VecD* left, VecD* right) {
    if (stereo) {
        const VecF2 both = LoadVec<VecF2>(in) + kInputOffset;
        *left = __builtin_convertvector(__builtin_shufflevector(both, both, TW_EVEN), VecD);
        *right = __builtin_convertvector(__builtin_shufflevector(both, both, TW_ODD), VecD);
    } else {
        *left = *right = __builtin_convertvector(LoadVec<VecF>(in) + kInputOffset, VecD);
    }
}
inline void ReadFrames(const double* in, bool stereo, VecD* left, VecD* right) {
    if (stereo) {
        const VecD first = LoadVec<VecD>(in) + kInputOffsetDouble;
        const VecD second = LoadVec<VecD>(in + kLanes) + kInputOffsetDouble;
        *left = __builtin_shufflevector(first, second, TW_EVEN);
        *right = __builtin_shufflevector(first, second, TW_ODD);
    } else {
        *left = *right = LoadVec<VecD>(in) + kInputOffsetDouble;
    }
}

inline void WriteFrames(float* out, VecD left, VecD right) {
    const VecF l = __builtin_convertvector(left, VecF), r = __builtin_convertvector(right, VecF);
    StoreVec(out, __builtin_shufflevector(l, r, TW_ZIP));
}
inline void WriteFrames(double* out, VecD left, VecD right) {
    StoreVec(out, __builtin_shufflevector(left, right, TW_ZIP_LOW));
    StoreVec(out + kLanes, __builtin_shufflevector(left, right, TW_ZIP_HIGH));
}

// The FIR terms, each repeated across a vector: loaded whole, so the compiler has no reason to
// build them from neighbouring terms with shuffles that would take the arithmetic's pipes.
struct FirTermLanes {
    double value[kFirTermCount * kLanes];
    constexpr FirTermLanes() : value() {
        for (int i = 0; i < kFirTermCount * kLanes; ++i) value[i] = kFirTerms.value[i / kLanes];
    }
};
alignas(TW_VECTOR_BYTES) constexpr FirTermLanes kFirTermLanes{};

inline VecD FirTerm(int i) {
    return LoadVec<VecD>(kFirTermLanes.value + i * kLanes);
}

// kGroups * kLanes consecutive FIR outputs, each its own accumulator summed in the one order;
// the independent accumulators keep the adder busy while each sum waits for its last term.
// Group g's window starts kShift steps after group g - 1's, so each vector of the line is loaded
// once and serves every group at the term it has reached: at step s group g adds the term
// s - kShift * g. The ramps, where some groups are outside their window, unroll completely.
template <int kGroups>
inline void FirSums(const double* line, double* v, PhaseMeterCursor& meterState) {
    constexpr int kShift = kLanes / 2;
    constexpr int kRamp = kShift * (kGroups - 1);
    PhaseMeterCursor meter = meterState;
    VecD acc[kGroups];
#pragma GCC unroll 16
    for (int g = 0; g < kGroups; ++g) acc[g] = VecD{};
#pragma GCC unroll 64
    for (int s = 0; s < kRamp; ++s) {
        const VecD x = LoadVec<VecD>(line + 2 * s);
#pragma GCC unroll 16
        for (int g = 0; g < kGroups; ++g)
            if (s >= kShift * g) acc[g] = acc[g] + FirTerm(s - kShift * g) * x;
        meter.Step();
    }
    for (int s = kRamp; s < kFirTermCount; ++s) {
        const VecD x = LoadVec<VecD>(line + 2 * s);
        // Where group g's term is the one group g - 1 had kShift steps ago, the compiler would
        // otherwise keep the terms in registers from step to step (predictive commoning) and
        // spill the accumulators to make room; hiding the address's origin keeps them loads.
        const double* terms = kFirTermLanes.value + s * kLanes;
        __asm__("" : "+r"(terms));
#pragma GCC unroll 16
        for (int g = 0; g < kGroups; ++g)
            acc[g] = acc[g] + LoadVec<VecD>(terms - kShift * g * kLanes) * x;
        meter.Step();
    }
#pragma GCC unroll 64
    for (int s = kFirTermCount; s < kFirTermCount + kRamp; ++s) {
        const VecD x = LoadVec<VecD>(line + 2 * s);
#pragma GCC unroll 16
        for (int g = 0; g < kGroups; ++g)
            if (s - kShift * g < kFirTermCount) acc[g] = acc[g] + FirTerm(s - kShift * g) * x;
        meter.Step();
    }
#pragma GCC unroll 16
    for (int g = 0; g < kGroups; ++g) StoreVec(v + g * kLanes, acc[g]);
    meterState = meter;
}

// Frames of FIR output per pass of the widest loop: enough independent sums to cover the
// adder's latency on two pipes, and few enough to stay in registers.
constexpr int kFirGroups = 8;
static_assert(kFirGroups <= 8, "FirChunk passes the rest in at most eight vectors");

// An all-pass chain over pairs of frames: lane 0 the even frame, lane 1 the odd one.
template <int kSections>
struct PairChain {
    VecPair in2;           // the chain's inputs two frames back
    VecPair y[kSections];  // each section's outputs two frames back
};

template <int kSections>
inline PairChain<kSections> LoadPairChain(const AllpassChain<kSections>& c) {
    PairChain<kSections> p;
    p.in2 = VecPair{c.x2, c.x1};
    for (int s = 0; s < kSections; ++s) p.y[s] = VecPair{c.y[s][1], c.y[s][0]};
    return p;
}
template <int kSections>
inline void StorePairChain(const PairChain<kSections>& p, AllpassChain<kSections>& c) {
    c.x2 = p.in2[0];
    c.x1 = p.in2[1];
    for (int s = 0; s < kSections; ++s) {
        c.y[s][1] = p.y[s][0];
        c.y[s][0] = p.y[s][1];
    }
}

template <int kSections>
inline VecPair RunPairChain(PairChain<kSections>& chain, const double (&k)[kSections], VecPair x) {
    VecPair inPrev2 = chain.in2;
    chain.in2 = x;
#pragma GCC unroll 16
    for (int s = 0; s < kSections; ++s) {
        const VecPair y = k[s] * (chain.y[s] - x) + inPrev2;
        inPrev2 = chain.y[s];
        chain.y[s] = y;
        x = y;
    }
    return x;
}

#if TW_VECTOR_BYTES >= 64
// The three chains side by side in one vector, each lane multiplied by its chain's
// coefficient: lanes 0 and 1 chain A's even and odd frame, 2 and 3 chain B's, 4 and 5 chain
// C's. Lanes 6 and 7 repeat chain C, so they hold only values chain C holds.
typedef double VecOct __attribute__((vector_size(64)));

template <int kSections>
struct AllpassOcts {
    VecOct in2;
    VecOct y[kSections];
};

template <int kSections>
inline void LoadAllpassPairs(const AllpassChain<kSections> (&chains)[3],
                             AllpassOcts<kSections>& p) {
    const PairChain<kSections> a = LoadPairChain(chains[0]), b = LoadPairChain(chains[1]),
                               c = LoadPairChain(chains[2]);
    p.in2 = __builtin_shufflevector(__builtin_shufflevector(a.in2, b.in2, 0, 1, 2, 3),
                                    __builtin_shufflevector(c.in2, c.in2, 0, 1, 0, 1), 0, 1, 2, 3,
                                    4, 5, 6, 7);
    for (int s = 0; s < kSections; ++s)
        p.y[s] = __builtin_shufflevector(__builtin_shufflevector(a.y[s], b.y[s], 0, 1, 2, 3),
                                         __builtin_shufflevector(c.y[s], c.y[s], 0, 1, 0, 1), 0, 1,
                                         2, 3, 4, 5, 6, 7);
}
template <int kSections>
inline void StoreAllpassPairs(const AllpassOcts<kSections>& p,
                              AllpassChain<kSections> (&chains)[3]) {
    for (int chain = 0; chain < 3; ++chain) {
        PairChain<kSections> c;
        c.in2 = VecPair{p.in2[2 * chain], p.in2[2 * chain + 1]};
        for (int s = 0; s < kSections; ++s)
            c.y[s] = VecPair{p.y[s][2 * chain], p.y[s][2 * chain + 1]};
        StorePairChain(c, chains[chain]);
    }
}

template <int kSections>
inline void RunAllpassPairs(AllpassOcts<kSections>& p, const double (&reference)[kSections],
                            const double (&quadrature)[kSections], VecPair a, VecPair b, VecPair* u,
                            VecPair* t, VecPair* v) {
    // In two steps of whole halves, which the compiler keeps in registers.
    VecOct x =
        __builtin_shufflevector(__builtin_shufflevector(a, b, 0, 1, 2, 3),
                                __builtin_shufflevector(b, b, 0, 1, 0, 1), 0, 1, 2, 3, 4, 5, 6, 7);
    VecOct inPrev2 = p.in2;
    p.in2 = x;
    const VecOct before = p.y[kSections - 1];
#pragma GCC unroll 16
    for (int s = 0; s < kSections; ++s) {
        const double r = reference[s], q = quadrature[s];
        const VecOct k = {r, r, r, r, q, q, q, q};
        const VecOct y = k * (p.y[s] - x) + inPrev2;
        inPrev2 = p.y[s];
        p.y[s] = y;
        x = y;
    }
    *u = __builtin_shufflevector(x, x, 0, 1);
    *t = __builtin_shufflevector(x, x, 2, 3);
    // Chain C one frame late: its odd frame of the pair before, and its even frame of this one.
    *v = __builtin_shufflevector(before, x, 5, 12);
}
#endif

#if TW_VECTOR_BYTES >= 32
// Chains A and B share their coefficients and run side by side in one vector: lanes 0 and 1
// chain A's even and odd frame, lanes 2 and 3 chain B's. Chain C has a pair of its own.
typedef double VecQuad __attribute__((vector_size(32)));

template <int kSections>
struct AllpassPairs {
    VecQuad in2;
    VecQuad y[kSections];
    PairChain<kSections> c;
};

template <int kSections>
inline void LoadAllpassPairs(const AllpassChain<kSections> (&chains)[3],
                             AllpassPairs<kSections>& p) {
    const PairChain<kSections> a = LoadPairChain(chains[0]), b = LoadPairChain(chains[1]);
    p.in2 = __builtin_shufflevector(a.in2, b.in2, 0, 1, 2, 3);
    for (int s = 0; s < kSections; ++s)
        p.y[s] = __builtin_shufflevector(a.y[s], b.y[s], 0, 1, 2, 3);
    p.c = LoadPairChain(chains[2]);
}
template <int kSections>
inline void StoreAllpassPairs(const AllpassPairs<kSections>& p,
                              AllpassChain<kSections> (&chains)[3]) {
    PairChain<kSections> a, b;
    a.in2 = __builtin_shufflevector(p.in2, p.in2, 0, 1);
    b.in2 = __builtin_shufflevector(p.in2, p.in2, 2, 3);
    for (int s = 0; s < kSections; ++s) {
        a.y[s] = __builtin_shufflevector(p.y[s], p.y[s], 0, 1);
        b.y[s] = __builtin_shufflevector(p.y[s], p.y[s], 2, 3);
    }
    StorePairChain(a, chains[0]);
    StorePairChain(b, chains[1]);
    StorePairChain(p.c, chains[2]);
}

template <int kSections>
inline void RunAllpassPairs(AllpassPairs<kSections>& p, const double (&reference)[kSections],
                            const double (&quadrature)[kSections], VecPair a, VecPair b, VecPair* u,
                            VecPair* t, VecPair* v) {
    VecQuad x = __builtin_shufflevector(a, b, 0, 1, 2, 3);
    VecQuad inPrev2 = p.in2;
    p.in2 = x;
#pragma GCC unroll 16
    for (int s = 0; s < kSections; ++s) {
        const VecQuad y = reference[s] * (p.y[s] - x) + inPrev2;
        inPrev2 = p.y[s];
        p.y[s] = y;
        x = y;
    }
    *u = __builtin_shufflevector(x, x, 0, 1);
    *t = __builtin_shufflevector(x, x, 2, 3);
    const VecPair before = p.c.y[kSections - 1];
    *v = __builtin_shufflevector(before, RunPairChain(p.c, quadrature, b), 1, 2);
}
#else
template <int kSections>
struct AllpassPairs {
    PairChain<kSections> a, b, c;
};

template <int kSections>
inline void LoadAllpassPairs(const AllpassChain<kSections> (&chains)[3],
                             AllpassPairs<kSections>& p) {
    p = {LoadPairChain(chains[0]), LoadPairChain(chains[1]), LoadPairChain(chains[2])};
}
template <int kSections>
inline void StoreAllpassPairs(const AllpassPairs<kSections>& p,
                              AllpassChain<kSections> (&chains)[3]) {
    StorePairChain(p.a, chains[0]);
    StorePairChain(p.b, chains[1]);
    StorePairChain(p.c, chains[2]);
}

template <int kSections>
inline void RunAllpassPairs(AllpassPairs<kSections>& p, const double (&reference)[kSections],
                            const double (&quadrature)[kSections], VecPair a, VecPair b, VecPair* u,
                            VecPair* t, VecPair* v) {
    *u = RunPairChain(p.a, reference, a);
    *t = RunPairChain(p.b, reference, b);
    const VecPair before = p.c.y[kSections - 1];
    *v = __builtin_shufflevector(before, RunPairChain(p.c, quadrature, b), 1, 2);
}
#endif

// How a network's chains lie in vectors. On AVX-512 the precise filter's ten sections take all
// three chains in one vector, half the operations of two; the all-pass network's three sections
// run faster in two, whose shorter steps keep more of each recursion in flight.
#if TW_VECTOR_BYTES >= 64
template <int kSections>
using VectorChains =
    typename std::conditional<(kSections >= kPreciseSections), AllpassOcts<kSections>,
                              AllpassPairs<kSections>>::type;
#else
template <int kSections>
using VectorChains = AllpassPairs<kSections>;
#endif

#endif  // TW_VECTOR_BYTES

// --- Stages over one chunk of k frames ---

// Input: offset, the pre meter's sign flags (with kFlags), the mode's input matrix into the
// lines, and the scaled FIR input.
template <bool kStereo, bool kFlags, typename Sample>
void ReadChunk(PhaseState& st, const PhaseBlock& b, const Sample* in, int k, int64_t* opposite) {
    constexpr bool kSingle = sizeof(Sample) == sizeof(float);
    constexpr int kStride = kStereo ? 2 : 1;
    const bool ms = b.coefficients.mode == Mode::kMsPhase;
    const bool fir = b.filter == QuadratureFilter::kFir;
    double* a = st.lineA + kFirLatencyFrames;
    double* bb = st.lineB + kFirLatencyFrames;
    double* x = st.firLine + kFirHistory;
    int i = 0;
#if TW_VECTOR_BYTES
    for (; i + kLanes <= k; i += kLanes) {
        VecD left, right;
        ReadFrames(in + i * kStride, kStereo, &left, &right);
        if (kFlags) StoreVec(opposite + i, OppositeSigns(left, right));
        const VecD first = ms ? left + right : left;
        const VecD second = ms ? left - right : right;
        StoreVec(a + i, first);
        StoreVec(bb + i, second);
        if (fir) StoreVec(x + i, FirInput(second, kSingle));
    }
#endif
    for (; i < k; ++i) {
        const double left = ReadSample(in[i * kStride]);
        const double right = kStereo ? ReadSample(in[i * kStride + 1]) : left;
        if (kFlags) opposite[i] = OppositeSigns(left, right);
        a[i] = ms ? left + right : left;
        bb[i] = ms ? left - right : right;
        if (fir) x[i] = FirInput(bb[i], kSingle);
    }
}

template <typename Sample>
void ReadChunkAs(PhaseState& st, const PhaseBlock& b, const Sample* in, int k, int64_t* opposite) {
    if (b.stereoIn) {
        if (b.meterPre)
            ReadChunk<true, true>(st, b, in, k, opposite);
        else
            ReadChunk<true, false>(st, b, in, k, opposite);
    } else {
        if (b.meterPre)
            ReadChunk<false, true>(st, b, in, k, opposite);
        else
            ReadChunk<false, false>(st, b, in, k, opposite);
    }
}

// An all-pass network (three chains of kSections sections, the reference coefficients for A and
// B, the quadrature ones for C): u and t are the reference chains' outputs, v chain C's output of
// the frame before. Stored for the output stage, which runs over them afterwards: run in the same
// loop, its values would crowd the recursions' state out of the registers.
template <int kSections>
void AllpassChunk(PhaseState& st, AllpassChain<kSections> (&state)[3],
                  const double (&reference)[kSections], const double (&quadrature)[kSections],
                  int k, PhaseMeterCursor& meterState) {
    PhaseMeterCursor meter = meterState;
    const double* a = st.lineA + kFirLatencyFrames;
    const double* b = st.lineB + kFirLatencyFrames;
    int i = 0;
#if TW_VECTOR_BYTES
    if (k >= 2) {
        VectorChains<kSections> chains;
        LoadAllpassPairs(state, chains);
        for (; i + 2 <= k; i += 2) {
            VecPair u, t, v;
            RunAllpassPairs(chains, reference, quadrature, LoadVec<VecPair>(a + i),
                            LoadVec<VecPair>(b + i), &u, &t, &v);
            StoreVec(st.u + i, u);
            StoreVec(st.t + i, t);
            StoreVec(st.v + i, v);
            meter.Step();
            meter.Step();
        }
        StoreAllpassPairs(chains, state);
    }
#endif
    for (; i < k; ++i) {
        st.u[i] = RunChain(state[0], reference, a[i]);
        st.t[i] = RunChain(state[1], reference, b[i]);
        st.v[i] = state[2].y[kSections - 1][0];  // chain C's output of the previous frame
        RunChain(state[2], quadrature, b[i]);
    }
    meterState = meter;
}

// The quadrature pair of a chunk from the block's all-pass network (not the FIR) into u, t, v.
void AllpassNetworkChunk(PhaseState& st, const PhaseBlock& b, int k, PhaseMeterCursor& meter) {
    if (b.filter == QuadratureFilter::kPrecise) {
        // A copy the loop's stores cannot alias, so the coefficients stay where they are loaded.
        PreciseQuadratureTable table = *b.precise;
        AllpassChunk(st, st.precise, table.reference, table.quadrature, k, meter);
    } else {
        AllpassChunk(st, st.chains, kReferenceCoeffs, kQuadratureCoeffs, k, meter);
    }
}

// The FIR: v from the line, frame i's window starting at line[i].
void FirChunk(PhaseState& st, int k, [[maybe_unused]] PhaseMeterCursor& meter) {
    const double* line = st.firLine;
    int i = 0;
#if TW_VECTOR_BYTES
    for (; i + kFirGroups * kLanes <= k; i += kFirGroups * kLanes)
        FirSums<kFirGroups>(line + i, st.v + i, meter);
    // The rest in one pass of as many vectors as it needs, the last one perhaps partly beyond
    // the chunk: those lanes read the line's padding and stale values and are not kept.
    const int rest = k - i;
    if (rest > 0) {
        double sums[kFirGroups * kLanes];
        switch ((rest + kLanes - 1) / kLanes) {
            case 1:
                FirSums<1>(line + i, sums, meter);
                break;
            case 2:
                FirSums<2>(line + i, sums, meter);
                break;
            case 3:
                FirSums<3>(line + i, sums, meter);
                break;
            case 4:
                FirSums<4>(line + i, sums, meter);
                break;
            case 5:
                FirSums<5>(line + i, sums, meter);
                break;
            case 6:
                FirSums<6>(line + i, sums, meter);
                break;
            case 7:
                FirSums<7>(line + i, sums, meter);
                break;
            case 8:
                FirSums<8>(line + i, sums, meter);
                break;
            default:
                break;
        }
        std::memcpy(st.v + i, sums, sizeof(double) * rest);
        i = k;
    }
#endif
    for (; i < k; ++i) st.v[i] = FirSum(line + i);
}

// What the output stage gathers for the analysis tap beside the output: nothing, the sums of
// the pair, or the sums with the energies of u + t and u - t (outside MS phase).
enum PairSumsKind { kNoPairSums, kPairSums, kAnchoredPairSums };

#if TW_VECTOR_BYTES
// c + a * b for the tap's sums, which are no part of the audio: in one rounding where every
// processor of the instruction set has the instruction (AVX-512), else in two.
inline VecD MulAdd(VecD a, VecD b, VecD c) {
#if TW_VECTOR_BYTES == 64
    return __builtin_ia32_vfmaddpd512_mask(a, b, c, -1, 4);  // 4: the current rounding mode
#else
    return c + a * b;
#endif
}

// The tap's sums of a chunk's pair, each in lanes of its own, the lanes added at the end.
struct PairSumLanes {
    VecD su, st, sv, uu, ut, uv, tt, tv, vv, pp, mm;

    template <int kSums>
    void Add(VecD a, VecD b, VecD c) {
        su += a;
        st += b;
        sv += c;
        uu = MulAdd(a, a, uu);
        ut = MulAdd(a, b, ut);
        uv = MulAdd(a, c, uv);
        tt = MulAdd(b, b, tt);
        tv = MulAdd(b, c, tv);
        vv = MulAdd(c, c, vv);
        if (kSums == kAnchoredPairSums) {
            const VecD p = a + b, m = a - b;
            pp = MulAdd(p, p, pp);
            mm = MulAdd(m, m, mm);
        }
    }
    void Total(ChunkSums& s) const {
        const VecD* lanes[11] = {&su, &st, &sv, &uu, &ut, &uv, &tt, &tv, &vv, &pp, &mm};
        double* totals[11] = {&s.sum[0],     &s.sum[1],     &s.sum[2],     &s.product[0],
                              &s.product[1], &s.product[2], &s.product[3], &s.product[4],
                              &s.product[5], &s.plus,       &s.minus};
        for (int n = 0; n < 11; ++n)
            for (int lane = 0; lane < kLanes; ++lane) *totals[n] += (*lanes[n])[lane];
    }
};
#endif

template <int kSums>
inline void AddPairSums(ChunkSums& s, double a, double b, double c) {
    s.sum[0] += a;
    s.sum[1] += b;
    s.sum[2] += c;
    s.product[0] += a * a;
    s.product[1] += a * b;
    s.product[2] += a * c;
    s.product[3] += b * b;
    s.product[4] += b * c;
    s.product[5] += c * c;
    if (kSums == kAnchoredPairSums) {
        s.plus += (a + b) * (a + b);
        s.minus += (a - b) * (a - b);
    }
}

// Output: mixing, samples, clip and peak, and the post meter's sign flags (with kFlags). With
// kSums, the tap's sums of the pair too, formed while the pair is in registers.
template <int kMode, bool kFlags, int kSums, typename Sample>
void WriteChunk(PhaseState& st, const double* u, const double* t, const Coefficients& c,
                Sample* out, int k, OutputMeters& meters, int64_t* opposite, ChunkSums* sums) {
    int i = 0;
    if (kSums != kNoPairSums) *sums = ChunkSums{};
#if TW_VECTOR_BYTES
    if (k >= kLanes) {
        Coefficients cv = c;  // in registers for the loop; the stores below cannot change it
        VecD peakLeft = Splat(meters.peak[0]), peakRight = Splat(meters.peak[1]);
        VecI inRangeLeft = ~VecI{}, inRangeRight = ~VecI{};
        PairSumLanes lanes = {};
        for (; i + kLanes <= k; i += kLanes) {
            const VecD a = LoadVec<VecD>(u + i), b = LoadVec<VecD>(t + i),
                       q = LoadVec<VecD>(st.v + i);
            VecD left, right;
            MixOutput<kMode>(a, b, q, cv, &left, &right);
            if (kFlags) StoreVec(opposite + i, OppositeSigns(left, right));
            WriteFrames(out + 2 * i, left, right);
            MeterFrames(left, right, &peakLeft, &peakRight, &inRangeLeft, &inRangeRight);
            if (kSums != kNoPairSums) lanes.Add<kSums>(a, b, q);
        }
        MergeMeters(meters, peakLeft, peakRight, inRangeLeft, inRangeRight);
        if (kSums != kNoPairSums) lanes.Total(*sums);
    }
#endif
    for (; i < k; ++i) {
        double left, right;
        MixOutput<kMode>(u[i], t[i], st.v[i], c, &left, &right);
        if (kFlags) opposite[i] = OppositeSigns(left, right);
        WriteFrame(out + 2 * i, left, right);
        MeterFrame(meters, left, right);
        if (kSums != kNoPairSums) AddPairSums<kSums>(*sums, u[i], t[i], st.v[i]);
    }
}

// The output stage with the block's choice of the tap's sums.
template <int kMode, bool kFlags, typename Sample>
void WriteChunkFor(const PhaseBlock& b, PhaseState& st, const double* u, const double* t,
                   Sample* out, int k, OutputMeters& meters, int64_t* opposite, ChunkSums* sums) {
    const Coefficients& c = b.coefficients;
    if (sums == nullptr)
        WriteChunk<kMode, kFlags, kNoPairSums>(st, u, t, c, out, k, meters, opposite, sums);
    else if (c.mode == Mode::kMsPhase)
        WriteChunk<kMode, kFlags, kPairSums>(st, u, t, c, out, k, meters, opposite, sums);
    else
        WriteChunk<kMode, kFlags, kAnchoredPairSums>(st, u, t, c, out, k, meters, opposite, sums);
}

// The quadrature pair and the output stage of a chunk; with kFlags the output's sign flags, with
// sums the tap's sums of the pair.
template <bool kFlags, typename Sample>
void QuadratureAndOutput(PhaseState& st, const PhaseBlock& b, Sample* out, int k,
                         OutputMeters& meters, int64_t* opposite, PhaseMeterCursor& phase,
                         ChunkSums* sums) {
    OutputStage::InMode(b.coefficients.mode, [&](auto mode) {
        constexpr int kMode = decltype(mode)::value;
        if (b.filter == QuadratureFilter::kFir) {
            FirChunk(st, k, phase);
            // The first and second signals 63 frames back are the lines' oldest values.
            WriteChunkFor<kMode, kFlags>(b, st, st.lineA, st.lineB, out, k, meters, opposite,
                                         sums);
        } else {
            AllpassNetworkChunk(st, b, k, phase);
            WriteChunkFor<kMode, kFlags>(b, st, st.u, st.t, out, k, meters, opposite, sums);
        }
    });
}

inline void SetTapOutput(TapChunk& chunk, const float* out) {
    chunk.outFloat = out;
    chunk.outDouble = nullptr;
}
inline void SetTapOutput(TapChunk& chunk, const double* out) {
    chunk.outFloat = nullptr;
    chunk.outDouble = out;
}

// The chunk to the block's tap: its lines' new values, the pair where the output stage read it
// (the FIR's u and t are the lines' oldest values, before they move on), the sums the output
// stage formed of it, and its output.
template <typename Sample>
void TapChunkOut(const PhaseState& st, const PhaseBlock& b, const Sample* out, int k,
                 TapChunk& chunk) {
    const bool fir = b.filter == QuadratureFilter::kFir;
    chunk.a = st.lineA + kFirLatencyFrames;
    chunk.b = st.lineB + kFirLatencyFrames;
    chunk.u = fir ? st.lineA : st.u;
    chunk.t = fir ? st.lineB : st.t;
    chunk.v = st.v;
    SetTapOutput(chunk, out);
    chunk.frames = k;
    chunk.coefficients = &b.coefficients;
    b.tap->OnChunk(chunk);
}

template <typename Sample>
void ProcessBlock(PhaseState& st, PhaseBlock& b, const Sample* in, Sample* out) {
    const int stride = b.stereoIn ? 2 : 1;
    OutputMeters meters = {{b.peak[0], b.peak[1]}, {b.clip[0], b.clip[1]}};
    PhaseMeterCursor phase = {b.phase, b.phaseDecay, b.phaseRise, nullptr, 0};
    TapChunk tapped;
    for (int done = 0, chunk = 0; done < b.frames; ++chunk) {
        const int k = Smaller(kPhaseChunkFrames, b.frames - done);
        int64_t* watched = st.opposite[chunk & 1];
        ReadChunkAs(st, b, in + done * stride, k, watched);
        ChunkSums* sums = b.tap != nullptr ? &tapped.sums : nullptr;
        if (b.meterPre)
            QuadratureAndOutput<false>(st, b, out + 2 * done, k, meters, watched, phase, sums);
        else
            QuadratureAndOutput<true>(st, b, out + 2 * done, k, meters, watched, phase, sums);
        phase.Start(watched, k);
        if (b.tap != nullptr) TapChunkOut(st, b, out + 2 * done, k, tapped);
        if (b.filter == QuadratureFilter::kFir) {
            std::memmove(st.firLine, st.firLine + k, sizeof(double) * kFirHistory);
            std::memmove(st.lineA, st.lineA + k, sizeof(double) * kFirLatencyFrames);
            std::memmove(st.lineB, st.lineB + k, sizeof(double) * kFirLatencyFrames);
        }
        done += k;
    }
    phase.Finish();
    b.phase = phase.acc;
    b.peak[0] = meters.peak[0];
    b.peak[1] = meters.peak[1];
    b.clip[0] = meters.clip[0];
    b.clip[1] = meters.clip[1];
}

void ProcessFloatBlock(PhaseState& st, PhaseBlock& b, const float* in, float* out) {
    ProcessBlock(st, b, in, out);
}
void ProcessDoubleBlock(PhaseState& st, PhaseBlock& b, const double* in, double* out) {
    ProcessBlock(st, b, in, out);
}

// One chunk read and through the quadrature stage exactly as ProcessBlock takes it, without the
// output stage or the meters. The all-pass networks leave the pair in the state's per-chunk
// arrays; the FIR filter's u and t are copied there before its lines move on.
template <typename Sample>
void QuadratureChunk(PhaseState& st, const PhaseBlock& b, const Sample* in, QuadraturePair& pair) {
    const int k = b.frames;
    if (b.stereoIn)
        ReadChunk<true, false>(st, b, in, k, nullptr);
    else
        ReadChunk<false, false>(st, b, in, k, nullptr);
    PhaseMeterCursor idle = {0.0, 0.0, 0.0, nullptr, 0};
    if (b.filter == QuadratureFilter::kFir) {
        FirChunk(st, k, idle);
        const size_t bytes = sizeof(double) * static_cast<size_t>(k);
        std::memcpy(st.u, st.lineA, bytes);
        std::memcpy(st.t, st.lineB, bytes);
        std::memmove(st.firLine, st.firLine + k, sizeof(double) * kFirHistory);
        std::memmove(st.lineA, st.lineA + k, sizeof(double) * kFirLatencyFrames);
        std::memmove(st.lineB, st.lineB + k, sizeof(double) * kFirLatencyFrames);
    } else {
        AllpassNetworkChunk(st, b, k, idle);
    }
    pair = {st.u, st.t, st.v};
}

void QuadratureFloatChunk(PhaseState& st, const PhaseBlock& b, const float* in,
                          QuadraturePair& pair) {
    QuadratureChunk(st, b, in, pair);
}
void QuadratureDoubleChunk(PhaseState& st, const PhaseBlock& b, const double* in,
                           QuadraturePair& pair) {
    QuadratureChunk(st, b, in, pair);
}

// 16-bit PCM to float: s * 2^-15, exact in single precision.
void PcmToFloatArray(const int16_t* in, float* out, int count) {
    int i = 0;
#if TW_VECTOR_BYTES
    for (; i + 2 * kLanes <= count; i += 2 * kLanes) {
        const VecI32x2 wide = __builtin_convertvector(LoadVec<VecI16x2>(in + i), VecI32x2);
        StoreVec(out + i, __builtin_convertvector(wide, VecF2) * 0.000030517578125f);
    }
#endif
    for (; i < count; ++i)
        out[i] = static_cast<float>(static_cast<double>(in[i]) * 0.000030517578125);
}

// Float to 16-bit PCM: scaled by 32768, clamped, NaN to 0, truncated towards zero.
void FloatToPcmArray(const float* in, int16_t* out, int count) {
    int i = 0;
#if TW_VECTOR_BYTES
    typedef VecI32x2 VecMask;  // a float comparison's lanes
    const VecF2 top = VecF2{} + 32767.0f, bottom = VecF2{} - 32768.0f;
    for (; i + 2 * kLanes <= count; i += 2 * kLanes) {
        VecF2 scaled = LoadVec<VecF2>(in + i) * 32768.0f;
        const VecMask high = scaled >= top, low = scaled <= bottom, number = scaled == scaled;
        VecI32x2 bits = reinterpret_cast<VecI32x2>(scaled);
        bits = (bits & ~high) | (reinterpret_cast<VecI32x2>(top) & high);
        bits = (bits & ~low) | (reinterpret_cast<VecI32x2>(bottom) & low);
        scaled = reinterpret_cast<VecF2>(bits & number);  // +0.0 for NaN
        StoreVec(out + i,
                 __builtin_convertvector(__builtin_convertvector(scaled, VecI32x2), VecI16x2));
    }
#endif
    for (; i < count; ++i) out[i] = FloatToPcmSample(in[i]);
}

constexpr SignalKernels kKernels = {ProcessFloatBlock,     ProcessDoubleBlock,
                                    QuadratureFloatChunk,  QuadratureDoubleChunk,
                                    PcmToFloatArray,       FloatToPcmArray};

}  // namespace
