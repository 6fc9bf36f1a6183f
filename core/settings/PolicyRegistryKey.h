#pragma once
#include <windows.h>

#include <memory>
#include <optional>

#include "platform/ComPtr.h"
#include "platform/RegKey.h"

struct IGroupPolicyObject;

namespace Tavrin::Core {

// The local group policy object of the machine, one for the whole process.
//
// Each object holds its own copy of the policy, loaded when it is opened, and
// its Save writes that copy back whole: two objects in one process would undo
// each other's changes, and a save of a copy loaded long ago undoes what
// another policy tool changed meanwhile. So every policy-bound property shares
// this one object, it is opened only when a setting first needs it (building
// the models does no COM work), saved after each change that went through it,
// and not saved when it goes unless a save after a change failed.
//
// Where the object cannot be created (Wine, Home editions without the editor),
// or cannot open the local policy or hand out a section, SectionKey() is null
// for good and nothing is saved. The user-interface thread opens it and
// reads through it; a settings page's change writes and saves through it on
// the change's own thread while the page waits, its boxes disabled, so the
// two never use it at once.
class LocalGroupPolicy {
public:
    // The process's object; made when first asked for, gone with the last
    // holder. Asking does not open it.
    static std::shared_ptr<LocalGroupPolicy> Shared();

    LocalGroupPolicy() = default;
    ~LocalGroupPolicy();
    LocalGroupPolicy(const LocalGroupPolicy&) = delete;
    LocalGroupPolicy& operator=(const LocalGroupPolicy&) = delete;

    // The registry key of the machine or user section, opening the object on
    // the calling thread first when that has not been tried yet.
    HKEY SectionKey(bool userSection);
    // Writes the section's registry into the policy files and lets the
    // registry client-side extension apply it; call after each change.
    // False when nothing was saved.
    bool Save(bool userSection);

private:
    struct Section {
        Platform::RegKey key;
        bool asked = false;
        bool unsaved = false; // changed, and the last save failed
    };
    void Open();
    Section& SectionOf(bool userSection) { return m_sections[userSection ? 1 : 0]; }

    // Declared first so that COM stays initialised until the object is gone.
    std::optional<Platform::ComApartment> m_apartment;
    Platform::ComPtr<IGroupPolicyObject> m_object;
    Section m_sections[2]; // machine, user
    bool m_openTried = false;
};

// A property's hold on the process's policy object and on one of its
// sections. Building one does no COM work.
class PolicyRegistryKey {
public:
    explicit PolicyRegistryKey(bool userSection);
    PolicyRegistryKey(const PolicyRegistryKey&) = delete;
    PolicyRegistryKey& operator=(const PolicyRegistryKey&) = delete;

    // Null when the object or its section cannot be had.
    HKEY Key() const { return m_policy->SectionKey(m_userSection); }
    // After a change below Key(); false when the object was not saved.
    bool Save() { return m_policy->Save(m_userSection); }
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
