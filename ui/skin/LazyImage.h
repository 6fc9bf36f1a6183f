#pragma once
#include <memory>
#include <string>

#include "ui/skin/Skin.h"

// An image file relative to the program's folder, read on first use: most of
// a window's images (hover and pressed states, the headers of hidden pages)
// are never drawn in a short visit, and reading them all would slow the start.
// An empty path or a file that cannot be read gives no image.
class CLazyImage {
public:
    CLazyImage() = default;
    explicit CLazyImage(std::wstring path) : m_path(std::move(path)) {}

    void SetPath(const std::wstring& path)
    {
        m_path = path;
        m_image.reset();
        m_tried = false;
    }
    Gdiplus::Image* Get() const;
    explicit operator bool() const { return Get() != nullptr; }
    Gdiplus::Image* operator->() const { return Get(); }

private:
    std::wstring m_path;
    mutable std::unique_ptr<Gdiplus::Image> m_image;
    mutable bool m_tried = false;
};
