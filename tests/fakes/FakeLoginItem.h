#pragma once

#include "LoginItemService.h"

#include <QStringList>

namespace zl {

/** Records the order of login-item calls; each call can be told to fail. */
class FakeLoginItem final : public LoginItemService
{
public:
    bool registerApp() override
    {
        calls << QStringLiteral("register");
        return !failRegister;
    }
    bool unregisterApp() override
    {
        calls << QStringLiteral("unregister");
        return !failUnregister;
    }

    QStringList calls;
    bool failRegister = false;
    bool failUnregister = false;
};

} // namespace zl
