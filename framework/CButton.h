#pragma once
#include "framework/CWnd.h"

// A standard button control: push button, check box or radio button.
class CButton : public CWnd {
public:
    int GetCheck() const { return static_cast<int>(SendMessage(BM_GETCHECK)); }
    void SetCheck(int check) const { SendMessage(BM_SETCHECK, static_cast<WPARAM>(check)); }
    UINT GetState() const { return static_cast<UINT>(SendMessage(BM_GETSTATE)); }
    void SetState(BOOL pushed) const { SendMessage(BM_SETSTATE, pushed); }
    void Click() const { SendMessage(BM_CLICK); }
};
