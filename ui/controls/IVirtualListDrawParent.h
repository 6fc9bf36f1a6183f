#pragma once
#include <windows.h>

// Draws the rows of owner-drawn CVirtualListCtrl windows.
class IVirtualListDrawParent {
public:
    virtual ~IVirtualListDrawParent() = default;
    // One whole row: item->CtlID is the list, item->itemID the row.
    virtual void DrawListItem(DRAWITEMSTRUCT* item) = 0;
    // Sets the row height (item->itemHeight) when the list asks for it.
    virtual void MeasureListItem(MEASUREITEMSTRUCT* item) = 0;
};
