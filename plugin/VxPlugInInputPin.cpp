// CVxPlugInInputPin: type checks that look at what the connected output can carry.
#include "plugin/VxPlugInInputPin.h"

#include "framework/MediaType.h"
#include "framework/TransformOutputPin.h"
#include "plugin/VxPlugIn.h"

CVxPlugInInputPin::CVxPlugInInputPin(CVxPlugIn* filter, HRESULT* hr)
    : CTransformInputPin(nullptr, filter, hr, L"Input"), m_plugIn(filter) {}

CVxPlugInInputPin::~CVxPlugInInputPin() = default;

HRESULT CVxPlugInInputPin::CheckMediaType(const AM_MEDIA_TYPE* type) {
    HRESULT hr = m_plugIn->CheckInputType(type);
    if (FAILED(hr)) return hr;
    CTransformOutputPin* output = m_plugIn->OutputPin();
    if (!output || !output->GetConnected()) return S_OK;
    if (m_plugIn->CheckTransform(type, &output->CurrentMediaType()) == S_OK) return S_OK;

    // The output would have to change: acceptable when downstream takes the stereo version.
    AM_MEDIA_TYPE stereo = {};
    hr = CVxPlugIn::MakeStereoVariant(type, &stereo);
    if (FAILED(hr)) return hr;
    hr = output->GetConnected()->QueryAccept(&stereo);
    FreeMediaType(stereo);
    return hr;
}
