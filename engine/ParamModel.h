// CParamModel: the six parameters as the user, the host's automation and the editor see them.
// It holds the clamped values with their changed and dirty flags, reports every set value to
// the automation object (and, for the user's edits, as a capture), keeps the A/B setups and the
// undo snapshot, and the editor's notification slots and refresh flag.
//
// Any thread. The setters, the record copies and the slots run under one re-entrant lock (a
// setter may call another setter, SetParams calls SetParam and EndCapture); the single words
// are relaxed atomics that the getters read without it.
#pragma once
#include <atomic>
#include <cstdint>

#include "base/CritSec.h"
#include "base/Result.h"
#include "engine/EditorWindows.h"
#include "engine/EngineAutomation.h"
#include "engine/ParamValues.h"

// The control id for MarkUndo that takes a snapshot whether or not a capture is running.
constexpr int kUndoForcedSnapshot = -2;

class CParamModel {
public:
    CParamModel();
    CParamModel(const CParamModel&) = delete;
    CParamModel& operator=(const CParamModel&) = delete;

    // --- Values ---
    ParamValues GetParams();
    // Sets every value as a user edit, then ends the capture; flags a change even when no
    // value differs.
    void SetParams(const ParamValues& values);
    int32_t GetParam(int index) const { return m_params.Get(index); }
    // Clamps, stores, flags the change, writes the value to the automation and, with notify,
    // reports it as a user-interface capture. Never fails.
    void SetParam(int index, int32_t value, bool notify);

    // --- The streaming side ---
    // Pulls automation values into the parameters and copies them out; true when a value
    // changed since the last call.
    bool UpdateState(ParamValues* out);
    // The values as automation has moved them, for saving (host thread). Unlike UpdateState
    // it leaves a pending change for the streaming thread to pick up.
    ParamValues CurrentStateForSave();
    // True once after the automation values changed (the flag ParamsChangedForEditor also
    // consumes); false without an automation object.
    bool TestAndClearAutomationChanged();

    // --- Editor notification slots ---
    // Adds the window with a non-zero id or removes it with id 0; kErrOutOfMemory when adding
    // and both slots are taken.
    tw::Result SetNotifyWindow(void* window, int id);
    // Posts the code to every registered window that still exists and frees the slots of
    // those that do not. Without a window system nothing happens.
    void NotifyWindows(int code);

    // --- Capture, setups, undo, editor state ---
    // Ends the running capture unless the editor holds it.
    void EndCapture();
    void SetCaptureHold(int hold) { m_captureHold.store(hold, kRelaxed); }
    int32_t GetPresetId() const { return m_presetId.load(kRelaxed); }
    void SetPresetId(int32_t id) { m_presetId.store(id, kRelaxed); }
    // The active setup, 0 (A) or 1 (B).
    int32_t GetSetup() const { return m_activeSetup.load(kRelaxed); }
    // Makes setup 0 or 1 active, swapping the values with the inactive record.
    void SelectSetup(int index);
    // (0, 1): the current values become the inactive record; (1, 0): the inactive record is
    // applied; anything else does nothing.
    void CopySetup(int from, int to);
    // Snapshots the values for Undo when the user starts on a control (controlId >= 0 not the
    // last one), when no capture runs, or with kUndoForcedSnapshot.
    void MarkUndo(int controlId);
    // Swaps the values with the snapshot, so a second Undo redoes.
    void Undo();
    // 0 when parameters changed since the editor last refreshed, 1 otherwise.
    int ParamsChangedForEditor();
    void SetEditorRefresh(int value) { m_editorRefresh.store(value, kRelaxed); }

    // --- Dirty flag (persistence) ---
    bool IsDirty() const { return m_dirty.load(kRelaxed) != 0; }
    void ClearDirty() { m_dirty.store(0, kRelaxed); }

    // --- Collaborators: set before the model is shared between threads, not owned ---
    // The automation object, or null while there is none.
    void SetAutomation(IEngineAutomation* automation) { m_automation = automation; }
    IEngineAutomation* Automation() const { return m_automation; }
    // The window system the notifications go through, or null.
    void SetEditorWindows(IEditorWindows* windows) { m_windows = windows; }

private:
    static constexpr std::memory_order kRelaxed = std::memory_order_relaxed;
    static constexpr int32_t kNoCapture = -1;

    struct NotifySlot {
        void* window;
        int32_t id;
    };

    // The current values: written under the lock, read by the getters without it.
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
    void FlagChange() {
        m_changed.store(1, kRelaxed);
        m_dirty.store(1, kRelaxed);
    }

    CCritSec m_lock;
    // Words shared between threads are relaxed atomics; the rest is guarded by m_lock.
    SharedParams m_params;
    ParamValues m_inactiveSetup;                           // m_lock
    ParamValues m_undo;                                    // m_lock
    int32_t m_lastUndoId = -1;                             // m_lock
    int32_t m_capturedIndex = kNoCapture;                  // m_lock
    NotifySlot m_slots[2] = {{nullptr, 0}, {nullptr, 0}};  // m_lock
    std::atomic<int32_t> m_activeSetup{0};
    std::atomic<int32_t> m_changed{1};
    std::atomic<int32_t> m_dirty{0};
    std::atomic<int32_t> m_presetId{-1};
    std::atomic<int32_t> m_editorRefresh{0};
    std::atomic<int32_t> m_captureHold{0};
    IEngineAutomation* m_automation = nullptr;
    IEditorWindows* m_windows = nullptr;
};
