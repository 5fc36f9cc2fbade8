// The parameter model: setters and their reports to the automation, setups, undo and the
// editor's notification slots.
#include "engine/ParamModel.h"

#include "engine/ParamMapping.h"

// The inactive setup and the undo snapshot start as the factory defaults, so switching or undoing
// before the editor has filled them gives a sensible sound rather than an all-zero record.
CParamModel::CParamModel() : m_inactiveSetup(kDefaultParams), m_undo(kDefaultParams) {}

ParamValues CParamModel::GetParams() {
    CAutoLock lock(&m_lock);
    return m_params.Load();
}

void CParamModel::SetParam(int index, int32_t value, bool notify) {
    const int32_t clamped = ClampParam(index, value);
    CAutoLock lock(&m_lock);
    if (m_params.Get(index) != clamped) {
        m_params.Set(index, clamped);
        FlagChange();
    }
    if (m_automation) {
        const float normalized = NormalizedFromInternal(index, clamped);
        m_automation->SetParamValue(static_cast<uint32_t>(index), normalized);
        if (notify) ReportCapture(static_cast<uint32_t>(index), normalized);
    }
}

// Keeps the host's capture on the parameter the user is editing: a new parameter ends the
// previous capture and begins its own; every value goes to the host as a captured edit.
void CParamModel::ReportCapture(uint32_t index, float normalized) {
    const int32_t requested = static_cast<int32_t>(index);
    if (requested != m_capturedIndex) {
        if (m_capturedIndex != kNoCapture) {
            const uint32_t previous = static_cast<uint32_t>(m_capturedIndex);
            m_automation->CaptureEnd(&previous, 1);
        }
        m_capturedIndex = requested;
        if (m_capturedIndex != kNoCapture) m_automation->CaptureBegin(&index, 1);
    }
    if (m_capturedIndex != kNoCapture) m_automation->CaptureValues(&index, 1, &normalized);
}

// Under the lock, like the setters it may race with.
void CParamModel::EndCapture() {
    CAutoLock lock(&m_lock);
    if (m_captureHold.load(kRelaxed)) return;
    if (m_capturedIndex != kNoCapture && m_automation) {
        const uint32_t previous = static_cast<uint32_t>(m_capturedIndex);
        m_automation->CaptureEnd(&previous, 1);
    }
    m_capturedIndex = kNoCapture;
}

void CParamModel::SetParams(const ParamValues& values) {
    CAutoLock lock(&m_lock);
    for (int i = 0; i < kParamCount; ++i) SetParam(i, values[i], true);
    FlagChange();
    EndCapture();
}

// The automation values are pulled in under the same lock as the copy-out, so a setter on
// another thread cannot interleave with them: one lock per block either way.
bool CParamModel::UpdateState(ParamValues* out) {
    CAutoLock lock(&m_lock);
    if (m_automation) {
        for (int i = 0; i < kParamCount; ++i) {
            int32_t value;
            const float effective = m_automation->EffectiveValue(static_cast<uint32_t>(i));
            if (InternalFromNormalized(i, effective, &value) && value != m_params.Get(i)) {
                m_params.Set(i, value);
                m_changed.store(1, kRelaxed);
            }
        }
    }
    *out = m_params.Load();
    const bool wasChanged = m_changed.exchange(0, kRelaxed) != 0;
    if (wasChanged) m_editorRefresh.store(1, kRelaxed);
    return wasChanged;
}

ParamValues CParamModel::CurrentStateForSave() {
    ParamValues values;
    if (UpdateState(&values)) m_changed.store(1, kRelaxed);
    return values;
}

bool CParamModel::TestAndClearAutomationChanged() {
    return m_automation && m_automation->TestAndClearChanged() == tw::kOk;
}

tw::Result CParamModel::SetNotifyWindow(void* window, int id) {
    CAutoLock lock(&m_lock);
    int slot = -1;
    for (int i = 0; i < 2; ++i)
        if (m_slots[i].window == window && window != nullptr) slot = i;
    if (slot < 0) {
        // A free slot, the second before the first.
        if (m_slots[1].window == nullptr) {
            slot = 1;
        } else if (m_slots[0].window == nullptr) {
            slot = 0;
        } else {
            return id != 0 ? tw::kErrOutOfMemory : tw::kOk;
        }
    }
    m_slots[slot].id = id;
    m_slots[slot].window = id != 0 ? window : nullptr;
    return tw::kOk;
}

void CParamModel::NotifyWindows(int code) {
    CAutoLock lock(&m_lock);
    if (!m_windows) return;
    for (NotifySlot& slot : m_slots) {
        if (slot.window == nullptr) continue;
        if (m_windows->WindowExists(slot.window)) {
            m_windows->PostCommand(slot.window, slot.id, code);
        } else {
            slot.window = nullptr;
            slot.id = 0;
        }
    }
}

void CParamModel::SelectSetup(int index) {
    if (index != 0 && index != 1) return;
    CAutoLock lock(&m_lock);
    if (index == m_activeSetup.load(kRelaxed)) return;
    const ParamValues previous = m_params.Load();
    m_activeSetup.store(index, kRelaxed);
    SetParams(m_inactiveSetup);
    m_inactiveSetup = previous;
}

void CParamModel::CopySetup(int from, int to) {
    CAutoLock lock(&m_lock);
    if (from == 0 && to == 1) {
        m_inactiveSetup = m_params.Load();
    } else if (from == 1 && to == 0) {
        SetParams(m_inactiveSetup);
    }
}

void CParamModel::MarkUndo(int controlId) {
    CAutoLock lock(&m_lock);
    const bool newControl = controlId >= 0 && controlId != m_lastUndoId;
    if (newControl || m_capturedIndex == kNoCapture || controlId == kUndoForcedSnapshot)
        m_undo = m_params.Load();
    m_lastUndoId = controlId;
}

void CParamModel::Undo() {
    CAutoLock lock(&m_lock);
    const ParamValues previous = m_params.Load();
    const ParamValues restored = m_undo;
    m_undo = previous;
    SetParams(restored);
    FlagChange();
}

int CParamModel::ParamsChangedForEditor() {
    if (TestAndClearAutomationChanged()) m_editorRefresh.store(1, kRelaxed);
    return m_editorRefresh.load(kRelaxed) ? 0 : 1;
}
