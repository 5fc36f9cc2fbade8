// The renderer's command line: the input is the argument list, arguments separated by NUL
// bytes. A line that parses holds every value inside its documented range (they are refused,
// never clamped), and a refused line says why.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/ParamMapping.h"
#include "fuzz/FuzzCheck.h"
#include "host/cli/RenderOptions.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<std::string> args(1);
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == 0) args.emplace_back();
        else args.back() += static_cast<char>(data[i]);
    }
    RenderOptions options;
    std::string error;
    if (!ParseRenderOptions(args, &options, &error)) {
        FUZZ_CHECK(!error.empty());
        return 0;
    }
    if (options.help) return 0;
    for (int i = 0; i < kParamCount; ++i)
        FUZZ_CHECK(options.params[i] == ClampParam(i, options.params[i]));
    FUZZ_CHECK(options.blockFrames >= kMinBlockFrames && options.blockFrames <= kMaxBlockFrames);
    return 0;
}
