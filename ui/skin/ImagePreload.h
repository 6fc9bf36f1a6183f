#pragma once
#include <windows.h>

#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "ui/skin/Skin.h"

// Images read on a worker thread while the user-interface thread waits for
// something else (the start-up check), so that the first window's images
// are ready when it is created. Between Finish and the end of the object,
// LoadImageFile hands each preloaded image to one caller (a path listed
// twice serves two); later callers, and paths that were never preloaded,
// read the file as before. One preload is active at a time; what nobody
// took is freed with it.
class CImagePreload {
public:
    CImagePreload(HINSTANCE instance, std::vector<std::wstring> relativePaths);
    ~CImagePreload();
    CImagePreload(const CImagePreload&) = delete;
    CImagePreload& operator=(const CImagePreload&) = delete;

    // Waits for the worker and makes the images available.
    void Finish();

    // A preloaded image of this path not yet taken, else null.
    static Gdiplus::Image* Take(HINSTANCE instance, const std::wstring& relativePath);

private:
    HINSTANCE m_instance;
    std::vector<std::wstring> m_paths;
    std::multimap<std::wstring, std::unique_ptr<Gdiplus::Image>> m_images;
    std::thread m_worker;
};
