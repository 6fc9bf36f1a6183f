#pragma once
#include <memory>
#include <thread>

#include "framework/CButton.h"
#include "framework/CProgressCtrl.h"
#include "platform/UniqueHandle.h"
#include "ui/controls/CBaseWnd.h"
#include "ui/controls/CThemeLabel.h"
#include "ui/skin/LazyImage.h"

// The Reclamation section: selects the upgrade's leftovers for the disk-cleanup
// tool and runs it on a worker thread while a marquee moves. One run per
// program start.
class CReclamationDlg : public CBaseWnd {
public:
    CReclamationDlg();
    // Waits for a running cleanup: the tool is never left running unwatched.
    ~CReclamationDlg() override;

    static constexpr wchar_t kCompletedMessage[] = L"Reclamation process successfully completed";
    static constexpr wchar_t kNotFoundMessage[] =
        L"Reclamation process could not be started: the Windows disk cleanup tool was not found";
    static constexpr wchar_t kNotStartedMessage[] =
        L"Reclamation process could not be started: the Windows disk cleanup tool could not be started";
    static constexpr wchar_t kMessageCaption[] = L"Orvane Tools";
    // The message at the end of a run, by the error that kept the tool from
    // starting (ERROR_SUCCESS: it ran).
    static const wchar_t* OutcomeMessage(DWORD startError);

protected:
    void DoDataExchange() override;
    BOOL OnInitDialog() override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    void DrawContent(Gdiplus::Graphics& graphics) override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void StartRun();
    // On the worker: the restore point, the flags and the tool; the outcome
    // is posted to `page`. `closing` is set when the page goes.
    static void Run(HWND page, HANDLE closing);
    void OnRunDone(DWORD startError);

    CProgressCtrl m_progress;
    CButton m_cleanButton;
    CButton m_doneButton;
    CThemeLabel m_heading;
    CThemeLabel m_warning;
    CLazyImage m_header;
    // Lets a run that still waits for the restore point go without changing
    // anything when the page goes: its destructor never waits for System
    // Restore.
    Tavrin::Platform::UniqueHandle m_closing{::CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    std::thread m_cleanupThread;
};
