#pragma once

#include "AccessibilityTrust.h"

namespace zl {

class RemoteDesktopKeys;

/** Trusted while the RemoteDesktop session runs; asking starts it, so the desktop shows its dialog. */
class RemoteDesktopTrust final : public AccessibilityTrust
{
public:
    /** keys must outlive this object. */
    explicit RemoteDesktopTrust(RemoteDesktopKeys &keys);

    bool isTrusted() override;
    /** Starts the session unless it runs or is starting; the answer comes later (sessionChanged). */
    void requestTrust() override;

private:
    RemoteDesktopKeys &m_keys;
};

} // namespace zl
