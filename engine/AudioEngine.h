// CAudioEngine: the plug-in's portable engine. It owns the six parameters with their changed
// and dirty flags, the A/B setups and undo snapshot, the editor notification slots, the
// coefficients, the processor and the meters, and runs block processing. The Windows shell
// (CAudioTransform) adds the COM interface and the window messages.
#pragma once
#include <atomic>
#include <cstdint>

#include "engine/Coefficients.h"
#include "base/CritSec.h"
#include "engine/EngineAutomation.h"
#include "engine/Meters.h"
#include "engine/ParamValues.h"
#include "engine/PhaseProcessor.h"
#include "base/Result.h"
#include "engine/WaveFormat.h"

// Command id under which the editor registers its window for engine notifications.
constexpr int kEngineNotifyCommandId = 32700;

// Codes posted to the editor windows.
enum EngineNotifyCode : int {
    kNotifyInputFormat = 0,
    kNotifyOutputFormat = 1,
    kNotifyStateLoaded = 100,
};

class CAudioEngine {
public:
    CAudioEngine();
    virtual ~CAudioEngine();
    CAudioEngine(const CAudioEngine&) = delete;
    CAudioEngine& operator=(const CAudioEngine&) = delete;

    // --- Parameters (any thread; setters and record copies under the engine lock) ---
    ParamValues GetParams();
    void SetParams(const ParamValues& values);
    int32_t GetParam(int index) const { return params_.Get(index); }
    // Clamps, stores, flags the change, writes the value to the automation and, with notify,
    // reports it as a user-interface capture. Never fails.
    void SetParam(int index, int32_t value, bool notify);

    // --- Streaming thread ---
    // Pulls automation values into the parameters and copies them out; true when a value
    // changed since the last call.
    bool UpdateState(ParamValues* out);
    // The values as automation has moved them, for saving (host thread). Unlike UpdateState
    // it leaves a pending change for the streaming thread to pick up.
    ParamValues CurrentStateForSave();
    // Any thread: pulls the automation values in and has the streaming thread recompute the
    // coefficients at its next block, so a block never sees half of an update.
    tw::Result UpdateCoefficients();
    // Stream start: remembers the formats, resets meters and filter state, computes coefficients.
    tw::Result ResetProcessor(const WaveFormat* input, const WaveFormat* output);
    // Stream stop: the phase meter and held peaks drop to zero.
    void StopMeters();
    // Processes min(*inFrames, *outFrames) frames into interleaved stereo; both counts are set
    // to that number. The input channel count comes from the input format.
    tw::Result ProcessFloat(const float* in, int* inFrames, float* out, int* outFrames);
    tw::Result ProcessDouble(const double* in, int* inFrames, double* out, int* outFrames);
    // 16-bit PCM through the float path: converts n input frames into inScratch (input
    // channels x n floats), processes into outScratch (2 x n floats) and converts back.
    tw::Result ProcessPcm16(const int16_t* in, int frames, int16_t* out, float* inScratch,
                            float* outScratch);

    // --- Formats (set by the filter's media-type handling) ---
    void SetInputFormat(const WaveFormat* format) { inputFormat_ = format; }
    void SetOutputFormat(const WaveFormat* format) { outputFormat_ = format; }
    const WaveFormat* InputFormat() const { return inputFormat_; }
    const WaveFormat* OutputFormat() const { return outputFormat_; }

    // --- Editor notification slots (under the engine lock) ---
    // Adds the window with a non-zero id or removes it with id 0; kErrOutOfMemory when adding
    // and both slots are taken.
    tw::Result SetNotifyWindow(void* window, int id);
    void NotifyWindows(int code);

    // --- Meters (editor thread reads, streaming thread writes; no lock) ---
    int32_t GetPhaseMeter() const { return meters_.PhaseDegrees(); }
    void SetPhaseMeter(float value) { meters_.phaseAccumulator.store(value, kRelaxed); }
    // which = 0: the live counter; 1: the editor's shown copy.
    int32_t GetClip(int channel, int which) const;
    void SetClip(int channel, int which, int32_t value);
    // The held peak of an output channel; marks it read.
    float GetPeak(int channel);

    // --- Capture, setups, undo, editor state ---
    // Under the engine lock, like the setters it may race with.
    void EndCapture();
    void SetCaptureHold(int hold) { captureHold_.store(hold, kRelaxed); }
    int32_t GetPresetId() const { return presetId_.load(kRelaxed); }
    void SetPresetId(int32_t id) { presetId_.store(id, kRelaxed); }
    int32_t GetBypass() const { return bypass_.load(kRelaxed); }
    void SetBypass(int32_t bypass) { bypass_.store(bypass, kRelaxed); }
    int32_t GetSetup() const { return activeSetup_.load(kRelaxed); }
    void SelectSetup(int index);
    void CopySetup(int from, int to);
    void MarkUndo(int controlId);
    void Undo();
    // 0 when parameters changed since the editor last refreshed, 1 otherwise.
    int ParamsChangedForEditor();
    void SetEditorRefresh(int value) { editorRefresh_.store(value, kRelaxed); }

    // --- Dirty flag (persistence) ---
    bool IsDirty() const { return dirty_.load(kRelaxed) != 0; }
    void ClearDirty() { dirty_.store(0, kRelaxed); }

    // The automation object, or null while there is none. Not owned through this pointer.
    void SetAutomation(IEngineAutomation* automation) { automation_ = automation; }
    IEngineAutomation* Automation() const { return automation_; }

protected:
    // Whether a registered editor window still exists, and posting a command to it; the
    // shell supplies the window system. Called under the engine lock.
    virtual bool WindowExists(void* window) = 0;
    virtual void PostCommand(void* window, int id, int code) = 0;

    CCritSec lock_;

private:
    static constexpr std::memory_order kRelaxed = std::memory_order_relaxed;

    struct NotifySlot {
        void* window;
        int32_t id;
    };

    // The current values: written under the engine lock, read by the getters without it.
    struct SharedParams {
        std::atomic<int32_t> value[kParamCount] = {};
        int32_t Get(int index) const { return value[index].load(kRelaxed); }
        void Set(int index, int32_t v) { value[index].store(v, kRelaxed); }
        ParamValues Load() const {
            ParamValues values;
            for (int i = 0; i < kParamCount; ++i) values[i] = Get(i);
            return values;
        }
    };

    void ReportCapture(uint32_t index, float normalized);
    // Streaming thread, or stream start: the coefficients of a parameter record.
    void ApplyCoefficients(const ParamValues& params);
    template <typename Sample, bool kSingle>
    tw::Result ProcessBlock(const Sample* in, int* inFrames, Sample* out, int* outFrames);

    // Words shared between threads are relaxed atomics; the records are guarded by lock_.
    SharedParams params_;
    ParamValues inactiveSetup_;  // lock_
    ParamValues undo_;           // lock_
    int32_t lastUndoId_ = -1;    // lock_
    std::atomic<int32_t> activeSetup_{0};
    std::atomic<int32_t> changed_{1};
    std::atomic<int32_t> dirty_{0};
    NotifySlot slots_[2] = {{nullptr, 0}, {nullptr, 0}};  // lock_
    // Set by the filter's media-type handling and at stream start, never during a block.
    const WaveFormat* inputFormat_ = nullptr;
    const WaveFormat* outputFormat_ = nullptr;
    std::atomic<int32_t> presetId_{-1};
    std::atomic<int32_t> bypass_{0};
    std::atomic<int32_t> editorRefresh_{0};
    // Cleared by UpdateCoefficients on any thread; the coefficients themselves are written only
    // by the streaming thread (and at stream start), so a block reads a consistent set.
    std::atomic<int32_t> coefficientsValid_{0};
    Coefficients coefficients_;
    MeterState meters_;
    CPhaseProcessor processor_;
    IEngineAutomation* automation_ = nullptr;
    int32_t capturedIndex_ = -1;  // lock_
    std::atomic<int32_t> captureHold_{0};
};
