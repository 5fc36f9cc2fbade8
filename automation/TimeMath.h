// Conversion of computed times (double) back to 100-nanosecond integers.
#pragma once
#include <cmath>
#include <cstdint>
#include <limits>

namespace tw {

// Integer part of v, saturating outside the int64 range: hosts may send times near the ends
// of the range to mean "forever", and the conversion must not overflow. NaN gives 0.
inline int64_t TruncateToTime(double v) {
    if (std::isnan(v)) return 0;
    if (v >= 9223372036854775808.0) return std::numeric_limits<int64_t>::max();
    if (v < -9223372036854775808.0) return std::numeric_limits<int64_t>::min();
    return static_cast<int64_t>(v);
}

}  // namespace tw
