#pragma once
// The Device & App Compatibility and Reclamation sections are still being
// written. Until their page classes arrive the main window hosts these
// stand-ins: the page's template with its own controls and nothing else,
// whose "Done" returns to the home view. Swapping in a real page means
// replacing one alias here (and the construction in CTavrinDlg when the
// page takes arguments).
#include "res/resource.h"
#include "ui/controls/CBaseWnd.h"
#include "ui/pages/PageMessages.h"

template <UINT PageTemplate> class CTemplateOnlyPage : public CBaseWnd {
public:
    CTemplateOnlyPage() : CBaseWnd(PageTemplate) {}

protected:
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override
    {
        if (HIWORD(wParam) == BN_CLICKED && LOWORD(wParam) == IDOK) {
            ::SendMessageW(GetParent(), WM_PAGE_DONE, 0, 0);
            return TRUE;
        }
        return CBaseWnd::OnCommand(wParam, lParam);
    }
    void DrawContent(Gdiplus::Graphics&) override {}
};

using CompatibilityPage = CTemplateOnlyPage<IDD_COMPATIBILITY>;
using ReclamationPage = CTemplateOnlyPage<IDD_RECLAMATION>;
