#pragma once
#include <windows.h>

#include <utility>

namespace Tavrin::Platform {

// Owns one handle and closes it with Traits::Close; move-only.
template <typename Traits> class UniqueResource {
public:
    using Handle = typename Traits::Handle;

    UniqueResource() = default;
    explicit UniqueResource(Handle handle) : m_handle(handle) {}
    ~UniqueResource() { Reset(); }
    UniqueResource(const UniqueResource&) = delete;
    UniqueResource& operator=(const UniqueResource&) = delete;
    UniqueResource(UniqueResource&& other) noexcept : m_handle(other.Release()) {}
    UniqueResource& operator=(UniqueResource&& other) noexcept
    {
        if (this != &other)
            Reset(other.Release());
        return *this;
    }

    Handle Get() const { return m_handle; }
    bool IsValid() const { return Traits::IsValid(m_handle); }
    explicit operator bool() const { return IsValid(); }

    // For APIs that fill a handle through a pointer; closes the old one first.
    Handle* Put()
    {
        Reset();
        return &m_handle;
    }
    Handle Release() { return std::exchange(m_handle, Traits::Invalid()); }
    void Reset(Handle handle = Traits::Invalid())
    {
        if (Traits::IsValid(m_handle))
            Traits::Close(m_handle);
        m_handle = handle;
    }

private:
    Handle m_handle = Traits::Invalid();
};

// A handle that holds nothing when null, given back with `Release`.
template <typename H, auto Release> struct NullHandleTraits {
    using Handle = H;
    static Handle Invalid() { return nullptr; }
    static bool IsValid(Handle h) { return h != nullptr; }
    static void Close(Handle h) { Release(h); }
};

// A handle whose functions answer INVALID_HANDLE_VALUE for none.
template <typename H, auto Release> struct InvalidValueHandleTraits {
    using Handle = H;
    static Handle Invalid() { return INVALID_HANDLE_VALUE; }
    static bool IsValid(Handle h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void Close(Handle h) { Release(h); }
};

// Kernel objects: their functions answer null or INVALID_HANDLE_VALUE for
// none, depending on the function.
struct KernelHandleTraits {
    using Handle = HANDLE;
    static Handle Invalid() { return nullptr; }
    static bool IsValid(Handle h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void Close(Handle h) { ::CloseHandle(h); }
};
using UniqueHandle = UniqueResource<KernelHandleTraits>;

// Memory a system call allocated with LocalAlloc, held as the pointer type
// the call hands out (wchar_t* for a SID's text, PSID, HLOCAL).
template <typename T> using LocalMemoryOf = UniqueResource<NullHandleTraits<T, ::LocalFree>>;

using UniqueFindHandle = UniqueResource<InvalidValueHandleTraits<HANDLE, ::FindClose>>;
using UniqueModule = UniqueResource<NullHandleTraits<HMODULE, ::FreeLibrary>>;

} // namespace Tavrin::Platform
