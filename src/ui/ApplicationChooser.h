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

    /** Modal; the absolute path of the chosen file, or none when the user cancelled. */
    virtual std::optional<QString> chooseApplication(QWidget *parent) = 0;
};

} // namespace zl
