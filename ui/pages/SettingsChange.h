#pragma once
#include <windows.h>

#include <functional>
#include <memory>

#include "platform/UniqueHandle.h"

// One settings change of a page, made off the user-interface thread.
//
// It waits on a thread of its own until the run's restore point lets
// changes go (made, refused, or the user went on without it; at most
// kLongestRestorePointWaitMs), then applies the change there and posts the
// status it returned to the page (wParam of `doneMessage`). Nobody ever
// waits for that thread: it holds what it uses, and a page that is gone
// only makes its post fail. A change dropped before it starts is not made.
class SettingsChange {
public:
    using Apply = std::function<LSTATUS()>;

    SettingsChange() = default;
    ~SettingsChange() { Drop(); }
    SettingsChange(const SettingsChange&) = delete;
    SettingsChange& operator=(const SettingsChange&) = delete;

    // Starts the run's restore point if this is the run's first change, and
    // the change. False (and nothing started) while a change is pending.
    bool Start(HWND page, UINT doneMessage, Apply apply);
    // A change started and not yet reported done.
    bool Pending() const { return m_drop != nullptr; }
    // When the page got `doneMessage`.
    void Done() { m_drop.reset(); }
    // A change still waiting is not made; one being applied finishes.
    void Drop();

private:
    std::shared_ptr<Tavrin::Platform::UniqueHandle> m_drop;
};
