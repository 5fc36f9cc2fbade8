// CTpdfDither: the noise added before a float signal is rounded to integer samples, so that
// the rounding error becomes a steady noise floor instead of distortion that follows the
// signal. Triangular (TPDF) noise of one step peak: the difference of two uniform values, mean
// 0 and variance 1/6 of a step squared. The generator (SplitMix64) starts from a fixed seed,
// so a render gives the same bytes every time and on every platform.
#pragma once
#include <cstdint>

class CTpdfDither {
public:
    static constexpr uint64_t kDefaultSeed = 0x7477506861736521;  // "twPhase!"

    explicit CTpdfDither(uint64_t seed = kDefaultSeed) : m_state(seed) {}

    // The next value, in steps of the target format: in (-1, 1).
    double Next() { return Uniform() - Uniform(); }

private:
    // [0, 1) in steps of 2^-53.
    double Uniform() {
        m_state += 0x9E3779B97F4A7C15u;
        uint64_t z = m_state;
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
        z ^= z >> 31;
        return static_cast<double>(z >> 11) * 0x1.0p-53;
    }

    uint64_t m_state;
};
