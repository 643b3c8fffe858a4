#include "ShortcutEditor.h"

#include "ApplicationChooser.h"
#include "HotkeyRecorder.h"
#include "Icons.h"
#include "PayloadTextEdit.h"
#include "PlaceholderOverlay.h"
#include "SettingsStore.h"
#include "Strings.h"
#include "UiContext.h"

#include <QAbstractTextDocumentLayout>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QEvent>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFormLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStandardPaths>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace zl {

namespace {

constexpr int kPasteMinimumHeight = 120;
constexpr int kUrlsMinimumHeight = 140;
constexpr int kCommandMinimumLines = 3;
constexpr int kCommandMaximumLines = 8;

QLabel *captionLabel(const QString &name, QWidget *parent)
{
    auto *label = new QLabel(parent);
    label->setObjectName(name);
    label->setWordWrap(true);
    label->setForegroundRole(QPalette::PlaceholderText);
    QFont font = label->font();
    if (font.pointSizeF() > 0)
        font.setPointSizeF(font.pointSizeF() * 0.85);
    label->setFont(font);
    return label;
}

QPlainTextEdit *textEditor(const QString &name, bool monospaced, QWidget *parent)
{
    auto *edit = new PayloadTextEdit(parent);
    edit->setObjectName(name);
    edit->setTabChangesFocus(true);
    if (monospaced)
        edit->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    return edit;
}

void setIfDifferent(QLineEdit *edit, const QString &text)
{
    if (edit->text() != text)
        edit->setText(text);
}

void setIfDifferent(QPlainTextEdit *edit, const QString &text)
{
    if (edit->toPlainText() != text)
        edit->setPlainText(text);
}

} // namespace

ShortcutEditor::ShortcutEditor(UiContext &context, QWidget *parent) : QWidget(parent), m_context(context)
{
    setObjectName(QStringLiteral("shortcutEditor"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 4, 12, 8);
    layout->addWidget(buildGeneral());
    layout->addWidget(buildAction());
    layout->addWidget(buildTest());
    layout->addStretch(1);

    connect(&context.store, &SettingsStore::shortcutsChanged, this, [this](const QList<ShortcutItem> &items) {
        for (const ShortcutItem &item : items) {
            if (item.id == m_id) {
                showItem(item);
                return;
            }
        }
    });
    retranslate();
    showPayloadControl(m_shownType);
}

QWidget *ShortcutEditor::buildGeneral()
{
    m_general = new QGroupBox(this);
    m_general->setObjectName(QStringLiteral("generalSection"));
    auto *form = new QFormLayout(m_general);
    m_nameLabel = new QLabel(m_general);
    m_name = new QLineEdit(m_general);
    m_name->setObjectName(QStringLiteral("nameEdit"));
    m_nameLabel->setBuddy(m_name);
    form->addRow(m_nameLabel, m_name);
    m_enabled = new QCheckBox(m_general);
    m_enabled->setObjectName(QStringLiteral("enabledToggle"));
    form->addRow(m_enabled);

    auto *hotkey = new QVBoxLayout;
    hotkey->setSpacing(8);
    m_keyCombinationLabel = new QLabel(m_general);
    m_recorder = new HotkeyRecorder(m_context.layout, m_general);
    m_modifierHint = captionLabel(QStringLiteral("modifierHint"), m_general);
    hotkey->addWidget(m_keyCombinationLabel);
    hotkey->addWidget(m_recorder);
    hotkey->addWidget(m_modifierHint);
    m_hotkeyProblem = new QLabel(m_general);
    m_hotkeyProblem->setObjectName(QStringLiteral("hotkeyProblem"));
    m_hotkeyProblem->setWordWrap(true);
    m_hotkeyProblem->setTextFormat(Qt::PlainText);
    QPalette warning = m_hotkeyProblem->palette();
    warning.setColor(QPalette::WindowText, Icons::warningColor());
    m_hotkeyProblem->setPalette(warning);
    m_hotkeyProblem->hide();
    hotkey->addWidget(m_hotkeyProblem);
    form->addRow(hotkey);

    connect(m_name, &QLineEdit::textEdited, this, [this](const QString &name) {
        write([&](ShortcutItem &item) { item.name = name; });
    });
    connect(m_enabled, &QCheckBox::toggled, this, [this](bool enabled) {
        if (!m_applying)
            write([&](ShortcutItem &item) { item.isEnabled = enabled; });
    });
    connect(m_recorder, &HotkeyRecorder::keyCodeEdited, this, [this](quint32 keyCode) {
        write([&](ShortcutItem &item) { item.keyCode = keyCode; });
    });
    connect(m_recorder, &HotkeyRecorder::modifiersEdited, this, [this](quint32 modifiers) {
        write([&](ShortcutItem &item) { item.modifiers = modifiers; });
    });
    return m_general;
}

QWidget *ShortcutEditor::buildAction()
{
    m_action = new QGroupBox(this);
    m_action->setObjectName(QStringLiteral("actionSection"));
    auto *box = new QVBoxLayout(m_action);
    auto *typeRow = new QFormLayout;
    m_typeLabel = new QLabel(m_action);
    m_type = new QComboBox(m_action);
    m_type->setObjectName(QStringLiteral("typePicker"));
    for (ActionType type : ActionType::allCases())
        m_type->addItem(Icons::icon(type.symbolName()), QString(), type.rawValue());
    m_typeLabel->setBuddy(m_type);
    typeRow->addRow(m_typeLabel, m_type);
    box->addLayout(typeRow);

    m_pasteEdit = textEditor(QStringLiteral("pastePayloadEdit"), false, m_action);
    m_pasteEdit->setMinimumHeight(kPasteMinimumHeight);
    m_pastePlaceholder = new PlaceholderOverlay(m_pasteEdit);
    m_pastePlaceholder->setObjectName(QStringLiteral("pastePlaceholder"));

    m_commandEdit = textEditor(QStringLiteral("commandPayloadEdit"), true, m_action);
    m_commandEdit->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);

    m_launchRow = new QWidget(m_action);
    auto *launch = new QHBoxLayout(m_launchRow);
    launch->setContentsMargins(0, 0, 0, 0);
    m_launchEdit = new QLineEdit(m_launchRow);
    m_launchEdit->setObjectName(QStringLiteral("launchPayloadEdit"));
    m_chooseButton = new QPushButton(m_launchRow);
    m_chooseButton->setObjectName(QStringLiteral("chooseApplicationButton"));
    launch->addWidget(m_launchEdit, 1);
    launch->addWidget(m_chooseButton);

    m_urlEdit = new QLineEdit(m_action);
    m_urlEdit->setObjectName(QStringLiteral("urlPayloadEdit"));
    m_urlEdit->setInputMethodHints(Qt::ImhUrlCharactersOnly | Qt::ImhNoAutoUppercase);

    m_urlsEdit = textEditor(QStringLiteral("urlsPayloadEdit"), true, m_action);
    m_urlsEdit->setMinimumHeight(kUrlsMinimumHeight);
    m_urlsPlaceholder = new PlaceholderOverlay(m_urlsEdit);
    m_urlsPlaceholder->setObjectName(QStringLiteral("urlsPlaceholder"));

    for (QWidget *control : {static_cast<QWidget *>(m_pasteEdit), static_cast<QWidget *>(m_commandEdit), m_launchRow,
                             static_cast<QWidget *>(m_urlEdit), static_cast<QWidget *>(m_urlsEdit)})
        box->addWidget(control);
    m_help = captionLabel(QStringLiteral("helpText"), m_action);
    box->addWidget(m_help);

    connect(m_type, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (m_applying || index < 0)
            return;
        const ActionType type = ActionType::allCases().at(static_cast<size_t>(index));
        write([&](ShortcutItem &item) { item.actionType = type; });
    });
    for (QPlainTextEdit *edit : {m_pasteEdit, m_commandEdit, m_urlsEdit}) {
        connect(edit, &QPlainTextEdit::textChanged, this, [this, edit] {
            if (!m_applying)
                payloadEdited(edit->toPlainText());
        });
    }
    connect(m_commandEdit, &QPlainTextEdit::textChanged, this, &ShortcutEditor::fitCommandHeight);
    connect(m_launchEdit, &QLineEdit::textEdited, this, &ShortcutEditor::payloadEdited);
    connect(m_urlEdit, &QLineEdit::textEdited, this, &ShortcutEditor::payloadEdited);
    connect(m_chooseButton, &QPushButton::clicked, this, &ShortcutEditor::chooseApplication);
    return m_action;
}

QWidget *ShortcutEditor::buildTest()
{
    m_test = new QGroupBox(this);
    m_test->setObjectName(QStringLiteral("testSection"));
    auto *column = new QVBoxLayout(m_test);
    auto *row = new QHBoxLayout;
    m_runNow = new QPushButton(m_test);
    m_runNow->setObjectName(QStringLiteral("runNowButton"));
    row->addWidget(m_runNow);
    row->addStretch(1);
    column->addLayout(row);

    // Where the program cannot grab keys itself, the desktop's own shortcut settings run this.
    m_triggerLabel = captionLabel(QStringLiteral("triggerHelp"), m_test);
    auto *trigger = new QHBoxLayout;
    m_triggerCommand = new QLineEdit(m_test);
    m_triggerCommand->setObjectName(QStringLiteral("triggerCommand"));
    m_triggerCommand->setReadOnly(true);
    m_triggerLabel->setBuddy(m_triggerCommand);
    m_copyTrigger = new QPushButton(m_test);
    m_copyTrigger->setObjectName(QStringLiteral("copyTriggerButton"));
    trigger->addWidget(m_triggerCommand, 1);
    trigger->addWidget(m_copyTrigger);
    column->addWidget(m_triggerLabel);
    column->addLayout(trigger);
    connect(m_copyTrigger, &QPushButton::clicked, this,
            [this] { QGuiApplication::clipboard()->setText(m_triggerCommand->text()); });
    connect(m_runNow, &QPushButton::clicked, this, [this] {
        if (const std::optional<ShortcutItem> item = current(); item && m_context.run)
            m_context.run(*item);
    });
    return m_test;
}

void ShortcutEditor::refreshProblem()
{
    const std::optional<ShortcutItem> item = current();
    const QString problem = item && m_context.hotkeyProblem ? m_context.hotkeyProblem(*item) : QString();
    m_hotkeyProblem->setText(problem);
    m_hotkeyProblem->setVisible(!problem.isEmpty());
}

void ShortcutEditor::focusName()
{
    m_name->setFocus(Qt::OtherFocusReason);
    m_name->selectAll();
}

void ShortcutEditor::setItem(const ShortcutItem &item)
{
    if (item.id != m_id) {
        m_recorder->setRecording(false);
        m_id = item.id;
    }
    showItem(item);
}

std::optional<ShortcutItem> ShortcutEditor::current() const
{
    for (const ShortcutItem &item : m_context.store.shortcuts()) {
        if (item.id == m_id)
            return item;
    }
    return std::nullopt;
}

void ShortcutEditor::write(const std::function<void(ShortcutItem &)> &change)
{
    std::optional<ShortcutItem> item = current();
    if (!item)
        return;
    change(*item);
    m_context.store.update(*item);
}

void ShortcutEditor::showItem(const ShortcutItem &item)
{
    const bool wasApplying = m_applying;
    m_applying = true;
    setIfDifferent(m_name, item.name);
    m_enabled->setChecked(item.isEnabled);
    m_recorder->setCombination(item.keyCode, item.modifiers);
    m_type->setCurrentIndex(item.actionType.kind());
    showPayloadControl(item.actionType);
    setPayloadText(item.payload);
    // The id, not the name: it survives renames and needs no quoting.
    const QString program = QCoreApplication::applicationFilePath();
    const bool onPath = QStandardPaths::findExecutable(QFileInfo(program).fileName()) == program;
    m_triggerCommand->setText((onPath ? QFileInfo(program).fileName() : program) + QStringLiteral(" --run ")
                              + item.id.toString(QUuid::WithoutBraces));
    m_triggerCommand->setCursorPosition(0);
    refreshProblem();
    m_applying = wasApplying;
}

void ShortcutEditor::showPayloadControl(ActionType type)
{
    m_shownType = type;
    const ActionType::Kind kind = type.kind();
    m_pasteEdit->setVisible(kind == ActionType::PasteText || kind == ActionType::PasteTextAndEnter);
    m_commandEdit->setVisible(kind == ActionType::RunCommand);
    m_launchRow->setVisible(kind == ActionType::LaunchApp);
    m_urlEdit->setVisible(kind == ActionType::OpenURL);
    m_urlsEdit->setVisible(kind == ActionType::OpenURLs);
    const QString placeholder = type.placeholder();
    m_pastePlaceholder->setText(placeholder);
    m_urlsPlaceholder->setText(placeholder);
    m_commandEdit->setPlaceholderText(placeholder);
    m_launchEdit->setPlaceholderText(placeholder);
    m_urlEdit->setPlaceholderText(placeholder);
    m_help->setText(type.helpText());
    // The payload controls have no label of their own; screen readers name them by the action.
    for (QWidget *control : {static_cast<QWidget *>(m_pasteEdit), static_cast<QWidget *>(m_commandEdit),
                             static_cast<QWidget *>(m_launchEdit), static_cast<QWidget *>(m_urlEdit),
                             static_cast<QWidget *>(m_urlsEdit)})
        control->setAccessibleName(type.title());
}

void ShortcutEditor::setPayloadText(const QString &payload)
{
    // Every control holds the payload, so switching the action type shows the same text.
    setIfDifferent(m_pasteEdit, payload);
    setIfDifferent(m_commandEdit, payload);
    setIfDifferent(m_launchEdit, payload);
    setIfDifferent(m_urlEdit, payload);
    setIfDifferent(m_urlsEdit, payload);
    m_pastePlaceholder->follow(payload);
    m_urlsPlaceholder->follow(payload);
}

void ShortcutEditor::payloadEdited(const QString &payload)
{
    m_pastePlaceholder->follow(payload);
    m_urlsPlaceholder->follow(payload);
    write([&](ShortcutItem &item) { item.payload = payload; });
}

void ShortcutEditor::chooseApplication()
{
    const std::optional<QString> path = m_context.chooser.chooseApplication(window());
    if (path && !path->isEmpty())
        write([&](ShortcutItem &item) { item.payload = *path; });
}

void ShortcutEditor::fitCommandHeight()
{
    const QFontMetrics metrics(m_commandEdit->font());
    const qreal lines = m_commandEdit->document()->documentLayout()->documentSize().height();
    const int shown = std::clamp(static_cast<int>(std::ceil(lines)), kCommandMinimumLines, kCommandMaximumLines);
    const int frame = m_commandEdit->frameWidth() * 2;
    const int margins = static_cast<int>(std::ceil(m_commandEdit->document()->documentMargin() * 2));
    m_commandEdit->setFixedHeight(shown * metrics.lineSpacing() + frame + margins);
}

void ShortcutEditor::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange)
        retranslate();
    if (event->type() == QEvent::PaletteChange) {
        for (ActionType type : ActionType::allCases())
            m_type->setItemIcon(type.kind(), Icons::icon(type.symbolName()));
    }
    QWidget::changeEvent(event);
}

void ShortcutEditor::retranslate()
{
    m_general->setTitle(text("ui.general"));
    m_nameLabel->setText(text("ui.name"));
    m_enabled->setText(text("ui.enabled"));
    m_keyCombinationLabel->setText(text("ui.keyCombination"));
    m_modifierHint->setText(text("ui.modifierHint"));
    m_action->setTitle(text("ui.action"));
    m_typeLabel->setText(text("ui.type"));
    for (ActionType type : ActionType::allCases())
        m_type->setItemText(type.kind(), type.title());
    m_chooseButton->setText(text("ui.chooseEllipsis"));
    m_test->setTitle(text("ui.test"));
    m_runNow->setText(text("ui.runNow"));
    m_triggerLabel->setText(text("ui.triggerCommandHelp"));
    m_copyTrigger->setText(text("ui.copy"));
    m_recorder->setAccessibleName(text("ui.keyCombination"));
    showPayloadControl(m_shownType);
    fitCommandHeight();
}

} // namespace zl
