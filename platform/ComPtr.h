#pragma once
#include <objbase.h>

#include <utility>

namespace Tavrin::Platform {

// Holds one COM interface reference.
template <typename T> class ComPtr {
public:
    ComPtr() = default;
    ~ComPtr() { Reset(); }
    ComPtr(const ComPtr& other) : m_ptr(other.m_ptr)
    {
        if (m_ptr)
            m_ptr->AddRef();
    }
    ComPtr& operator=(const ComPtr& other)
    {
        ComPtr copy(other);
        std::swap(m_ptr, copy.m_ptr);
        return *this;
    }
    ComPtr(ComPtr&& other) noexcept : m_ptr(std::exchange(other.m_ptr, nullptr)) {}
    ComPtr& operator=(ComPtr&& other) noexcept
    {
        if (this != &other) {
            Reset();
            m_ptr = std::exchange(other.m_ptr, nullptr);
        }
        return *this;
    }

    T* Get() const { return m_ptr; }
    T* operator->() const { return m_ptr; }
    explicit operator bool() const { return m_ptr != nullptr; }
    T** Put()
    {
        Reset();
        return &m_ptr;
    }
    void** PutVoid() { return reinterpret_cast<void**>(Put()); }
    void Reset()
    {
        if (m_ptr)
            std::exchange(m_ptr, nullptr)->Release();
    }

    // Creates an object of class `id` (CoCreateInstance) and holds its
    // interface `iid`, by default T's own.
    HRESULT CreateInstance(REFCLSID id, DWORD context, REFIID iid = __uuidof(T))
    {
        return ::CoCreateInstance(id, nullptr, context, iid, PutVoid());
    }

    template <typename U> HRESULT As(ComPtr<U>& other) const
    {
        return m_ptr ? m_ptr->QueryInterface(__uuidof(U), other.PutVoid()) : E_POINTER;
    }

private:
    T* m_ptr = nullptr;
};

// COM for the current thread, for the lifetime of the object.
class ComApartment {
public:
    explicit ComApartment(DWORD model = COINIT_APARTMENTTHREADED) : m_hr(::CoInitializeEx(nullptr, model)) {}
    ~ComApartment()
    {
        if (SUCCEEDED(m_hr))
            ::CoUninitialize();
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
    bool Succeeded() const { return SUCCEEDED(m_hr); }
    HRESULT Result() const { return m_hr; }

private:
    HRESULT m_hr;
};

} // namespace Tavrin::Platform
