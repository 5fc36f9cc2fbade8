// ShowEditorFrame: checks every page the plug-in names before opening the frame, because
// Wine's frame leaves out a page it cannot create and shows the rest, or an empty frame.
#include "host/render/win/EditorFrame.h"

#include <cwchar>

#include <ocidl.h>
#include <olectl.h>
#include <strmif.h>

#include "base/win/ComPtr.h"
#include "host/render/win/HResultText.h"

namespace {

// The frame's caption; the system adds its own word for "properties".
constexpr const wchar_t* kCaption = L"tw:Phase";

std::string GuidText(REFGUID guid) {
    wchar_t wide[40] = {};
    StringFromGUID2(guid, wide, 40);
    return std::string(wide, wide + std::wcslen(wide));
}

bool Fail(std::string* error, const std::string& message) {
    *error = message;
    return false;
}

bool FailHr(std::string* error, const std::string& what, HRESULT hr) {
    return Fail(error, what + ": " + HResultText(hr));
}

// A page whose class is registered and which creates: the frame can show it.
bool CheckPage(REFCLSID page, std::string* error) {
    ComPtr<IPropertyPage> instance;
    const HRESULT hr = CoCreateInstance(page, nullptr, CLSCTX_INPROC_SERVER, IID_IPropertyPage,
                                        instance.PutVoid());
    if (hr == REGDB_E_CLASSNOTREG)
        return Fail(error, "the plug-in's editor page " + GuidText(page) +
                               " is not registered (this twPhaseDX.dll has no editor, or needs "
                               "regsvr32 again)");
    if (FAILED(hr))
        return FailHr(error, "cannot create the plug-in's editor page " + GuidText(page), hr);
    return true;
}

}  // namespace

bool ShowEditorFrame(IUnknown* filter, HWND owner, std::string* error) {
    ComPtr<IUnknown> object;
    HRESULT hr = filter->QueryInterface(IID_IUnknown, object.PutVoid());
    ComPtr<ISpecifyPropertyPages> specify;
    if (SUCCEEDED(hr)) hr = object.As(IID_ISpecifyPropertyPages, &specify);
    if (FAILED(hr))
        return FailHr(error, "the plug-in offers no editor (ISpecifyPropertyPages)", hr);

    CAUUID pages = {};
    hr = specify->GetPages(&pages);
    if (FAILED(hr)) return FailHr(error, "the plug-in did not name its editor pages", hr);
    struct PagesOwner {
        CAUUID& pages;
        ~PagesOwner() { CoTaskMemFree(pages.pElems); }
    } pagesOwner{pages};
    if (pages.cElems == 0 || !pages.pElems) return Fail(error, "the plug-in names no editor page");
    for (ULONG i = 0; i < pages.cElems; ++i)
        if (!CheckPage(pages.pElems[i], error)) return false;

    IUnknown* objects[] = {object.Get()};
    hr = OleCreatePropertyFrame(owner, 0, 0, kCaption, 1, objects, pages.cElems, pages.pElems,
                                GetUserDefaultLCID(), 0, nullptr);
    if (FAILED(hr)) return FailHr(error, "the editor's property frame could not be shown", hr);
    return true;
}
