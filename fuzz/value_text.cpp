// The editor's typed values: the input's first byte picks the decimals (0 to 9), the rest is
// the text typed into a value field. Any text gives a value that saturates instead of
// wrapping, the Output field reads it as the plain field does unless it means silence, and
// every value the Output field shows reads back as itself. The first four bytes, as a float,
// also go through the meters' level conversion, which audio can drive with any value.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>

#include "editor/ValueText.h"
#include "engine/ParamDescriptors.h"
#include "fuzz/FuzzCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const int decimals = data[0] % 10;
    const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);  // up to a NUL
    const char* typed = text.c_str();

    const int32_t value = ParseFixed(typed, decimals);
    FUZZ_CHECK(value != std::numeric_limits<int32_t>::min());

    const int32_t tenths = ParseFieldValue(kParamOutput, typed);
    FUZZ_CHECK(tenths == kOutputSilence || tenths == ParseFixed(typed, 1));
    if (tenths > kOutputSilence) {
        const std::string shown = FieldText(kParamOutput, tenths);
        FUZZ_CHECK(ParseFieldValue(kParamOutput, shown.c_str()) == tenths);
    }

    if (size >= 4) {
        float peak;
        std::memcpy(&peak, data, sizeof peak);
        const int32_t level = PeakLevelTenths(peak);
        FUZZ_CHECK(level >= kSilentLevelTenths && level <= kLoudestLevelTenths);
        FUZZ_CHECK(!PeakReadoutText(level).empty());
    }
    return 0;
}
