// Two frames side by side in one vector of two doubles: the sums of the analysis run even and
// odd frames in their own lanes, always in this order, so every build adds the same numbers.
#pragma once
#include <cstdint>
#include <cstring>

typedef double FramePair __attribute__((vector_size(16)));
typedef int64_t PairMask __attribute__((vector_size(16)));

inline FramePair LoadPair(const double* p) {
    FramePair x;
    std::memcpy(&x, p, sizeof x);
    return x;
}

inline double LaneSum(FramePair x) {
    return x[0] + x[1];
}
