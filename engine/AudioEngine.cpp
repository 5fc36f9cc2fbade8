// The portable engine: parameter model, setups, undo, notification slots and block processing.
#include "engine/AudioEngine.h"

#include <algorithm>
#include <cmath>

#include "engine/ParamMapping.h"
#include "engine/SampleConvert.h"

namespace {
// Keeps the recursive sections out of denormals in silence; added to every input sample.
constexpr float kInputOffset = 1e-30f;
constexpr double kInputOffsetDouble = static_cast<double>(kInputOffset);

inline double WithOffset(float sample) {
    return static_cast<double>(sample + kInputOffset);
}
inline double WithOffset(double sample) {
    return sample + kInputOffsetDouble;
}
}  // namespace

// The inactive setup and the undo snapshot start as the factory defaults, so switching or undoing
// before the editor has filled them gives a sensible sound rather than an all-zero record.
CAudioEngine::CAudioEngine() : params_{}, inactiveSetup_(kDefaultParams), undo_(kDefaultParams) {}

CAudioEngine::~CAudioEngine() {
    meters_.phaseAccumulator = 0.0;
    meters_.heldPeak[0] = meters_.heldPeak[1] = 0.0;
}

ParamValues CAudioEngine::GetParams() {
    CAutoLock lock(&lock_);
    return params_;
}

void CAudioEngine::SetParam(int index, int32_t value, bool notify) {
    const int32_t clamped = ClampParam(index, value);
    CAutoLock lock(&lock_);
    if (params_[index] != clamped) {
        params_[index] = clamped;
        changed_ = 1;
        dirty_ = 1;
    }
    if (automation_) {
        const float normalized = NormalizedFromInternal(index, clamped);
        automation_->SetParamValue(static_cast<uint32_t>(index), normalized);
        if (notify) ReportCapture(static_cast<uint32_t>(index), normalized);
    }
}

// Keeps the host's capture on the parameter the user is editing: a new parameter ends the
// previous capture and begins its own; every value goes to the host as a captured edit.
void CAudioEngine::ReportCapture(uint32_t index, float normalized) {
    const int32_t requested = static_cast<int32_t>(index);
    if (requested != capturedIndex_) {
        if (capturedIndex_ != -1) {
            const uint32_t previous = static_cast<uint32_t>(capturedIndex_);
            automation_->CaptureEnd(&previous, 1);
        }
        capturedIndex_ = requested;
        if (capturedIndex_ != -1) automation_->CaptureBegin(&index, 1);
    }
    if (capturedIndex_ != -1) automation_->CaptureValues(&index, 1, &normalized);
}

void CAudioEngine::EndCapture() {
    if (captureHold_) return;
    if (capturedIndex_ != -1 && automation_) {
        const uint32_t previous = static_cast<uint32_t>(capturedIndex_);
        automation_->CaptureEnd(&previous, 1);
    }
    capturedIndex_ = -1;
}

void CAudioEngine::SetParams(const ParamValues& values) {
    CAutoLock lock(&lock_);
    for (int i = 0; i < kParamCount; ++i) SetParam(i, values[i], true);
    changed_ = 1;
    dirty_ = 1;
    EndCapture();
}

bool CAudioEngine::UpdateState(ParamValues* out) {
    if (automation_) {
        for (int i = 0; i < kParamCount; ++i) {
            int32_t value;
            const float effective = automation_->EffectiveValue(static_cast<uint32_t>(i));
            if (InternalFromNormalized(i, effective, &value) && value != params_[i]) {
                params_[i] = value;
                changed_ = 1;
            }
        }
    }
    CAutoLock lock(&lock_);
    *out = params_;
    const bool wasChanged = changed_ != 0;
    changed_ = 0;
    if (wasChanged) editorRefresh_ = 1;
    return wasChanged;
}

ParamValues CAudioEngine::CurrentStateForSave() {
    ParamValues values;
    if (UpdateState(&values)) changed_ = 1;
    return values;
}

void CAudioEngine::ApplyCoefficients() {
    coefficients_ = ComputeCoefficients(params_);
    coefficientsValid_ = 1;
}

tw::Result CAudioEngine::UpdateCoefficients() {
    ParamValues current;
    UpdateState(&current);
    ApplyCoefficients();
    return tw::kOk;
}

tw::Result CAudioEngine::ResetProcessor(const WaveFormat* input, const WaveFormat* output) {
    inputFormat_ = input;
    outputFormat_ = output;
    meters_.ResetForStream();
    processor_.Reset();
    return UpdateCoefficients();
}

void CAudioEngine::StopMeters() {
    meters_.phaseAccumulator = 0.0;
    meters_.heldPeak[0] = meters_.heldPeak[1] = 0.0;
}

tw::Result CAudioEngine::SetNotifyWindow(void* window, int id) {
    CAutoLock lock(&lock_);
    int slot = -1;
    for (int i = 0; i < 2; ++i)
        if (slots_[i].window == window && window != nullptr) slot = i;
    if (slot < 0) {
        // A free slot, the second before the first.
        if (slots_[1].window == nullptr) {
            slot = 1;
        } else if (slots_[0].window == nullptr) {
            slot = 0;
        } else {
            return id != 0 ? tw::kErrOutOfMemory : tw::kOk;
        }
    }
    slots_[slot].id = id;
    slots_[slot].window = id != 0 ? window : nullptr;
    return tw::kOk;
}

void CAudioEngine::NotifyWindows(int code) {
    CAutoLock lock(&lock_);
    for (NotifySlot& slot : slots_) {
        if (slot.window == nullptr) continue;
        if (WindowExists(slot.window)) {
            PostCommand(slot.window, slot.id, code);
        } else {
            slot.window = nullptr;
            slot.id = 0;
        }
    }
}

int32_t CAudioEngine::GetClip(int channel, int which) const {
    return which == 0 ? meters_.clipLive[channel] : meters_.clipShown[channel];
}

void CAudioEngine::SetClip(int channel, int which, int32_t value) {
    (which == 0 ? meters_.clipLive : meters_.clipShown)[channel] = value;
}

float CAudioEngine::GetPeak(int channel) {
    meters_.peakRead[channel] = 1;
    return static_cast<float>(meters_.heldPeak[channel]);
}

void CAudioEngine::SelectSetup(int index) {
    if (index == activeSetup_ || (index != 0 && index != 1)) return;
    CAutoLock lock(&lock_);
    const ParamValues previous = params_;
    activeSetup_ = index;
    SetParams(inactiveSetup_);
    inactiveSetup_ = previous;
}

void CAudioEngine::CopySetup(int from, int to) {
    CAutoLock lock(&lock_);
    if (from == 0 && to == 1) {
        inactiveSetup_ = params_;
    } else if (from == 1 && to == 0) {
        SetParams(inactiveSetup_);
    }
}

void CAudioEngine::MarkUndo(int controlId) {
    CAutoLock lock(&lock_);
    const bool newControl = controlId >= 0 && controlId != lastUndoId_;
    if (newControl || capturedIndex_ == -1 || controlId == -2) undo_ = params_;
    lastUndoId_ = controlId;
}

void CAudioEngine::Undo() {
    CAutoLock lock(&lock_);
    const ParamValues previous = params_;
    const ParamValues restored = undo_;
    undo_ = previous;
    SetParams(restored);
    changed_ = 1;
    dirty_ = 1;
}

int CAudioEngine::ParamsChangedForEditor() {
    if (automation_ && automation_->TestAndClearChanged() == tw::kOk) editorRefresh_ = 1;
    return editorRefresh_ ? 0 : 1;
}

tw::Result CAudioEngine::ProcessFloat(const float* in, int* inFrames, float* out, int* outFrames) {
    return ProcessBlock<float, true>(in, inFrames, out, outFrames);
}

tw::Result CAudioEngine::ProcessDouble(const double* in, int* inFrames, double* out,
                                       int* outFrames) {
    return ProcessBlock<double, false>(in, inFrames, out, outFrames);
}

tw::Result CAudioEngine::ProcessPcm16(const int16_t* in, int frames, int16_t* out, float* inScratch,
                                      float* outScratch) {
    const int channels = inputFormat_ != nullptr && inputFormat_->nChannels == 1 ? 1 : 2;
    for (int i = 0; i < channels * frames; ++i) inScratch[i] = PcmToFloat(in[i]);
    int inFrames = frames, outFrames = frames;
    const tw::Result result = ProcessFloat(inScratch, &inFrames, outScratch, &outFrames);
    for (int i = 0; i < 2 * outFrames; ++i) out[i] = FloatToPcm(outScratch[i]);
    return result;
}

template <typename Sample, bool kSingle>
tw::Result CAudioEngine::ProcessBlock(const Sample* in, int* inFrames, Sample* out,
                                      int* outFrames) {
    const int n = std::max(0, std::min(*inFrames, *outFrames));
    *inFrames = *outFrames = n;
    const bool stereoIn = inputFormat_ == nullptr || inputFormat_->nChannels == 2;
    const int inStride = stereoIn ? 2 : 1;

    if (bypass_) {
        for (int i = 0; i < n; ++i) {
            out[2 * i] = in[i * inStride];
            out[2 * i + 1] = in[i * inStride + inStride - 1];
        }
        StopMeters();
        return tw::kOk;
    }

    ParamValues p;
    const bool changed = UpdateState(&p);
    if (changed || (automation_ && automation_->TestAndClearChanged() == tw::kOk) ||
        !coefficientsValid_) {
        ApplyCoefficients();
    }
    const Coefficients c = coefficients_;
    const bool fir = p[kParamFilter] != 0;
    const bool meterPre = p[kParamMeterPost] == 0;

    MeterState& m = meters_;
    double peakLeft = m.peakRead[0] ? 0.0 : m.heldPeak[0];
    double peakRight = m.peakRead[1] ? 0.0 : m.heldPeak[1];
    for (int i = 0; i < n; ++i) {
        const double left = WithOffset(in[i * inStride]);
        const double right = stereoIn ? WithOffset(in[i * inStride + 1]) : left;
        if (meterPre) m.FeedPhase(left, right);
        double outLeft, outRight;
        processor_.Step<kSingle>(left, right, c, fir, &outLeft, &outRight);
        if (!meterPre) m.FeedPhase(outLeft, outRight);
        m.CheckClip(outLeft, outRight);
        const double magLeft = std::fabs(outLeft), magRight = std::fabs(outRight);
        if (magLeft > peakLeft) peakLeft = magLeft;
        if (magRight > peakRight) peakRight = magRight;
        out[2 * i] = static_cast<Sample>(outLeft);
        out[2 * i + 1] = static_cast<Sample>(outRight);
    }
    m.heldPeak[0] = peakLeft;
    m.heldPeak[1] = peakRight;
    return tw::kOk;
}
