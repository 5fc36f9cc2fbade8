// Result codes of the portable core. They carry the same values as the platform's
// HRESULTs so the Windows shell hands them to its callers unchanged.
#pragma once
#include <cstdint>

namespace tw {

using Result = int32_t;

constexpr Result kOk = 0;
constexpr Result kFalse = 1;
constexpr Result kErrUnexpected = static_cast<Result>(0x8000FFFFu);
constexpr Result kErrPointer = static_cast<Result>(0x80004003u);
constexpr Result kErrFail = static_cast<Result>(0x80004005u);
constexpr Result kErrOutOfMemory = static_cast<Result>(0x8007000Eu);
constexpr Result kErrInvalidArg = static_cast<Result>(0x80070057u);
constexpr Result kErrNotConnected = static_cast<Result>(0x80040209u);  // VFW_E_NOT_CONNECTED

inline bool Succeeded(Result r) {
    return r >= 0;
}

}  // namespace tw
