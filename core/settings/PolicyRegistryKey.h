#pragma once
#include <windows.h>

#include "platform/ComPtr.h"
#include "platform/RegKey.h"

struct IGroupPolicyObject;

namespace Tavrin::Core {

// The local group policy object of the machine, opened with its registry
// loaded, and the key of its machine or user section. Settings that Windows
// reads from policy only take effect when the object is saved, so the owner
// calls Save after every change. Where the object cannot be created (Wine,
// Home editions without the editor) Key() is null and Save does nothing.
class PolicyRegistryKey {
public:
    explicit PolicyRegistryKey(bool userSection);
    // Saves once more, closes the section key and releases the object.
    ~PolicyRegistryKey();
    PolicyRegistryKey(const PolicyRegistryKey&) = delete;
    PolicyRegistryKey& operator=(const PolicyRegistryKey&) = delete;

    HKEY Key() const { return key_.Get(); }
    bool HasObject() const { return static_cast<bool>(object_); }
    // Writes the section's registry into the policy files and lets the
    // registry client-side extension apply it. The result is not looked at.
    void Save();

private:
    // Declared first so that COM stays initialised until the object is gone.
    Platform::ComApartment apartment_;
    Platform::RegKey key_;
    Platform::ComPtr<IGroupPolicyObject> object_;
    bool userSection_;
};

// The identities this binding uses, exposed for the tests' stand-in server.
extern const CLSID kGroupPolicyObjectClass;
extern const IID kGroupPolicyObjectInterface;
extern const GUID kRegistryExtension;
extern const GUID kPolicyToolId;

} // namespace Tavrin::Core
