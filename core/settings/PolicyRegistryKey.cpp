#include "core/settings/PolicyRegistryKey.h"

#include <prsht.h>
#include <gpedit.h>

#include <atomic>
#include <map>
#include <mutex>

namespace Tavrin::Core {

// {EA502722-A23D-11D1-A7D3-0000F87571E3}
const CLSID kGroupPolicyObjectClass = {
    0xEA502722, 0xA23D, 0x11D1, {0xA7, 0xD3, 0x00, 0x00, 0xF8, 0x75, 0x71, 0xE3}};
// {EA502723-A23D-11D1-A7D3-0000F87571E3}
const IID kGroupPolicyObjectInterface = {
    0xEA502723, 0xA23D, 0x11D1, {0xA7, 0xD3, 0x00, 0x00, 0xF8, 0x75, 0x71, 0xE3}};
// {35378EAC-683F-11D2-A89A-00C04FBBCFA2}, the registry client-side extension.
const GUID kRegistryExtension = {
    0x35378EAC, 0x683F, 0x11D2, {0xA8, 0x9A, 0x00, 0xC0, 0x4F, 0xBB, 0xCF, 0xA2}};
// {0F6B957E-509E-11D1-A7CC-0000F87571E3}, the tool that made the change.
const GUID kPolicyToolId = {0x0F6B957E, 0x509E, 0x11D1, {0xA7, 0xCC, 0x00, 0x00, 0xF8, 0x75, 0x71, 0xE3}};

namespace {

std::atomic<unsigned> savedChanges{0};

} // namespace

std::shared_ptr<LocalGroupPolicy> LocalGroupPolicy::Shared()
{
    // One per thread: an object is used by the thread that opened it. Kept
    // by thread id rather than in a thread_local: a thread_local with a
    // destructor hands its clean-up to the threads library at the end of
    // every worker thread, which at the program's exit could leave the exit
    // waiting for good.
    static std::mutex guard;
    static std::map<DWORD, std::weak_ptr<LocalGroupPolicy>> perThread;
    const std::lock_guard<std::mutex> lock(guard);
    for (auto entry = perThread.begin(); entry != perThread.end();)
        entry = entry->second.expired() ? perThread.erase(entry) : std::next(entry);
    std::weak_ptr<LocalGroupPolicy>& current = perThread[::GetCurrentThreadId()];
    std::shared_ptr<LocalGroupPolicy> policy = current.lock();
    if (!policy) {
        policy = std::make_shared<LocalGroupPolicy>();
        current = policy;
    }
    return policy;
}

void LocalGroupPolicy::Changed()
{
    ++savedChanges;
}

LocalGroupPolicy::LocalGroupPolicy() = default;

// Nothing is saved here: an exit without changes leaves the policy files
// alone, and every change was saved, or reported unsaved, when it was made.
LocalGroupPolicy::~LocalGroupPolicy()
{
    Close();
}

void LocalGroupPolicy::Close()
{
    for (Section& section : m_sections) {
        section.key.Close();
        section.asked = false;
    }
    m_object.Reset();
    m_openTried = false;
}

void LocalGroupPolicy::Open()
{
    m_openTried = true;
    m_loadedGeneration = savedChanges;
    if (!m_apartment)
        m_apartment.emplace(COINIT_APARTMENTTHREADED);
    if (FAILED(m_object.CreateInstance(kGroupPolicyObjectClass, CLSCTX_INPROC_SERVER,
                                       kGroupPolicyObjectInterface)))
        return;
    if (FAILED(m_object->OpenLocalMachineGPO(GPO_OPEN_LOAD_REGISTRY)))
        m_object.Reset(); // an object without the local policy has nothing to save
}

HKEY LocalGroupPolicy::SectionKey(bool userSection)
{
    // A copy loaded before this process's last save no longer shows the
    // policy; one that could not be had is not tried again.
    if (m_object && m_loadedGeneration != savedChanges)
        Close();
    if (!m_openTried)
        Open();
    Section& section = SectionOf(userSection);
    if (m_object && !section.asked) {
        section.asked = true;
        HKEY key = nullptr;
        if (SUCCEEDED(m_object->GetRegistryKey(userSection ? GPO_SECTION_USER : GPO_SECTION_MACHINE, &key)))
            section.key.Attach(key);
    }
    return section.key.Get();
}

bool LocalGroupPolicy::Save(bool userSection)
{
    Section& section = SectionOf(userSection);
    if (!m_object || !section.key.IsOpen())
        return false;
    GUID extension = kRegistryExtension;
    GUID tool = kPolicyToolId;
    if (FAILED(m_object->Save(userSection ? FALSE : TRUE, TRUE, &extension, &tool)))
        return false;
    Changed();
    return true;
}

PolicyRegistryKey::PolicyRegistryKey(bool userSection)
    : m_policy(LocalGroupPolicy::Shared()), m_userSection(userSection)
{
}

} // namespace Tavrin::Core
