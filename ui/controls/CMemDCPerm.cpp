#include "ui/controls/CMemDCPerm.h"

CMemDCPerm::~CMemDCPerm()
{
    Release();
}

void CMemDCPerm::Release()
{
    if (m_hDC && m_previousBitmap)
        ::SelectObject(m_hDC, m_previousBitmap);
    m_previousBitmap = nullptr;
    m_bitmap.Reset();
    if (m_hDC)
        ::DeleteDC(m_hDC);
    m_hDC = nullptr;
    m_target = nullptr;
}

bool CMemDCPerm::Rebuild(HDC target, const RECT& rect, COLORREF fill)
{
    Release();
    m_target = target;
    m_rect = rect;
    int width = rect.right - rect.left;
    int height = rect.bottom - rect.top;
    if (width <= 0 || height <= 0)
        return false;
    // The buffer belongs to the screen, not to this one paint's context.
    m_hDC = ::CreateCompatibleDC(nullptr);
    m_bitmap.Reset(::CreateCompatibleBitmap(target, width, height));
    if (!m_hDC || !m_bitmap) {
        Release();
        return false;
    }
    m_previousBitmap = ::SelectObject(m_hDC, m_bitmap.Get());
    // Child controls copy in client coordinates; the buffer starts at the rectangle's corner.
    ::SetViewportOrgEx(m_hDC, -rect.left, -rect.top, nullptr);
    ::SetBkColor(m_hDC, fill);
    ::ExtTextOutW(m_hDC, 0, 0, ETO_OPAQUE, &rect, nullptr, 0, nullptr);
    return true;
}

void CMemDCPerm::Present()
{
    if (!m_target || !m_hDC)
        return;
    ::BitBlt(m_target, m_rect.left, m_rect.top, m_rect.right - m_rect.left, m_rect.bottom - m_rect.top, m_hDC,
             m_rect.left, m_rect.top, SRCCOPY);
    m_target = nullptr;
}
