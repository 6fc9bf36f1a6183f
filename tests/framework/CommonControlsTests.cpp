#include <gtest/gtest.h>

#include "framework/CListCtrl.h"
#include "framework/CToolTipCtrl.h"
#include "tests/support/WindowTestSupport.h"

using namespace Tavrin::Test;

TEST(CListCtrl, AnOwnerDataReportListHoldsOnlyItsCountAndFindsCells)
{
    CWnd host;
    ASSERT_TRUE(
        host.CreateEx(0, nullptr, L"List host", WS_POPUP | WS_VISIBLE, RECT{0, 0, 400, 300}, nullptr, 0));
    CListCtrl list;
    ASSERT_TRUE(list.Create(WS_VISIBLE | LVS_REPORT | LVS_OWNERDATA, RECT{0, 0, 400, 300}, &host, 1020));
    EXPECT_EQ(list.GetDlgCtrlID(), 1020);
    list.SetExtendedStyle(LVS_EX_DOUBLEBUFFER);
    EXPECT_TRUE(list.GetExtendedStyle() & LVS_EX_DOUBLEBUFFER);
    EXPECT_EQ(list.InsertColumn(0, L"", LVCFMT_LEFT, 150), 0);
    EXPECT_EQ(list.InsertColumn(1, L"", LVCFMT_LEFT, 100), 1);
    EXPECT_EQ(list.GetColumnWidth(0), 150);
    list.SetColumnWidth(1, 120);
    EXPECT_EQ(list.GetColumnWidth(1), 120);
    ASSERT_TRUE(list.SetItemCountEx(1000));
    EXPECT_EQ(list.GetItemCount(), 1000);
    PumpMessages();

    RECT cell = {};
    ASSERT_TRUE(list.GetSubItemRect(2, 1, LVIR_BOUNDS, cell));
    EXPECT_EQ(cell.left, 150);
    LVHITTESTINFO hit = {};
    hit.pt = {cell.left + 5, (cell.top + cell.bottom) / 2};
    EXPECT_EQ(list.SubItemHitTest(&hit), 2);
    EXPECT_EQ(hit.iItem, 2);
    EXPECT_EQ(hit.iSubItem, 1);
    EXPECT_NE(list.GetHeaderCtrl(), nullptr);
}

TEST(CToolTipCtrl, ToolsOfAWindowAndOfARectangleAreAddedAndRemoved)
{
    CWnd host;
    ASSERT_TRUE(
        host.CreateEx(0, nullptr, L"Tip host", WS_POPUP | WS_VISIBLE, RECT{0, 0, 200, 100}, nullptr, 0));
    CWnd child;
    ASSERT_TRUE(child.CreateEx(0, nullptr, L"", WS_CHILD | WS_VISIBLE, RECT{0, 0, 50, 20}, host, 5));
    CToolTipCtrl tip;
    ASSERT_TRUE(tip.Create(&host));
    // Above every ordinary window, and owned by the host.
    EXPECT_NE(::GetWindowLongPtrW(tip, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
    EXPECT_EQ(::GetWindow(tip, GW_OWNER), host.m_hWnd);
    EXPECT_EQ(tip.GetToolCount(), 0);
    ASSERT_TRUE(tip.AddTool(child, nullptr));
    RECT area = {60, 0, 120, 20};
    ASSERT_TRUE(tip.AddTool(host, L"Area", &area, 7));
    EXPECT_EQ(tip.GetToolCount(), 2);
    EXPECT_EQ(tip.SetMaxTipWidth(200), -1) << "the previous width: none";
    tip.DelTool(child);
    EXPECT_EQ(tip.GetToolCount(), 1);
    tip.DelTool(host, 7);
    EXPECT_EQ(tip.GetToolCount(), 0);
    MSG message = {child.m_hWnd, WM_MOUSEMOVE, 0, 0, 0, {5, 5}};
    tip.RelayEvent(&message);
    tip.Activate(FALSE);
}
