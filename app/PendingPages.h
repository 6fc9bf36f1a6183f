#pragma once
// The Reclamation section is still being written. Until its page class
// arrives the main window hosts this stand-in: the page's template with its
// own controls and nothing else, whose "Done" returns to the home view. Swapping in a real page means
// replacing one alias here (and the construction in CTavrinDlg when the
// page takes arguments).
#include "res/resource.h"
#include "ui/controls/CBaseWnd.h"
#include "ui/pages/CCompatibilityDlg.h"
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
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override
    {
        // The template's texts on the page's white rather than the dialog grey.
        if (message == WM_CTLCOLORSTATIC) {
            ::SetBkColor(reinterpret_cast<HDC>(wParam), RGB(0xFF, 0xFF, 0xFF));
            return reinterpret_cast<LRESULT>(::GetStockObject(WHITE_BRUSH));
        }
        return CBaseWnd::WindowProc(message, wParam, lParam);
    }
    void DrawContent(Gdiplus::Graphics& graphics) override { graphics.Clear(Gdiplus::Color(0xFFFFFFFF)); }
};

using CompatibilityPage = CCompatibilityDlg;
using ReclamationPage = CTemplateOnlyPage<IDD_RECLAMATION>;
