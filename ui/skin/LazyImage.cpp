#include "ui/skin/LazyImage.h"

#include "framework/CWinApp.h"

Gdiplus::Image* CLazyImage::Get() const
{
    if (!m_tried) {
        m_tried = true;
        if (!m_path.empty())
            m_image.reset(LoadImageFile(AfxGetInstanceHandle(), m_path));
    }
    return m_image.get();
}
