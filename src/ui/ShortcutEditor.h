#pragma once

#include "ShortcutItem.h"

#include <QUuid>
#include <QWidget>

#include <functional>
#include <optional>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace zl {

class HotkeyRecorder;
class PlaceholderOverlay;
struct UiContext;

/**
 * Edits one stored shortcut in place. Every change writes the whole shortcut through
 * SettingsStore::update at once; there is no save step. The controls follow the store's
 * republished value without being rebuilt, so typing keeps its cursor and selection.
 */
class ShortcutEditor final : public QWidget
{
    Q_OBJECT

public:
    explicit ShortcutEditor(UiContext &context, QWidget *parent = nullptr);

    /**
     * Edits item, the store's current value of one shortcut. Another id starts afresh (a
     * recording in progress ends); the same id only brings changed controls up to date.
     */
    void setItem(const ShortcutItem &item);
    /** Shows why the hotkey does not work, or nothing; again after every registration pass. */
    void refreshProblem();
    /** Puts the focus in the name field with its text selected, ready to be typed over. */
    void focusName();

protected:
    void changeEvent(QEvent *event) override;

private:
    std::optional<ShortcutItem> current() const;
    void write(const std::function<void(ShortcutItem &)> &change);
    void showItem(const ShortcutItem &item);
    void showPayloadControl(ActionType type);
    void setPayloadText(const QString &payload);
    void payloadEdited(const QString &payload);
    void chooseApplication();
    void fitCommandHeight();
    void retranslate();
    QWidget *buildGeneral();
    QWidget *buildAction();
    QWidget *buildTest();

    UiContext &m_context;
    QUuid m_id;
    ActionType m_shownType;
    bool m_applying = false;

    QGroupBox *m_general = nullptr;
    QLabel *m_nameLabel = nullptr;
    QLineEdit *m_name = nullptr;
    QCheckBox *m_enabled = nullptr;
    QLabel *m_keyCombinationLabel = nullptr;
    HotkeyRecorder *m_recorder = nullptr;
    QLabel *m_modifierHint = nullptr;
    QLabel *m_hotkeyProblem = nullptr;

    QGroupBox *m_action = nullptr;
    QLabel *m_typeLabel = nullptr;
    QComboBox *m_type = nullptr;
    QPlainTextEdit *m_pasteEdit = nullptr;
    PlaceholderOverlay *m_pastePlaceholder = nullptr;
    QPlainTextEdit *m_commandEdit = nullptr;
    QWidget *m_launchRow = nullptr;
    QLineEdit *m_launchEdit = nullptr;
    QPushButton *m_chooseButton = nullptr;
    QLineEdit *m_urlEdit = nullptr;
    QPlainTextEdit *m_urlsEdit = nullptr;
    PlaceholderOverlay *m_urlsPlaceholder = nullptr;
    QLabel *m_help = nullptr;

    QGroupBox *m_test = nullptr;
    QPushButton *m_runNow = nullptr;
    QLabel *m_triggerLabel = nullptr;
    QLineEdit *m_triggerCommand = nullptr;
    QPushButton *m_copyTrigger = nullptr;
};

} // namespace zl
