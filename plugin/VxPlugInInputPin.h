// CVxPlugInInputPin: the filter's input pin. It accepts a new input type that the current
// output connection cannot carry when the downstream pin would take its stereo version; the
// filter then reconnects the output.
#pragma once
#include "framework/TransformInputPin.h"

class CVxPlugIn;

class CVxPlugInInputPin : public CTransformInputPin {
public:
    CVxPlugInInputPin(CVxPlugIn* filter, HRESULT* hr);
    ~CVxPlugInInputPin() override;

    HRESULT CheckMediaType(const AM_MEDIA_TYPE* type) override;

private:
    CVxPlugIn* const m_plugIn;
};
