#pragma once

#include "ActionExecutor.h"
#include "ApplicationListChooser.h"
#include "GioApplicationList.h"
#include "InstanceCommands.h"
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

    /** A request from a later invocation (--run, --list, --import, --export); the reply to send back. */
    QByteArray answer(const QByteArray &request) { return m_commands.answer(request); }

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
    ApplicationListChooser m_chooser{&GioApplicationList::installed};
    UiContext m_context;
    InstanceCommands m_commands;
    std::unique_ptr<MainWindow> m_mainWindow;
    std::unique_ptr<SettingsWindow> m_settingsWindow;
    std::unique_ptr<TrayMenu> m_trayMenu;
    QPointer<QSystemTrayIcon> m_trayIcon;
};

} // namespace zl
