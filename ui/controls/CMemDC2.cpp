#include "ui/controls/CMemDC2.h"

CMemDC2::CMemDC2(HDC target, HDC source, const RECT& rect, int sourceX, int sourceY)
    : m_target(target), m_rect(rect)
{
    int width = rect.right - rect.left;
    int height = rect.bottom - rect.top;
    m_hDC = ::CreateCompatibleDC(target);
    m_bitmap.Reset(::CreateCompatibleBitmap(target, width > 0 ? width : 1, height > 0 ? height : 1));
    if (!m_hDC || !m_bitmap) {
        // Without a buffer the control draws straight onto the target.
        if (m_hDC)
            ::DeleteDC(m_hDC);
        m_hDC = target;
        m_copyOnDestroy = false;
        return;
    }
    m_previousBitmap = ::SelectObject(m_hDC, m_bitmap.Get());
    ::SetViewportOrgEx(m_hDC, -rect.left, -rect.top, nullptr);
    if (source)
        ::BitBlt(m_hDC, rect.left, rect.top, width, height, source, sourceX, sourceY, SRCCOPY);
}

CMemDC2::~CMemDC2()
{
    if (!m_copyOnDestroy)
        return;
    ::BitBlt(m_target, m_rect.left, m_rect.top, m_rect.right - m_rect.left, m_rect.bottom - m_rect.top, m_hDC,
             m_rect.left, m_rect.top, SRCCOPY);
    ::SelectObject(m_hDC, m_previousBitmap);
    m_bitmap.Reset();
    ::DeleteDC(m_hDC);
}
