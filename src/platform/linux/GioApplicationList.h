#pragma once

#include "InstalledApplication.h"

namespace zl {

/** The desktop entries GIO would show in a menu: hidden, NoDisplay and other desktops' entries left out. */
class GioApplicationList final
{
public:
    GioApplicationList() = delete;

    static QList<InstalledApplication> installed();
};

} // namespace zl
