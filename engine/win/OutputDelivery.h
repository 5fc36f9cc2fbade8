// IOutputDelivery: where the receive operation gets empty output samples and sends full ones.
// The filter implements it with its output pin.
#pragma once
#include <windows.h>
#include <strmif.h>

class IOutputDelivery {
public:
    // An empty sample of the granted allocator size, with a reference for the caller (null on
    // failure); start/stop may be null (no time stamps).
    virtual HRESULT GetDeliveryBuffer(IMediaSample** sample, REFERENCE_TIME* start,
                                      REFERENCE_TIME* stop, DWORD flags) = 0;
    // Sends a filled sample downstream; a failure ends the current input sample.
    virtual HRESULT Deliver(IMediaSample* sample) = 0;

protected:
    ~IOutputDelivery() = default;
};
