#include "platform/UserHive.h"

#include <sddl.h>
#include <wtsapi32.h>

#include <cwchar>
#include <iterator>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/Text.h"
#include "platform/UniqueHandle.h"

namespace Tavrin::Platform {

namespace {

// Longer names than the system allows for an account (UNLEN) or a domain
// are not taken for one.
constexpr size_t kMaxNameChars = 256;
constexpr size_t kMaxSidChars = 184; // S-1-, an authority and 15 sub-authorities
constexpr REGSAM kHiveAccess = KEY_READ | KEY_WRITE;

std::mutex decisionLock;
std::unique_ptr<UserHive> decision;
UserHive::InteractiveUserLookup lookupForTests;

using WtsText = UniqueResource<NullHandleTraits<wchar_t*, ::WTSFreeMemory>>;

// One text of the session's information, read no further than the bytes the
// call gave and the length a name may have; nothing when it is longer.
std::optional<std::wstring> SessionText(DWORD session, WTS_INFO_CLASS which)
{
    WtsText buffer;
    DWORD bytes = 0;
    if (!::WTSQuerySessionInformationW(WTS_CURRENT_SERVER_HANDLE, session, which, buffer.Put(), &bytes) ||
        !buffer)
        return std::nullopt;
    const size_t chars = bytes / sizeof(wchar_t);
    const size_t length = ::wcsnlen(buffer.Get(), chars);
    // Not terminated within what was given, or longer than a name may be.
    if (length == chars || length > kMaxNameChars)
        return std::nullopt;
    return std::wstring(buffer.Get(), length);
}

std::wstring SidText(PSID sid)
{
    LocalMemoryOf<wchar_t*> text;
    if (!sid || !::IsValidSid(sid) || !::ConvertSidToStringSidW(sid, text.Put()) || !text)
        return L"";
    return text.Get();
}

} // namespace

const UserHive& UserHive::Current()
{
    std::lock_guard<std::mutex> hold(decisionLock);
    if (!decision) {
        decision = std::make_unique<UserHive>(lookupForTests ? lookupForTests() : SessionUser());
        DebugLine(decision->IsOtherUser() ? L"user hive: the session's user " + decision->User().sid
                                          : std::wstring(L"user hive: the process's own user"));
    }
    return *decision;
}

void UserHive::SetInteractiveUserLookup(InteractiveUserLookup lookup)
{
    std::lock_guard<std::mutex> hold(decisionLock);
    lookupForTests = std::move(lookup);
    decision.reset();
}

UserHive::UserHive(const std::optional<UserAccount>& interactive)
{
    m_user.sid = ProcessUserSid();
    if (!interactive || !IsSidText(interactive->sid) || EqualsIgnoreCase(interactive->sid, m_user.sid)) {
        if (interactive && EqualsIgnoreCase(interactive->sid, m_user.sid))
            m_user.name = interactive->name;
        return;
    }
    m_user = *interactive;
    m_other = true;
    // A hive that does not open leaves the root null: see Root().
    if (m_hive.Open(HKEY_USERS, m_user.sid, kHiveAccess) != ERROR_SUCCESS)
        DebugLine(L"user hive: the session user's hive cannot be opened");
    m_classes.Open(HKEY_USERS, m_user.sid + L"_Classes", KEY_READ);
}

LSTATUS UserHive::OpenClassesKey(RegKey& key, const std::wstring& path, REGSAM access) const
{
    if (!m_other)
        return key.Open(HKEY_CLASSES_ROOT, path, access);
    if (m_classes.IsOpen() && key.Open(m_classes.Get(), path, access) == ERROR_SUCCESS)
        return ERROR_SUCCESS;
    return key.Open(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Classes\\" + path, access);
}

UserHive::Place UserHive::PlaceOf(const std::wstring& sid) const
{
    if (EqualsIgnoreCase(sid, m_user.sid))
        return {Root(), L""};
    if (EqualsIgnoreCase(sid, ProcessUserSid()))
        return {HKEY_CURRENT_USER, L""};
    RegKey hive;
    if (!IsSidText(sid) || hive.Open(HKEY_USERS, sid, KEY_READ) != ERROR_SUCCESS)
        return {};
    return {HKEY_USERS, sid + L"\\"};
}

bool UserHive::ProcessIsLocalSystem()
{
    return ProcessUserSid() == L"S-1-5-18";
}

bool UserHive::ReachesPerUserSettings() const
{
    // LocalSystem's own profile is nobody's: its per-user settings reach a
    // person only through the console user's hive.
    return Root() != nullptr && (m_other || !ProcessIsLocalSystem());
}

const std::wstring& UserHive::ProcessUserSid()
{
    static const std::wstring sid = [] {
        UniqueHandle token;
        if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.Put()))
            return std::wstring();
        DWORD size = 0;
        ::GetTokenInformation(token.Get(), TokenUser, nullptr, 0, &size);
        if (size == 0 || size > 4096)
            return std::wstring();
        std::vector<BYTE> buffer(size);
        if (!::GetTokenInformation(token.Get(), TokenUser, buffer.data(), size, &size))
            return std::wstring();
        return SidText(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid);
    }();
    return sid;
}

bool UserHive::IsSidText(const std::wstring& text)
{
    if (text.size() < 4 || text.size() > kMaxSidChars || text.compare(0, 2, L"S-") != 0 ||
        text.find_first_not_of(L"S-0123456789") != std::wstring::npos)
        return false;
    LocalMemoryOf<PSID> sid;
    return ::ConvertStringSidToSidW(text.c_str(), sid.Put()) && EqualsIgnoreCase(SidText(sid.Get()), text);
}

std::optional<UserAccount> UserHive::SessionUser()
{
    // LocalSystem runs in session 0, a service's, which nobody logs on to:
    // a deployment tool acts for the user at the console.
    DWORD session = WTS_CURRENT_SESSION;
    if (ProcessIsLocalSystem()) {
        session = ::WTSGetActiveConsoleSessionId();
        if (session == 0xFFFFFFFF)
            return std::nullopt; // no console session at all
    }
    const auto user = SessionText(session, WTSUserName);
    const auto domain = SessionText(session, WTSDomainName);
    // A session without anyone logged on has no user name.
    if (!user || user->empty() || !domain)
        return std::nullopt;
    const std::wstring account = domain->empty() ? *user : *domain + L"\\" + *user;
    BYTE sid[SECURITY_MAX_SID_SIZE] = {};
    DWORD sidSize = sizeof(sid);
    wchar_t referenced[kMaxNameChars + 1] = {};
    DWORD referencedChars = static_cast<DWORD>(std::size(referenced));
    SID_NAME_USE use = SidTypeUnknown;
    if (!::LookupAccountNameW(nullptr, account.c_str(), sid, &sidSize, referenced, &referencedChars, &use) ||
        use != SidTypeUser)
        return std::nullopt;
    UserAccount found{SidText(sid), *user};
    if (found.sid.empty())
        return std::nullopt;
    return found;
}

} // namespace Tavrin::Platform
