#include "framework/CAccessible.h"

#include <oleacc.h>

#include "framework/CWnd.h"

namespace {

bool IsSelf(const VARIANT& child)
{
    return child.vt == VT_I4 && child.lVal == CHILDID_SELF;
}

HRESULT CopyOut(LONG value, VARIANT* out)
{
    if (!out)
        return E_POINTER;
    out->vt = VT_I4;
    out->lVal = value;
    return S_OK;
}

HRESULT CopyOut(const std::wstring& text, BSTR* out)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (text.empty())
        return S_FALSE;
    *out = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return *out ? S_OK : E_OUTOFMEMORY;
}

// One window's accessible object. Name, role, state and default action are
// the window object's; the rest is the system's standard object's.
class AccessibleWindow final : public IAccessible {
public:
    AccessibleWindow(HWND window, IAccessible* standard) : m_window(window), m_standard(standard) {}
    AccessibleWindow(const AccessibleWindow&) = delete;
    AccessibleWindow& operator=(const AccessibleWindow&) = delete;

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override
    {
        if (!out)
            return E_POINTER;
        if (iid == __uuidof(IUnknown) || iid == __uuidof(IDispatch) || iid == __uuidof(IAccessible)) {
            *out = static_cast<IAccessible*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(::InterlockedIncrement(&m_refs)); }
    ULONG STDMETHODCALLTYPE Release() override
    {
        LONG left = ::InterlockedDecrement(&m_refs);
        if (left == 0)
            delete this;
        return static_cast<ULONG>(left);
    }

    // IDispatch: clients of IAccessible call the interface directly.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override
    {
        if (!count)
            return E_POINTER;
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override
    {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                     UINT*) override
    {
        return E_NOTIMPL;
    }

    // IAccessible: what the window object says about itself.
    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override
    {
        return SelfOrStandard(child, name, &IAccessible::get_accName, &AccessibleInfo::name);
    }
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override
    {
        return SelfOrStandard(child, role, &IAccessible::get_accRole, &AccessibleInfo::role);
    }
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override
    {
        return SelfOrStandard(child, state, &IAccessible::get_accState, &AccessibleInfo::state);
    }
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override
    {
        return SelfOrStandard(child, action, &IAccessible::get_accDefaultAction,
                              &AccessibleInfo::defaultAction);
    }
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override
    {
        if (!IsSelf(child))
            return m_standard->accDoDefaultAction(child);
        if (!::IsWindow(m_window))
            return RPC_E_DISCONNECTED;
        DWORD_PTR done = 0;
        ::SendMessageTimeoutW(m_window, CWnd::AccessibleRequestMessage(), 1, 0, SMTO_ABORTIFHUNG, 5000,
                              &done);
        return done ? S_OK : DISP_E_MEMBERNOTFOUND;
    }

    // IAccessible: the standard object's.
    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override
    {
        return m_standard->get_accParent(parent);
    }
    HRESULT STDMETHODCALLTYPE get_accChildCount(LONG* count) override
    {
        return m_standard->get_accChildCount(count);
    }
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** out) override
    {
        return m_standard->get_accChild(child, out);
    }
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override
    {
        return m_standard->get_accValue(child, value);
    }
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* text) override
    {
        return m_standard->get_accDescription(child, text);
    }
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* text) override
    {
        return m_standard->get_accHelp(child, text);
    }
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, LONG* topic) override
    {
        return m_standard->get_accHelpTopic(file, child, topic);
    }
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) override
    {
        return m_standard->get_accKeyboardShortcut(child, shortcut);
    }
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* focus) override
    {
        return m_standard->get_accFocus(focus);
    }
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* selection) override
    {
        return m_standard->get_accSelection(selection);
    }
    HRESULT STDMETHODCALLTYPE accSelect(LONG flags, VARIANT child) override
    {
        return m_standard->accSelect(flags, child);
    }
    HRESULT STDMETHODCALLTYPE accLocation(LONG* left, LONG* top, LONG* width, LONG* height,
                                          VARIANT child) override
    {
        return m_standard->accLocation(left, top, width, height, child);
    }
    HRESULT STDMETHODCALLTYPE accNavigate(LONG direction, VARIANT start, VARIANT* end) override
    {
        return m_standard->accNavigate(direction, start, end);
    }
    HRESULT STDMETHODCALLTYPE accHitTest(LONG x, LONG y, VARIANT* child) override
    {
        return m_standard->accHitTest(x, y, child);
    }
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT child, BSTR name) override
    {
        return m_standard->put_accName(child, name);
    }
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT child, BSTR value) override
    {
        return m_standard->put_accValue(child, value);
    }

private:
    ~AccessibleWindow() { m_standard->Release(); }

    // For the window itself, the `field` of the window's description (the
    // window gone, the object is disconnected); for one of its children, the
    // standard object's answer to `standard`.
    template <typename Out, typename Standard, typename Field>
    HRESULT SelfOrStandard(VARIANT child, Out* out, Standard standard, Field AccessibleInfo::*field) const
    {
        if (!IsSelf(child))
            return (m_standard->*standard)(child, out);
        AccessibleInfo info;
        if (!Ask(info))
            return RPC_E_DISCONNECTED;
        return CopyOut(info.*field, out);
    }

    // Asks the window's own thread; false when the window is gone or no
    // longer describes itself.
    bool Ask(AccessibleInfo& info) const
    {
        if (!::IsWindow(m_window))
            return false;
        DWORD_PTR answered = 0;
        return ::SendMessageTimeoutW(m_window, CWnd::AccessibleRequestMessage(), 0,
                                     reinterpret_cast<LPARAM>(&info), SMTO_ABORTIFHUNG, 5000, &answered) &&
               answered;
    }

    LONG m_refs = 1;
    HWND m_window;
    IAccessible* m_standard;
};

} // namespace

LRESULT AnswerAccessibleObject(HWND window, WPARAM flags)
{
    IAccessible* standard = nullptr;
    if (FAILED(::CreateStdAccessibleObject(window, OBJID_CLIENT, __uuidof(IAccessible),
                                           reinterpret_cast<void**>(&standard))) ||
        !standard)
        return 0;
    auto* accessible = new AccessibleWindow(window, standard);
    // The client's reference is the one LresultFromObject takes.
    LRESULT result = ::LresultFromObject(__uuidof(IAccessible), flags, accessible);
    accessible->Release();
    return result;
}

std::wstring StripMnemonics(const std::wstring& text)
{
    std::wstring plain;
    plain.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'&' && i + 1 < text.size() && text[i + 1] != L' ') {
            ++i;
        }
        plain += text[i];
    }
    return plain;
}
