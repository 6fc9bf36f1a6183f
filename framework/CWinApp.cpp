#include "framework/CWinApp.h"

#include "framework/CWnd.h"
#include "platform/Module.h"
#include "platform/RegKey.h"
#include "platform/UserHive.h"

namespace {
CWinApp* g_app = nullptr;
}

CWinApp::CWinApp(const wchar_t* appName)
{
    if (appName)
        m_appName = appName;
    g_app = this;
}

CWinApp::~CWinApp()
{
    if (g_app == this)
        g_app = nullptr;
}

int CWinApp::Run(HINSTANCE instance, const wchar_t* commandLine, int showCommand)
{
    m_hInstance = instance;
    m_lpCmdLine = commandLine ? commandLine : L"";
    m_nCmdShow = showCommand;
    if (m_appName.empty())
        m_appName = Tavrin::Platform::BaseName(Tavrin::Platform::ModuleFileName(nullptr));
    if (InitInstance()) {
        MSG msg;
        while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
            if (CWnd::WalkPreTranslateTree(nullptr, &msg))
                continue;
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }
    return ExitInstance();
}

BOOL CWinApp::InitInstance()
{
    if (m_dwRestartManagerSupportFlags & RestartOnly)
        ::RegisterApplicationRestart(m_lpCmdLine, 0);
    return TRUE;
}

int CWinApp::ExitInstance()
{
    return 0;
}

void CWinApp::SetRegistryKey(const wchar_t* company)
{
    m_registryKey = company ? company : L"";
}

std::wstring CWinApp::ProfileKeyPath(const wchar_t* section) const
{
    std::wstring path = L"Software\\" + m_registryKey + L"\\" + m_appName;
    if (section && *section)
        path += std::wstring(L"\\") + section;
    return path;
}

UINT CWinApp::GetProfileIntW(const wchar_t* section, const wchar_t* entry, int defaultValue) const
{
    if (m_registryKey.empty())
        return static_cast<UINT>(defaultValue);
    const HKEY user = Tavrin::Platform::UserHive::Current().Root();
    Tavrin::Platform::RegKey key;
    if (!user || key.Open(user, ProfileKeyPath(section), KEY_READ) != ERROR_SUCCESS)
        return static_cast<UINT>(defaultValue);
    return key.QueryDword(entry).value_or(static_cast<DWORD>(defaultValue));
}

BOOL CWinApp::WriteProfileInt(const wchar_t* section, const wchar_t* entry, int value) const
{
    if (m_registryKey.empty())
        return FALSE;
    const HKEY user = Tavrin::Platform::UserHive::Current().Root();
    Tavrin::Platform::RegKey key;
    if (!user || key.Create(user, ProfileKeyPath(section), KEY_READ | KEY_WRITE) != ERROR_SUCCESS)
        return FALSE;
    return key.SetDword(entry, static_cast<DWORD>(value)) == ERROR_SUCCESS;
}

CWinApp* AfxGetApp()
{
    return g_app;
}

HINSTANCE AfxGetInstanceHandle()
{
    return g_app && g_app->m_hInstance ? g_app->m_hInstance : ::GetModuleHandleW(nullptr);
}

int AfxMessageBox(const wchar_t* text, UINT type)
{
    CWinApp* app = AfxGetApp();
    HWND owner = app && app->m_pMainWnd ? app->m_pMainWnd->GetSafeHwnd() : nullptr;
    std::wstring caption = app ? app->m_appName : std::wstring();
    return ::MessageBoxW(owner, text, caption.c_str(), type);
}
