#pragma once

#include "ApplicationChooser.h"
#include "FileDialogApplicationChooser.h"
#include "InstalledApplication.h"

namespace zl {

/** Picks from the installed applications; "Other…" falls back to a file dialog for a path. */
class ApplicationListChooser final : public ApplicationChooser
{
public:
    explicit ApplicationListChooser(ApplicationLister lister) : m_lister(std::move(lister)) {}

    std::optional<QString> chooseApplication(QWidget *parent) override;

private:
    ApplicationLister m_lister;
    FileDialogApplicationChooser m_files;
};

} // namespace zl
