#include "core/compat/WmiQuery.h"

#include "platform/ComPtr.h"
#include "platform/ComVariant.h"

namespace Tavrin::Core {

using Platform::BStr;
using Platform::ComPtr;
using Platform::Variant;

namespace {

// The multithreaded apartment for the query's duration. A thread that is
// already in another apartment keeps it and the query runs there.
class QueryApartment {
public:
    explicit QueryApartment(ComSecurityInitializer initializeSecurity)
        : m_hr(::CoInitializeEx(nullptr, COINIT_MULTITHREADED))
    {
        if (SUCCEEDED(m_hr)) {
            // Fails harmlessly when the process already chose its security.
            initializeSecurity(nullptr, -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_PKT,
                               RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE, nullptr);
        }
    }
    ~QueryApartment()
    {
        if (SUCCEEDED(m_hr))
            ::CoUninitialize();
    }
    QueryApartment(const QueryApartment&) = delete;
    QueryApartment& operator=(const QueryApartment&) = delete;

private:
    HRESULT m_hr;
};

bool RunQuery(const wchar_t* query, const std::function<void(IWbemClassObject&)>& visit)
{
    ComPtr<IWbemLocator> locator;
    if (FAILED(locator.CreateInstance(CLSID_WbemLocator, CLSCTX_INPROC_SERVER)))
        return false;
    ComPtr<IWbemServices> services;
    BStr space(L"root\\cimv2");
    if (FAILED(locator->ConnectServer(space.Get(), nullptr, nullptr, nullptr, WBEM_FLAG_CONNECT_USE_MAX_WAIT,
                                      nullptr, nullptr, services.Put())))
        return false;
    ComPtr<IEnumWbemClassObject> objects;
    BStr language(L"WQL"), text(query);
    if (FAILED(
            services->ExecQuery(language.Get(), text.Get(), WBEM_FLAG_FORWARD_ONLY, nullptr, objects.Put())))
        return false;
    for (;;) {
        ComPtr<IWbemClassObject> object;
        ULONG returned = 0;
        if (FAILED(objects->Next(static_cast<long>(WBEM_INFINITE), 1, object.Put(), &returned)) ||
            returned == 0 || !object)
            break;
        visit(*object.Get());
    }
    return true;
}

} // namespace

bool ForEachWmiObject(const wchar_t* query, const std::function<void(IWbemClassObject&)>& visit,
                      ComSecurityInitializer initializeSecurity)
{
    QueryApartment apartment(initializeSecurity);
    return RunQuery(query, visit); // every interface is released before the apartment goes
}

std::optional<std::uint32_t> ReadWmiUnsigned(IWbemClassObject& object, const wchar_t* name)
{
    Variant value;
    if (FAILED(object.Get(name, 0, value.Put(), nullptr, nullptr)))
        return std::nullopt;
    if (value.Get().vt == VT_NULL || value.Get().vt == VT_EMPTY)
        return 0u;
    Variant converted;
    if (FAILED(::VariantChangeType(converted.Put(), &value.Get(), 0, VT_UI4)))
        return std::nullopt;
    return converted.Get().ulVal;
}

} // namespace Tavrin::Core
