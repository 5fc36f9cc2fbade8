// The output stage of the signal path, defined once: the rotation of the quadrature pair by the
// Phase angle, the mode matrix, width and gain. The block kernels run it on vectors of frames,
// the phase analysis on single frames and on unit pairs (to find the stage's linear weights).
//
// The kernels of each instruction set instantiate it with their own kIsa (their vector width),
// so no two translation units built for different instruction sets share an instantiation the
// linker could merge; everything else passes 0 and shares the plain one.
#pragma once

#include "engine/Coefficients.h"

namespace OutputStage {

// Rotation, mode matrix, width and gain; T is a double or a vector of them. Halving by * 0.5 is
// the same operation as / 2 (both exact scalings). MS phase and CS encode share the matrix.
template <int kIsa, int kMode, typename T>
inline void Mix(T u, T t, T v, const Coefficients& c, T* left, T* right) {
    const T q = t * c.cosPhase + v * c.sinPhase;
    T p, r;
    if constexpr (kMode == static_cast<int>(Mode::kLrPhase)) {
        p = u;
        r = q;
    } else if constexpr (kMode == static_cast<int>(Mode::kScEncode)) {
        p = (q + u) * 0.5;
        r = (q - u) * 0.5;
    } else {
        p = (q + u) * 0.5;
        r = (u - q) * 0.5;
    }
    const T m = (p + r) * c.midGain;
    const T s = (p - r) * c.sideGain;
    *left = m + s;
    *right = m - s;
}

template <int kMode>
struct ModeTag {
    static constexpr int value = kMode;
};

// Calls f with the mode as a compile-time ModeTag (MS phase and CS encode share the matrix).
template <typename F>
inline void InMode(Mode mode, F f) {
    switch (mode) {
        case Mode::kLrPhase:
            f(ModeTag<static_cast<int>(Mode::kLrPhase)>{});
            break;
        case Mode::kScEncode:
            f(ModeTag<static_cast<int>(Mode::kScEncode)>{});
            break;
        case Mode::kMsPhase:
        case Mode::kCsEncode:
        default:
            f(ModeTag<static_cast<int>(Mode::kCsEncode)>{});
            break;
    }
}

// One frame in the coefficients' mode, chosen at run time.
inline void MixFrame(double u, double t, double v, const Coefficients& c, double* left,
                     double* right) {
    InMode(c.mode, [&](auto mode) { Mix<0, decltype(mode)::value>(u, t, v, c, left, right); });
}

}  // namespace OutputStage
