// The signal path on eight lanes of AVX-512 (F, DQ, BW and VL). Only this file is compiled for
// AVX-512; it runs only where SignalPathSupported finds the instructions and the operating
// system's support for them.
#if defined(__x86_64__) || defined(__i386__)
#define TW_VECTOR_BYTES 64
#include "engine/PhaseKernelsImpl.h"

const SignalKernels& Avx512SignalKernels() {
    return kKernels;
}
#endif
