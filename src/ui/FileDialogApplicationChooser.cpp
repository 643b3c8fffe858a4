#include "FileDialogApplicationChooser.h"

#include "Strings.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QSortFilterProxyModel>
#include <QStandardPaths>

namespace zl {

namespace {

// A name filter cannot express "executable", so the proxy keeps folders, desktop entries and
// files the user may run.
class ApplicationFilter final : public QSortFilterProxyModel
{
public:
    using QSortFilterProxyModel::QSortFilterProxyModel;

protected:
    bool filterAcceptsRow(int row, const QModelIndex &parent) const override
    {
        const QModelIndex index = sourceModel()->index(row, 0, parent);
        const QFileInfo info(index.data(QFileSystemModel::FilePathRole).toString());
        if (info.isDir())
            return true;
        return info.suffix() == QLatin1StringView("desktop") || info.isExecutable();
    }
};

QString applicationsFolder()
{
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::ApplicationsLocation);
    if (QFileInfo(folder).isDir())
        return folder;
    return QStringLiteral("/usr/share/applications");
}

} // namespace

std::optional<QString> FileDialogApplicationChooser::chooseApplication(QWidget *parent)
{
    QFileDialog dialog(parent);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    // The proxy model only works with Qt's own dialog.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setProxyModel(new ApplicationFilter(&dialog));
    dialog.setDirectory(applicationsFolder());
    dialog.setLabelText(QFileDialog::Accept, text("ui.choose"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    const QString path = QFileInfo(dialog.selectedFiles().constFirst()).absoluteFilePath();
    if (path.isEmpty())
        return std::nullopt;
    return path;
}

} // namespace zl
