#pragma once
#include <windows.h>

#include <memory>
#include <optional>

#include "platform/ComPtr.h"
#include "platform/RegKey.h"

struct IGroupPolicyObject;

namespace Tavrin::Core {

// The local group policy object of the machine.
//
// Each object holds its own copy of the policy, loaded when it is opened, and
// its Save writes that copy back whole: a save of a copy loaded long ago
// undoes what another policy tool changed meanwhile. So every change (a write
// or a delete, and undo) opens an object of its own, loads it, changes the one
// value, saves and releases it; the state the journal keeps is read from that
// same load. Reads go through one object for each thread (Shared()),
// opened when a setting first needs it and loaded again once a change of this
// process was saved (Changed()); it never saves.
//
// Where the object cannot be created (Wine, Home editions without the editor),
// or cannot open the local policy or hand out a section, SectionKey() is null
// and nothing is saved. An object is used by the thread that opened it: a
// reading object by the thread whose settings models asked for it (the
// pages' by the user-interface thread), a change's object by the thread
// that makes the change.
class LocalGroupPolicy {
public:
    // The calling thread's reading object; made when first asked for, gone
    // with the last holder. Asking does not open it.
    static std::shared_ptr<LocalGroupPolicy> Shared();
    // After a save of this process: the reading object loads the policy
    // again the next time a section is asked for.
    static void Changed();

    LocalGroupPolicy();
    ~LocalGroupPolicy();
    LocalGroupPolicy(const LocalGroupPolicy&) = delete;
    LocalGroupPolicy& operator=(const LocalGroupPolicy&) = delete;

    // The registry key of the machine or user section, opening the object on
    // the calling thread first when that has not been tried yet.
    HKEY SectionKey(bool userSection);
    // Writes the section's registry into the policy files and lets the
    // registry client-side extension apply it. False when nothing was saved.
    bool Save(bool userSection);

private:
    struct Section {
        Platform::RegKey key;
        bool asked = false;
    };
    void Open();
    void Close();
    Section& SectionOf(bool userSection) { return m_sections[userSection ? 1 : 0]; }

    // Declared first so that COM stays initialised until the object is gone.
    std::optional<Platform::ComApartment> m_apartment;
    Platform::ComPtr<IGroupPolicyObject> m_object;
    Section m_sections[2]; // machine, user
    bool m_openTried = false;
    unsigned m_loadedGeneration = 0; // of Changed(), when the policy was loaded
};

// A property's hold on a section of the policy: reads go through the
// process's reading object, each change through an object of its own.
// Building one does no COM work.
class PolicyRegistryKey {
public:
    explicit PolicyRegistryKey(bool userSection);
    PolicyRegistryKey(const PolicyRegistryKey&) = delete;
    PolicyRegistryKey& operator=(const PolicyRegistryKey&) = delete;

    // The reading object's section; null when it cannot be had.
    HKEY Key() const { return m_policy->SectionKey(m_userSection); }
    bool UserSection() const { return m_userSection; }

private:
    std::shared_ptr<LocalGroupPolicy> m_policy;
    bool m_userSection;
};

// The identities this binding uses, exposed for the tests' stand-in server.
extern const CLSID kGroupPolicyObjectClass;
extern const IID kGroupPolicyObjectInterface;
extern const GUID kRegistryExtension;
extern const GUID kPolicyToolId;

} // namespace Tavrin::Core
