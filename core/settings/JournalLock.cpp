#include "core/settings/JournalLock.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>

#include "platform/FileSecurity.h"
#include "platform/KnownFolder.h"
#include "platform/RelativeFile.h"
#include "platform/Text.h"
#include "platform/UniqueHandle.h"

namespace Tavrin::Core {

using Platform::UniqueHandle;

namespace {

constexpr wchar_t kFolderName[] = L"Tavrin";
constexpr wchar_t kFileName[] = L"Journal.lock";
// Full control for SYSTEM and the administrators, passed on to the lock
// file; protected, so nothing is inherited from the program-data folder,
// which lets every user create folders. Owned by the administrators where
// the token may name them.
constexpr const wchar_t* kFolderSecurity[] = {L"O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)",
                                              L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)"};
constexpr DWORD kRetryPause = 10;

std::atomic<DWORD> waitLimit{30000};

// Which thread of this process holds the lock, how often, and the open
// file that holds it for the machine.
struct Holder {
    std::mutex guard;
    std::condition_variable freed;
    DWORD thread = 0;
    unsigned depth = 0;
    UniqueHandle file;
};

Holder& TheHolder()
{
    static Holder holder;
    return holder;
}

UniqueHandle OpenProgramData(DWORD& error)
{
    const std::wstring folder = Platform::KnownFolderPath(FOLDERID_ProgramData);
    error = ERROR_PATH_NOT_FOUND;
    if (folder.empty())
        return UniqueHandle();
    UniqueHandle handle(::CreateFileW(folder.c_str(),
                                      FILE_LIST_DIRECTORY | FILE_ADD_SUBDIRECTORY | FILE_TRAVERSE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    error = handle ? ERROR_SUCCESS : ::GetLastError();
    return handle;
}

// Ours: a folder, not a file or a link, that only SYSTEM and the
// administrators can change. Where the system keeps no access lists there is
// none to judge.
bool IsOurs(HANDLE folder)
{
    FILE_BASIC_INFO basic = {};
    if (!::GetFileInformationByHandleEx(folder, FileBasicInfo, &basic, sizeof(basic)) ||
        !(basic.FileAttributes & FILE_ATTRIBUTE_DIRECTORY) || Platform::IsLinkItself(folder))
        return false;
    if (!Platform::AccessListsEnforced())
        return true;
    Platform::LocalMemory descriptor;
    return Platform::ReadSecurity(folder, descriptor) == ERROR_SUCCESS &&
           Platform::OnlyAdministratorsCanChange(descriptor.Get());
}

// The lock's folder, made when missing. Whatever someone else put there (the
// program-data folder lets every user make files and folders) is moved
// aside unentered and a new folder made.
UniqueHandle OpenLockFolder(DWORD& error)
{
    UniqueHandle parent = OpenProgramData(error);
    if (!parent)
        return UniqueHandle();
    for (int attempt = 0; attempt < 3; ++attempt) {
        Platform::RelativeFileSpec spec;
        spec.access = FILE_TRAVERSE | FILE_READ_ATTRIBUTES | READ_CONTROL | DELETE;
        spec.share = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
        spec.kind = Platform::RelativeKind::Either;
        UniqueHandle folder = Platform::OpenRelative(parent.Get(), kFolderName, spec, error);
        if (folder) {
            if (IsOurs(folder.Get()))
                return folder;
            const std::wstring aside = std::wstring(kFolderName) + L".old-" +
                                       std::to_wstring(::GetCurrentProcessId()) + L"-" +
                                       std::to_wstring(::GetTickCount());
            error = Platform::RenameRelative(folder.Get(), parent.Get(), aside);
            Platform::DebugLine(L"journal lock: a folder not only the administrators' was moved aside");
            if (error != ERROR_SUCCESS)
                return UniqueHandle();
            continue;
        }
        if (error != ERROR_FILE_NOT_FOUND)
            return UniqueHandle();
        for (const wchar_t* sddl : kFolderSecurity) {
            Platform::LocalMemory descriptor = Platform::SecurityDescriptorFromSddl(sddl);
            spec.kind = Platform::RelativeKind::Folder;
            spec.how = Platform::RelativeOpen::CreateNew;
            spec.security = descriptor.Get();
            folder = Platform::OpenRelative(parent.Get(), kFolderName, spec, error);
            if (folder || error != ERROR_INVALID_OWNER)
                break;
        }
        if (folder)
            return folder;
        if (error != ERROR_ALREADY_EXISTS)
            return UniqueHandle();
    }
    return UniqueHandle();
}

// The lock file opened for this process alone; ERROR_SHARING_VIOLATION while
// another holds it.
UniqueHandle OpenLockFile(HANDLE folder, DWORD& error)
{
    Platform::RelativeFileSpec spec;
    spec.access = FILE_READ_DATA | FILE_WRITE_DATA;
    spec.share = 0;
    spec.kind = Platform::RelativeKind::File;
    UniqueHandle file = Platform::OpenRelative(folder, kFileName, spec, error);
    if (file || error != ERROR_FILE_NOT_FOUND)
        return file;
    spec.how = Platform::RelativeOpen::CreateNew;
    file = Platform::OpenRelative(folder, kFileName, spec, error);
    // Made by another copy just now: it holds it.
    if (!file && error == ERROR_ALREADY_EXISTS)
        error = ERROR_SHARING_VIOLATION;
    return file;
}

// Waits for the machine-wide lock until the deadline.
UniqueHandle TakeMachineLock(DWORD start, DWORD limit, const std::function<void()>& whileWaiting,
                             LSTATUS& status)
{
    DWORD error = ERROR_SUCCESS;
    UniqueHandle folder = OpenLockFolder(error);
    if (!folder) {
        status = static_cast<LSTATUS>(error);
        return UniqueHandle();
    }
    bool told = false;
    for (;;) {
        UniqueHandle file = OpenLockFile(folder.Get(), error);
        if (file) {
            status = ERROR_SUCCESS;
            return file;
        }
        if (error != ERROR_SHARING_VIOLATION) {
            status = static_cast<LSTATUS>(error);
            return UniqueHandle();
        }
        if (::GetTickCount() - start >= limit) {
            status = ERROR_TIMEOUT;
            return UniqueHandle();
        }
        if (!told && whileWaiting) {
            told = true;
            whileWaiting();
        }
        ::Sleep(kRetryPause);
    }
}

} // namespace

JournalLock::JournalLock(const std::function<void()>& whileWaiting) : JournalLock(whileWaiting, waitLimit) {}

JournalLock::JournalLock(const std::function<void()>& whileWaiting, DWORD waitMs)
{
    Holder& holder = TheHolder();
    const DWORD self = ::GetCurrentThreadId();
    const DWORD start = ::GetTickCount();
    const DWORD limit = std::min<DWORD>(waitMs, waitLimit);
    {
        std::unique_lock<std::mutex> lock(holder.guard);
        if (holder.thread == self) {
            ++holder.depth;
            m_held = true;
            return;
        }
        if (!holder.freed.wait_for(lock, std::chrono::milliseconds(limit),
                                   [&] { return holder.thread == 0; })) {
            m_status = ERROR_TIMEOUT;
            return;
        }
        // Ours within the process; the other threads wait for it above.
        holder.thread = self;
    }
    UniqueHandle file = TakeMachineLock(start, limit, whileWaiting, m_status);
    std::lock_guard<std::mutex> lock(holder.guard);
    if (!file) {
        holder.thread = 0;
        holder.freed.notify_one();
        return;
    }
    holder.file = std::move(file);
    holder.depth = 1;
    m_held = true;
}

JournalLock::~JournalLock()
{
    if (!m_held)
        return;
    Holder& holder = TheHolder();
    std::lock_guard<std::mutex> lock(holder.guard);
    if (--holder.depth > 0)
        return;
    holder.file.Reset();
    holder.thread = 0;
    holder.freed.notify_one();
}

DWORD JournalLockWait()
{
    return waitLimit;
}

void SetJournalLockWait(DWORD milliseconds)
{
    waitLimit = milliseconds;
}

} // namespace Tavrin::Core
