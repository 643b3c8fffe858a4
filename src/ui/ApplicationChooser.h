#pragma once

#include <QString>

#include <optional>

class QWidget;

namespace zl {

/** Lets the user pick an application to launch. */
class ApplicationChooser
{
public:
    virtual ~ApplicationChooser() = default;

    /** Modal; what to launch (a desktop-file ID or an absolute path), or none when the user cancelled. */
    virtual std::optional<QString> chooseApplication(QWidget *parent) = 0;
};

} // namespace zl
