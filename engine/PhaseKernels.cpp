// The run-time choice of the signal path: which instruction sets the processor has and the
// operating system saves across thread switches (CPUID and XGETBV, as the processor manuals
// prescribe), and the kernels of each path.
#include "engine/PhaseKernels.h"

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#define TW_X86_KERNELS 1
#endif

namespace {

#if TW_X86_KERNELS
struct X86Features {
    bool avx2 = false;
    bool avx512 = false;  // F, DQ, BW and VL
};

uint64_t ReadXcr0() {
    uint32_t low = 0, high = 0;
    __asm__ volatile("xgetbv" : "=a"(low), "=d"(high) : "c"(0));
    return (static_cast<uint64_t>(high) << 32) | low;
}

X86Features DetectFeatures() {
    X86Features f;
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (!__get_cpuid(1, &a, &b, &c, &d)) return f;
    const bool osxsave = (c >> 27) & 1, avx = (c >> 28) & 1;
    if (!osxsave || !avx) return f;
    const uint64_t xcr0 = ReadXcr0();
    const bool ymmState = (xcr0 & 0x6) == 0x6;    // SSE and AVX state
    const bool zmmState = (xcr0 & 0xe6) == 0xe6;  // and the opmask and upper ZMM state
    if (!ymmState || !__get_cpuid_count(7, 0, &a, &b, &c, &d)) return f;
    f.avx2 = (b >> 5) & 1;
    const bool avx512f = (b >> 16) & 1, avx512dq = (b >> 17) & 1;
    const bool avx512bw = (b >> 30) & 1, avx512vl = (b >> 31) & 1;
    f.avx512 = f.avx2 && zmmState && avx512f && avx512dq && avx512bw && avx512vl;
    return f;
}

const X86Features& Features() {
    static const X86Features features = DetectFeatures();
    return features;
}
#endif

}  // namespace

bool SignalPathSupported(SignalPath path) {
    switch (path) {
        case SignalPath::kScalar:
            return true;
#if TW_X86_KERNELS
        case SignalPath::kSse2:
            return true;
        case SignalPath::kAvx2:
            return Features().avx2;
        case SignalPath::kAvx512:
            return Features().avx512;
#endif
        default:
            return false;
    }
}

SignalPath BestSignalPath() {
    for (int p = kSignalPathCount - 1; p > 0; --p) {
        if (SignalPathSupported(static_cast<SignalPath>(p))) return static_cast<SignalPath>(p);
    }
    return SignalPath::kScalar;
}

const char* SignalPathName(SignalPath path) {
    switch (path) {
        case SignalPath::kScalar:
            return "scalar";
        case SignalPath::kSse2:
            return "sse2";
        case SignalPath::kAvx2:
            return "avx2";
        case SignalPath::kAvx512:
            return "avx512";
    }
    return "?";
}

const SignalKernels* SignalKernelsFor(SignalPath path) {
    if (!SignalPathSupported(path)) return nullptr;
    switch (path) {
        case SignalPath::kScalar:
            return &ScalarSignalKernels();
#if TW_X86_KERNELS
        case SignalPath::kSse2:
            return &Sse2SignalKernels();
        case SignalPath::kAvx2:
            return &Avx2SignalKernels();
        case SignalPath::kAvx512:
            return &Avx512SignalKernels();
#endif
        default:
            return nullptr;
    }
}
