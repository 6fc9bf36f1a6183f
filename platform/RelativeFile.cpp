#include "platform/RelativeFile.h"

#include <winternl.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <vector>

#include "platform/Module.h"

namespace Tavrin::Platform {

namespace {

using NtCreateFileFunction = NTSTATUS(NTAPI*)(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES, PIO_STATUS_BLOCK,
                                              PLARGE_INTEGER, ULONG, ULONG, ULONG, ULONG, PVOID, ULONG);
using NtSetInformationFileFunction = NTSTATUS(NTAPI*)(HANDLE, PIO_STATUS_BLOCK, PVOID, ULONG,
                                                      FILE_INFORMATION_CLASS);
using RtlNtStatusToDosErrorFunction = ULONG(NTAPI*)(NTSTATUS);

// FileRenameInformation of the native call, which takes the name relative
// to a folder handle (the documented FILE_RENAME_INFO is read as a path by
// some systems).
constexpr FILE_INFORMATION_CLASS kFileRenameInformation = static_cast<FILE_INFORMATION_CLASS>(10);
struct RenameInformation {
    BOOLEAN replaceIfExists;
    HANDLE rootDirectory;
    ULONG fileNameLength;
    WCHAR fileName[1];
};

DWORD ErrorOf(NTSTATUS status)
{
    static const auto toError =
        SystemFunction<RtlNtStatusToDosErrorFunction>(L"ntdll.dll", "RtlNtStatusToDosError");
    return toError ? toError(status) : ERROR_GEN_FAILURE;
}

// One component of a path: no separator, no stream, not "." or "..".
bool IsPlainName(const std::wstring& name)
{
    return !name.empty() && name.size() < 0x7FFF && name.find_first_of(L"\\/:") == std::wstring::npos &&
           name != L"." && name != L"..";
}

} // namespace

UniqueHandle OpenRelative(HANDLE folder, const std::wstring& name, const RelativeFileSpec& spec, DWORD& error)
{
    // Only the native call takes a folder handle to open relative to.
    static const auto create = SystemFunction<NtCreateFileFunction>(L"ntdll.dll", "NtCreateFile");
    error = ERROR_INVALID_PARAMETER;
    if (!create || !folder || !IsPlainName(name))
        return UniqueHandle();
    const size_t bytes = name.size() * sizeof(wchar_t);

    UNICODE_STRING text;
    text.Buffer = const_cast<PWSTR>(name.c_str());
    text.Length = text.MaximumLength = static_cast<USHORT>(bytes);
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &text, OBJ_CASE_INSENSITIVE, folder, spec.security);
    IO_STATUS_BLOCK status = {};
    const ULONG kind = spec.kind == RelativeKind::Folder ? FILE_DIRECTORY_FILE
                       : spec.kind == RelativeKind::File ? FILE_NON_DIRECTORY_FILE
                                                         : 0;
    const ULONG options = FILE_OPEN_REPARSE_POINT | FILE_SYNCHRONOUS_IO_NONALERT | kind;
    const ULONG disposition = spec.how == RelativeOpen::CreateNew ? FILE_CREATE : FILE_OPEN;
    UniqueHandle opened;
    const NTSTATUS result = create(opened.Put(), spec.access | SYNCHRONIZE, &attributes, &status, nullptr,
                                   FILE_ATTRIBUTE_NORMAL, spec.share, disposition, options, nullptr, 0);
    if (result < 0) {
        opened.Release();
        error = ErrorOf(result);
        return UniqueHandle();
    }
    error = ERROR_SUCCESS;
    return opened;
}

bool IsLinkItself(HANDLE handle)
{
    FILE_ATTRIBUTE_TAG_INFO tag = {};
    return ::GetFileInformationByHandleEx(handle, FileAttributeTagInfo, &tag, sizeof(tag)) &&
           (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

DWORD RenameRelative(HANDLE handle, HANDLE folder, const std::wstring& newName)
{
    static const auto set =
        SystemFunction<NtSetInformationFileFunction>(L"ntdll.dll", "NtSetInformationFile");
    if (!set || !folder || !IsPlainName(newName))
        return ERROR_INVALID_PARAMETER;
    const ULONG nameBytes = static_cast<ULONG>(newName.size() * sizeof(wchar_t));
    // Never shorter than the structure itself, which the system checks.
    std::vector<unsigned char> buffer(
        std::max<size_t>(sizeof(RenameInformation), offsetof(RenameInformation, fileName) + nameBytes));
    auto* rename = reinterpret_cast<RenameInformation*>(buffer.data());
    rename->replaceIfExists = FALSE;
    rename->rootDirectory = folder;
    rename->fileNameLength = nameBytes;
    std::memcpy(rename->fileName, newName.data(), nameBytes);
    IO_STATUS_BLOCK status = {};
    const NTSTATUS result =
        set(handle, &status, buffer.data(), static_cast<ULONG>(buffer.size()), kFileRenameInformation);
    return result < 0 ? ErrorOf(result) : ERROR_SUCCESS;
}

DWORD DeleteOnClose(HANDLE handle)
{
    FILE_DISPOSITION_INFO disposition = {TRUE};
    return ::SetFileInformationByHandle(handle, FileDispositionInfo, &disposition, sizeof(disposition))
               ? ERROR_SUCCESS
               : ::GetLastError();
}

} // namespace Tavrin::Platform
