#include "platform/WorkerThread.h"

#include <windows.h>
#include <process.h>

#include <memory>

#include "platform/UniqueHandle.h"

namespace Tavrin::Platform {

namespace {

unsigned __stdcall RunWork(void* parameter)
{
    const std::unique_ptr<std::function<void()>> work(static_cast<std::function<void()>*>(parameter));
    (*work)();
    return 0;
}

} // namespace

bool StartWorkerThread(std::function<void()> work)
{
    auto owned = std::make_unique<std::function<void()>>(std::move(work));
    const UniqueHandle thread(
        reinterpret_cast<HANDLE>(::_beginthreadex(nullptr, 0, RunWork, owned.get(), 0, nullptr)));
    if (!thread.IsValid())
        return false;
    owned.release(); // the thread's now
    return true;
}

} // namespace Tavrin::Platform
