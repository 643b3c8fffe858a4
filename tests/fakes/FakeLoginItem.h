#pragma once

#include "LoginItemService.h"

#include <QStringList>

namespace zl {

/** Records the order of login-item calls; each call can be told to fail. */
class FakeLoginItem final : public LoginItemService
{
public:
    std::optional<QString> registerApp() override
    {
        calls << QStringLiteral("register");
        return failRegister ? std::optional(QStringLiteral("register refused")) : std::nullopt;
    }
    std::optional<QString> unregisterApp() override
    {
        calls << QStringLiteral("unregister");
        return failUnregister ? std::optional(QStringLiteral("unregister refused")) : std::nullopt;
    }

    QStringList calls;
    bool failRegister = false;
    bool failUnregister = false;
};

} // namespace zl
