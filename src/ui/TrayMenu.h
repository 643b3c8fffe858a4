#pragma once

#include "ShortcutItem.h"

#include <QList>
#include <QMenu>

#include <functional>

namespace zl {

struct UiContext;

/**
 * The tray icon's menu: open the main window, run any enabled shortcut, open the help on
 * pasting, quit. Rebuilt from the store's published list on every change and before it shows,
 * so a shortcut item always runs the shortcut as it is stored.
 */
class TrayMenu final : public QMenu
{
    Q_OBJECT

public:
    TrayMenu(UiContext &context, std::function<void()> openMainWindow, std::function<void()> quit,
             QWidget *parent = nullptr);

    /** Builds the items afresh from the store's current list. */
    void rebuild();

protected:
    void changeEvent(QEvent *event) override;

private:
    void rebuildFrom(const QList<ShortcutItem> &shortcuts);

    UiContext &m_context;
    std::function<void()> m_openMainWindow;
    std::function<void()> m_quit;
};

} // namespace zl
