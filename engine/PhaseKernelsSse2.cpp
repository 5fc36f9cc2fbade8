// The signal path on two lanes of SSE2, which every x86-64 processor has (and the 32-bit build
// requires).
#if defined(__x86_64__) || defined(__i386__)
#define TW_VECTOR_BYTES 16
#include "engine/PhaseKernelsImpl.h"

const SignalKernels& Sse2SignalKernels() {
    return kKernels;
}
#endif
