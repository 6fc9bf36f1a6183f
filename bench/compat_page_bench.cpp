// Figures for opening the compatibility page: how the cost of creating the
// page, expanding the applications section and painting it grows with the
// number of removed applications. The list holds no rows of its own, so only
// reading the saved file and comparing grow with the count. Run it under
// wine64 with a display (Xvfb); it is not a test.
//   compat_page_bench [rounds]   (3 by default)

#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <list>
#include <string>

#include "core/compat/CompatibilityResult.h"
#include "framework/CDialogEx.h"
#include "platform/Module.h"
#include "res/resource.h"
#include "ui/pages/CCompatibilityDlg.h"

using namespace Tavrin::Core;

namespace {

double Milliseconds(const std::function<void()>& work)
{
    auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

void Pump()
{
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
}

// An in-memory popup that hosts the page, as the main window does.
struct HostTemplate {
    DLGTEMPLATE header = {WS_POPUP | WS_VISIBLE | WS_CAPTION, 0, 0, 0, 0, 800, 450};
    WORD menu = 0, windowClass = 0, title = 0;
};

struct Figures {
    double difference = 0; // the saved file read and compared
    double create = 0;     // page created and shown, first paint
    double expand = 0;     // applications section opened and painted
    double scroll = 0;     // list scrolled to its last row and painted
};

Figures Open(std::size_t removed, const std::wstring& folder)
{
    std::list<InstalledApp> saved;
    for (std::size_t i = 0; i < removed; ++i)
        saved.push_back({kMachineRoot, kUninstallPath, L"{removed-" + std::to_wstring(i) + L"}",
                         L"Removed application number " + std::to_wstring(i)});
    saved.push_back({kMachineRoot, kUninstallPath, L"{kept}", L"Kept application"});
    ::SetCurrentDirectoryW(folder.c_str());
    SaveInstalledApps(saved);

    WindowsUpdate::COMPATIBILITY_RESULT result;
    result.installedApps = {{kMachineRoot, kUninstallPath, L"{kept}", L"Kept application"}};
    Figures figures;
    figures.difference = Milliseconds([&] { (void)MissingApplications(result.installedApps); });

    HostTemplate form;
    CDialogEx host;
    host.CreateIndirect(&form.header, nullptr);
    CCompatibilityDlg page(&result);
    figures.create = Milliseconds([&] {
        page.Create(IDD_COMPATIBILITY, &host);
        RECT client = host.GetClientRect();
        page.SetWindowPos(nullptr, 0, 0, client.right, client.bottom, SWP_NOZORDER | SWP_SHOWWINDOW);
        page.UpdateWindow();
        Pump();
    });
    if (page.RemovedApps().size() != removed)
        std::printf("unexpected: %zu rows for %zu removed\n", page.RemovedApps().size(), removed);
    figures.expand = Milliseconds([&] {
        page.GetApplicationsHeader().Toggle();
        Pump();
    });
    figures.scroll = Milliseconds([&] {
        page.GetApplicationsList().EnsureVisible(static_cast<int>(removed) - 1, FALSE);
        page.GetApplicationsList().UpdateWindow();
        Pump();
    });
    page.DestroyWindow();
    host.DestroyWindow();
    return figures;
}

} // namespace

int main(int argc, char** argv)
{
    int rounds = argc > 1 ? std::atoi(argv[1]) : 3;
    const std::wstring programFolder = Tavrin::Platform::FolderOf(Tavrin::Platform::ModuleFileName(nullptr));
    if (!theSkin.Load(Tavrin::Platform::JoinPath(programFolder, L"ui.xml"), ::GetModuleHandleW(nullptr)))
        std::printf("no skin beside the program: drawing with defaults\n");
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    const std::wstring folder = Tavrin::Platform::JoinPath(temp, L"compat_page_bench");
    ::CreateDirectoryW(folder.c_str(), nullptr);

    std::printf("%10s %14s %12s %12s %12s %14s\n", "removed", "difference ms", "create ms", "expand ms",
                "scroll ms", "page-only ms");
    for (std::size_t removed : {std::size_t(10), std::size_t(1000), std::size_t(100000)}) {
        Figures best = {1e12, 1e12, 1e12, 1e12};
        for (int round = 0; round < rounds; ++round) {
            Figures f = Open(removed, folder);
            best.difference = std::min(best.difference, f.difference);
            best.create = std::min(best.create, f.create);
            best.expand = std::min(best.expand, f.expand);
            best.scroll = std::min(best.scroll, f.scroll);
        }
        // Creating the page includes computing the differences once.
        double pageOnly = best.create - best.difference + best.expand + best.scroll;
        std::printf("%10zu %14.1f %12.1f %12.1f %12.1f %14.1f\n", removed, best.difference, best.create,
                    best.expand, best.scroll, pageOnly);
    }
    ::SetCurrentDirectoryW(programFolder.c_str());
    ::DeleteFileW(Tavrin::Platform::JoinPath(folder, L"applications.saved").c_str());
    ::RemoveDirectoryW(folder.c_str());
    theSkin.Reset();
    return 0;
}
