// The signal path on four lanes of AVX2. Only this file is compiled for AVX2; it runs only
// where SignalPathSupported finds the instructions and the operating system's support for them.
#if defined(__x86_64__) || defined(__i386__)
#define TW_VECTOR_BYTES 32
#include "engine/PhaseKernelsImpl.h"

const SignalKernels& Avx2SignalKernels() {
    return kKernels;
}
#endif
