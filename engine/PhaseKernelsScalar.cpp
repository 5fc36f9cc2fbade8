// The signal path in plain C++, one frame at a time: the path for processors without a vector
// unit this build knows, and the reference the vector paths are tested against.
#define TW_VECTOR_BYTES 0
#include "engine/PhaseKernelsImpl.h"

const SignalKernels& ScalarSignalKernels() {
    return kKernels;
}
