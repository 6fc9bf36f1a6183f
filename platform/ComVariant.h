#pragma once
#include <oleauto.h>

#include <string>

namespace Tavrin::Platform {

// A BSTR owned by the object.
class BStr {
public:
    explicit BStr(const wchar_t* text) : text_(::SysAllocString(text)) {}
    explicit BStr(const std::wstring& text) : BStr(text.c_str()) {}
    ~BStr() { ::SysFreeString(text_); }
    BStr(const BStr&) = delete;
    BStr& operator=(const BStr&) = delete;
    BSTR Get() const { return text_; }

private:
    BSTR text_;
};

// A VARIANT cleared when the object goes.
class Variant {
public:
    Variant() { ::VariantInit(&value_); }
    ~Variant() { ::VariantClear(&value_); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
    VARIANT* Put()
    {
        ::VariantClear(&value_);
        return &value_;
    }
    const VARIANT& Get() const { return value_; }
    VARIANT& Get() { return value_; }

private:
    VARIANT value_;
};

} // namespace Tavrin::Platform
