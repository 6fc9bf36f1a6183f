#include "ui/controls/CScrollHelper.h"

#include <cstdlib>

#include "framework/CWnd.h"

void CScrollHelper::AttachWnd(CWnd* window)
{
    m_window = window ? window->GetSafeHwnd() : nullptr;
}

void CScrollHelper::SetDisplaySize(int width, int height)
{
    m_contentWidth = width;
    m_contentHeight = height;
}

SIZE CScrollHelper::VisibleSize() const
{
    RECT outer = {};
    ::GetWindowRect(m_window, &outer);
    ::MapWindowPoints(HWND_DESKTOP, m_window, reinterpret_cast<POINT*>(&outer), 2);
    RECT client = {};
    ::GetClientRect(m_window, &client);
    int cx = ::GetSystemMetrics(SM_CXVSCROLL);
    int cy = ::GetSystemMetrics(SM_CYHSCROLL);
    // Where the outer rectangle has room for a bar, that room is a bar
    // that would go if everything fitted.
    if (outer.right >= client.right + cx)
        client.right += cx;
    if (outer.bottom >= client.bottom + cy)
        client.bottom += cy;
    return {client.right - client.left, client.bottom - client.top};
}

int CScrollHelper::UpdateAxis(int bar, int visible, int content, int& page, int& pos)
{
    int current = ::GetScrollPos(m_window, bar);
    SCROLLINFO info = {};
    info.cbSize = sizeof(info);
    info.fMask = SIF_ALL;
    int distance;
    if (visible < content) {
        info.nMax = content - 1;
        if (page > 0 && pos > 0)
            pos = static_cast<int>(static_cast<long long>(pos) * visible / page);
        page = visible;
        // The same limit scrolling uses: the content's end at the window's edge.
        if (pos > content - visible)
            pos = content - visible;
        if (pos < 0)
            pos = 0;
        distance = current - pos;
    } else {
        page = 0;
        pos = 0;
        info.nMax = 0;
        distance = current;
    }
    info.nMin = 0;
    info.nPage = static_cast<UINT>(page);
    info.nPos = pos;
    info.nTrackPos = pos;
    ::SetScrollInfo(m_window, bar, &info, TRUE);
    return distance;
}

void CScrollHelper::UpdateScrollInfo()
{
    if (!m_window)
        return;
    SIZE visible = VisibleSize();
    int dx = UpdateAxis(SB_HORZ, visible.cx, m_contentWidth, m_hPage, m_hPos);
    int dy = UpdateAxis(SB_VERT, visible.cy, m_contentHeight, m_vPage, m_vPos);
    if (dx || dy)
        ::ScrollWindow(m_window, dx, dy, nullptr, nullptr);
}

void CScrollHelper::ScrollAxis(int bar, UINT code)
{
    bool horizontal = bar == SB_HORZ;
    int& pos = horizontal ? m_hPos : m_vPos;
    int page = horizontal ? m_hPage : m_vPage;
    int content = horizontal ? m_contentWidth : m_contentHeight;
    // An axis whose content fits has nothing to scroll, whatever asks.
    if (page <= 0)
        return;
    int step;
    switch (code) {
    case SB_LINEUP:
        step = -kLineStep;
        break;
    case SB_LINEDOWN:
        step = kLineStep;
        break;
    case SB_PAGEUP:
        step = -page;
        break;
    case SB_PAGEDOWN:
        step = page;
        break;
    case SB_THUMBPOSITION:
    case SB_THUMBTRACK: {
        SCROLLINFO info = {};
        info.cbSize = sizeof(info);
        info.fMask = SIF_TRACKPOS;
        if (!::GetScrollInfo(m_window, bar, &info))
            return;
        step = info.nTrackPos - pos;
        break;
    }
    default:
        return;
    }
    int target = pos + step;
    if (target < 0)
        step = -pos;
    if (target > content - page)
        step = content - page - pos;
    if (step == 0)
        return;
    pos += step;
    ::SetScrollPos(m_window, bar, pos, TRUE);
    ::ScrollWindow(m_window, horizontal ? -step : 0, horizontal ? 0 : -step, nullptr, nullptr);
}

void CScrollHelper::OnHScroll(UINT code, HWND)
{
    if (m_window)
        ScrollAxis(SB_HORZ, code);
}

void CScrollHelper::OnVScroll(UINT code, HWND)
{
    if (m_window)
        ScrollAxis(SB_VERT, code);
}

bool CScrollHelper::OnMouseWheel(int delta)
{
    if (!m_window)
        return false;
    int minimum = 0;
    int maximum = 0;
    ::GetScrollRange(m_window, SB_VERT, &minimum, &maximum);
    if (minimum == maximum)
        return false;
    UINT lines = 3;
    ::SystemParametersInfoW(SPI_GETWHEELSCROLLLINES, 0, &lines, 0);
    if (lines == WHEEL_PAGESCROLL) {
        ScrollAxis(SB_VERT, delta <= 0 ? SB_PAGEDOWN : SB_PAGEUP);
        return true;
    }
    long long steps = static_cast<long long>(std::abs(delta) / WHEEL_DELTA) * lines / 3;
    if (steps < 1)
        steps = 1;
    UINT code = delta > 0 ? SB_LINEUP : SB_LINEDOWN;
    // Beyond the end every further step is zero: stop there, however large
    // the system's setting.
    for (long long i = 0; i < steps; ++i) {
        int before = m_vPos;
        ScrollAxis(SB_VERT, code);
        if (m_vPos == before)
            break;
    }
    return true;
}
