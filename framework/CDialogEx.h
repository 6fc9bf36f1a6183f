#pragma once
#include <initializer_list>

#include "framework/CWnd.h"

// A dialog built from a dialog template, either run modally (DoModal) or
// created as a child window of another window (Create), as the pages are.
//
// Writing a dialog:
//   - construct the base with the template's resource identifier;
//   - override DoDataExchange to bind dialog items to control members with
//     BindControl (called by OnInitDialog, so the controls are subclassed
//     before the dialog's own initialisation goes on);
//   - override OnInitDialog (call the base first) for the rest of the set-up;
//   - override OnCommand to act on clicks: LOWORD(wParam) is the control
//     identifier, HIWORD(wParam) the notification code (BN_CLICKED is 0);
//     call the base for everything not handled;
//   - override WindowProc for any other message.
//
// Default commands: IDOK (1) calls OnOK and IDCANCEL (2) calls OnCancel,
// which end a modal dialog with that result and hide a child one. The
// dialog manager turns Escape and the title bar's close button into
// IDCANCEL and Enter into the default push button's command. Only the
// modal dialog itself runs the dialog keyboard handling for the messages
// of its whole window tree, so a child dialog never sees Escape as its own
// IDCANCEL: Escape always ends the modal dialog.
//
// Focus cues follow the UI state: a change (WM_CHANGEUISTATE) goes up to
// the top-level dialog, which hands it down to its whole window tree as
// WM_UPDATEUISTATE; the keys that move the focus (Tab, arrows) clear
// UISF_HIDEFOCUS. Controls ask CWnd::ShowsFocusCues.
class CDialogEx : public CWnd {
public:
    explicit CDialogEx(UINT templateId = 0, CWnd* parent = nullptr);
    ~CDialogEx() override;

    // Runs the dialog modally: creates it from its template (owned by the
    // parent given at construction, disabled meanwhile), runs a message
    // loop until EndDialog and destroys it. Returns the EndDialog result,
    // or -1 when the dialog could not be created.
    virtual INT_PTR DoModal();
    // Makes DoModal and Create use an in-memory template instead of the
    // resource (the template must outlive the window's creation).
    void InitModalIndirect(const DLGTEMPLATE* dialogTemplate) { m_indirectTemplate = dialogTemplate; }

    // Creates the dialog from its template as a window of `parent` (a child
    // when the template has WS_CHILD). The window stays until the object or
    // the parent is destroyed.
    BOOL Create(UINT templateId, CWnd* parent);
    BOOL CreateIndirect(const DLGTEMPLATE* dialogTemplate, CWnd* parent);

    // Ends a modal dialog's loop with `result`; hides a child dialog.
    void EndDialog(int result);
    bool IsModal() const { return m_modal; }
    UINT TemplateId() const { return m_templateId; }

    BOOL PreTranslateMessage(MSG* message) override;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;

    // Binds dialog items to control members; see BindControl.
    virtual void DoDataExchange();
    // Subclasses the dialog item `id` with `control`, so that the control's
    // class handles its messages from now on. False when the item is
    // missing or already bound.
    bool BindControl(int id, CWnd& control);
    // Return TRUE to let the dialog manager set the focus to the first
    // control; FALSE when the dialog set the focus itself.
    virtual BOOL OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();
    // Makes Tab visit the windows in the order given: each is placed right
    // after the one before it in the z-order (the first stays where it is).
    static void ArrangeTabOrder(std::initializer_list<HWND> windows);
    // Moves the focus to `control` as the dialog manager does (the default
    // push button follows), from this top-level dialog or a child dialog.
    void FocusControl(HWND control) const;

private:
    static INT_PTR CALLBACK StaticDialogProc(HWND, UINT, WPARAM, LPARAM);
    const DLGTEMPLATE* LoadTemplate(UINT templateId) const;
    BOOL CreateFromTemplate(const DLGTEMPLATE* dialogTemplate, HWND parent);

    UINT m_templateId;
    CWnd* m_parent;
    const DLGTEMPLATE* m_indirectTemplate = nullptr;
    bool m_modal = false;
    bool m_modalRunning = false;
    INT_PTR m_modalResult = -1;
};
