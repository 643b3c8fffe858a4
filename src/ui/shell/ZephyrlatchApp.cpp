#include "ZephyrlatchApp.h"

#include "HotkeyDisplay.h"
#include "HotkeyManager.h"
#include "Icons.h"
#include "MainWindow.h"
#include "PortalHotkeyService.h"
#include "RemoteDesktopKeys.h"
#include "SettingsWindow.h"
#include "Strings.h"
#include "TrayMenu.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusServiceWatcher>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QUuid>

#include <algorithm>

namespace zl {

namespace {

const QString kTrayWatcher = QStringLiteral("org.kde.StatusNotifierWatcher");
// At a login start the panel may come up after us; Qt picks the tray protocol once per process.
constexpr int kTrayHostWaitMs = 15000;

} // namespace

ZephyrlatchApp::ZephyrlatchApp()
    : m_autostart(QStringLiteral(ZL_APP_ID), QCoreApplication::applicationFilePath()),
      m_store(m_autostart),
      m_executor(ActionServices{m_platform.processes, m_platform.workspace, *m_platform.pasteboard, *m_platform.keys,
                                m_platform.scheduler, m_platform.log}),
      m_permissions(*m_platform.trust, m_platform.workspace),
      m_context{m_store, m_permissions, m_chooser, [this](const ShortcutItem &item) { m_executor.run(item); },
                &m_platform.layout,
                [this](const ShortcutItem &item) { return HotkeyManager::shared().problem(item, &m_platform.layout); },
                [this] { return m_platform.hotkeyPath(); }, [this] { return m_platform.pastePath(); }},
      m_commands(m_store, [this](const ShortcutItem &item) { m_executor.run(item); }, &m_platform.layout)
{
    m_translations.useSystemLanguage();
    QGuiApplication::setQuitOnLastWindowClosed(false);
    QGuiApplication::setWindowIcon(Icons::icon(QStringLiteral("AppLogo")));
    qApp->installEventFilter(this);

    HotkeyManager::configure(m_platform.hotkeys.get(), &m_platform.log,
                             [this](const ShortcutItem &item) { m_executor.run(item); });

    // The desktop remembers the user's approval of synthetic keys by a token kept with the settings.
    if (RemoteDesktopKeys *remote = m_platform.remoteDesktop()) {
        remote->setRestoreToken(m_store.remoteDesktopToken());
        connect(remote, &RemoteDesktopKeys::restoreTokenChanged, &m_store, &SettingsStore::setRemoteDesktopToken);
        connect(remote, &RemoteDesktopKeys::sessionChanged, this, [this] {
            if (m_mainWindow)
                m_mainWindow->refreshTrust();
            if (m_settingsWindow)
                m_settingsWindow->refresh();
        });
    }
    applicationDidFinishLaunching();

    m_mainWindow = std::make_unique<MainWindow>(m_context);
    connect(m_mainWindow.get(), &MainWindow::appeared, this, [this] { HotkeyManager::shared().bind(m_store); });
    if (PortalHotkeyService *portal = m_platform.portal())
        connect(portal, &PortalHotkeyService::bindingsChanged, &HotkeyManager::shared(), &HotkeyManager::serviceChanged);
    connect(&HotkeyManager::shared(), &HotkeyManager::registrationsChanged, this, [this] {
        m_mainWindow->refreshHotkeyProblems();
        if (m_trayMenu)
            m_trayMenu->rebuild();
    });
    connect(m_mainWindow.get(), &MainWindow::settingsRequested, this, &ZephyrlatchApp::showSettingsWindow);
    connect(m_mainWindow.get(), &MainWindow::quitRequested, qApp, &QCoreApplication::quit, Qt::QueuedConnection);
    m_mainWindow->show();

    createTrayIconWhenHostIsUp();
}

ZephyrlatchApp::~ZephyrlatchApp()
{
    qApp->removeEventFilter(this);
    // The manager outlives this object: release the grabs while the X service still exists.
    HotkeyManager::shared().reregister({});
    HotkeyManager::configure(nullptr, nullptr, {});
    delete m_trayIcon;
}

void ZephyrlatchApp::applicationDidFinishLaunching()
{
    m_permissions.requestTrust();
}

void ZephyrlatchApp::showMainWindow()
{
    if (m_settingsWindow && m_settingsWindow->isVisible())
        m_settingsWindow->raise();
    m_mainWindow->show();
    m_mainWindow->setWindowState(m_mainWindow->windowState() & ~Qt::WindowMinimized);
    m_mainWindow->raise();
    m_mainWindow->activateWindow();
}

void ZephyrlatchApp::showSettingsWindow()
{
    if (!m_settingsWindow)
        m_settingsWindow = std::make_unique<SettingsWindow>(m_context);
    m_settingsWindow->show();
    m_settingsWindow->raise();
    m_settingsWindow->activateWindow();
}

void ZephyrlatchApp::createTrayIconWhenHostIsUp()
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || bus.interface()->isServiceRegistered(kTrayWatcher)) {
        createTrayIcon();
        return;
    }
    auto *watcher = new QDBusServiceWatcher(kTrayWatcher, bus, QDBusServiceWatcher::WatchForRegistration, this);
    auto create = [this, watcher] {
        watcher->deleteLater();
        if (!m_trayIcon)
            createTrayIcon();
    };
    connect(watcher, &QDBusServiceWatcher::serviceRegistered, this, create);
    QTimer::singleShot(kTrayHostWaitMs, watcher, create);
}

void ZephyrlatchApp::createTrayIcon()
{
    m_trayMenu = std::make_unique<TrayMenu>(
        m_context, [this] { showMainWindow(); }, [] { QCoreApplication::quit(); });
    m_trayIcon = new QSystemTrayIcon(Icons::icon(QStringLiteral("MenuBarIcon")), this);
    m_trayIcon->setToolTip(text("Zephyrlatch"));
    m_trayIcon->setContextMenu(m_trayMenu.get());
    connect(m_trayIcon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger)
            showMainWindow();
    });
    m_trayIcon->show();
}

bool ZephyrlatchApp::eventFilter(QObject *watched, QEvent *event)
{
    // The tray icon is no widget and gets no change event of its own.
    if (watched == qApp && event->type() == QEvent::LanguageChange && m_trayIcon)
        m_trayIcon->setToolTip(text("Zephyrlatch"));
    return QObject::eventFilter(watched, event);
}

} // namespace zl
