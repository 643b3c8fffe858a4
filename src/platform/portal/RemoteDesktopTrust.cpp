#include "RemoteDesktopTrust.h"

#include "RemoteDesktopKeys.h"

namespace zl {

RemoteDesktopTrust::RemoteDesktopTrust(RemoteDesktopKeys &keys) : m_keys(keys)
{
}

bool RemoteDesktopTrust::isTrusted()
{
    return m_keys.trusted();
}

void RemoteDesktopTrust::requestTrust()
{
    m_keys.start();
}

} // namespace zl
