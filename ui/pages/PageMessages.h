#pragma once
#include <windows.h>

// Sent (synchronously, both parameters 0) by a page's "Done" button to the
// window that hosts it, which then returns to its home view.
constexpr UINT WM_PAGE_DONE = 0x2FED;

// Posted by a settings page's change (SettingsChange) to the page when it is
// done: wParam is the status the change returned, lParam 0.
constexpr UINT WM_SETTINGS_CHANGE_DONE = 0x2FEE;

// Posted by the main window's undo thread to the main window when the undo
// is done: lParam is the Tavrin::Core::UndoResult it made with new, which
// the window deletes.
constexpr UINT WM_UNDO_DONE = 0x2FEF;

// Posted by the reclamation page's worker to the page when the run is over:
// wParam is the error that kept the cleanup tool from starting
// (ERROR_SUCCESS: it ran), lParam 0.
constexpr UINT WM_RECLAMATION_DONE = 0x2FF0;

// Posted by an action of the profiles dialog to the dialog when it is done:
// lParam is the CProfilesDlg::Outcome it made with new, which the dialog
// deletes.
constexpr UINT WM_PROFILE_ACTION_DONE = 0x2FF1;

// Posted by the main window's check of the settings Windows changed back
// when it is done: lParam is the Tavrin::Core::ChosenStatesCheck it made with
// new, which the window deletes.
constexpr UINT WM_CHANGED_BACK_CHECKED = 0x2FF4;

// Posted to the list of the settings Windows changed back when "Apply again"
// or "Keep as it is now" is done: wParam is the status it returned, lParam 0.
constexpr UINT WM_CHANGED_BACK_DONE = 0x2FF5;
