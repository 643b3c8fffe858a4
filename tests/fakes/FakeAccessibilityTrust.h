#pragma once

#include "AccessibilityTrust.h"

namespace zl {

class FakeAccessibilityTrust final : public AccessibilityTrust
{
public:
    bool isTrusted() override { return trusted; }
    void requestTrust() override { ++requests; }

    bool trusted = false;
    int requests = 0;
};

} // namespace zl
