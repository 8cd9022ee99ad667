#include "framework/Accessible.h"

#include "framework/OnDemand.h"
#include "framework/Wnd.h"

#include <commctrl.h>
#include <oleacc.h>

namespace {

// oleacc and oleaut32 are loaded only when a screen reader asks.
BSTR ToBstr(const std::string& text) {
    static const auto allocString =
        OnDemand<decltype(&SysAllocStringLen)>("oleaut32.dll", "SysAllocStringLen");
    const int length = MultiByteToWideChar(CP_ACP, 0, text.data(), int(text.size()), nullptr, 0);
    BSTR bstr = allocString ? allocString(nullptr, length) : nullptr;
    if (bstr)
        MultiByteToWideChar(CP_ACP, 0, text.data(), int(text.size()), bstr, length);
    return bstr;
}

// Text of our own where some is given, the system's object for the rest.
HRESULT OwnText(const std::string& text, VARIANT child, BSTR* out) {
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (child.vt != VT_I4 || child.lVal != CHILDID_SELF)
        return E_INVALIDARG;
    *out = ToBstr(text);
    return *out ? S_OK : E_OUTOFMEMORY;
}

class TextedAccessible final : public IAccessible {
public:
    TextedAccessible(IAccessible* inner, const AccessibleText& text)
        : m_inner(inner), m_text(text) {}

    // IUnknown: the window and the list of children are the system
    // object's. Nothing else is passed on: COM's own questions (IMarshal and
    // the like) are about this object, not the one it wraps.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv)
            return E_POINTER;
        *ppv = nullptr;
        if (riid == __uuidof(IUnknown) || riid == __uuidof(IDispatch) ||
            riid == __uuidof(IAccessible)) {
            *ppv = static_cast<IAccessible*>(this);
            AddRef();
            return S_OK;
        }
        if (riid == __uuidof(IOleWindow) || riid == __uuidof(IEnumVARIANT))
            return m_inner->QueryInterface(riid, ppv);
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&m_refs); }
    ULONG STDMETHODCALLTYPE Release() override {
        const LONG refs = InterlockedDecrement(&m_refs);
        if (refs == 0) {
            m_inner->Release();
            delete this;
        }
        return refs;
    }

    // IDispatch
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* n) override {
        return m_inner->GetTypeInfoCount(n);
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT i, LCID lcid, ITypeInfo** info) override {
        return m_inner->GetTypeInfo(i, lcid, info);
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT n, LCID lcid,
                                            DISPID* ids) override {
        return m_inner->GetIDsOfNames(riid, names, n, lcid, ids);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags,
                                     DISPPARAMS* params, VARIANT* result, EXCEPINFO* info,
                                     UINT* arg) override {
        return m_inner->Invoke(id, riid, lcid, flags, params, result, info, arg);
    }

    // IAccessible: the name and description of the control itself are ours.
    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override {
        return m_text.name.empty() ? m_inner->get_accName(child, name)
                                   : OwnText(m_text.name, child, name);
    }
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* text) override {
        return m_text.description.empty() ? m_inner->get_accDescription(child, text)
                                          : OwnText(m_text.description, child, text);
    }
    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override {
        return m_inner->get_accParent(parent);
    }
    HRESULT STDMETHODCALLTYPE get_accChildCount(long* count) override {
        return m_inner->get_accChildCount(count);
    }
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** out) override {
        return m_inner->get_accChild(child, out);
    }
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override {
        return m_inner->get_accValue(child, value);
    }
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override {
        return m_inner->get_accRole(child, role);
    }
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override {
        return m_inner->get_accState(child, state);
    }
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* help) override {
        return m_inner->get_accHelp(child, help);
    }
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, long* topic) override {
        return m_inner->get_accHelpTopic(file, child, topic);
    }
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* keys) override {
        return m_inner->get_accKeyboardShortcut(child, keys);
    }
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* child) override {
        return m_inner->get_accFocus(child);
    }
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* children) override {
        return m_inner->get_accSelection(children);
    }
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override {
        return m_inner->get_accDefaultAction(child, action);
    }
    HRESULT STDMETHODCALLTYPE accSelect(long flags, VARIANT child) override {
        return m_inner->accSelect(flags, child);
    }
    HRESULT STDMETHODCALLTYPE accLocation(long* x, long* y, long* cx, long* cy,
                                          VARIANT child) override {
        return m_inner->accLocation(x, y, cx, cy, child);
    }
    HRESULT STDMETHODCALLTYPE accNavigate(long dir, VARIANT start, VARIANT* end) override {
        return m_inner->accNavigate(dir, start, end);
    }
    HRESULT STDMETHODCALLTYPE accHitTest(long x, long y, VARIANT* child) override {
        return m_inner->accHitTest(x, y, child);
    }
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override {
        return m_inner->accDoDefaultAction(child);
    }
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT child, BSTR name) override {
        return m_inner->put_accName(child, name);
    }
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT child, BSTR value) override {
        return m_inner->put_accValue(child, value);
    }

private:
    LONG m_refs = 1;
    IAccessible* m_inner; // one reference owned
    AccessibleText m_text;
};

constexpr UINT_PTR kSubclassId = 0x4163; // one subclass of ours a window

// Asks the control's dialog when a screen reader asks the control.
LRESULT CALLBACK DescribedControlProc(HWND hWnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                      DWORD_PTR) {
    if (msg == WM_GETOBJECT && static_cast<LONG>(lParam) == OBJID_CLIENT) {
        AccessibleText text;
        const CWnd* pDialog = CWnd::FromHandlePermanent(GetParent(hWnd));
        if (pDialog && pDialog->DescribeControl(GetDlgCtrlID(hWnd), text))
            if (const LRESULT result = AnswerGetObject(hWnd, wParam, text))
                return result;
    } else if (msg == WM_NCDESTROY) {
        RemoveWindowSubclass(hWnd, &DescribedControlProc, kSubclassId);
    }
    return DefSubclassProc(hWnd, msg, wParam, lParam);
}

// The object goes to the screen reader through COM, which this thread then
// keeps for as long as it runs: the reader may call back at any time.
bool JoinComApartment() {
    static const auto initialize =
        OnDemand<decltype(&CoInitializeEx)>("ole32.dll", "CoInitializeEx");
    static const bool joined =
        initialize && SUCCEEDED(initialize(nullptr, COINIT_APARTMENTTHREADED));
    return joined;
}

struct FirstQuestion {
    HWND hAsked;
    bool askedDescribed = false;
};

BOOL CALLBACK DescribeIfDescribed(HWND hWnd, LPARAM lParam) {
    auto& question = *reinterpret_cast<FirstQuestion*>(lParam);
    AccessibleText text;
    const CWnd* pDialog = CWnd::FromHandlePermanent(GetParent(hWnd));
    if (pDialog && pDialog->DescribeControl(GetDlgCtrlID(hWnd), text) &&
        DescribeToScreenReaders(hWnd) && hWnd == question.hAsked)
        question.askedDescribed = true;
    return TRUE;
}

BOOL CALLBACK DescribeInTopLevel(HWND hTop, LPARAM lParam) {
    EnumChildWindows(hTop, &DescribeIfDescribed, lParam);
    return TRUE;
}

bool DescribeAllControls(HWND hAsked) {
    FirstQuestion question{hAsked};
    EnumThreadWindows(GetCurrentThreadId(), &DescribeInTopLevel,
                      reinterpret_cast<LPARAM>(&question));
    return question.askedDescribed;
}

} // namespace

LRESULT AnswerGetObject(HWND hWnd, WPARAM wParam, const AccessibleText& text) {
    if (!JoinComApartment())
        return 0;
    static const auto createStd =
        OnDemand<decltype(&CreateStdAccessibleObject)>("oleacc.dll", "CreateStdAccessibleObject");
    static const auto resultFrom =
        OnDemand<decltype(&LresultFromObject)>("oleacc.dll", "LresultFromObject");
    IAccessible* inner = nullptr;
    if (!createStd || !resultFrom ||
        FAILED(createStd(hWnd, OBJID_CLIENT, __uuidof(IAccessible),
                         reinterpret_cast<void**>(&inner))) ||
        !inner)
        return 0;
    auto* outer = new TextedAccessible(inner, text);
    const LRESULT result = resultFrom(__uuidof(IAccessible), wParam, outer);
    outer->Release(); // the result holds its own reference
    return result > 0 ? result : 0;
}

bool DescribeToScreenReaders(HWND hControl) {
    // The common controls' subclassing passes every message on untouched,
    // whatever character set the control's class uses.
    return hControl && SetWindowSubclass(hControl, &DescribedControlProc, kSubclassId, 0);
}

void DescribeToScreenReadersWhenAsked() {
    BOOL readerRuns = FALSE;
    if (SystemParametersInfoA(SPI_GETSCREENREADER, 0, &readerRuns, 0) && readerRuns)
        DescribeAllControls(nullptr);
    else
        CWnd::OnFirstScreenReaderQuestion(&DescribeAllControls);
}
