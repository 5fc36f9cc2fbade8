// CreatePinOnce: a filter's pins made on first use. The pin's constructor reports failure
// through an HRESULT slot; a pin that reports one is deleted again and the slot stays empty,
// so the next request tries anew.
#pragma once

#include <windows.h>

// make(HRESULT* hr) returns a new pin (or null when out of memory) and writes any failure
// into *hr, which holds S_OK on entry. Does nothing when slot already holds a pin.
template <class Pin, class Make>
Pin* CreatePinOnce(Pin*& slot, Make make) {
    if (slot) return slot;
    HRESULT hr = S_OK;
    Pin* pin = make(&hr);
    if (pin && FAILED(hr)) {
        delete pin;
        pin = nullptr;
    }
    slot = pin;
    return pin;
}
