// IChunkTap: an observer of the signal path that the streaming thread hands each chunk of a
// block: the chunk's first and second signals, its quadrature pair and the block's coefficients.
// The analysis page's tap implements it; the kernels call it only when a block names one.
#pragma once
#include <cstdint>

#include "engine/Coefficients.h"
#include "engine/ParamValues.h"

// The sums of a chunk's quadrature pair, formed by the kernel on its own instruction set: the
// sums of u, t and v, of their products (uu, ut, uv, tt, tv, vv), and the energies of u + t and
// u - t (those two only outside MS phase, zero in it).
struct ChunkSums {
    double sum[3];
    double product[6];
    double plus, minus;
};

// One chunk as the kernel leaves it, valid during the call only. a and b are the first and
// second signals as the mode matrix makes them of the input (left and right in LR phase, L + R
// and L - R in MS phase), the chunk's own frames; u, t and v the quadrature pair the output
// stage makes every output of (with the FIR filter u and t are a and b 63 frames back), and
// out the interleaved stereo frames it made of them, as written (one of the two is set).
struct TapChunk {
    const double* a;
    const double* b;
    const double* u;
    const double* t;
    const double* v;
    const float* outFloat;
    const double* outDouble;
    int frames;
    const Coefficients* coefficients;
    ChunkSums sums;
};

class IChunkTap {
public:
    // Streaming thread, before a block's chunks: the parameters the block runs with and the
    // stream's rate.
    virtual void BeginBlock(const ParamValues& params, uint32_t sampleRate) = 0;
    // Streaming thread, once per chunk after its output: no allocation, no lock, no waiting.
    virtual void OnChunk(const TapChunk& chunk) = 0;
    // The stream has stopped (no block runs now, nor until the next BeginBlock): what the last
    // chunks gathered is handed on.
    virtual void EndStream() = 0;

protected:
    ~IChunkTap() = default;
};
