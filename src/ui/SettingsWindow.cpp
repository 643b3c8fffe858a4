#include "SettingsWindow.h"

#include "Icons.h"
#include "PermissionsManager.h"
#include "SettingsStore.h"
#include "Strings.h"
#include "UiContext.h"

#include <QAction>
#include <QCheckBox>
#include <QEvent>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace zl {

namespace {

const QColor kGreen(0x2E, 0x9D, 0x3A);

} // namespace

SettingsWindow::SettingsWindow(UiContext &context, QWidget *parent)
    : QWidget(parent, Qt::Window), m_context(context), m_launchAtLogin(new QCheckBox),
      m_launchAtLoginProblem(new QLabel), m_accessibilityLabel(new QLabel), m_accessibilityStatus(new QLabel),
      m_hotkeyPathLabel(new QLabel), m_hotkeyPath(new QLabel), m_pastePathLabel(new QLabel), m_pastePath(new QLabel),
      m_openPrivacySettings(new QPushButton)
{
    setObjectName(QStringLiteral("settings"));
    m_launchAtLogin->setObjectName(QStringLiteral("launchAtLoginToggle"));
    m_launchAtLoginProblem->setObjectName(QStringLiteral("launchAtLoginProblem"));
    m_accessibilityStatus->setObjectName(QStringLiteral("accessibilityStatus"));
    m_openPrivacySettings->setObjectName(QStringLiteral("openPrivacySettingsButton"));

    auto *content = new QGroupBox(this);
    content->setObjectName(QStringLiteral("settingsContent"));
    // Room for the lines a problem adds; the window grows with them rather than clipping them.
    content->setMinimumSize(420, 180);
    auto *form = new QFormLayout(content);
    form->setContentsMargins(18, 18, 18, 18);
    form->setVerticalSpacing(12);
    form->setHorizontalSpacing(12);
    form->setFieldGrowthPolicy(QFormLayout::ExpandingFieldsGrow);
    m_launchAtLoginProblem->setWordWrap(true);
    m_accessibilityLabel->setWordWrap(true);
    m_accessibilityStatus->setWordWrap(true);
    form->addRow(m_launchAtLogin);
    form->addRow(m_launchAtLoginProblem);
    form->addRow(m_accessibilityLabel, m_accessibilityStatus);
    m_hotkeyPath->setObjectName(QStringLiteral("hotkeyPath"));
    m_pastePath->setObjectName(QStringLiteral("pastePath"));
    for (QLabel *path : {m_hotkeyPath, m_pastePath}) {
        path->setWordWrap(true);
        path->setTextInteractionFlags(Qt::TextSelectableByMouse);
        // A wrapped label in a fixed-size window needs a width to wrap at, or it is cut off.
        path->setFixedWidth(300);
    }
    m_hotkeyPathLabel->setBuddy(m_hotkeyPath);
    m_pastePathLabel->setBuddy(m_pastePath);
    form->addRow(m_hotkeyPathLabel, m_hotkeyPath);
    form->addRow(m_pastePathLabel, m_pastePath);
    auto *buttonRow = new QHBoxLayout;
    buttonRow->addWidget(m_openPrivacySettings);
    buttonRow->addStretch(1);
    form->addRow(buttonRow);

    auto *outer = new QVBoxLayout(this);
    outer->setContentsMargins(12, 12, 12, 12);
    outer->addWidget(content);

    auto *close = new QAction(this);
    close->setShortcuts({QKeySequence(Qt::Key_Escape), QKeySequence::Close});
    connect(close, &QAction::triggered, this, &QWidget::close);
    addAction(close);
    outer->setSizeConstraint(QLayout::SetFixedSize);

    connect(m_launchAtLogin, &QCheckBox::clicked, this, [this](bool checked) {
        m_context.store.setLaunchAtLogin(checked);
    });
    connect(m_openPrivacySettings, &QPushButton::clicked, this,
            [this] { m_context.permissions.openAccessibilitySettings(); });
    connect(&context.store, &SettingsStore::launchAtLoginChanged, this, &SettingsWindow::refresh);
    connect(&context.store, &SettingsStore::loginItemFailedChanged, this, &SettingsWindow::refresh);
    connect(&context.store, &SettingsStore::shortcutsChanged, this, &SettingsWindow::refresh);
    refresh();
}

void SettingsWindow::refresh()
{
    setWindowTitle(text("ui.settingsTitle"));
    m_launchAtLogin->setText(text("ui.launchAtLoginToggle"));
    m_launchAtLogin->setChecked(m_context.store.launchAtLogin());
    m_launchAtLoginProblem->setVisible(m_context.store.loginItemFailed());
    m_launchAtLoginProblem->setText(
        text(m_context.store.launchAtLogin() ? "ui.launchAtLoginFailed" : "ui.launchAtLoginNotRemoved"));
    QPalette problemPalette = m_launchAtLoginProblem->palette();
    problemPalette.setColor(QPalette::WindowText, Icons::warningColor());
    m_launchAtLoginProblem->setPalette(problemPalette);
    m_accessibilityLabel->setText(text("ui.accessibility"));
    // Text and colour come from one answer, so they never disagree.
    const bool trusted = m_context.permissions.isTrusted();
    m_accessibilityStatus->setText(text(trusted ? "ui.allowed" : "ui.needsPermission"));
    QPalette palette = m_accessibilityStatus->palette();
    palette.setColor(QPalette::WindowText, trusted ? kGreen : Icons::warningColor());
    m_accessibilityStatus->setPalette(palette);
    m_openPrivacySettings->setText(text("ui.openPrivacySettings"));
    m_hotkeyPathLabel->setText(text("settings.hotkeys"));
    m_pastePathLabel->setText(text("settings.paste"));
    m_hotkeyPath->setText(m_context.hotkeyPath ? m_context.hotkeyPath() : QString());
    m_pastePath->setText(m_context.pastePath ? m_context.pastePath() : QString());
    for (QLabel *row : {m_hotkeyPathLabel, m_hotkeyPath})
        row->setVisible(!m_hotkeyPath->text().isEmpty());
    for (QLabel *row : {m_pastePathLabel, m_pastePath})
        row->setVisible(!m_pastePath->text().isEmpty());
}

void SettingsWindow::showEvent(QShowEvent *event)
{
    refresh();
    QWidget::showEvent(event);
}

void SettingsWindow::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange)
        refresh();
    QWidget::changeEvent(event);
}

} // namespace zl
