// The entry point of every test program: GoogleTest's, with a watchdog.
//
// Several cases run in one process, one after another, so a case that hangs
// would hold back all that follow it until ctest gives up on the whole
// process. The watchdog bounds each case instead: past its bound it answers
// the process's message boxes (a worker blocked in one is the usual cause),
// and if the case still does not end it names the case and ends the process
// with a failure.
#include <gtest/gtest.h>

#include <windows.h>

#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "tests/support/WindowTestSupport.h"

namespace {

// Seconds a case may run; TAVRIN_CASE_SECONDS sets another bound (a slow,
// emulated machine needs more).
DWORD CaseBoundMs()
{
    wchar_t text[16] = {};
    if (::GetEnvironmentVariableW(L"TAVRIN_CASE_SECONDS", text, 16) && _wtoi(text) > 0)
        return static_cast<DWORD>(_wtoi(text)) * 1000;
    return 240 * 1000;
}

// After the bound, the time its message boxes get to let the case end.
constexpr DWORD kGraceMs = 30 * 1000;

class CaseWatchdog : public ::testing::EmptyTestEventListener {
public:
    CaseWatchdog() : m_boundMs(CaseBoundMs()), m_thread([this] { Watch(); }) {}
    ~CaseWatchdog() override
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_stop = true;
        }
        m_changed.notify_all();
        m_thread.join();
    }

    void OnTestStart(const ::testing::TestInfo& info) override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_case = std::string(info.test_suite_name()) + "." + info.name();
        m_started = ::GetTickCount64();
        m_running = true;
        m_changed.notify_all();
    }
    void OnTestEnd(const ::testing::TestInfo&) override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_running = false;
        m_changed.notify_all();
    }

private:
    void Watch()
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        while (!m_stop) {
            if (!m_running) {
                m_changed.wait(lock);
                continue;
            }
            const ULONGLONG started = m_started;
            const ULONGLONG elapsed = ::GetTickCount64() - started;
            if (elapsed < m_boundMs) {
                m_changed.wait_for(lock, std::chrono::milliseconds(m_boundMs - elapsed));
                continue;
            }
            const std::string name = m_case;
            std::fprintf(stderr, "\nwatchdog: %s ran past %lu s; answering its message boxes\n", name.c_str(),
                         m_boundMs / 1000);
            std::fflush(stderr);
            Tavrin::Test::MessageBoxCloser closer;
            m_changed.wait_for(lock, std::chrono::milliseconds(kGraceMs),
                               [&] { return m_stop || !m_running || m_started != started; });
            if (m_running && m_started == started) {
                std::fprintf(stderr, "watchdog: %s still runs; ending the test program\n", name.c_str());
                std::fflush(stderr);
                std::fflush(stdout);
                ::TerminateProcess(::GetCurrentProcess(), 3);
            }
        }
    }

    const DWORD m_boundMs;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_stop = false;
    bool m_running = false;
    ULONGLONG m_started = 0;
    std::string m_case;
    std::thread m_thread;
};

} // namespace

int main(int argc, char** argv)
{
    // A case's failures must reach the log even when the watchdog ends the
    // program: written through a pipe, standard output would keep them in
    // its buffer and lose them.
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    ::testing::InitGoogleTest(&argc, argv);
    // The listeners own what they are given; the watchdog must stop before
    // the process's static objects go, so it is released here.
    auto watchdog = std::make_unique<CaseWatchdog>();
    ::testing::TestEventListeners& listeners = ::testing::UnitTest::GetInstance()->listeners();
    listeners.Append(watchdog.get());
    const int result = RUN_ALL_TESTS();
    listeners.Release(watchdog.get());
    return result;
}
