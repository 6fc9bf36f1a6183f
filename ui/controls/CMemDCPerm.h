#pragma once
#include "framework/CDC.h"
#include "platform/GdiHandles.h"

// The persistent back buffer of a skinned dialog: rebuilt at every paint,
// then kept (device context and bitmap alive) until the next one, so that
// child controls can copy their background from it at any time.
class CMemDCPerm : public CDC {
public:
    CMemDCPerm() = default;
    // Deletes the bitmap and the device context; nothing is copied.
    ~CMemDCPerm() override;

    // Drops the previous buffer and makes a new one of `rect`'s size for a
    // paint onto `target`, filled with `fill`. False when GDI cannot make it.
    bool Rebuild(HDC target, const RECT& rect, COLORREF fill);
    // Copies the buffer to the paint's target at the same position and
    // forgets the target. Nothing happens without a target.
    void Present();

    bool HasTarget() const { return m_target != nullptr; }
    const RECT& Rect() const { return m_rect; }

private:
    void Release();

    Tavrin::Platform::UniqueBitmap m_bitmap;
    HGDIOBJ m_previousBitmap = nullptr;
    HDC m_target = nullptr;
    RECT m_rect = {};
};
