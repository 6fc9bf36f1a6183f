#include "ui/pages/ProfilesDlg.h"

#include <shobjidl.h>

#include <memory>

#include "core/compat/SavedFile.h"
#include "core/settings/Profile.h"
#include "core/settings/SettingsBook.h"
#include "platform/ComPtr.h"
#include "platform/KnownFolder.h"
#include "platform/Text.h"
#include "platform/WorkerThread.h"
#include "res/resource.h"
#include "ui/controls/PageDrawing.h"
#include "ui/pages/PageMessages.h"

namespace {

using Tavrin::Core::Preset;
using Tavrin::Core::SettingsBook;
using Tavrin::Platform::Widen;
using Outcome = CProfilesDlg::Outcome;

constexpr int kActionIds[] = {IDC_PROFILES_RECOMMENDED, IDC_PROFILES_STRICT, IDC_PROFILES_SAVE,
                              IDC_PROFILES_OPEN};

// What an apply did: its summary line, then each row it could not write or
// had to skip.
Outcome Applied(const Tavrin::Core::ApplyOutcome& applied)
{
    Outcome outcome;
    outcome.summary = Widen(Tavrin::Core::OutcomeSummary(applied, false)) + L".";
    for (const std::string& failed : applied.failed)
        outcome.summary += L"\r\nNot written: " + Widen(failed);
    for (const std::string& skipped : applied.skipped)
        outcome.summary += L"\r\nSkipped, nobody is logged on to receive it: " + Widen(skipped);
    outcome.changed = applied.changed > 0;
    outcome.restartNeeded = applied.restartNeeded;
    return outcome;
}

Outcome ApplyRequests(SettingsBook& book, const std::vector<Tavrin::Core::SettingRequest>& requests)
{
    return Applied(book.ApplyAll(requests, Tavrin::Core::PerUserRowsReachable()));
}

Outcome SaveTo(SettingsBook& book, const std::wstring& path)
{
    Outcome outcome;
    const unsigned long error =
        Tavrin::Core::SavedFile::ReplaceWholeFile(path, Tavrin::Core::ProfileText(book.Current()));
    outcome.summary =
        error == ERROR_SUCCESS
            ? L"Settings saved: " + std::to_wstring(SettingsBook::Rows().size()) + L", to " + path
            : L"The profile " + path + L" cannot be written (error " + std::to_wstring(error) + L").";
    return outcome;
}

Outcome ApplyFile(SettingsBook& book, const std::wstring& path)
{
    std::string bytes;
    const unsigned long error = Tavrin::Core::ReadProfileFile(path, bytes);
    if (error != ERROR_SUCCESS)
        return Outcome{L"The profile " + path + L" cannot be read (error " + std::to_wstring(error) +
                       L"). Nothing was changed."};
    const Tavrin::Core::ProfileCheck check = Tavrin::Core::CheckProfile(bytes);
    if (!check.Valid())
        return Outcome{path + L" is not a valid profile: " + Widen(check.problem, CP_UTF8) +
                       L". Nothing was changed."};
    return ApplyRequests(book, check.settings);
}

} // namespace

CProfilesDlg::CProfilesDlg(CWnd* parent) : CBaseWnd(IDD_PROFILES, parent), m_pick(PickWithCommonDialog) {}

CProfilesDlg::~CProfilesDlg() = default;

std::wstring CProfilesDlg::PickWithCommonDialog(HWND owner, bool save)
{
    Tavrin::Platform::ComPtr<IFileDialog> dialog;
    const HRESULT created =
        dialog.CreateInstance(save ? CLSID_FileSaveDialog : CLSID_FileOpenDialog, CLSCTX_INPROC_SERVER);
    if (FAILED(created))
        return L"";
    const COMDLG_FILTERSPEC types[] = {{kFileType, L"*.json"}};
    dialog->SetFileTypes(1, types);
    dialog->SetDefaultExtension(L"json");
    dialog->SetTitle(save ? kSaveTitle : kOpenTitle);
    // Only files on a disk: a profile is never read from a device or a
    // shell folder without a path.
    FILEOPENDIALOGOPTIONS options = 0;
    dialog->GetOptions(&options);
    dialog->SetOptions(options | FOS_FORCEFILESYSTEM | (save ? FOS_OVERWRITEPROMPT : FOS_FILEMUSTEXIST));
    if (save)
        dialog->SetFileName(L"Tavrin settings.json");
    Tavrin::Platform::ComPtr<IShellItem> item;
    if (FAILED(dialog->Show(owner)) || FAILED(dialog->GetResult(item.Put())))
        return L"";
    Tavrin::Platform::TaskMemoryText path;
    if (FAILED(item->GetDisplayName(SIGDN_FILESYSPATH, path.Put())) || !path)
        return L"";
    return path.Get();
}

BOOL CProfilesDlg::OnInitDialog()
{
    CBaseWnd::OnInitDialog();
    ShowCount(IDC_PROFILES_RECOMMENDED_TEXT, Preset::Recommended, std::nullopt);
    ShowCount(IDC_PROFILES_STRICT_TEXT, Preset::Strict, std::nullopt);
    // The counts need every row read, the policy object's too.
    Start([] { return Outcome{}; });
    return TRUE;
}

BOOL CProfilesDlg::OnCommand(WPARAM wParam, LPARAM lParam)
{
    if (HIWORD(wParam) != BN_CLICKED || m_busy)
        return CBaseWnd::OnCommand(wParam, lParam);
    switch (LOWORD(wParam)) {
    case IDC_PROFILES_RECOMMENDED:
    case IDC_PROFILES_STRICT: {
        const Preset preset = LOWORD(wParam) == IDC_PROFILES_STRICT ? Preset::Strict : Preset::Recommended;
        Start([preset] {
            SettingsBook book;
            return ApplyRequests(book, Tavrin::Core::PresetRequests(preset));
        });
        return TRUE;
    }
    case IDC_PROFILES_SAVE:
    case IDC_PROFILES_OPEN: {
        const bool save = LOWORD(wParam) == IDC_PROFILES_SAVE;
        const std::wstring path = m_pick(m_hWnd, save);
        if (path.empty())
            return TRUE;
        Start([save, path] {
            SettingsBook book;
            return save ? SaveTo(book, path) : ApplyFile(book, path);
        });
        return TRUE;
    }
    }
    return CBaseWnd::OnCommand(wParam, lParam);
}

void CProfilesDlg::Start(std::function<Outcome()> action)
{
    const HWND window = m_hWnd;
    auto run = [window, action = std::move(action)] {
        auto outcome = std::make_unique<Outcome>();
        {
            // The policy-bound rows go through the local group policy object.
            Tavrin::Platform::ComApartment com;
            *outcome = action();
            SettingsBook book;
            outcome->recommended = book.CountToChange(Tavrin::Core::PresetRequests(Preset::Recommended));
            outcome->strict = book.CountToChange(Tavrin::Core::PresetRequests(Preset::Strict));
        }
        // A dialog already closed takes nothing.
        if (::PostMessageW(window, WM_PROFILE_ACTION_DONE, 0, reinterpret_cast<LPARAM>(outcome.get())))
            outcome.release();
    };
    if (!Tavrin::Platform::StartWorkerThread(std::move(run))) {
        ::SetDlgItemTextW(m_hWnd, IDC_PROFILES_SUMMARY,
                          L"Windows could not start the work. Nothing was changed.");
        return;
    }
    m_busy = true;
    EnableActions(false);
}

void CProfilesDlg::OnActionDone(Outcome* done)
{
    const std::unique_ptr<Outcome> outcome(done);
    m_busy = false;
    m_changed = m_changed || outcome->changed;
    m_restartNeeded = m_restartNeeded || outcome->restartNeeded;
    ShowCount(IDC_PROFILES_RECOMMENDED_TEXT, Preset::Recommended, outcome->recommended);
    ShowCount(IDC_PROFILES_STRICT_TEXT, Preset::Strict, outcome->strict);
    if (!outcome->summary.empty())
        ::SetDlgItemTextW(m_hWnd, IDC_PROFILES_SUMMARY, outcome->summary.c_str());
    EnableActions(true);
}

void CProfilesDlg::EnableActions(bool enable)
{
    // The focus stays where it was when the buttons come back.
    const HWND focus = ::GetFocus();
    for (int id : kActionIds)
        ::EnableWindow(GetDlgItem(id), enable);
    if (!enable && !::IsWindowEnabled(focus))
        FocusControl(GetDlgItem(IDCANCEL));
}

void CProfilesDlg::ShowCount(int textId, Preset preset, std::optional<unsigned> count)
{
    std::wstring text = Tavrin::Core::PresetDescription(preset);
    if (!count)
        text += L" Counting what it would change...";
    else if (*count == 0)
        text += L" Nothing to change on this PC.";
    else
        text +=
            L" Changes " + std::to_wstring(*count) + (*count == 1 ? L" box" : L" boxes") + L" on this PC.";
    ::SetDlgItemTextW(m_hWnd, textId, text.c_str());
}

LRESULT CProfilesDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_PROFILE_ACTION_DONE:
        OnActionDone(reinterpret_cast<Outcome*>(lParam));
        return 0;
    case WM_CTLCOLORSTATIC:
        // The texts sit on the white panel.
        ::SetBkColor(reinterpret_cast<HDC>(wParam), ToColorRef(PageColors::kWhite));
        ::SetTextColor(reinterpret_cast<HDC>(wParam), ToColorRef(PageColors::kBlackText));
        return reinterpret_cast<LRESULT>(::GetStockObject(WHITE_BRUSH));
    }
    return CBaseWnd::WindowProc(message, wParam, lParam);
}

void CProfilesDlg::DrawContent(Gdiplus::Graphics& graphics)
{
    WhitePanel panel;
    panel.margin = Scaled(8);
    panel.top = Scaled(8);
    DrawHeaderAndWhitePanel(graphics, nullptr, GetClientRect(), PageColors::kBlue, GetDpi(), panel);
}
