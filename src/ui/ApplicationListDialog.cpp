#include "ApplicationListDialog.h"

#include "Strings.h"

#include <QDialogButtonBox>
#include <QFileInfo>
#include <QIcon>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace zl {

namespace {

QIcon iconOf(const QString &icon)
{
    if (QFileInfo(icon).isAbsolute())
        return QIcon(icon);
    return QIcon::fromTheme(icon);
}

} // namespace

ApplicationListDialog::ApplicationListDialog(const QList<InstalledApplication> &applications, QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("applicationListDialog"));
    setWindowTitle(text("ui.chooseApplication"));
    resize(420, 480);

    m_filter = new QLineEdit(this);
    m_filter->setObjectName(QStringLiteral("applicationFilter"));
    m_filter->setPlaceholderText(text("ui.search"));
    m_filter->setClearButtonEnabled(true);
    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("applicationList"));
    m_list->setIconSize(QSize(24, 24));
    m_list->setUniformItemSizes(true);
    for (const InstalledApplication &application : applications) {
        auto *row = new QListWidgetItem(iconOf(application.icon), application.name, m_list);
        row->setData(Qt::UserRole, application.id);
        row->setToolTip(application.id);
    }

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(text("ui.choose"));
    QPushButton *other = buttons->addButton(text("ui.otherApplication"), QDialogButtonBox::ActionRole);
    other->setObjectName(QStringLiteral("otherApplication"));

    auto *column = new QVBoxLayout(this);
    column->addWidget(m_filter);
    column->addWidget(m_list, 1);
    column->addWidget(buttons);

    connect(m_filter, &QLineEdit::textChanged, this, &ApplicationListDialog::applyFilter);
    connect(m_filter, &QLineEdit::returnPressed, this, [this] {
        if (!chosenId().isEmpty())
            accept();
    });
    connect(m_list, &QListWidget::itemActivated, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        if (!chosenId().isEmpty())
            accept();
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(other, &QPushButton::clicked, this, [this] { done(OtherRequested); });
    applyFilter({});
}

QString ApplicationListDialog::chosenId() const
{
    const QListWidgetItem *row = m_list->currentItem();
    return row && !row->isHidden() ? row->data(Qt::UserRole).toString() : QString();
}

void ApplicationListDialog::applyFilter(const QString &needle)
{
    QListWidgetItem *first = nullptr;
    for (int i = 0; i < m_list->count(); ++i) {
        QListWidgetItem *row = m_list->item(i);
        const bool shown = row->text().contains(needle, Qt::CaseInsensitive)
                           || row->data(Qt::UserRole).toString().contains(needle, Qt::CaseInsensitive);
        row->setHidden(!shown);
        if (shown && !first)
            first = row;
    }
    if (!m_list->currentItem() || m_list->currentItem()->isHidden())
        m_list->setCurrentItem(first);
}

} // namespace zl
