#include "ui/controls/CVirtualListCtrl.h"

#include <windowsx.h>

#include <algorithm>
#include <vector>

#include "platform/ExceptionBarrier.h"
#include "platform/UniqueHook.h"

namespace {

// While a cell button is hot, its list must hear the pointer leave even when
// the move is delivered to another window (the pointer left the list
// quickly, or a sibling has the capture). One hook per thread serves every
// list of that thread that has a hot button. The hook sees every message the
// thread takes from its queue, whatever loop takes it.
struct OutsideMoveWatch {
    Tavrin::Platform::UniqueHook hook;
    std::vector<CVirtualListCtrl*> lists;
};
thread_local OutsideMoveWatch t_watch;

bool IsWatched(const CVirtualListCtrl* list)
{
    return std::find(t_watch.lists.begin(), t_watch.lists.end(), list) != t_watch.lists.end();
}

bool IsNetworkPath(const std::wstring& text)
{
    // \\server\share, optionally followed by more of the path.
    if (text.size() < 5 || text[0] != L'\\' || text[1] != L'\\')
        return false;
    size_t shareStart = text.find(L'\\', 2);
    if (shareStart == std::wstring::npos || shareStart == 2)
        return false;
    return shareStart + 1 < text.size() && text[shareStart + 1] != L'\\';
}

} // namespace

CVirtualListCtrl::CVirtualListCtrl(IVirtualListParent* listParent, IVirtualListDrawParent* drawParent)
    : m_drawParent(drawParent), m_listParent(listParent)
{
}

CVirtualListCtrl::~CVirtualListCtrl()
{
    StopWatchingOutsideMoves();
}

BOOL CVirtualListCtrl::Create(DWORD style, const RECT& rect, CWnd* parent, UINT id)
{
    if (!CListCtrl::Create(style | LVS_REPORT | LVS_OWNERDATA | LVS_OWNERDRAWFIXED, rect, parent, id))
        return FALSE;
    SetUpToolTip();
    return TRUE;
}

void CVirtualListCtrl::PreSubclassWindow()
{
    CListCtrl::PreSubclassWindow();
    // A created list gets its tooltip once it exists (Create); a list
    // subclassed from a dialog item already exists.
    if (!IsBeingCreated())
        SetUpToolTip();
}

void CVirtualListCtrl::SetUpToolTip()
{
    if (m_toolTip.GetSafeHwnd())
        return;
    // The list view's own tooltip would show its label tips over ours.
    if (HWND builtIn = GetToolTips())
        ::SendMessageW(builtIn, TTM_ACTIVATE, FALSE, 0);
    if (!m_toolTip.Create(this, TTS_ALWAYSTIP))
        return;
    m_toolTip.Activate(TRUE);
    m_toolTip.SetMaxTipWidth(kToolTipWidth);
}

bool CVirtualListCtrl::IsWatchingOutsideMoves() const
{
    return IsWatched(this) && t_watch.hook.IsValid();
}

BOOL CVirtualListCtrl::PreTranslateMessage(MSG* message)
{
    m_toolTip.RelayEvent(message);
    return CListCtrl::PreTranslateMessage(message);
}

std::wstring CVirtualListCtrl::ToolTipText(const std::wstring& cellText)
{
    if (IsNetworkPath(cellText))
        return cellText;
    size_t last = cellText.find_last_not_of(L'\\');
    if (last == std::wstring::npos)
        return {};
    size_t first = cellText.find_first_not_of(L'\\');
    return cellText.substr(first, last - first + 1);
}

CVirtualListCtrl::Hit CVirtualListCtrl::HitTest(POINT point) const
{
    Hit hit;
    RECT client = GetClientRect();
    if (!::PtInRect(&client, point))
        return hit;
    LVHITTESTINFO info = {};
    info.pt = point;
    if (SubItemHitTest(&info) < 0 || info.iItem < 0 || info.iSubItem < 0)
        return hit;
    hit.row = info.iItem;
    hit.column = info.iSubItem;
    auto button = m_cellButtons.find(hit.column);
    RECT cell;
    if (button != m_cellButtons.end() && GetSubItemRect(hit.row, hit.column, LVIR_BOUNDS, cell)) {
        RECT area = button->second;
        ::OffsetRect(&area, cell.left, cell.top);
        hit.onButton = ::PtInRect(&area, point) != FALSE;
    }
    return hit;
}

void CVirtualListCtrl::MoveToolTipTo(int row, int column)
{
    m_toolTipRow = row;
    m_toolTipColumn = column;
    if (!m_toolTip.GetSafeHwnd())
        return;
    // One tool for the whole list, made afresh for each cell so that a tip
    // shown for the previous cell goes and the new text is asked for.
    TTTOOLINFOW tool = {};
    tool.cbSize = TTTOOLINFOW_V2_SIZE;
    tool.uFlags = TTF_IDISHWND;
    tool.hwnd = m_hWnd;
    tool.uId = reinterpret_cast<UINT_PTR>(m_hWnd);
    if (m_toolTip.GetToolCount() > 0) {
        m_toolTip.SendMessage(TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
        m_toolTip.Activate(FALSE);
    }
    tool.lpszText = LPSTR_TEXTCALLBACKW;
    m_toolTip.SendMessage(TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    m_toolTip.SetMaxTipWidth(kToolTipWidth);
    m_toolTip.Activate(TRUE);
}

void CVirtualListCtrl::ResetButtonState()
{
    if (m_hotRow == -1 && m_pressedRow == -1)
        return;
    StopWatchingOutsideMoves();
    m_hotRow = -1;
    m_pressedRow = -1;
    m_activeColumn = -1;
    Invalidate();
}

bool CVirtualListCtrl::OnMouseMove(POINT point)
{
    Hit hit = HitTest(point);
    if (hit.row >= 0) {
        if (hit.onButton) {
            // Still over the button that is already hot or pressed: nothing
            // changes, so nothing is repainted.
            if ((hit.row == m_hotRow || hit.row == m_pressedRow) && hit.column == m_activeColumn)
                return false;
            StartWatchingOutsideMoves();
            m_activeColumn = hit.column;
            m_hotRow = hit.row;
            Invalidate();
            return false;
        }
        if (hit.row != m_toolTipRow || hit.column != m_toolTipColumn)
            MoveToolTipTo(hit.row, hit.column);
    }
    ResetButtonState();
    return true;
}

bool CVirtualListCtrl::OnLButtonDown(POINT point)
{
    Hit hit = HitTest(point);
    if (hit.row >= 0 && hit.onButton) {
        // A press on a button is the button's, not a selection of the row.
        if (hit.row == m_pressedRow && hit.column == m_activeColumn)
            return false;
        m_pressedRow = hit.row;
        m_activeColumn = hit.column;
        Invalidate();
        return false;
    }
    ResetButtonState();
    return true;
}

bool CVirtualListCtrl::OnLButtonUp(POINT point)
{
    Hit hit = HitTest(point);
    if (hit.row >= 0 && hit.onButton) {
        if (m_listParent)
            m_listParent->OnCellButtonClick(hit.row, hit.column, static_cast<UINT>(GetDlgCtrlID()));
        Invalidate();
    }
    if (m_pressedRow != -1 || m_hotRow != -1) {
        m_pressedRow = -1;
        Invalidate();
    }
    return true;
}

bool CVirtualListCtrl::OnToolTipNeedText(NMTTDISPINFOW* info)
{
    info->szText[0] = L'\0';
    info->lpszText = info->szText;
    info->hinst = nullptr;
    DWORD position = ::GetMessagePos();
    POINT point = {GET_X_LPARAM(position), GET_Y_LPARAM(position)};
    ScreenToClient(point);
    Hit hit = HitTest(point);
    if (hit.row < 0 || !m_listParent)
        return false;
    std::wstring text =
        ToolTipText(m_listParent->GetCellText(hit.row, hit.column, static_cast<UINT>(GetDlgCtrlID())));
    if (text.empty())
        return false;
    size_t length = std::min(text.size(), kToolTipChars - 1);
    std::copy_n(text.begin(), length, m_toolTipText);
    m_toolTipText[length] = L'\0';
    info->lpszText = m_toolTipText;
    return true;
}

void CVirtualListCtrl::StartWatchingOutsideMoves()
{
    if (!IsWatched(this))
        t_watch.lists.push_back(this);
    if (!t_watch.hook.IsValid())
        t_watch.hook.Reset(
            ::SetWindowsHookExW(WH_GETMESSAGE, OutsideMoveHook, nullptr, ::GetCurrentThreadId()));
}

void CVirtualListCtrl::StopWatchingOutsideMoves()
{
    auto found = std::find(t_watch.lists.begin(), t_watch.lists.end(), this);
    if (found == t_watch.lists.end())
        return;
    t_watch.lists.erase(found);
    if (t_watch.lists.empty())
        t_watch.hook.Reset();
}

LRESULT CALLBACK CVirtualListCtrl::OutsideMoveHook(int code, WPARAM wParam, LPARAM lParam)
{
    const MSG* message = reinterpret_cast<const MSG*>(lParam);
    if (code == HC_ACTION && wParam == PM_REMOVE &&
        (message->message == WM_MOUSEMOVE || message->message == WM_NCMOUSEMOVE)) {
        Tavrin::Platform::Guarded(
            L"CVirtualListCtrl::OutsideMoveHook", [message] { HandOutsideMove(*message); }, [] {});
    }
    // The message goes on to the next hook whatever became of the lists.
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

void CVirtualListCtrl::HandOutsideMove(const MSG& message)
{
    // A list's handling may stop its watch (and so change the set).
    std::vector<CVirtualListCtrl*> lists = t_watch.lists;
    for (CVirtualListCtrl* list : lists) {
        if (!IsWatched(list) || !list->m_hWnd || message.hwnd == list->m_hWnd)
            continue;
        POINT point = {GET_X_LPARAM(message.lParam), GET_Y_LPARAM(message.lParam)};
        if (message.message == WM_MOUSEMOVE)
            ::MapWindowPoints(message.hwnd, list->m_hWnd, &point, 1);
        else
            list->ScreenToClient(point);
        // A hidden list has no buttons under the pointer.
        if (!list->IsWindowVisible())
            point = {-1, -1};
        list->OnMouseMove(point);
    }
}

void CVirtualListCtrl::DrawItem(DRAWITEMSTRUCT* item)
{
    if (m_drawParent)
        m_drawParent->DrawListItem(item);
}

BOOL CVirtualListCtrl::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    if (message == WM_MEASUREITEM) {
        if (!m_drawParent)
            return FALSE;
        m_drawParent->MeasureListItem(reinterpret_cast<MEASUREITEMSTRUCT*>(lParam));
        *result = TRUE;
        return TRUE;
    }
    if (message == WM_NOTIFY && reinterpret_cast<const NMHDR*>(lParam)->code == LVN_GETDISPINFOW) {
        LVITEMW& item = reinterpret_cast<NMLVDISPINFOW*>(lParam)->item;
        if ((item.mask & LVIF_TEXT) && item.pszText && item.cchTextMax > 0) {
            std::wstring text;
            if (m_listParent)
                text =
                    m_listParent->GetCellText(item.iItem, item.iSubItem, static_cast<UINT>(GetDlgCtrlID()));
            size_t length = std::min(text.size(), static_cast<size_t>(item.cchTextMax) - 1);
            std::copy_n(text.begin(), length, item.pszText);
            item.pszText[length] = L'\0';
        }
        *result = 0;
        return TRUE;
    }
    return CListCtrl::OnChildNotify(message, wParam, lParam, result);
}

BOOL CVirtualListCtrl::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    auto header = reinterpret_cast<NMHDR*>(lParam);
    if (header && header->code == TTN_NEEDTEXTW) {
        OnToolTipNeedText(reinterpret_cast<NMTTDISPINFOW*>(lParam));
        *result = 0;
        return TRUE;
    }
    return CListCtrl::OnNotify(wParam, lParam, result);
}

LRESULT CVirtualListCtrl::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    POINT point = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    switch (message) {
    case WM_MOUSEMOVE:
        if (!OnMouseMove(point))
            return 0;
        break;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        // The second press of a double click on a button is a press on it too.
        if (!OnLButtonDown(point))
            return 0;
        break;
    case WM_LBUTTONUP:
        if (!OnLButtonUp(point))
            return 0;
        break;
    case WM_KEYDOWN:
        // Space follows the link of the focused row: the keyboard's click on
        // a row's cell button, for lists whose rows have one.
        if (wParam == VK_SPACE && !m_cellButtons.empty() && m_listParent) {
            const auto row =
                static_cast<int>(SendMessage(LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED));
            if (row >= 0) {
                m_listParent->OnCellButtonClick(row, m_cellButtons.begin()->first,
                                                static_cast<UINT>(GetDlgCtrlID()));
                return 0;
            }
        }
        break;
    case WM_ERASEBKGND:
        // Rows are painted by the list and the drawing owner; an erase first
        // would only flicker.
        return TRUE;
    case WM_DESTROY:
        StopWatchingOutsideMoves();
        break;
    }
    return CListCtrl::WindowProc(message, wParam, lParam);
}
