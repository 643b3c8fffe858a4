#pragma once

#include "InstalledApplication.h"

#include <QDialog>

class QLineEdit;
class QListWidget;

namespace zl {

/** The installed applications, filtered as you type; "Other…" asks for a file instead. */
class ApplicationListDialog final : public QDialog
{
    Q_OBJECT

public:
    /** The dialog's result when the user asked to pick a file instead. */
    static constexpr int OtherRequested = 2;

    explicit ApplicationListDialog(const QList<InstalledApplication> &applications, QWidget *parent = nullptr);

    /** The desktop-file ID of the chosen row; empty when none is chosen. */
    QString chosenId() const;

private:
    void applyFilter(const QString &needle);

    QLineEdit *m_filter = nullptr;
    QListWidget *m_list = nullptr;
};

} // namespace zl
