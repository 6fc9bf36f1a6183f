#pragma once
#include <windows.h>

#include <string>

// The owner of one or more CVirtualListCtrl windows: it holds the rows and
// answers for every cell. The list identifier is the list window's control
// identifier, so one owner can serve several lists.
class IVirtualListParent {
public:
    virtual ~IVirtualListParent() = default;
    // The text of one cell (row and column zero-based); empty when none.
    virtual std::wstring GetCellText(int row, int column, UINT listId) = 0;
    // The mouse button was released over a cell button of that cell.
    virtual void OnCellButtonClick(int row, int column, UINT listId) = 0;
};
