#pragma once
#include "framework/CDC.h"

// A window that lends its back buffer to its child controls, so that they
// copy the part under themselves as their background and look transparent.
// Controls find it with a dynamic_cast of their parent's object.
class CTransparentParent {
public:
    virtual ~CTransparentParent() = default;
    // Never null as an object; its device handle is null until the parent
    // has painted once.
    virtual CDC& GetBackBuffer() = 0;
};
