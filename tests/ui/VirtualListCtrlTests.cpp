#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "framework/CDialogEx.h"
#include "tests/support/WindowTestSupport.h"
#include "ui/controls/CVirtualListCtrl.h"

using namespace Tavrin::Test;

namespace {

constexpr UINT kListId = 1500;
constexpr int kNameWidth = 200;
constexpr int kLinkWidth = 250;
constexpr int kRowHeight = 25;
constexpr int kButtonHeight = 20;

// A window that owns one virtual list and records what the list asks of it.
class ListHost : public CDialogEx, public IVirtualListParent, public IVirtualListDrawParent {
public:
    ListHost() : list(this, this) {}

    std::wstring GetCellText(int row, int column, UINT listId) override
    {
        ++textRequests;
        if (listId != kListId || row < 0 || static_cast<size_t>(row) >= names.size())
            return {};
        if (column == 0)
            return names[static_cast<size_t>(row)];
        return column == 1 ? L"Link" : L"";
    }
    void OnCellButtonClick(int row, int column, UINT listId) override
    {
        clicks.emplace_back(row, column, listId);
    }
    void DrawListItem(DRAWITEMSTRUCT* item) override
    {
        ++draws;
        ::FillRect(item->hDC, &item->rcItem, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
    }
    void MeasureListItem(MEASUREITEMSTRUCT* item) override
    {
        ++measures;
        item->itemHeight = kRowHeight;
    }

    CVirtualListCtrl list;
    std::vector<std::wstring> names;
    int textRequests = 0;
    int draws = 0;
    int measures = 0;
    std::vector<std::tuple<int, int, UINT>> clicks;
};

class VirtualListTest : public ::testing::Test {
protected:
    void Create(int count)
    {
        for (int i = 0; i < count; ++i)
            host.names.push_back(L"C:\\Folder " + std::to_wstring(i) + L"\\");
        ASSERT_TRUE(host.CreateIndirect(form.Get(), nullptr));
        ASSERT_TRUE(host.list.Create(WS_VISIBLE | WS_BORDER, RECT{10, 10, 510, 260}, &host, kListId));
        host.list.SetItemCount(count);
        host.list.InsertColumn(0, L"", LVCFMT_LEFT, kNameWidth);
        host.list.InsertColumn(1, L"", LVCFMT_LEFT, kLinkWidth);
        host.list.SetCellButton(1, RECT{0, 0, kLinkWidth, kButtonHeight});
        PumpMessages();
    }

    // A point inside a cell, `down` pixels below the row's top.
    POINT CellPoint(int row, int column, int down = 10) const
    {
        RECT cell;
        host.list.GetSubItemRect(row, column, LVIR_BOUNDS, cell);
        return {cell.left + 15, cell.top + down};
    }

    // Whether the list has a part waiting to be repainted.
    bool NeedsRepaint() const { return ::GetUpdateRect(host.list, nullptr, FALSE) != FALSE; }

    DialogTemplate form{WS_POPUP | WS_CAPTION | WS_VISIBLE, 10, 10, 360, 200, L"Virtual list"};
    ListHost host;
};

} // namespace

TEST_F(VirtualListTest, AListWithNoRowsNeverAsksForText)
{
    Create(0);
    host.list.UpdateWindow();
    for (int y = 5; y < 240; y += 20) {
        MouseMove(host.list, {50, y});
        MouseMove(host.list, {kNameWidth + 20, y});
        Click(host.list, {kNameWidth + 20, y});
    }
    wchar_t buffer[64] = L"untouched";
    LVITEMW item = {};
    item.iSubItem = 0;
    item.pszText = buffer;
    item.cchTextMax = 64;
    host.list.SendMessage(LVM_GETITEMTEXTW, 0, reinterpret_cast<LPARAM>(&item));
    PumpMessages();
    EXPECT_EQ(host.textRequests, 0);
    EXPECT_TRUE(host.clicks.empty());
    EXPECT_EQ(host.list.GetHotRow(), -1);
}

TEST_F(VirtualListTest, TextRequestsAreAnsweredByTheOwnerAndCutToTheBuffer)
{
    Create(3);
    wchar_t buffer[6] = {};
    LVITEMW item = {};
    item.iSubItem = 0;
    item.pszText = buffer;
    item.cchTextMax = 6;
    host.list.SendMessage(LVM_GETITEMTEXTW, 2, reinterpret_cast<LPARAM>(&item));
    EXPECT_GE(host.textRequests, 1);
    EXPECT_EQ(std::wstring(buffer), L"C:\\Fo");

    wchar_t wide[64] = {};
    item.iSubItem = 1;
    item.pszText = wide;
    item.cchTextMax = 64;
    host.list.SendMessage(LVM_GETITEMTEXTW, 1, reinterpret_cast<LPARAM>(&item));
    EXPECT_EQ(std::wstring(wide), L"Link");
}

TEST_F(VirtualListTest, RowsAreDrawnAndMeasuredByTheDrawingOwner)
{
    Create(4);
    host.list.Invalidate();
    host.list.UpdateWindow();
    EXPECT_GE(host.measures, 1);
    EXPECT_GE(host.draws, 4);
    RECT row;
    ASSERT_TRUE(host.list.GetItemRect(0, row, LVIR_BOUNDS));
    EXPECT_EQ(row.bottom - row.top, kRowHeight);
}

TEST_F(VirtualListTest, MovingOntoAButtonMakesItHotAndRepaints)
{
    Create(5);
    MouseMove(host.list, CellPoint(1, 1));
    EXPECT_EQ(host.list.GetHotRow(), 1);
    EXPECT_EQ(host.list.GetActiveColumn(), 1);
    EXPECT_EQ(host.list.GetPressedRow(), -1);
    EXPECT_TRUE(host.list.IsWatchingOutsideMoves());
    EXPECT_TRUE(NeedsRepaint());
}

TEST_F(VirtualListTest, MovingWithinTheHotButtonCausesNoRepaint)
{
    Create(5);
    MouseMove(host.list, CellPoint(1, 1));
    host.list.UpdateWindow();
    ASSERT_FALSE(NeedsRepaint());
    int drawsBefore = host.draws;

    POINT elsewhere = CellPoint(1, 1, 15);
    elsewhere.x += 100;
    MouseMove(host.list, elsewhere);
    EXPECT_FALSE(NeedsRepaint());
    PumpMessages();
    EXPECT_EQ(host.draws, drawsBefore);
    EXPECT_EQ(host.list.GetHotRow(), 1);

    // The same column's button one row down moves the hot row.
    MouseMove(host.list, CellPoint(2, 1));
    EXPECT_EQ(host.list.GetHotRow(), 2);
    EXPECT_TRUE(NeedsRepaint());
}

TEST_F(VirtualListTest, LeavingEveryButtonReturnsToIdle)
{
    Create(5);
    MouseMove(host.list, CellPoint(1, 1));
    ASSERT_EQ(host.list.GetHotRow(), 1);
    host.list.UpdateWindow();
    // Below the 20-pixel button strip of the same cell.
    MouseMove(host.list, CellPoint(1, 1, 22));
    EXPECT_EQ(host.list.GetHotRow(), -1);
    EXPECT_EQ(host.list.GetActiveColumn(), -1);
    EXPECT_FALSE(host.list.IsWatchingOutsideMoves());
    EXPECT_TRUE(NeedsRepaint());
}

TEST_F(VirtualListTest, AMoveDeliveredToAnotherWindowEndsTheHotState)
{
    Create(5);
    MouseMove(host.list, CellPoint(3, 1));
    ASSERT_EQ(host.list.GetHotRow(), 3);
    // The pointer left the list so fast that the next move went to the host.
    ::PostMessageW(host, WM_MOUSEMOVE, 0, MAKELPARAM(2, 2));
    PumpMessages();
    EXPECT_EQ(host.list.GetHotRow(), -1);
    EXPECT_FALSE(host.list.IsWatchingOutsideMoves());
}

TEST_F(VirtualListTest, APressOnAButtonDoesNotSelectTheRow)
{
    Create(5);
    MouseMove(host.list, CellPoint(2, 1));
    LeftButtonDown(host.list, CellPoint(2, 1));
    EXPECT_EQ(host.list.GetPressedRow(), 2);
    EXPECT_EQ(host.list.GetActiveColumn(), 1);
    EXPECT_EQ(host.list.GetItemState(2, LVIS_SELECTED), 0u);
    EXPECT_EQ(host.list.GetSelectedCount(), 0u);
    LeftButtonUp(host.list, CellPoint(2, 1));
    EXPECT_EQ(host.list.GetPressedRow(), -1);
    EXPECT_EQ(host.list.GetHotRow(), 2);
    EXPECT_EQ(host.list.GetSelectedCount(), 0u);
}

TEST_F(VirtualListTest, APressElsewhereSelectsTheRowAndClearsTheButtonState)
{
    Create(5);
    MouseMove(host.list, CellPoint(2, 1));
    LeftButtonDown(host.list, CellPoint(2, 1));
    ASSERT_EQ(host.list.GetPressedRow(), 2);
    LeftButtonDown(host.list, CellPoint(3, 0));
    LeftButtonUp(host.list, CellPoint(3, 0));
    EXPECT_EQ(host.list.GetHotRow(), -1);
    EXPECT_EQ(host.list.GetPressedRow(), -1);
    EXPECT_EQ(host.list.GetActiveColumn(), -1);
    EXPECT_NE(host.list.GetItemState(3, LVIS_SELECTED), 0u);
}

TEST_F(VirtualListTest, AReleaseOnAButtonClicksIt)
{
    Create(5);
    Click(host.list, CellPoint(4, 1));
    ASSERT_EQ(host.clicks.size(), 1u);
    EXPECT_EQ(host.clicks[0], std::make_tuple(4, 1, kListId));
    // The press need not have started on the same button.
    LeftButtonDown(host.list, CellPoint(0, 0));
    LeftButtonUp(host.list, CellPoint(1, 1));
    ASSERT_EQ(host.clicks.size(), 2u);
    EXPECT_EQ(host.clicks[1], std::make_tuple(1, 1, kListId));
}

TEST_F(VirtualListTest, AColumnWithoutACellButtonNeverClicks)
{
    Create(5);
    for (int row = 0; row < 5; ++row)
        for (int down : {2, 10, 18, 23})
            Click(host.list, CellPoint(row, 0, down));
    // Below the button strip of the button column.
    Click(host.list, CellPoint(2, 1, 22));
    EXPECT_TRUE(host.clicks.empty());
}

TEST_F(VirtualListTest, TheTooltipIsRebuiltOnlyWhenTheCellChanges)
{
    Create(5);
    EXPECT_EQ(host.list.GetToolTipRow(), -1);
    MouseMove(host.list, CellPoint(1, 0));
    EXPECT_EQ(host.list.GetToolTipRow(), 1);
    EXPECT_EQ(host.list.GetToolTipColumn(), 0);
    EXPECT_EQ(host.list.GetOwnToolTip().GetToolCount(), 1);
    MouseMove(host.list, CellPoint(1, 0, 20));
    EXPECT_EQ(host.list.GetToolTipRow(), 1);
    MouseMove(host.list, CellPoint(3, 1, 22));
    EXPECT_EQ(host.list.GetToolTipRow(), 3);
    EXPECT_EQ(host.list.GetToolTipColumn(), 1);
    EXPECT_EQ(host.list.GetOwnToolTip().GetToolCount(), 1);
}

TEST(VirtualListToolTip, TextLosesBackslashesAtBothEndsExceptForNetworkPaths)
{
    EXPECT_EQ(CVirtualListCtrl::ToolTipText(L"C:\\Windows\\"), L"C:\\Windows");
    EXPECT_EQ(CVirtualListCtrl::ToolTipText(L"\\C:\\Windows\\\\"), L"C:\\Windows");
    EXPECT_EQ(CVirtualListCtrl::ToolTipText(L"\\\\server\\share"), L"\\\\server\\share");
    EXPECT_EQ(CVirtualListCtrl::ToolTipText(L"\\\\server\\share\\folder\\"), L"\\\\server\\share\\folder\\");
    EXPECT_EQ(CVirtualListCtrl::ToolTipText(L"\\\\server"), L"server");
    EXPECT_EQ(CVirtualListCtrl::ToolTipText(L"\\\\\\"), L"");
    EXPECT_EQ(CVirtualListCtrl::ToolTipText(L"Plain name"), L"Plain name");
}

namespace {

// Makes the position of "the current message" a point of the list, as it
// is when the tooltip asks for its text while the pointer rests there.
void SetMessagePosition(HWND list, POINT client)
{
    POINT screen = client;
    ::ClientToScreen(list, &screen);
    ::SetCursorPos(screen.x, screen.y);
    ::PostMessageW(list, WM_NULL, 0, 0);
    MSG message;
    ::PeekMessageW(&message, list, WM_NULL, WM_NULL, PM_REMOVE);
}

// Asks the list for the tip text as its tooltip does; empty when there is none.
std::wstring AskToolTipText(CVirtualListCtrl& list)
{
    NMTTDISPINFOW info = {};
    info.hdr.hwndFrom = list.GetOwnToolTip();
    info.hdr.idFrom = reinterpret_cast<UINT_PTR>(list.GetSafeHwnd());
    info.hdr.code = TTN_NEEDTEXTW;
    info.lpszText = info.szText;
    list.SendMessage(WM_NOTIFY, info.hdr.idFrom, reinterpret_cast<LPARAM>(&info));
    return info.lpszText ? std::wstring(info.lpszText) : std::wstring();
}

} // namespace

TEST_F(VirtualListTest, TheTooltipShowsTheCellUnderThePointer)
{
    host.names = {L"C:\\Windows\\", L"\\\\server\\share", L"\\\\", std::wstring(300, L'x')};
    Create(0);
    host.list.SetItemCount(4);
    PumpMessages();

    SetMessagePosition(host.list, CellPoint(0, 0));
    EXPECT_EQ(AskToolTipText(host.list), L"C:\\Windows");
    SetMessagePosition(host.list, CellPoint(1, 0));
    EXPECT_EQ(AskToolTipText(host.list), L"\\\\server\\share");
    SetMessagePosition(host.list, CellPoint(1, 1));
    EXPECT_EQ(AskToolTipText(host.list), L"Link");
    // Nothing but backslashes: no tip.
    SetMessagePosition(host.list, CellPoint(2, 0));
    EXPECT_EQ(AskToolTipText(host.list), L"");
    // At most 259 characters.
    SetMessagePosition(host.list, CellPoint(3, 0));
    EXPECT_EQ(AskToolTipText(host.list), std::wstring(259, L'x'));
    // Below the last row there is no cell and no tip.
    int requests = host.textRequests;
    SetMessagePosition(host.list, {50, 230});
    EXPECT_EQ(AskToolTipText(host.list), L"");
    EXPECT_EQ(host.textRequests, requests);
}

TEST_F(VirtualListTest, TheTooltipAppearsOverTheCellWithItsText)
{
    host.names = {L"C:\\Windows\\", L"second"};
    Create(0);
    host.list.SetItemCount(2);
    PumpMessages();
    POINT cell = CellPoint(0, 0);
    POINT screen = cell;
    ::ClientToScreen(host.list, &screen);
    ::SetCursorPos(screen.x, screen.y);
    HWND tip = host.list.GetOwnToolTip();
    ASSERT_NE(tip, nullptr);
    // Real pointer moves reach the tooltip through the message loop's
    // pre-translation, as in the program's modal loop.
    // One move, then the pointer rests: every further move would restart
    // the tooltip's wait.
    ::PostMessageW(host.list, WM_MOUSEMOVE, 0, MAKELPARAM(cell.x, cell.y));
    DWORD start = ::GetTickCount();
    bool shown = false;
    while (!shown && ::GetTickCount() - start < 5000) {
        MSG message;
        while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (!CWnd::WalkPreTranslateTree(host, &message)) {
                ::TranslateMessage(&message);
                ::DispatchMessageW(&message);
            }
        }
        shown = ::IsWindowVisible(tip) != FALSE;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
    }
    ASSERT_TRUE(shown);
    wchar_t text[300] = {};
    ::GetWindowTextW(tip, text, 300);
    EXPECT_EQ(std::wstring(text), L"C:\\Windows");
    // Always shown, wrapping at 200 pixels.
    EXPECT_NE(::GetWindowLongPtrW(tip, GWL_STYLE) & TTS_ALWAYSTIP, 0);
    EXPECT_EQ(::SendMessageW(tip, TTM_GETMAXTIPWIDTH, 0, 0), 200);
}
