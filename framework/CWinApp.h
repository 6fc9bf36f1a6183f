#pragma once
#include <windows.h>

#include <string>

class CWnd;

// The application object: instance handle, main window, application name and
// the per-user profile under Software\<key>\<app name> of the user whose
// settings the run shows (Tavrin::Platform::UserHive; HKEY_CURRENT_USER
// unless the session's user is another than the process's).
class CWinApp {
public:
    // Without a name the application is named after the program file.
    explicit CWinApp(const wchar_t* appName = nullptr);
    virtual ~CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    // Called by wWinMain: records the start-up facts, runs InitInstance and,
    // when it returns TRUE, the message loop. Returns the exit code.
    int Run(HINSTANCE instance, const wchar_t* commandLine, int showCommand);

    virtual BOOL InitInstance();
    virtual int ExitInstance();

    void SetRegistryKey(const wchar_t* company);
    const std::wstring& RegistryKey() const { return m_registryKey; }
    // Empty section: the value lives directly in the application key.
    UINT GetProfileIntW(const wchar_t* section, const wchar_t* entry, int defaultValue) const;
    BOOL WriteProfileInt(const wchar_t* section, const wchar_t* entry, int value) const;

    HINSTANCE m_hInstance = nullptr;
    CWnd* m_pMainWnd = nullptr;
    std::wstring m_appName;
    const wchar_t* m_lpCmdLine = L"";
    int m_nCmdShow = SW_SHOWNORMAL;
    // Restart-manager registration done by the base InitInstance.
    enum : DWORD { RestartNone = 0, RestartOnly = 1 };
    DWORD m_dwRestartManagerSupportFlags = RestartNone;

private:
    std::wstring ProfileKeyPath(const wchar_t* section) const;

    std::wstring m_registryKey;
};

CWinApp* AfxGetApp();
HINSTANCE AfxGetInstanceHandle();
// Message box owned by the main window, captioned with the application name.
int AfxMessageBox(const wchar_t* text, UINT type = MB_OK);
