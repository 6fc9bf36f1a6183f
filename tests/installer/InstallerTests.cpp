#include <gtest/gtest.h>

#include <windows.h>
#include <msi.h>
#include <msidefs.h>
#include <msiquery.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "net/Scheduler.h"
#include "platform/ComPtr.h"
#include "tests/support/NetTestSupport.h"
#include "tests/support/ProgramTestSupport.h"
#include "tests/support/TaskTestSupport.h"
#include "tests/support/TestSupport.h"
#include "tests/support/WindowTestSupport.h"

using namespace Tavrin::Test;

// The 64-bit package, installed and removed through Wine's own msiexec as a
// user's double-click or an administrator's script would.
namespace {

const wchar_t kInstallerKey[] = L"SOFTWARE\\Orvane\\Tavrin";
const wchar_t kOffersKey[] = L"SOFTWARE\\Orvane\\Tavrin\\Offers";
const wchar_t kUninstallKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
// What the usage report reads besides "Silent"; none is set on the command
// line, so each is 0.
const wchar_t* const kChoices[] = {L"AutoScan", L"Updates", L"Quick", L"Login", L"Desktop"};

std::wstring ShellFolder(int csidl)
{
    wchar_t path[MAX_PATH] = {};
    return SUCCEEDED(::SHGetFolderPathW(nullptr, csidl, nullptr, 0, path)) ? path : L"";
}

std::wstring InstallFolder()
{
    return ShellFolder(CSIDL_PROGRAM_FILES) + L"\\Orvane\\Tavrin";
}

std::wstring InstalledProgram()
{
    return InstallFolder() + L"\\tavrin.exe";
}

bool Exists(const std::wstring& path)
{
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Without any UI unless told: /qb is the basic UI, a progress window.
DWORD Msiexec(const std::wstring& action, const std::wstring& package, const std::wstring& ui = L"/qn")
{
    ProcessResult result = RunProcess(L"msiexec " + action + L" \"" + package + L"\" " + ui, 280000);
    EXPECT_FALSE(result.timedOut) << "msiexec " << std::string(action.begin(), action.end());
    return result.exitCode;
}

// The package's own upgrade code, read from its Property table.
std::wstring UpgradeCode()
{
    MSIHANDLE database = 0, view = 0, record = 0;
    std::wstring code;
    if (::MsiOpenDatabaseW(TAVRIN_TEST_MSI, MSIDBOPEN_READONLY, &database) == ERROR_SUCCESS &&
        ::MsiDatabaseOpenViewW(database, L"SELECT `Value` FROM `Property` WHERE `Property`='UpgradeCode'",
                               &view) == ERROR_SUCCESS &&
        ::MsiViewExecute(view, 0) == ERROR_SUCCESS && ::MsiViewFetch(view, &record) == ERROR_SUCCESS) {
        wchar_t text[64] = {};
        DWORD length = 64;
        if (::MsiRecordGetStringW(record, 1, text, &length) == ERROR_SUCCESS)
            code = text;
    }
    for (MSIHANDLE handle : {record, view, database})
        if (handle)
            ::MsiCloseHandle(handle);
    return code;
}

// The first two columns of every row a query of the package finds: a name
// and a number.
std::vector<std::pair<std::wstring, int>> PackageRows(const wchar_t* query)
{
    std::vector<std::pair<std::wstring, int>> rows;
    MSIHANDLE database = 0, view = 0, record = 0;
    if (::MsiOpenDatabaseW(TAVRIN_TEST_MSI, MSIDBOPEN_READONLY, &database) == ERROR_SUCCESS &&
        ::MsiDatabaseOpenViewW(database, query, &view) == ERROR_SUCCESS &&
        ::MsiViewExecute(view, 0) == ERROR_SUCCESS) {
        while (::MsiViewFetch(view, &record) == ERROR_SUCCESS) {
            wchar_t text[80] = {};
            DWORD length = 80;
            ::MsiRecordGetStringW(record, 1, text, &length);
            rows.emplace_back(text, ::MsiRecordGetInteger(record, 2));
            ::MsiCloseHandle(record);
        }
    }
    for (MSIHANDLE handle : {view, database})
        if (handle)
            ::MsiCloseHandle(handle);
    return rows;
}

// Product codes of every installed version of the product.
std::vector<std::wstring> InstalledProducts()
{
    static const std::wstring upgradeCode = UpgradeCode();
    std::vector<std::wstring> products;
    wchar_t product[39] = {};
    for (DWORD i = 0; ::MsiEnumRelatedProductsW(upgradeCode.c_str(), 0, i, product) == ERROR_SUCCESS; ++i)
        products.push_back(product);
    return products;
}

std::wstring ProductInfo(const std::wstring& product, const wchar_t* property)
{
    wchar_t text[MAX_PATH] = {};
    DWORD length = MAX_PATH;
    return ::MsiGetProductInfoW(product.c_str(), property, text, &length) == ERROR_SUCCESS ? text : L"";
}

std::optional<DWORD> ReadDword(const std::wstring& key, const std::wstring& name)
{
    DWORD value = 0, size = sizeof(value);
    if (::RegGetValueW(HKEY_LOCAL_MACHINE, key.c_str(), name.c_str(), RRF_RT_REG_DWORD, nullptr, &value,
                       &size) != ERROR_SUCCESS)
        return std::nullopt;
    return value;
}

std::wstring ReadString(const std::wstring& key, const std::wstring& name)
{
    wchar_t text[MAX_PATH] = {};
    DWORD size = sizeof(text);
    return ::RegGetValueW(HKEY_LOCAL_MACHINE, key.c_str(), name.c_str(), RRF_RT_REG_SZ, nullptr, text,
                          &size) == ERROR_SUCCESS
               ? text
               : L"";
}

// Number of values under the key, or nothing when the key is absent.
std::optional<DWORD> ValueCount(const std::wstring& key)
{
    HKEY handle = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS)
        return std::nullopt;
    DWORD count = 0;
    ::RegQueryInfoKeyW(handle, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count, nullptr, nullptr,
                       nullptr, nullptr);
    ::RegCloseKey(handle);
    return count;
}

// The "Tavrin" shortcut in the Start menu's programs: all users' on Windows
// for a per-machine package; Wine's msi resolves ProgramMenuFolder to the
// user's even then, so that one counts too.
std::wstring Shortcut()
{
    for (int csidl : {CSIDL_COMMON_PROGRAMS, CSIDL_PROGRAMS}) {
        std::wstring path = ShellFolder(csidl) + L"\\Tavrin.lnk";
        if (Exists(path))
            return path;
    }
    return L"";
}

std::wstring ShortcutTarget(const std::wstring& shortcut)
{
    Tavrin::Platform::ComApartment com;
    Tavrin::Platform::ComPtr<IShellLinkW> link;
    Tavrin::Platform::ComPtr<IPersistFile> file;
    wchar_t path[MAX_PATH] = {};
    if (SUCCEEDED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                     link.PutVoid())) &&
        SUCCEEDED(link.As(file)) && SUCCEEDED(file->Load(shortcut.c_str(), STGM_READ)) &&
        SUCCEEDED(link->GetPath(path, MAX_PATH, nullptr, 0)))
        return path;
    return L"";
}

// The files the package delivers, relative to the install folder: the
// program, the skin description and every image of the skin.
std::vector<std::wstring> DeliveredFiles()
{
    std::vector<std::wstring> files = {L"tavrin.exe", L"ui.xml"};
    std::vector<std::wstring> folders = {L"images"};
    while (!folders.empty()) {
        std::wstring folder = folders.back();
        folders.pop_back();
        WIN32_FIND_DATAW found;
        HANDLE search =
            ::FindFirstFileW((std::wstring(TAVRIN_TEST_SKIN) + L"\\" + folder + L"\\*").c_str(), &found);
        if (search == INVALID_HANDLE_VALUE)
            continue;
        do {
            std::wstring name = found.cFileName;
            if (name == L"." || name == L"..")
                continue;
            auto& list = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? folders : files;
            list.push_back(folder + L"\\" + name);
        } while (::FindNextFileW(search, &found));
        ::FindClose(search);
    }
    return files;
}

std::string Narrow(const std::wstring& text)
{
    return std::string(text.begin(), text.end());
}

class Installer : public ::testing::Test {
protected:
    void SetUp() override
    {
        // Windows' msiexec runs the deferred actions as LocalSystem; Wine's
        // runs them as the user, so the service is told whom to expect.
        taskService.CallAsLocalSystem();
        RemoveEverything();
    }
    void TearDown() override
    {
        RemoveEverything();
        ::DeleteFileW(savedFile.c_str());
        ::RemoveDirectoryW(InstallFolder().c_str());
    }

    static void RemoveEverything()
    {
        for (const auto& product : InstalledProducts())
            Msiexec(L"/x", product);
        RemoveTask(Tavrin::Net::kUpdateTaskName);
    }

    // The update task of the installed program, with exactly one trigger.
    static void ExpectOneUpdateTask()
    {
        EXPECT_TRUE(Tavrin::Net::Scheduler().TaskExists(Tavrin::Net::kUpdateTaskName));
        auto task = Tavrin::Test::FindScheduledTask(Tavrin::Net::kUpdateTaskName);
        ASSERT_TRUE(task);
        EXPECT_FALSE(task->madeThroughOldInterface);
        EXPECT_EQ(task->program, InstalledProgram());
        EXPECT_EQ(task->arguments, L"/update");
        EXPECT_TRUE(task->RunsElevated());
        EXPECT_TRUE(Tavrin::Test::IsLocalSystem(task->user)) << Narrow(task->user);
        EXPECT_EQ(task->weeklyTriggers.size(), 1u);
        EXPECT_EQ(task->otherTriggers, 0u);
    }

    // Wine's own Task Scheduler 2.0 service keeps too little of a task to
    // check; the programs msiexec starts register with this one instead.
    Tavrin::Test::TaskServiceStandIn taskService;

    static void ExpectInstalled()
    {
        for (const auto& file : DeliveredFiles())
            EXPECT_TRUE(Exists(InstallFolder() + L"\\" + file)) << Narrow(file);
        const std::wstring shortcut = Shortcut();
        ASSERT_FALSE(shortcut.empty());
        EXPECT_EQ(::CompareStringOrdinal(ShortcutTarget(shortcut).c_str(), -1, InstalledProgram().c_str(), -1,
                                         TRUE),
                  CSTR_EQUAL);

        auto products = InstalledProducts();
        ASSERT_EQ(products.size(), 1u);
        const std::wstring entry = kUninstallKey + products[0];
        EXPECT_EQ(ReadString(entry, L"DisplayName"), L"Tavrin");
        EXPECT_EQ(ReadString(entry, L"Publisher"), L"Orvane");
        EXPECT_EQ(ReadString(entry, L"DisplayVersion"), TAVRIN_VERSION);
        EXPECT_EQ(ReadDword(entry, L"NoModify"), 1u);
        const std::wstring icon = ProductInfo(products[0], INSTALLPROPERTY_PRODUCTICON);
        EXPECT_TRUE(!icon.empty() && Exists(icon)) << Narrow(icon);

        EXPECT_EQ(ReadDword(kInstallerKey, L"Silent"), 1u);
        for (const wchar_t* choice : kChoices)
            EXPECT_EQ(ReadDword(kInstallerKey, choice), 0u) << Narrow(choice);
        EXPECT_EQ(ValueCount(kOffersKey), 0u);
        ExpectOneUpdateTask();
    }

    static void ExpectProgramShowsItsMainWindow()
    {
        FramedProgramWindows framed;
        RunningProgram program(L"", InstalledProgram(), InstallFolder());
        ASSERT_TRUE(program.Started());
        // The first start on this prefix congratulates first.
        HWND main = nullptr;
        for (int wait = 0; wait < 240 && !main; ++wait) {
            if (HWND box = FindWindowOf(program.Id(), ProgramWindow::MessageBox))
                ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                               reinterpret_cast<LPARAM>(::GetDlgItem(box, IDOK)));
            main = WaitForWindowOf(program.Id(), ProgramWindow::MainWindow, 500);
        }
        ASSERT_NE(main, nullptr);
        ::Sleep(500);
        EXPECT_TRUE(CaptureScreenOf(main).SavePng(ScreenshotPath(L"installer-installed-main-window")));
        ::PostMessageW(main, WM_CLOSE, 0, 0);
        EXPECT_TRUE(program.WaitForExit(30000));
    }

    static void ExpectNothingLeftBut(const std::vector<std::wstring>& kept)
    {
        EXPECT_TRUE(InstalledProducts().empty());
        for (const auto& file : DeliveredFiles())
            EXPECT_FALSE(Exists(InstallFolder() + L"\\" + file)) << Narrow(file);
        for (const auto& file : kept)
            EXPECT_TRUE(Exists(file)) << Narrow(file);
        EXPECT_TRUE(Shortcut().empty());
        EXPECT_FALSE(ReadDword(kInstallerKey, L"Silent"));
        for (const wchar_t* choice : kChoices)
            EXPECT_FALSE(ReadDword(kInstallerKey, choice)) << Narrow(choice);
        EXPECT_FALSE(ValueCount(kOffersKey));
        EXPECT_FALSE(Tavrin::Net::Scheduler().TaskExists(Tavrin::Net::kUpdateTaskName));
    }

    const std::wstring savedFile = InstallFolder() + L"\\applications.saved";
};

} // namespace

TEST_F(Installer, SilentInstallDeliversEverythingAndUninstallKeepsOnlyTheSavedInventories)
{
    ASSERT_EQ(Msiexec(L"/i", TAVRIN_TEST_MSI), 0u);
    ExpectInstalled();
    ExpectProgramShowsItsMainWindow();

    // Installing the same package again changes nothing.
    ASSERT_EQ(Msiexec(L"/i", TAVRIN_TEST_MSI), 0u);
    EXPECT_EQ(InstalledProducts().size(), 1u);
    ExpectOneUpdateTask();

    ASSERT_TRUE(WriteFileBytes(savedFile, "22 serialization::archive 13 0 0\n"));
    ASSERT_EQ(Msiexec(L"/x", TAVRIN_TEST_MSI), 0u);
    ExpectNothingLeftBut({savedFile});
}

TEST_F(Installer, MajorUpgradeReplacesTheOlderVersionAndKeepsOneTask)
{
    ASSERT_EQ(Msiexec(L"/i", TAVRIN_TEST_OLDER_MSI), 0u);
    auto older = InstalledProducts();
    ASSERT_EQ(older.size(), 1u);
    EXPECT_NE(ProductInfo(older[0], INSTALLPROPERTY_VERSIONSTRING), TAVRIN_VERSION);
    ExpectOneUpdateTask();

    // This time with a progress window: not a silent install.
    ASSERT_EQ(Msiexec(L"/i", TAVRIN_TEST_MSI, L"/qb"), 0u);
    EXPECT_EQ(ReadDword(kInstallerKey, L"Silent"), 0u);
    auto now = InstalledProducts();
    ASSERT_EQ(now.size(), 1u);
    EXPECT_NE(now[0], older[0]);
    EXPECT_EQ(ProductInfo(now[0], INSTALLPROPERTY_VERSIONSTRING), TAVRIN_VERSION);
    ExpectOneUpdateTask();
    EXPECT_TRUE(Exists(InstalledProgram()));
}

// Windows runs a deferred or rollback action only inside the install script,
// between InstallInitialize and InstallFinalize (error 2762 elsewhere), and
// a rollback action only when it was reached before the action it undoes
// failed or was followed by a failure. Wine's msi runs a deferred action
// wherever it stands, so the package's own tables are checked.
TEST(InstallerPackage, EveryDeferredActionRunsInsideTheScriptAfterItsRollbackTwin)
{
    std::map<std::wstring, int> sequence;
    for (const auto& [action, number] :
         PackageRows(L"SELECT `Action`, `Sequence` FROM `InstallExecuteSequence`"))
        sequence[action] = number;
    ASSERT_TRUE(sequence.count(L"InstallInitialize") && sequence.count(L"InstallFinalize"));
    int deferred = 0;
    for (const auto& [action, type] : PackageRows(L"SELECT `Action`, `Type` FROM `CustomAction`")) {
        if (!(type & msidbCustomActionTypeInScript))
            continue;
        ++deferred;
        ASSERT_TRUE(sequence.count(action)) << Narrow(action);
        EXPECT_GT(sequence[action], sequence[L"InstallInitialize"]) << Narrow(action);
        EXPECT_LT(sequence[action], sequence[L"InstallFinalize"]) << Narrow(action);
    }
    EXPECT_EQ(deferred, 4);
    // Each change of the task, and the rollback action that undoes it.
    const std::pair<const wchar_t*, const wchar_t*> twins[] = {
        {L"RegisterUpdateTask", L"UndoRegisterUpdateTask"},
        {L"RemoveUpdateTask", L"UndoRemoveUpdateTask"},
    };
    for (const auto& [action, rollback] : twins) {
        ASSERT_TRUE(sequence.count(action) && sequence.count(rollback)) << Narrow(action);
        EXPECT_LT(sequence[rollback], sequence[action]) << Narrow(action);
    }
    EXPECT_LT(sequence[L"RemoveUpdateTask"], sequence[L"RemoveFiles"]);
}

// An uninstall that fails after the task was removed rolls back to the
// program as it was, its task included. (Wine's msi drops the product's
// registration on the way, which Windows' rollback restores; the program and
// its task are what the package's own actions decide.)
TEST_F(Installer, AFailedUninstallKeepsTheProgramAndItsTask)
{
    ASSERT_EQ(Msiexec(L"/i", TAVRIN_TEST_FAILING_UNINSTALL_MSI), 0u);
    ExpectOneUpdateTask();
    EXPECT_NE(Msiexec(L"/x", TAVRIN_TEST_FAILING_UNINSTALL_MSI, L"/qn FAILUNINSTALL=1"), 0u);
    // The uninstall did remove the task before it failed.
    EXPECT_FALSE(
        taskService.CallsStartingWith(L"delete " + std::wstring(Tavrin::Net::kUpdateTaskName)).empty());
    EXPECT_TRUE(Exists(InstalledProgram()));
    ExpectOneUpdateTask();
}

TEST_F(Installer, AnAbsentActionTargetRollsBackWithoutLeavingAnything)
{
    EXPECT_NE(Msiexec(L"/i", TAVRIN_TEST_ABSENT_TARGET_MSI), 0u);
    ExpectNothingLeftBut({});
    EXPECT_FALSE(Exists(InstallFolder()));
}
