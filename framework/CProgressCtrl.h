#pragma once
#include "framework/CWnd.h"

#include <commctrl.h>

// The common progress bar.
class CProgressCtrl : public CWnd {
public:
    // Starts or stops the marquee animation (the control needs PBS_MARQUEE);
    // `intervalMs` is the time between animation steps.
    void SetMarquee(bool on, UINT intervalMs) const
    {
        SendMessage(PBM_SETMARQUEE, on ? TRUE : FALSE, static_cast<LPARAM>(intervalMs));
    }
};
