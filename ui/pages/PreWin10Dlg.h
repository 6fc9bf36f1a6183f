#pragma once
#include <memory>
#include <thread>

#include "core/compat/CompatibilityResult.h"
#include "platform/UniqueHandle.h"
#include "ui/controls/CBaseWnd.h"
#include "ui/pages/ResulstDlg.h"
#include "ui/pages/ScanDlg.h"

// The dialog shown instead of the main window on a Windows older than
// Windows 10: "Start Scan", then the scan page, then the results page.
class CPreWin10Dlg : public CBaseWnd {
public:
    // Pauses of the scan, in milliseconds, so that the user sees each step
    // pass: after each requirement and after each saved inventory.
    static constexpr DWORD kRequirementPause = 500;
    static constexpr DWORD kInventoryPause = 1000;
    struct ScanPacing {
        DWORD requirementPause = kRequirementPause;
        DWORD inventoryPause = kInventoryPause;
    };

    // The result must outlive the dialog; it is only read.
    explicit CPreWin10Dlg(Tavrin::Core::WindowsUpdate::COMPATIBILITY_RESULT* result);
    CPreWin10Dlg(Tavrin::Core::WindowsUpdate::COMPATIBILITY_RESULT* result, ScanPacing pacing);
    // Waits for a running scan to end.
    ~CPreWin10Dlg() override;

    // What a click on "Start Scan" does.
    void StartScan();
    bool ScanStarted() const { return m_scanThread.joinable(); }

    // Enter starts the scan on the start view and presses a focused push
    // button of the results page; it never ends the dialog. Escape stays
    // the dialog manager's (it ends the dialog in every view).
    BOOL PreTranslateMessage(MSG* message) override;

    CScanDlg& ScanPage() { return m_scanPage; }
    CResulstDlg& ResultsPage() { return m_resultsPage; }

protected:
    BOOL OnInitDialog() override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    void DrawContent(Gdiplus::Graphics& graphics) override;

private:
    // Runs on the scan thread.
    void Scan();
    void MarkStep(int index, std::int32_t state, DWORD pause);
    // Back on the user-interface thread, once every save has been tried.
    void ShowResults(bool recordSaved);

    Tavrin::Core::WindowsUpdate::COMPATIBILITY_RESULT* m_result;
    ScanPacing m_pacing;
    CScanDlg m_scanPage;
    CResulstDlg m_resultsPage;
    std::thread m_scanThread;
    std::unique_ptr<Gdiplus::Image> m_header;
    HICON m_icon = nullptr;

    // The windows the scan thread talks to, taken before it starts: it
    // never reads the window objects, which this thread changes.
    HWND m_dialogWindow = nullptr;
    HWND m_scanWindow = nullptr;
    // Set when the scan procedure has returned.
    Tavrin::Platform::UniqueHandle m_scanEnded;
};
