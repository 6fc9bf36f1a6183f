#pragma once
// Owners and access lists as Windows keeps them, where Wine keeps none (it
// derives them from the Unix modes, whatever was set).
#include <windows.h>
#include <sddl.h>

#include <string>
#include <vector>

#include "platform/FileSecurity.h"

namespace Tavrin::Test {

// While it lives, every read of a file's or folder's owner and access list
// answers readBack (or fails with readError), every write is recorded
// instead and answers writeResult; both record the final path of the object.
class SecurityStandIn {
public:
    struct Write {
        std::wstring path;
        SECURITY_INFORMATION parts;
        std::wstring sddl;
    };

    explicit SecurityStandIn(const wchar_t* readBack, DWORD readError = ERROR_SUCCESS,
                             DWORD writeResult = ERROR_SUCCESS)
    {
        State() = {readBack, readError, writeResult, {}, {}};
        m_previous = Platform::ReplaceSecurityFunctions({&Read, &Record});
    }
    ~SecurityStandIn() { Platform::ReplaceSecurityFunctions(m_previous); }
    SecurityStandIn(const SecurityStandIn&) = delete;
    SecurityStandIn& operator=(const SecurityStandIn&) = delete;

    static const std::vector<std::wstring>& Reads() { return State().reads; }
    static const std::vector<Write>& Writes() { return State().writes; }

    static std::wstring FinalPath(HANDLE handle)
    {
        wchar_t path[MAX_PATH] = {};
        DWORD length = ::GetFinalPathNameByHandleW(handle, path, MAX_PATH, FILE_NAME_NORMALIZED);
        return length && length < MAX_PATH ? path : L"";
    }

private:
    struct Answers {
        const wchar_t* readBack;
        DWORD readError;
        DWORD writeResult;
        std::vector<std::wstring> reads;
        std::vector<Write> writes;
    };
    static Answers& State()
    {
        static Answers answers;
        return answers;
    }
    static DWORD Read(HANDLE object, PSECURITY_DESCRIPTOR* descriptor)
    {
        State().reads.push_back(FinalPath(object));
        if (State().readError != ERROR_SUCCESS)
            return State().readError;
        return ::ConvertStringSecurityDescriptorToSecurityDescriptorW(State().readBack, SDDL_REVISION_1,
                                                                      descriptor, nullptr)
                   ? ERROR_SUCCESS
                   : ::GetLastError();
    }
    static DWORD Record(HANDLE object, SECURITY_INFORMATION parts, PSECURITY_DESCRIPTOR descriptor)
    {
        wchar_t* text = nullptr;
        ::ConvertSecurityDescriptorToStringSecurityDescriptorW(
            descriptor, SDDL_REVISION_1, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &text,
            nullptr);
        State().writes.push_back({FinalPath(object), parts, text ? text : L""});
        ::LocalFree(text);
        return State().writeResult;
    }

    Platform::SecurityFunctions m_previous;
};

} // namespace Tavrin::Test
