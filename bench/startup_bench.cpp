// Start-up benchmark: how long the real program takes from process creation
// to its painted, idle main window, against a bare Win32 window measured the
// same way, in runs interleaved so that a noisy machine affects both alike.
//
//   startup_bench.exe [runs [dlls]]   (default 7 runs; run under wine64 by hand)
//
// With "dlls" the breakdown also shows when each module was mapped.
//
// Both programs are started as debuggees; every debug line they write is
// time-stamped on arrival. The end of a start is the line "modal loop idle"
// (the first moment the window's message queue runs dry after it is shown).
// The program is prepared as on a PC past its first start on Windows 10: the
// first-run marker set and the issues note already shown.
#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "platform/Module.h"
#include "platform/RegKey.h"
#include "platform/UniqueHandle.h"
#include "platform/UserHive.h"

namespace {

using Tavrin::Platform::JoinPath;
using Tavrin::Platform::RegKey;
using Tavrin::Platform::UniqueHandle;

constexpr DWORD kStartTimeoutMs = 60000;
const wchar_t kIdleLine[] = L"modal loop idle";

struct DebugLineAt {
    double ms;
    std::wstring text;
};

struct StartRecord {
    bool finished = false;
    double ms = 0;
    std::vector<DebugLineAt> lines;
};

double Now()
{
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        ::QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER counter;
    ::QueryPerformanceCounter(&counter);
    return 1000.0 * static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

std::wstring ReadDebugString(HANDLE process, const OUTPUT_DEBUG_STRING_INFO& info)
{
    const size_t length = std::min<size_t>(info.nDebugStringLength, 4096);
    std::wstring text;
    if (info.fUnicode) {
        std::vector<wchar_t> buffer(length + 1);
        ::ReadProcessMemory(process, info.lpDebugStringData, buffer.data(), length * sizeof(wchar_t),
                            nullptr);
        text.assign(buffer.data());
    } else {
        std::vector<char> buffer(length + 1);
        ::ReadProcessMemory(process, info.lpDebugStringData, buffer.data(), length, nullptr);
        for (const char* c = buffer.data(); *c; ++c)
            text.push_back(static_cast<unsigned char>(*c));
    }
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r'))
        text.pop_back();
    return text;
}

std::wstring FileNameOf(HANDLE file)
{
    wchar_t path[MAX_PATH] = {};
    if (!::GetFinalPathNameByHandleW(file, path, MAX_PATH, FILE_NAME_NORMALIZED))
        return L"?";
    const wchar_t* slash = std::wcsrchr(path, L'\\');
    return slash ? slash + 1 : path;
}

// Starts `program` as a debuggee and follows it until its idle line, then
// ends it.
StartRecord TimeOneStart(const std::wstring& program, const std::wstring& folder, bool recordLoads)
{
    StartRecord record;
    std::wstring commandLine = L"\"" + program + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    const double start = Now();
    if (!::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                          DEBUG_ONLY_THIS_PROCESS, nullptr, folder.c_str(), &startup, &info)) {
        std::fwprintf(stderr, L"cannot start %ls: %lu\n", program.c_str(), ::GetLastError());
        return record;
    }
    UniqueHandle process(info.hProcess);
    UniqueHandle thread(info.hThread);
    bool ending = false;
    for (;;) {
        DEBUG_EVENT event;
        if (!::WaitForDebugEvent(&event, kStartTimeoutMs)) {
            if (ending)
                break;
            ::TerminateProcess(process.Get(), 1);
            ending = true;
            continue;
        }
        DWORD continueStatus = DBG_CONTINUE;
        switch (event.dwDebugEventCode) {
        case CREATE_PROCESS_DEBUG_EVENT:
            if (event.u.CreateProcessInfo.hFile)
                ::CloseHandle(event.u.CreateProcessInfo.hFile);
            break;
        case LOAD_DLL_DEBUG_EVENT:
            if (event.u.LoadDll.hFile) {
                if (recordLoads)
                    record.lines.push_back({Now() - start, L"(load) " + FileNameOf(event.u.LoadDll.hFile)});
                ::CloseHandle(event.u.LoadDll.hFile);
            }
            break;
        case EXCEPTION_DEBUG_EVENT:
            // Breakpoints are the loader's; everything else is the program's own.
            if (event.u.Exception.ExceptionRecord.ExceptionCode != EXCEPTION_BREAKPOINT)
                continueStatus = DBG_EXCEPTION_NOT_HANDLED;
            break;
        case OUTPUT_DEBUG_STRING_EVENT: {
            const double at = Now() - start;
            std::wstring text = ReadDebugString(process.Get(), event.u.DebugString);
            record.lines.push_back({at, text});
            if (!ending && text == kIdleLine) {
                record.finished = true;
                record.ms = at;
                ::TerminateProcess(process.Get(), 0);
                ending = true;
            }
            break;
        }
        }
        ::ContinueDebugEvent(event.dwProcessId, event.dwThreadId, continueStatus);
        if (event.dwDebugEventCode == EXIT_PROCESS_DEBUG_EVENT)
            break;
    }
    return record;
}

bool PrepareProgramState()
{
    RegKey marker;
    if (marker.Create(HKEY_LOCAL_MACHINE, L"Software\\Tavrin", KEY_READ | KEY_WRITE) != ERROR_SUCCESS ||
        marker.SetString(L"", L"notFirstRun") != ERROR_SUCCESS)
        return false;
    // Where the program will look for its profile.
    RegKey profile;
    const HKEY user = Tavrin::Platform::UserHive::Current().Root();
    return user && profile.Create(user, L"Software\\Tavrin\\tavrin", KEY_READ | KEY_WRITE) == ERROR_SUCCESS &&
           profile.SetDword(L"showCompatibility", 1) == ERROR_SUCCESS;
}

struct Summary {
    double median = 0, low = 0, high = 0;
};

Summary Summarise(std::vector<double> times)
{
    Summary summary;
    if (times.empty())
        return summary;
    std::sort(times.begin(), times.end());
    const size_t n = times.size();
    summary.median = n % 2 ? times[n / 2] : (times[n / 2 - 1] + times[n / 2]) / 2;
    summary.low = times.front();
    summary.high = times.back();
    return summary;
}

void PrintBreakdown(const StartRecord& record)
{
    std::wprintf(L"\nBreakdown of the median start of tavrin.exe (ms after CreateProcess, debug lines):\n");
    double previous = 0;
    for (const DebugLineAt& line : record.lines) {
        std::wprintf(L"  %8.1f  (+%7.1f)  %ls\n", line.ms, line.ms - previous, line.text.c_str());
        previous = line.ms;
    }
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    const int runs = argc > 1 ? std::max(1, _wtoi(argv[1])) : 7;
    const bool recordLoads = argc > 2 && std::wcscmp(argv[2], L"dlls") == 0;
    const std::wstring folder = Tavrin::Platform::FolderOf(Tavrin::Platform::ModuleFileName(nullptr));
    const std::wstring program = JoinPath(folder, L"tavrin.exe");
    const std::wstring bare = JoinPath(folder, L"bare_window.exe");
    if (!PrepareProgramState()) {
        std::fwprintf(stderr, L"cannot prepare the program's registry state\n");
        return 1;
    }
    // One start of each first, unmeasured: it warms the file cache and the
    // prefix's services, which a user's PC has long done.
    TimeOneStart(bare, folder, false);
    TimeOneStart(program, folder, recordLoads);

    std::vector<double> bareTimes, programTimes;
    std::vector<StartRecord> programRecords;
    for (int i = 0; i < runs; ++i) {
        StartRecord b = TimeOneStart(bare, folder, false);
        StartRecord p = TimeOneStart(program, folder, recordLoads);
        if (!b.finished || !p.finished) {
            std::fwprintf(stderr, L"run %d: a start did not reach its idle window\n", i + 1);
            return 1;
        }
        bareTimes.push_back(b.ms);
        programTimes.push_back(p.ms);
        programRecords.push_back(std::move(p));
        std::wprintf(L"run %d: bare window %7.1f ms   tavrin.exe %7.1f ms\n", i + 1, b.ms,
                     programTimes.back());
    }
    const Summary b = Summarise(bareTimes);
    const Summary p = Summarise(programTimes);
    std::wprintf(L"\n%-12ls %9ls %9ls %9ls\n", L"", L"median", L"min", L"max");
    std::wprintf(L"%-12ls %9.1f %9.1f %9.1f\n", L"bare window", b.median, b.low, b.high);
    std::wprintf(L"%-12ls %9.1f %9.1f %9.1f\n", L"tavrin.exe", p.median, p.low, p.high);
    std::wprintf(L"ratio of medians: %.2f\n", b.median > 0 ? p.median / b.median : 0.0);

    auto closest = std::min_element(programRecords.begin(), programRecords.end(),
                                    [&p](const StartRecord& x, const StartRecord& y) {
                                        return std::abs(x.ms - p.median) < std::abs(y.ms - p.median);
                                    });
    PrintBreakdown(*closest);
    return 0;
}
