#pragma once
#include "framework/CDC.h"
#include "platform/GdiHandles.h"

// A buffer for one paint of a transparent control. It starts as a copy of
// the block of `source` (the parent's back buffer) under the control and is
// copied to `target` when it goes, so the control draws on top of its
// parent's background and shows the result in one copy.
class CMemDC2 : public CDC {
public:
    // `rect` is the control's client rectangle; (sourceX, sourceY) is where
    // the control's corner lies in the source.
    CMemDC2(HDC target, HDC source, const RECT& rect, int sourceX, int sourceY);
    ~CMemDC2() override;

private:
    Tavrin::Platform::UniqueBitmap m_bitmap;
    HGDIOBJ m_previousBitmap = nullptr;
    HDC m_target;
    RECT m_rect;
    bool m_copyOnDestroy = true;
};
