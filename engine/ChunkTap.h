// IChunkTap: an observer of the signal path that the streaming thread hands each chunk of a
// block: the chunk's first and second signals, its quadrature pair and the block's coefficients.
// The analysis page's tap implements it; the kernels call it only when a block names one.
#pragma once
#include <cstdint>

#include "engine/Coefficients.h"
#include "engine/ParamValues.h"

// One chunk as the kernel leaves it, valid during the call only. a and b are the first and
// second signals as the mode matrix makes them of the input (left and right in LR phase, L + R
// and L - R in MS phase), the chunk's own frames; u, t and v the quadrature pair the output
// stage makes every output of (with the FIR filter u and t are a and b 63 frames back).
struct TapChunk {
    const double* a;
    const double* b;
    const double* u;
    const double* t;
    const double* v;
    int frames;
    const Coefficients* coefficients;
};

class IChunkTap {
public:
    // Streaming thread, before a block's chunks: the parameters the block runs with and the
    // stream's rate.
    virtual void BeginBlock(const ParamValues& params, uint32_t sampleRate) = 0;
    // Streaming thread, once per chunk after its output: no allocation, no lock, no waiting.
    virtual void OnChunk(const TapChunk& chunk) = 0;

protected:
    ~IChunkTap() = default;
};
