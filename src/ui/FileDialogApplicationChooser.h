#pragma once

#include "ApplicationChooser.h"

namespace zl {

/** A file dialog that starts in the user's applications folder and accepts desktop entries and programs. */
class FileDialogApplicationChooser final : public ApplicationChooser
{
public:
    std::optional<QString> chooseApplication(QWidget *parent) override;
};

} // namespace zl
