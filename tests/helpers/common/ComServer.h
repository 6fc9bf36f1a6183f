#pragma once
// Pieces every in-process COM stand-in of the tests needs: a count of live
// objects for DllCanUnloadNow, a class factory that is a static object of the
// module, and a numbered call log in a key of the test registry.
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <new>
#include <string>
#include <vector>

#include "platform/RegKey.h"

namespace Tavrin::Test::ComServer {

inline std::atomic<long> liveObjects{0};

// Appends a line to the values "0001", "0002", ... of HKEY_CURRENT_USER\<keyPath>.
inline void AppendToLog(const std::wstring& keyPath, const std::wstring& line)
{
    Platform::RegKey log;
    if (log.Create(HKEY_CURRENT_USER, keyPath, KEY_ALL_ACCESS) != ERROR_SUCCESS)
        return;
    DWORD count = 0;
    ::RegQueryInfoKeyW(log.Get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count, nullptr,
                       nullptr, nullptr, nullptr);
    wchar_t name[16];
    std::swprintf(name, 16, L"%04lu", static_cast<unsigned long>(count + 1));
    log.SetString(name, line);
}

// The lines AppendToLog wrote, in order.
inline std::vector<std::wstring> ReadLog(const std::wstring& keyPath)
{
    std::vector<std::wstring> lines;
    Platform::RegKey log;
    if (log.Open(HKEY_CURRENT_USER, keyPath, KEY_READ) != ERROR_SUCCESS)
        return lines;
    for (int index = 1;; ++index) {
        wchar_t name[16];
        std::swprintf(name, 16, L"%04d", index);
        auto line = log.QueryString(name);
        if (!line)
            break;
        lines.push_back(*line);
    }
    return lines;
}

// Makes Object (constructed with no arguments, holding one reference).
template <typename Object> class ClassFactory final : public IClassFactory {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** object) override
    {
        if (!object)
            return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
            *object = static_cast<IClassFactory*>(this);
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }

    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** object) override
    {
        if (!object)
            return E_POINTER;
        *object = nullptr;
        if (outer)
            return CLASS_E_NOAGGREGATION;
        auto* created = new (std::nothrow) Object();
        if (!created)
            return E_OUTOFMEMORY;
        HRESULT hr = created->QueryInterface(riid, object);
        created->Release();
        return hr;
    }
    STDMETHODIMP LockServer(BOOL lock) override
    {
        lock ? ++liveObjects : --liveObjects;
        return S_OK;
    }
};

// The body of DllGetClassObject for a module that serves one class.
template <typename Object> HRESULT GetClassObject(REFCLSID served, REFCLSID clsid, REFIID riid, void** object)
{
    static ClassFactory<Object> factory;
    if (!object)
        return E_POINTER;
    *object = nullptr;
    if (!IsEqualCLSID(clsid, served))
        return CLASS_E_CLASSNOTAVAILABLE;
    return factory.QueryInterface(riid, object);
}

} // namespace Tavrin::Test::ComServer
