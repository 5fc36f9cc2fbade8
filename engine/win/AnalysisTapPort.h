// CAnalysisTapPort: IPhaseAnalysisTap for the object that owns the engine. It owns the analysis
// tap, made on the first connect and kept until the owner goes, and sets or clears it on the
// block processor; the pages' calls serialise on a lock of their own that the stream never takes.
#pragma once
#include <windows.h>

#include <memory>

#include "analysis/PhaseTap.h"
#include "base/CritSec.h"
#include "engine/BlockProcessor.h"
#include "engine/win/PhaseAnalysisTap.h"

class CAnalysisTapPort : public IPhaseAnalysisTap {
public:
    // owner: the unknown every IUnknown call goes to; the processor must outlive the port.
    CAnalysisTapPort(IUnknown* owner, CBlockProcessor& processor)
        : m_owner(owner), m_processor(processor) {}
    // The owner's stream has stopped by now: the tap is cleared and freed.
    virtual ~CAnalysisTapPort();
    CAnalysisTapPort(const CAnalysisTapPort&) = delete;
    CAnalysisTapPort& operator=(const CAnalysisTapPort&) = delete;

    // IUnknown: delegated to the owner.
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // IPhaseAnalysisTap (pages' threads).
    STDMETHODIMP Connect(int windowSeconds) override;
    STDMETHODIMP Disconnect() override;
    STDMETHODIMP SetWindow(int windowSeconds) override;
    STDMETHODIMP Reset() override;
    STDMETHODIMP GetSnapshot(TapSnapshot* snapshot) override;

private:
    IUnknown* m_owner;
    CBlockProcessor& m_processor;
    CCritSec m_lock;
    std::unique_ptr<CPhaseTap> m_tap;
    int m_connections = 0;
};
