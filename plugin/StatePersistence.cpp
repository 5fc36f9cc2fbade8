// CVxPlugIn's persistence and built-in presets. The stream record is 44 bytes: its length,
// the IVxPlugInProp identifier as a tag, then the six parameter values (little-endian). The
// older 40-byte record lacks Filter, which then loads as off (engine/StateRecord.h decodes it).
#include <cstring>

#include "engine/StateRecord.h"
#include "plugin/FactoryPresets.h"
#include "plugin/VxPlugIn.h"

namespace {

constexpr INT32 kRecordBytes = kStateRecordBytes;
constexpr ULONG kHeaderBytes = kStateHeaderBytes;

// Reads exactly `bytes`; a short read is a truncated record (E_FAIL), errors pass through.
HRESULT ReadExactly(IStream* stream, void* buffer, ULONG bytes) {
    ULONG read = 0;
    const HRESULT hr = stream->Read(buffer, bytes, &read);
    if (FAILED(hr)) return hr;
    return read == bytes ? S_OK : E_FAIL;
}

HRESULT WriteAll(IStream* stream, const void* buffer, ULONG bytes) {
    ULONG written = 0;
    const HRESULT hr = stream->Write(buffer, bytes, &written);
    if (FAILED(hr)) return hr;
    return written == bytes ? S_OK : STG_E_MEDIUMFULL;
}

}  // namespace

STDMETHODIMP CVxPlugIn::IsDirty() { return Params().IsDirty() ? S_OK : S_FALSE; }

STDMETHODIMP CVxPlugIn::Load(IStream* stream) {
    if (!stream) return E_POINTER;
    BYTE header[kHeaderBytes];
    HRESULT hr = ReadExactly(stream, header, kHeaderBytes);
    if (FAILED(hr)) return hr;
    const uint32_t length =
        StateRecordLength(header, reinterpret_cast<const uint8_t*>(&IID_IVxPlugInProp));
    if (length == 0) return E_FAIL;

    BYTE body[kStateRecordBytes - kStateHeaderBytes];
    hr = ReadExactly(stream, body, length - kHeaderBytes);
    if (FAILED(hr)) return hr;
    Params().SetParams(StateRecordValues(body, length));
    Params().NotifyWindows(kNotifyStateLoaded);
    return S_OK;
}

STDMETHODIMP CVxPlugIn::Save(IStream* stream, BOOL clearDirty) {
    if (!stream) return E_POINTER;
    BYTE header[kHeaderBytes];
    std::memcpy(header, &kRecordBytes, sizeof kRecordBytes);
    std::memcpy(header + sizeof kRecordBytes, &IID_IVxPlugInProp, sizeof(GUID));
    HRESULT hr = WriteAll(stream, header, kHeaderBytes);
    if (FAILED(hr)) return hr;
    const ParamValues values = Params().CurrentStateForSave();
    hr = WriteAll(stream, &values, sizeof values);
    if (FAILED(hr)) return hr;
    if (clearDirty) Params().ClearDirty();
    return S_OK;
}

STDMETHODIMP CVxPlugIn::GetSizeMax(ULARGE_INTEGER* size) {
    if (!size) return E_POINTER;
    size->QuadPart = kRecordBytes;
    return S_OK;
}

STDMETHODIMP CVxPlugIn::GetPresetCount(INT32* count) {
    if (!count) return E_POINTER;
    *count = kFactoryPresetCount;
    return S_OK;
}

STDMETHODIMP CVxPlugIn::GetPresetName(INT32 index, WCHAR* name, INT32 length) {
    if (static_cast<UINT32>(index) >= static_cast<UINT32>(kFactoryPresetCount))
        return E_INVALIDARG;
    if (!name) return E_POINTER;
    if (length <= 0) return S_OK;
    // A buffer too short gets as much of the name as fits, still terminated.
    if (!MultiByteToWideChar(CP_ACP, 0, kFactoryPresets[index].name, -1, name, length))
        name[length - 1] = L'\0';
    return S_OK;
}

STDMETHODIMP CVxPlugIn::ApplyPreset(INT32 index) {
    if (static_cast<UINT32>(index) >= static_cast<UINT32>(kFactoryPresetCount))
        return E_INVALIDARG;
    Params().SetParams(kFactoryPresets[index].values);
    return S_OK;
}
