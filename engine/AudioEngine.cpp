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
CAudioEngine::CAudioEngine() : inactiveSetup_(kDefaultParams), undo_(kDefaultParams) {}

CAudioEngine::~CAudioEngine() {
    meters_.ClearPhaseAndPeaks();
}

ParamValues CAudioEngine::GetParams() {
    CAutoLock lock(&lock_);
    return params_.Load();
}

void CAudioEngine::SetParam(int index, int32_t value, bool notify) {
    const int32_t clamped = ClampParam(index, value);
    CAutoLock lock(&lock_);
    if (params_.Get(index) != clamped) {
        params_.Set(index, clamped);
        changed_.store(1, kRelaxed);
        dirty_.store(1, kRelaxed);
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
    CAutoLock lock(&lock_);
    if (captureHold_.load(kRelaxed)) return;
    if (capturedIndex_ != -1 && automation_) {
        const uint32_t previous = static_cast<uint32_t>(capturedIndex_);
        automation_->CaptureEnd(&previous, 1);
    }
    capturedIndex_ = -1;
}

void CAudioEngine::SetParams(const ParamValues& values) {
    CAutoLock lock(&lock_);
    for (int i = 0; i < kParamCount; ++i) SetParam(i, values[i], true);
    changed_.store(1, kRelaxed);
    dirty_.store(1, kRelaxed);
    EndCapture();
}

// The automation values are pulled in under the same lock as the copy-out, so a setter on
// another thread cannot interleave with them: one lock per block either way.
bool CAudioEngine::UpdateState(ParamValues* out) {
    CAutoLock lock(&lock_);
    if (automation_) {
        for (int i = 0; i < kParamCount; ++i) {
            int32_t value;
            const float effective = automation_->EffectiveValue(static_cast<uint32_t>(i));
            if (InternalFromNormalized(i, effective, &value) && value != params_.Get(i)) {
                params_.Set(i, value);
                changed_.store(1, kRelaxed);
            }
        }
    }
    *out = params_.Load();
    const bool wasChanged = changed_.exchange(0, kRelaxed) != 0;
    if (wasChanged) editorRefresh_.store(1, kRelaxed);
    return wasChanged;
}

ParamValues CAudioEngine::CurrentStateForSave() {
    ParamValues values;
    if (UpdateState(&values)) changed_.store(1, kRelaxed);
    return values;
}

void CAudioEngine::ApplyCoefficients(const ParamValues& params) {
    coefficients_ = ComputeCoefficients(params);
    coefficientsValid_.store(1, kRelaxed);
}

tw::Result CAudioEngine::UpdateCoefficients() {
    ParamValues current;
    UpdateState(&current);
    coefficientsValid_.store(0, kRelaxed);
    return tw::kOk;
}

tw::Result CAudioEngine::ResetProcessor(const WaveFormat* input, const WaveFormat* output) {
    inputFormat_ = input;
    outputFormat_ = output;
    meters_.ResetForStream();
    processor_.Reset();
    ParamValues current;
    UpdateState(&current);
    ApplyCoefficients(current);
    return tw::kOk;
}

void CAudioEngine::StopMeters() {
    meters_.ClearPhaseAndPeaks();
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
    return (which == 0 ? meters_.clipLive : meters_.clipShown)[channel].load(kRelaxed);
}

void CAudioEngine::SetClip(int channel, int which, int32_t value) {
    (which == 0 ? meters_.clipLive : meters_.clipShown)[channel].store(value, kRelaxed);
}

float CAudioEngine::GetPeak(int channel) {
    meters_.peakRead[channel].store(1, kRelaxed);
    return static_cast<float>(meters_.heldPeak[channel].load(kRelaxed));
}

void CAudioEngine::SelectSetup(int index) {
    if (index != 0 && index != 1) return;
    CAutoLock lock(&lock_);
    if (index == activeSetup_.load(kRelaxed)) return;
    const ParamValues previous = params_.Load();
    activeSetup_.store(index, kRelaxed);
    SetParams(inactiveSetup_);
    inactiveSetup_ = previous;
}

void CAudioEngine::CopySetup(int from, int to) {
    CAutoLock lock(&lock_);
    if (from == 0 && to == 1) {
        inactiveSetup_ = params_.Load();
    } else if (from == 1 && to == 0) {
        SetParams(inactiveSetup_);
    }
}

void CAudioEngine::MarkUndo(int controlId) {
    CAutoLock lock(&lock_);
    const bool newControl = controlId >= 0 && controlId != lastUndoId_;
    if (newControl || capturedIndex_ == -1 || controlId == -2) undo_ = params_.Load();
    lastUndoId_ = controlId;
}

void CAudioEngine::Undo() {
    CAutoLock lock(&lock_);
    const ParamValues previous = params_.Load();
    const ParamValues restored = undo_;
    undo_ = previous;
    SetParams(restored);
    changed_.store(1, kRelaxed);
    dirty_.store(1, kRelaxed);
}

int CAudioEngine::ParamsChangedForEditor() {
    if (automation_ && automation_->TestAndClearChanged() == tw::kOk)
        editorRefresh_.store(1, kRelaxed);
    return editorRefresh_.load(kRelaxed) ? 0 : 1;
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

    if (bypass_.load(kRelaxed)) {
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
        !coefficientsValid_.load(kRelaxed)) {
        ApplyCoefficients(p);
    }
    const Coefficients c = coefficients_;
    const bool fir = p[kParamFilter] != 0;
    const bool meterPre = p[kParamMeterPost] == 0;

    // The meters run in locals and are published once per block.
    MeterState& m = meters_;
    double phase = m.phaseAccumulator.load(kRelaxed);
    double peakLeft = m.peakRead[0].load(kRelaxed) ? 0.0 : m.heldPeak[0].load(kRelaxed);
    double peakRight = m.peakRead[1].load(kRelaxed) ? 0.0 : m.heldPeak[1].load(kRelaxed);
    bool clipLeft = false, clipRight = false;
    for (int i = 0; i < n; ++i) {
        const double left = WithOffset(in[i * inStride]);
        const double right = stereoIn ? WithOffset(in[i * inStride + 1]) : left;
        if (meterPre) phase = m.FeedPhase(phase, left, right);
        double outLeft, outRight;
        processor_.Step<kSingle>(left, right, c, fir, &outLeft, &outRight);
        if (!meterPre) phase = m.FeedPhase(phase, outLeft, outRight);
        clipLeft |= MeterState::Clips(outLeft);
        clipRight |= MeterState::Clips(outRight);
        const double magLeft = std::fabs(outLeft), magRight = std::fabs(outRight);
        if (magLeft > peakLeft) peakLeft = magLeft;
        if (magRight > peakRight) peakRight = magRight;
        out[2 * i] = static_cast<Sample>(outLeft);
        out[2 * i + 1] = static_cast<Sample>(outRight);
    }
    m.phaseAccumulator.store(phase, kRelaxed);
    if (clipLeft) m.clipLive[0].store(kClipHoldSteps, kRelaxed);
    if (clipRight) m.clipLive[1].store(kClipHoldSteps, kRelaxed);
    m.heldPeak[0].store(peakLeft, kRelaxed);
    m.heldPeak[1].store(peakRight, kRelaxed);
    return tw::kOk;
}
