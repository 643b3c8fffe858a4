#pragma once

#include "ShortcutItem.h"

#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QUuid>

#include <functional>
#include <memory>

class QSettings;

namespace zl {

class LoginItemService;

/**
 * The one store of the shortcut list and the launch-at-login preference. Main thread only.
 * Every assignment of the list is published (shortcutsWillChange, then shortcutsChanged with the
 * new list, then the value is stored) and written whole to disk, synchronously and atomically,
 * before the call returns.
 */
class SettingsStore final : public QObject
{
    Q_OBJECT

public:
    /** A live subscription to the list; destroying it ends delivery, also of a queued first value. */
    class Subscription final
    {
    public:
        Subscription() = default;
        ~Subscription();
        Subscription(Subscription &&other) noexcept;
        Subscription &operator=(Subscription &&other) noexcept;
        Subscription(const Subscription &) = delete;
        Subscription &operator=(const Subscription &) = delete;

    private:
        friend class SettingsStore;
        QMetaObject::Connection m_connection;
        std::shared_ptr<bool> m_alive;
    };

    /** The settings file at $XDG_CONFIG_HOME/zephyrlatch/zephyrlatch.conf. */
    static QString defaultPath();

    /** Loads at once from filePath (defaultPath() when empty); the login item is only used on change. */
    explicit SettingsStore(LoginItemService &loginItem, const QString &filePath = QString(),
                           QObject *parent = nullptr);
    ~SettingsStore() override;

    const QList<ShortcutItem> &shortcuts() const { return m_shortcuts; }
    void setShortcuts(const QList<ShortcutItem> &shortcuts);

    bool launchAtLogin() const { return m_launchAtLogin; }
    /** Stores the preference, then applies it to the login item; a failure is logged, the preference kept. */
    void setLaunchAtLogin(bool enabled);
    /** Whether the last assignment of launchAtLogin in this run could not be put into effect. */
    bool loginItemFailed() const { return m_loginItemFailed; }

    /** The token a desktop gave for the user's approval of synthetic keys; empty when none. Written at once. */
    QString remoteDesktopToken() const { return m_remoteDesktopToken; }
    void setRemoteDesktopToken(const QString &token);

    void addShortcut(const ShortcutItem &item);
    /** Replaces the first record with item.id in place; an unknown id changes and writes nothing. */
    void update(const ShortcutItem &item);
    /** Removes every record whose id is in ids; always publishes and writes. */
    void deleteIds(const QSet<QUuid> &ids);
    /** Moves the records at offsets, in their order, as one block before the record at toOffset. */
    void move(const QList<qsizetype> &offsets, qsizetype toOffset);

    /**
     * Delivers the current list on a later turn of context's event loop, then every newly
     * assigned list, each on its own later turn (queued, also when already on that thread).
     */
    Subscription subscribeShortcuts(QObject *context, std::function<void(const QList<ShortcutItem> &)> receiver);

    QString filePath() const;

signals:
    void shortcutsWillChange();
    void shortcutsChanged(const QList<zl::ShortcutItem> &shortcuts);
    void launchAtLoginChanged(bool enabled);
    void loginItemFailedChanged(bool failed);

private:
    void load();
    void save();
    bool writeSettings(const char *what);
    void preserveUnreadableFile();
    void reopenSettings();
    void preserveUndecodableList(const QByteArray &bytes, const QString &error);

    LoginItemService &m_loginItem;
    std::unique_ptr<QSettings> m_settings;
    QList<ShortcutItem> m_shortcuts;
    bool m_launchAtLogin = false;
    QString m_remoteDesktopToken;
    bool m_loginItemFailed = false;
    bool m_isLoading = false;
    bool m_fileNeedsRescue = false;
    bool m_keepUndecodableUntilChange = false;
    bool m_reopenBeforeWrite = false;
};

} // namespace zl
