#include "platform/DesktopShell.h"

#include <exdisp.h>
#include <servprov.h>
#include <shldisp.h>
#include <shlguid.h>
#include <shlobj.h>

#include "platform/ComPtr.h"
#include "platform/ComVariant.h"

namespace Tavrin::Platform {

namespace {

VARIANT Text(const BStr& text)
{
    VARIANT value;
    ::VariantInit(&value);
    value.vt = VT_BSTR;
    value.bstrVal = text.Get();
    return value;
}

VARIANT Integer(long number)
{
    VARIANT value;
    ::VariantInit(&value);
    value.vt = VT_I4;
    value.lVal = number;
    return value;
}

// The desktop's shell object: the desktop window among the shell's windows,
// its browser's active view, that view's background automation object and
// the application behind it. Every step crosses into the desktop's process.
HRESULT DesktopShellDispatch(ComPtr<IShellDispatch2>& shell)
{
    ComPtr<IShellWindows> windows;
    HRESULT hr = windows.CreateInstance(CLSID_ShellWindows, CLSCTX_LOCAL_SERVER);
    if (FAILED(hr))
        return hr;
    VARIANT location = Integer(CSIDL_DESKTOP);
    VARIANT root;
    ::VariantInit(&root);
    long window = 0;
    ComPtr<IDispatch> desktop;
    hr = windows->FindWindowSW(&location, &root, SWC_DESKTOP, &window, SWFO_NEEDDISPATCH, desktop.Put());
    // S_FALSE: no desktop window is registered.
    if (hr != S_OK || !desktop)
        return FAILED(hr) ? hr : E_FAIL;
    ComPtr<IServiceProvider> services;
    if (FAILED(hr = desktop.As(services)))
        return hr;
    ComPtr<IShellBrowser> browser;
    if (FAILED(hr = services->QueryService(SID_STopLevelBrowser, IID_IShellBrowser, browser.PutVoid())))
        return hr;
    ComPtr<IShellView> view;
    if (FAILED(hr = browser->QueryActiveShellView(view.Put())) || !view)
        return FAILED(hr) ? hr : E_FAIL;
    ComPtr<IDispatch> background;
    if (FAILED(hr = view->GetItemObject(SVGIO_BACKGROUND, IID_IDispatch, background.PutVoid())))
        return hr;
    ComPtr<IShellFolderViewDual> folderView;
    if (FAILED(hr = background.As(folderView)))
        return hr;
    ComPtr<IDispatch> application;
    if (FAILED(hr = folderView->get_Application(application.Put())) || !application)
        return FAILED(hr) ? hr : E_FAIL;
    return application.As(shell);
}

} // namespace

HRESULT OpenAsDesktopUser(const std::wstring& address)
{
    ComApartment apartment;
    if (!apartment.Succeeded() && apartment.Result() != RPC_E_CHANGED_MODE)
        return apartment.Result();
    ComPtr<IShellDispatch2> shell;
    HRESULT hr = DesktopShellDispatch(shell);
    if (FAILED(hr))
        return hr;
    BStr file(address), empty(L""), verb(L"open");
    return shell->ShellExecute(file.Get(), Text(empty), Text(empty), Text(verb), Integer(SW_SHOWNORMAL));
}

} // namespace Tavrin::Platform
