#pragma once

class CButtonHeader;

// The owner of CButtonHeader bars: told after each opening or closing, it
// reads the header's IsOpened() and shows or hides what the header heads.
class IHeaderParent {
public:
    virtual ~IHeaderParent() = default;
    virtual void OnHeaderToggled(CButtonHeader* header) = 0;
};
