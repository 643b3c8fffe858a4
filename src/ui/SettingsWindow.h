#pragma once

#include <QWidget>

class QCheckBox;
class QLabel;
class QPushButton;

namespace zl {

struct UiContext;

/**
 * The launch-at-login switch (with a line when it could not be put into effect) and whether
 * pasting can work. The permission is read whenever the window is shown or the store changes,
 * never polled.
 */
class SettingsWindow final : public QWidget
{
    Q_OBJECT

public:
    explicit SettingsWindow(UiContext &context, QWidget *parent = nullptr);

    /** Reads the store and the permission afresh. */
    void refresh();

protected:
    void showEvent(QShowEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    UiContext &m_context;
    QCheckBox *m_launchAtLogin;
    QLabel *m_launchAtLoginProblem;
    QLabel *m_accessibilityLabel;
    QLabel *m_accessibilityStatus;
    QLabel *m_hotkeyPathLabel;
    QLabel *m_hotkeyPath;
    QLabel *m_pastePathLabel;
    QLabel *m_pastePath;
    QPushButton *m_openPrivacySettings;
};

} // namespace zl
