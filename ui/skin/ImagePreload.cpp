#include "ui/skin/ImagePreload.h"

#include <mutex>
#include <system_error>

namespace {

// The preload LoadImageFile takes from: set by Finish, once the worker has
// been joined, and cleared by the destructor. Images are loaded on the
// user-interface thread, but a load from any other thread is safe too.
std::mutex s_mutex;
CImagePreload* s_active = nullptr;

} // namespace

CImagePreload::CImagePreload(HINSTANCE instance, std::vector<std::wstring> relativePaths)
    : m_instance(instance), m_paths(std::move(relativePaths))
{
    try {
        m_worker = std::thread([this] {
            for (const std::wstring& path : m_paths)
                m_images.emplace(path, LoadImageFile(m_instance, path));
        });
    } catch (const std::system_error&) {
        // No thread to spare: the images are read when first used.
    }
}

CImagePreload::~CImagePreload()
{
    if (m_worker.joinable())
        m_worker.join();
    std::lock_guard<std::mutex> lock(s_mutex);
    if (s_active == this)
        s_active = nullptr;
}

void CImagePreload::Finish()
{
    if (m_worker.joinable())
        m_worker.join();
    std::lock_guard<std::mutex> lock(s_mutex);
    s_active = this;
}

Gdiplus::Image* CImagePreload::Take(HINSTANCE instance, const std::wstring& relativePath)
{
    std::lock_guard<std::mutex> lock(s_mutex);
    if (!s_active || s_active->m_instance != instance)
        return nullptr;
    auto found = s_active->m_images.find(relativePath);
    if (found == s_active->m_images.end())
        return nullptr;
    Gdiplus::Image* image = found->second.release();
    s_active->m_images.erase(found);
    return image;
}
