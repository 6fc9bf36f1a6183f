#pragma once
#include <objbase.h>

#include <utility>

namespace Tavrin::Platform {

// Holds one COM interface reference.
template <typename T> class ComPtr {
public:
    ComPtr() = default;
    ~ComPtr() { Reset(); }
    ComPtr(const ComPtr& other) : ptr_(other.ptr_)
    {
        if (ptr_)
            ptr_->AddRef();
    }
    ComPtr& operator=(const ComPtr& other)
    {
        ComPtr copy(other);
        std::swap(ptr_, copy.ptr_);
        return *this;
    }
    ComPtr(ComPtr&& other) noexcept : ptr_(std::exchange(other.ptr_, nullptr)) {}
    ComPtr& operator=(ComPtr&& other) noexcept
    {
        if (this != &other) {
            Reset();
            ptr_ = std::exchange(other.ptr_, nullptr);
        }
        return *this;
    }

    T* Get() const { return ptr_; }
    T* operator->() const { return ptr_; }
    explicit operator bool() const { return ptr_ != nullptr; }
    T** Put()
    {
        Reset();
        return &ptr_;
    }
    void** PutVoid() { return reinterpret_cast<void**>(Put()); }
    void Reset()
    {
        if (ptr_)
            std::exchange(ptr_, nullptr)->Release();
    }

    template <typename U> HRESULT As(ComPtr<U>& other) const
    {
        return ptr_ ? ptr_->QueryInterface(__uuidof(U), other.PutVoid()) : E_POINTER;
    }

private:
    T* ptr_ = nullptr;
};

// COM for the current thread, for the lifetime of the object.
class ComApartment {
public:
    explicit ComApartment(DWORD model = COINIT_APARTMENTTHREADED) : hr_(::CoInitializeEx(nullptr, model)) {}
    ~ComApartment()
    {
        if (SUCCEEDED(hr_))
            ::CoUninitialize();
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
    bool Succeeded() const { return SUCCEEDED(hr_); }
    HRESULT Result() const { return hr_; }

private:
    HRESULT hr_;
};

} // namespace Tavrin::Platform
