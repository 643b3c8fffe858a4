#include "TrayMenu.h"

#include "HotkeyDisplay.h"
#include "Icons.h"
#include "PermissionsManager.h"
#include "SettingsStore.h"
#include "Strings.h"
#include "UiContext.h"

#include <QAction>
#include <QEvent>

namespace zl {

namespace {

// A menu reads "&" as the mark of an access key; names and key symbols are shown as typed.
QString literal(QString text)
{
    return text.replace(u'&', QStringLiteral("&&"));
}

} // namespace

TrayMenu::TrayMenu(UiContext &context, std::function<void()> openMainWindow, std::function<void()> quit,
                   QWidget *parent)
    : QMenu(parent), m_context(context), m_openMainWindow(std::move(openMainWindow)), m_quit(std::move(quit))
{
    setObjectName(QStringLiteral("trayMenu"));
    // The store publishes before it holds the new list, so the published value is the one to use.
    connect(&context.store, &SettingsStore::shortcutsChanged, this, &TrayMenu::rebuildFrom);
    connect(this, &QMenu::aboutToShow, this, &TrayMenu::rebuild);
    rebuild();
}

void TrayMenu::rebuild()
{
    rebuildFrom(m_context.store.shortcuts());
}

void TrayMenu::rebuildFrom(const QList<ShortcutItem> &shortcuts)
{
    clear();
    QAction *open = addAction(literal(text("ui.openSettings")));
    open->setObjectName(QStringLiteral("openMainWindowAction"));
    connect(open, &QAction::triggered, this, [this] {
        if (m_openMainWindow)
            m_openMainWindow();
    });
    addSeparator();

    bool anyEnabled = false;
    for (const ShortcutItem &item : shortcuts) {
        if (!item.isEnabled)
            continue;
        anyEnabled = true;
        const QString hotkey = HotkeyDisplay::string(item.keyCode, item.modifiers, m_context.layout);
        QAction *run = addAction(literal(formatted("menu.shortcutLabel", item.name, hotkey)));
        run->setObjectName(QStringLiteral("shortcutAction"));
        run->setData(item.id);
        if (const QString problem = m_context.hotkeyProblem ? m_context.hotkeyProblem(item) : QString();
            !problem.isEmpty()) {
            run->setIcon(Icons::warning());
            run->setToolTip(problem);
        }
        // A copy as built: the menu is rebuilt on every change, so it is the stored value.
        connect(run, &QAction::triggered, this, [this, item] {
            if (m_context.run)
                m_context.run(item);
        });
    }
    if (!anyEnabled) {
        // A plain text line: a menu has no non-interactive item other than a disabled one.
        QAction *none = addAction(literal(text("ui.noActiveHotkeys")));
        none->setObjectName(QStringLiteral("noActiveHotkeysAction"));
        none->setEnabled(false);
    }
    addSeparator();

    QAction *accessibility = addAction(literal(text("ui.accessibilityPermissions")));
    accessibility->setObjectName(QStringLiteral("accessibilityAction"));
    connect(accessibility, &QAction::triggered, this, [this] { m_context.permissions.openAccessibilitySettings(); });
    addSeparator();

    QAction *quit = addAction(literal(text("ui.quit")));
    quit->setObjectName(QStringLiteral("quitAction"));
    connect(quit, &QAction::triggered, this, [this] {
        if (m_quit)
            m_quit();
    });
}

void TrayMenu::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange)
        rebuild();
    QMenu::changeEvent(event);
}

} // namespace zl
