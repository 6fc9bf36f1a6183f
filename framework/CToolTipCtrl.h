#pragma once
#include "framework/CWnd.h"

#include <commctrl.h>

// The common controls' tooltip window.
class CToolTipCtrl : public CWnd {
public:
    // A popup owned by `parent`; TTS_ALWAYSTIP shows tips in inactive windows too.
    BOOL Create(CWnd* parent, DWORD style = TTS_ALWAYSTIP);

    // Adds a tool. With id 0 the tool is the whole window `tool`, identified
    // by its handle, and its parent answers TTN_NEEDTEXTW. With an id the
    // tool is `rect` (or the whole client area) of `tool`, which then
    // answers TTN_NEEDTEXTW itself. A null text means LPSTR_TEXTCALLBACKW
    // (asked for on demand). `subclass` lets the tooltip watch the tool's
    // mouse messages itself, so that no RelayEvent is needed.
    BOOL AddTool(HWND tool, const wchar_t* text, const RECT* rect = nullptr, UINT_PTR id = 0,
                 bool subclass = false) const;
    void DelTool(HWND tool, UINT_PTR id = 0) const;
    int GetToolCount() const { return static_cast<int>(SendMessage(TTM_GETTOOLCOUNT)); }
    void UpdateTipText(const wchar_t* text, HWND tool, UINT_PTR id = 0) const;
    void Activate(BOOL activate) const { SendMessage(TTM_ACTIVATE, activate); }
    int SetMaxTipWidth(int width) const
    {
        return static_cast<int>(SendMessage(TTM_SETMAXTIPWIDTH, 0, width));
    }
    // Hands a mouse message of a tool to the tooltip (from PreTranslateMessage).
    void RelayEvent(const MSG* message) const;
    void Pop() const { SendMessage(TTM_POP); }

private:
    static TTTOOLINFOW ToolInfo(HWND tool, UINT_PTR id);
};
