#include "ApplicationListChooser.h"

#include "ApplicationListDialog.h"

namespace zl {

std::optional<QString> ApplicationListChooser::chooseApplication(QWidget *parent)
{
    ApplicationListDialog dialog(m_lister(), parent);
    const int result = dialog.exec();
    if (result == ApplicationListDialog::OtherRequested)
        return m_files.chooseApplication(parent);
    if (result != QDialog::Accepted || dialog.chosenId().isEmpty())
        return std::nullopt;
    return dialog.chosenId();
}

} // namespace zl
