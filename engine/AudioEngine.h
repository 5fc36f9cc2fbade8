// CAudioEngine: the plug-in's portable engine, a parameter model (CParamModel) and the block
// processor that runs on it (CBlockProcessor), behind one surface. The Windows shell
// (CAudioTransform) adds the COM interface and supplies the automation object and the window
// system; tests and benchmarks use the engine as it is.
#pragma once
#include <cstdint>

#include "base/Result.h"
#include "engine/BlockProcessor.h"
#include "engine/EditorWindows.h"
#include "engine/EngineAutomation.h"
#include "engine/Meters.h"
#include "engine/ParamModel.h"
#include "engine/ParamValues.h"
#include "engine/WaveFormat.h"

class CAudioEngine {
public:
    CAudioEngine();
    virtual ~CAudioEngine();
    CAudioEngine(const CAudioEngine&) = delete;
    CAudioEngine& operator=(const CAudioEngine&) = delete;

    // --- Parameters (CParamModel) ---
    ParamValues GetParams() { return m_params.GetParams(); }
    void SetParams(const ParamValues& values) { m_params.SetParams(values); }
    int32_t GetParam(int index) const { return m_params.GetParam(index); }
    void SetParam(int index, int32_t value, bool notify) {
        m_params.SetParam(index, value, notify);
    }
    bool UpdateState(ParamValues* out) { return m_params.UpdateState(out); }
    ParamValues CurrentStateForSave() { return m_params.CurrentStateForSave(); }

    tw::Result SetNotifyWindow(void* window, int id) {
        return m_params.SetNotifyWindow(window, id);
    }
    void NotifyWindows(int code) { m_params.NotifyWindows(code); }

    void EndCapture() { m_params.EndCapture(); }
    void SetCaptureHold(int hold) { m_params.SetCaptureHold(hold); }
    int32_t GetPresetId() const { return m_params.GetPresetId(); }
    void SetPresetId(int32_t id) { m_params.SetPresetId(id); }
    int32_t GetSetup() const { return m_params.GetSetup(); }
    void SelectSetup(int index) { m_params.SelectSetup(index); }
    void CopySetup(int from, int to) { m_params.CopySetup(from, to); }
    void MarkUndo(int controlId) { m_params.MarkUndo(controlId); }
    void Undo() { m_params.Undo(); }
    int ParamsChangedForEditor() { return m_params.ParamsChangedForEditor(); }
    void SetEditorRefresh(int value) { m_params.SetEditorRefresh(value); }

    bool IsDirty() const { return m_params.IsDirty(); }
    void ClearDirty() { m_params.ClearDirty(); }

    void SetAutomation(IEngineAutomation* automation) { m_params.SetAutomation(automation); }
    IEngineAutomation* Automation() const { return m_params.Automation(); }
    void SetEditorWindows(IEditorWindows* windows) { m_params.SetEditorWindows(windows); }

    // --- Block processing (CBlockProcessor) ---
    tw::Result UpdateCoefficients() { return m_processor.UpdateCoefficients(); }
    tw::Result ResetProcessor(const WaveFormat* input, const WaveFormat* output) {
        return m_processor.StartStream(input, output);
    }
    void StopMeters() { m_processor.StopMeters(); }
    tw::Result ProcessFloat(const float* in, int* inFrames, float* out, int* outFrames) {
        return m_processor.ProcessFloat(in, inFrames, out, outFrames);
    }
    tw::Result ProcessDouble(const double* in, int* inFrames, double* out, int* outFrames) {
        return m_processor.ProcessDouble(in, inFrames, out, outFrames);
    }
    tw::Result ProcessPcm16(const int16_t* in, int frames, int16_t* out, float* inScratch,
                            float* outScratch) {
        return m_processor.ProcessPcm16(in, frames, out, inScratch, outScratch);
    }

    void SetInputFormat(const WaveFormat* format) { m_processor.SetInputFormat(format); }
    void SetOutputFormat(const WaveFormat* format) { m_processor.SetOutputFormat(format); }
    const WaveFormat* InputFormat() const { return m_processor.InputFormat(); }
    const WaveFormat* OutputFormat() const { return m_processor.OutputFormat(); }

    int32_t GetBypass() const { return m_processor.GetBypass(); }
    void SetBypass(int32_t bypass) { m_processor.SetBypass(bypass); }

    int32_t GetPhaseMeter() const { return m_processor.GetPhaseMeter(); }
    void SetPhaseMeter(float value) { m_processor.SetPhaseMeter(value); }
    int32_t GetClip(Channel channel, ClipCounter counter) const {
        return m_processor.GetClip(channel, counter);
    }
    void SetClip(Channel channel, ClipCounter counter, int32_t value) {
        m_processor.SetClip(channel, counter, value);
    }
    float GetPeak(Channel channel) { return m_processor.GetPeak(channel); }
    double GetPhaseAccumulator() const { return m_processor.GetPhaseAccumulator(); }

    bool SelectSignalPath(SignalPath path) { return m_processor.SelectSignalPath(path); }
    SignalPath GetSignalPath() const { return m_processor.GetSignalPath(); }

private:
    CParamModel m_params;
    CBlockProcessor m_processor{m_params};  // declared after the model it reads
};
