#pragma once
#include <oleauto.h>

#include <string>

namespace Tavrin::Platform {

// A BSTR owned by the object.
class BStr {
public:
    BStr() = default;
    explicit BStr(const wchar_t* text) : m_text(::SysAllocString(text)) {}
    explicit BStr(const std::wstring& text) : BStr(text.c_str()) {}
    ~BStr() { ::SysFreeString(m_text); }
    BStr(const BStr&) = delete;
    BStr& operator=(const BStr&) = delete;
    BSTR Get() const { return m_text; }
    // For calls that hand out a string; frees the one held before.
    BSTR* Put()
    {
        ::SysFreeString(m_text);
        m_text = nullptr;
        return &m_text;
    }
    std::wstring Text() const
    {
        return m_text ? std::wstring(m_text, ::SysStringLen(m_text)) : std::wstring();
    }

private:
    BSTR m_text = nullptr;
};

// A VARIANT cleared when the object goes.
class Variant {
public:
    Variant() { ::VariantInit(&m_value); }
    ~Variant() { ::VariantClear(&m_value); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
    VARIANT* Put()
    {
        ::VariantClear(&m_value);
        return &m_value;
    }
    const VARIANT& Get() const { return m_value; }
    VARIANT& Get() { return m_value; }

private:
    VARIANT m_value;
};

} // namespace Tavrin::Platform
