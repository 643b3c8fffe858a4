#include "SettingsStore.h"

#include "LogText.h"
#include "LoginItemService.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSettings>
#include <QStandardPaths>

#include <algorithm>
#include <cstdio>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zl {

namespace {

const QString kShortcutsKey = QStringLiteral("shortcuts.v1");
const QString kLaunchAtLoginKey = QStringLiteral("launchAtLogin");
// The desktop's word that the user approved synthetic keys once (RemoteDesktop portal).
const QString kRemoteDesktopTokenKey = QStringLiteral("remoteDesktop.restoreToken");
constexpr QFile::Permissions kOwnerOnly = QFile::ReadOwner | QFile::WriteOwner;

// Store messages go to standard output, as data, one line each.
void printLine(const QString &line)
{
    const QByteArray bytes = logSafe(line).toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

ShortcutItem sampleShortcut()
{
    return ShortcutItem{QUuid::createUuid(), QStringLiteral("Email"), true, ActionType::PasteText,
                        QStringLiteral("you@example.com"), 14, Modifier::Option | Modifier::Shift | Modifier::Command};
}

QString timestamp()
{
    return QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss-zzz"));
}

QString statusText(QSettings::Status status)
{
    switch (status) {
    case QSettings::NoError:
        return QStringLiteral("no error");
    case QSettings::AccessError:
        return QStringLiteral("the file or its folder cannot be written");
    case QSettings::FormatError:
        return QStringLiteral("the file cannot be parsed");
    }
    return QString();
}

// Payloads can hold passwords: the folder and the file are the owner's alone.
void prepareLocation(const QString &path)
{
    const QFileInfo info(path);
    QDir().mkpath(info.absolutePath());
    QFile::setPermissions(info.absolutePath(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    if (!info.exists()) {
        QFile file(path);
        if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            file.setPermissions(kOwnerOnly);
    } else if (info.isFile() && (info.permissions() & ~(kOwnerOnly | QFile::ReadUser | QFile::WriteUser))) {
        QFile::setPermissions(path, kOwnerOnly);
    }
}

// A process killed while taking QSettings' lock (or the helper lock Qt takes to clear a stale one)
// leaves that file empty, and QSettings then waits 30 s for it to go stale. A live holder keeps a
// flock on it from the moment it exists. Only these exact names, which Qt's lock protocol owns and
// clears itself, and only when empty: nothing is lost. The copy that a write killed between Qt's
// link of its temporary file and the rename leaves (zephyrlatch.conf.XXXXXX, six letters) is never
// deleted: a name of that shape can be the user's own ("zephyrlatch.conf.backup").
void removeAbandonedLocks(const QString &path)
{
    QByteArray lockPath = QFile::encodeName(path + QStringLiteral(".lock"));
    for (int depth = 0; depth < 4; ++depth, lockPath += ".rmlock") {
        const int fd = ::open(lockPath.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
        if (fd < 0)
            continue;
        struct stat status = {};
        if (::fstat(fd, &status) == 0 && S_ISREG(status.st_mode) && status.st_size == 0 &&
            ::flock(fd, LOCK_EX | LOCK_NB) == 0)
            ::unlink(lockPath.constData());
        ::close(fd);
    }
}

// QSettings reads a list where an INI line has unquoted commas.
QByteArray storedAsText(const QVariant &value)
{
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(QStringLiteral(", ")).toUtf8();
    return value.toString().toUtf8();
}

} // namespace

SettingsStore::Subscription::~Subscription()
{
    if (m_alive)
        *m_alive = false;
    QObject::disconnect(m_connection);
}

SettingsStore::Subscription::Subscription(Subscription &&other) noexcept
    : m_connection(std::exchange(other.m_connection, {})), m_alive(std::move(other.m_alive))
{
}

SettingsStore::Subscription &SettingsStore::Subscription::operator=(Subscription &&other) noexcept
{
    if (this != &other) {
        if (m_alive)
            *m_alive = false;
        QObject::disconnect(m_connection);
        m_connection = std::exchange(other.m_connection, {});
        m_alive = std::move(other.m_alive);
    }
    return *this;
}

QString SettingsStore::defaultPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/zephyrlatch/zephyrlatch.conf");
}

SettingsStore::SettingsStore(LoginItemService &loginItem, const QString &filePath, QObject *parent)
    : QObject(parent), m_loginItem(loginItem)
{
    const QString path = filePath.isEmpty() ? defaultPath() : filePath;
    m_settings = std::make_unique<QSettings>(path, QSettings::NativeFormat);
    m_settings->setFallbacksEnabled(false);
    m_fileNeedsRescue = m_settings->status() == QSettings::FormatError;
    // QSettings reads an unreadable file as an empty one: say why the list is not the user's.
    const QFileInfo file(path);
    if (file.isFile() && !file.isReadable())
        printLine(QStringLiteral("Settings file %1 cannot be read (no read permission); starting without the stored "
                                 "shortcuts and leaving the file as it is")
                      .arg(path));

    m_launchAtLogin = m_settings->value(kLaunchAtLoginKey, false).toBool();
    m_remoteDesktopToken = m_settings->value(kRemoteDesktopTokenKey).toString();
    load();
    if (m_shortcuts.isEmpty()) {
        // An undecodable list that could not be set aside stays on disk until the user changes something.
        m_isLoading = m_keepUndecodableUntilChange;
        setShortcuts({sampleShortcut()});
        m_isLoading = false;
    }
}

SettingsStore::~SettingsStore() = default;

QString SettingsStore::filePath() const
{
    return m_settings->fileName();
}

void SettingsStore::setShortcuts(const QList<ShortcutItem> &shortcuts)
{
    emit shortcutsWillChange();
    emit shortcutsChanged(shortcuts);
    m_shortcuts = shortcuts;
    save();
}

void SettingsStore::setLaunchAtLogin(bool enabled)
{
    m_launchAtLogin = enabled;
    emit launchAtLoginChanged(enabled);
    m_settings->setValue(kLaunchAtLoginKey, enabled);
    writeSettings("launch-at-login preference");
    const auto unregistered = m_loginItem.unregisterApp();
    // Turning on rewrites the entry, so only the registration counts; turning off needs the removal.
    const auto failure = enabled ? m_loginItem.registerApp() : unregistered;
    if (failure)
        printLine(QStringLiteral("Launch at login could not be turned %1: %2 (the stored preference stays %1)")
                      .arg(enabled ? QStringLiteral("on") : QStringLiteral("off"), *failure));
    if (failure.has_value() != m_loginItemFailed) {
        m_loginItemFailed = failure.has_value();
        emit loginItemFailedChanged(m_loginItemFailed);
    }
}

void SettingsStore::addShortcut(const ShortcutItem &item)
{
    QList<ShortcutItem> list = m_shortcuts;
    list.append(item);
    setShortcuts(list);
}

void SettingsStore::update(const ShortcutItem &item)
{
    const auto it = std::find_if(m_shortcuts.cbegin(), m_shortcuts.cend(),
                                 [&](const ShortcutItem &stored) { return stored.id == item.id; });
    if (it == m_shortcuts.cend())
        return;
    QList<ShortcutItem> list = m_shortcuts;
    list[it - m_shortcuts.cbegin()] = item;
    setShortcuts(list);
}

void SettingsStore::deleteIds(const QSet<QUuid> &ids)
{
    QList<ShortcutItem> list = m_shortcuts;
    list.removeIf([&](const ShortcutItem &item) { return ids.contains(item.id); });
    setShortcuts(list);
}

void SettingsStore::move(const QList<qsizetype> &offsets, qsizetype toOffset)
{
    const qsizetype count = m_shortcuts.size();
    QList<bool> moving(count, false);
    for (qsizetype offset : offsets) {
        if (offset >= 0 && offset < count)
            moving[offset] = true;
    }
    toOffset = std::clamp<qsizetype>(toOffset, 0, count);

    QList<ShortcutItem> block;
    QList<ShortcutItem> rest;
    qsizetype insertAt = 0;
    for (qsizetype i = 0; i < count; ++i) {
        if (moving[i]) {
            block.append(m_shortcuts[i]);
        } else {
            rest.append(m_shortcuts[i]);
            if (i < toOffset)
                ++insertAt;
        }
    }
    for (qsizetype i = 0; i < block.size(); ++i)
        rest.insert(insertAt + i, block[i]);
    setShortcuts(rest);
}

SettingsStore::Subscription SettingsStore::subscribeShortcuts(
    QObject *context, std::function<void(const QList<ShortcutItem> &)> receiver)
{
    Subscription subscription;
    subscription.m_alive = std::make_shared<bool>(true);
    const std::weak_ptr<bool> alive = subscription.m_alive;
    auto deliver = [context, receiver = std::move(receiver), alive](const QList<ShortcutItem> &list) {
        QMetaObject::invokeMethod(
            context,
            [receiver, alive, list] {
                const auto flag = alive.lock();
                if (flag && *flag)
                    receiver(list);
            },
            Qt::QueuedConnection);
    };
    deliver(m_shortcuts);
    subscription.m_connection = connect(this, &SettingsStore::shortcutsChanged, context, deliver);
    return subscription;
}

void SettingsStore::load()
{
    m_isLoading = true;
    const QVariant stored = m_settings->value(kShortcutsKey);
    if (stored.typeId() == QMetaType::QByteArray) {
        const QByteArray bytes = stored.toByteArray();
        QString error;
        if (auto decoded = ShortcutItem::decodeList(bytes, &error))
            setShortcuts(*decoded);
        else
            preserveUndecodableList(bytes, error);
    } else if (stored.isValid()) {
        // Not bytes (a line edited by hand reads as text): still the user's list, kept like bytes.
        const QString type = QString::fromLatin1(stored.typeName());
        preserveUndecodableList(storedAsText(stored), QStringLiteral("the stored value is %1, not bytes").arg(type));
    }
    m_isLoading = false;
}

void SettingsStore::save()
{
    if (m_isLoading)
        return;
    m_settings->setValue(kShortcutsKey, ShortcutItem::encodeList(m_shortcuts));
    writeSettings("shortcuts");
}

bool SettingsStore::writeSettings(const char *what)
{
    preserveUnreadableFile();
    if (m_fileNeedsRescue)
        return false;
    if (std::exchange(m_reopenBeforeWrite, false))
        reopenSettings();
    prepareLocation(m_settings->fileName());
    removeAbandonedLocks(m_settings->fileName());
    m_settings->sync();
    if (m_settings->status() == QSettings::NoError)
        return true;
    printLine(QStringLiteral("Failed to save %1: %2: %3")
                  .arg(QLatin1StringView(what), m_settings->fileName(), statusText(m_settings->status())));
    // QSettings keeps its first error for good: the next write starts from a fresh object that
    // carries the whole in-memory state to disk.
    m_reopenBeforeWrite = true;
    return false;
}

void SettingsStore::preserveUnreadableFile()
{
    if (!m_fileNeedsRescue)
        return;
    // QSettings would silently drop what it could not parse with the next write: keep the file,
    // then start a clean one from the values already read.
    const QString source = m_settings->fileName();
    const QString copy = source + QStringLiteral(".unreadable-") + timestamp();
    if (!QFile::copy(source, copy)) {
        printLine(QStringLiteral("Settings file %1 could not be parsed and could not be copied to %2; it is left "
                                 "untouched")
                      .arg(source, copy));
        return;
    }
    QFile::setPermissions(copy, kOwnerOnly);
    printLine(QStringLiteral("Settings file %1 could not be parsed; it was copied to %2").arg(source, copy));
    m_fileNeedsRescue = false;
    QFile::remove(source);
    reopenSettings();
}

void SettingsStore::setRemoteDesktopToken(const QString &token)
{
    if (token == m_remoteDesktopToken)
        return;
    m_remoteDesktopToken = token;
    m_settings->setValue(kRemoteDesktopTokenKey, token);
    writeSettings("remote-desktop approval");
}

void SettingsStore::reopenSettings()
{
    const QString path = m_settings->fileName();
    m_settings = std::make_unique<QSettings>(path, QSettings::NativeFormat);
    m_settings->setFallbacksEnabled(false);
    m_settings->setValue(kLaunchAtLoginKey, m_launchAtLogin);
    if (!m_remoteDesktopToken.isEmpty())
        m_settings->setValue(kRemoteDesktopTokenKey, m_remoteDesktopToken);
    if (!m_isLoading)
        m_settings->setValue(kShortcutsKey, ShortcutItem::encodeList(m_shortcuts));
}

void SettingsStore::preserveUndecodableList(const QByteArray &bytes, const QString &error)
{
    const QString path = QFileInfo(m_settings->fileName()).absolutePath() +
                         QStringLiteral("/shortcuts.v1.undecodable-") + timestamp() + QStringLiteral(".json");
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    bool kept = file.open(QIODevice::WriteOnly);
    if (kept) {
        file.setPermissions(kOwnerOnly);
        kept = file.write(bytes) == bytes.size() && file.commit();
    }
    if (kept) {
        printLine(QStringLiteral("Failed to decode shortcuts: %1 (the stored list was kept in %2)").arg(error, path));
    } else {
        // Nowhere to keep the old bytes: leave them in the settings file rather than overwrite them.
        printLine(QStringLiteral("Failed to decode shortcuts: %1 (could not keep a copy in %2; the stored list is "
                                 "left untouched until a change is made)")
                      .arg(error, path));
        m_keepUndecodableUntilChange = true;
    }
}

} // namespace zl
