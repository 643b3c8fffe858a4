#pragma once

#include "ActionExecutor.h"
#include "FileDialogApplicationChooser.h"
#include "PermissionsManager.h"
#include "PlatformServices.h"
#include "SettingsStore.h"
#include "Translations.h"
#include "UiContext.h"
#include "XdgAutostart.h"

#include <QObject>
#include <QPointer>

#include <memory>

class QSystemTrayIcon;

namespace zl {

class MainWindow;
class SettingsWindow;
class TrayMenu;

/**
 * The application: owns the one store and everything the windows and hotkeys act through, and
 * runs the start-up in order (store, launch-time permission query, main window, hotkeys bound
 * each time the main window is shown). Closing the window keeps the program running.
 */
class ZephyrlatchApp final : public QObject
{
    Q_OBJECT

public:
    ZephyrlatchApp();
    ~ZephyrlatchApp() override;

    /** Shows, raises and activates the main window (tray item, second launch). */
    void showMainWindow();

    /**
     * The trigger command's request: "list" gives "ok" and one line per shortcut (name, hotkey,
     * action kind, enabled, tab-separated); "run " + percent-encoded name or id runs that enabled
     * shortcut on a later turn and gives "ok", else "nomatch" or "disabled".
     */
    QByteArray answer(const QByteArray &line);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void applicationDidFinishLaunching();
    void showSettingsWindow();
    void createTrayIconWhenHostIsUp();
    void createTrayIcon();

    Translations m_translations;
    PlatformServices m_platform;
    XdgAutostart m_autostart;
    SettingsStore m_store;
    ActionExecutor m_executor;
    PermissionsManager m_permissions;
    FileDialogApplicationChooser m_chooser;
    UiContext m_context;
    std::unique_ptr<MainWindow> m_mainWindow;
    std::unique_ptr<SettingsWindow> m_settingsWindow;
    std::unique_ptr<TrayMenu> m_trayMenu;
    QPointer<QSystemTrayIcon> m_trayIcon;
};

} // namespace zl
