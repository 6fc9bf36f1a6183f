#pragma once
#include <windows.h>

// Base of every window object: owns the association with one HWND.
class CWnd {
public:
    CWnd() = default;
    virtual ~CWnd() = default;
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    HWND GetSafeHwnd() const { return m_hWnd; }

    HWND m_hWnd = nullptr;
};
