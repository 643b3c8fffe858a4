// GIO first: its headers use "signals" as a name; this file is also built with QT_NO_KEYWORDS.
#include <gio/gdesktopappinfo.h>
#include <gio/gio.h>

#include "GioWorkspace.h"
#include "StartupNotifyContext.h"

#include <QDesktopServices>
#include <QFileInfo>

namespace zl {

namespace {

QString fromUtf8(const char *text)
{
    return text ? QString::fromUtf8(text) : QString();
}

std::optional<QString> fileOf(GDesktopAppInfo *info)
{
    std::optional<QString> result;
    if (const char *file = g_desktop_app_info_get_filename(info))
        result = QString::fromUtf8(file);
    return result;
}

// The file that holds desktopId below folder: "a-b.desktop" is a-b.desktop or a/b.desktop.
QString entryFileBelow(const QString &folder, const QString &desktopId)
{
    const QString direct = folder + u'/' + desktopId;
    if (QFileInfo(direct).isFile())
        return direct;
    for (qsizetype dash = desktopId.indexOf(u'-'); dash > 0; dash = desktopId.indexOf(u'-', dash + 1)) {
        const QString subfolder = folder + u'/' + desktopId.left(dash);
        if (!QFileInfo(subfolder).isDir())
            continue;
        const QString file = entryFileBelow(subfolder, desktopId.mid(dash + 1));
        if (!file.isEmpty())
            return file;
    }
    return {};
}

} // namespace

bool GioWorkspace::openUrl(const QUrl &url)
{
    return QDesktopServices::openUrl(url);
}

// The same folders, in the same order, as GIO searches for desktop-file IDs.
QStringList GioWorkspace::applicationFolders() const
{
    QStringList folders{fromUtf8(g_get_user_data_dir()) + QStringLiteral("/applications")};
    for (const char *const *dir = g_get_system_data_dirs(); *dir; ++dir)
        folders.append(fromUtf8(*dir) + QStringLiteral("/applications"));
    return folders;
}

// GIO skips an entry it cannot load, so a bare "[Desktop Entry] Hidden=true" override in the user's
// folder would let it launch the same ID from a system folder: the first file with the ID decides.
std::optional<QString> GioWorkspace::findApplicationById(const QString &desktopId)
{
    for (const QString &folder : applicationFolders()) {
        const QString file = entryFileBelow(folder, desktopId);
        if (file.isEmpty())
            continue;
        if (isHiddenEntry(file))
            return std::nullopt;
        break;
    }
    GDesktopAppInfo *info = g_desktop_app_info_new(desktopId.toUtf8().constData());
    if (!info)
        return std::nullopt;
    const auto file = fileOf(info);
    g_object_unref(info);
    return file;
}

// An exact match of the localized or the untranslated Name wins; otherwise the first entry whose
// Name matches ignoring case, since people type "firefox" for "Firefox".
std::optional<QString> GioWorkspace::findApplicationByName(const QString &name)
{
    std::optional<QString> exact;
    std::optional<QString> folded;
    GList *all = g_app_info_get_all();
    for (GList *node = all; node && !exact; node = node->next) {
        if (!G_IS_DESKTOP_APP_INFO(node->data))
            continue;
        auto *info = G_DESKTOP_APP_INFO(node->data);
        const QString localized = fromUtf8(g_app_info_get_name(G_APP_INFO(info)));
        char *plainName = g_desktop_app_info_get_string(info, "Name");
        const QString plain = fromUtf8(plainName);
        g_free(plainName);
        if (localized == name || plain == name)
            exact = fileOf(info);
        else if (!folded && (localized.compare(name, Qt::CaseInsensitive) == 0 ||
                             plain.compare(name, Qt::CaseInsensitive) == 0))
            folded = fileOf(info);
    }
    g_list_free_full(all, g_object_unref);
    return exact ? exact : folded;
}

bool GioWorkspace::isHiddenEntry(const QString &desktopFile) const
{
    GKeyFile *keys = g_key_file_new();
    const bool hidden =
        g_key_file_load_from_file(keys, desktopFile.toLocal8Bit().constData(), G_KEY_FILE_NONE, nullptr) &&
        g_key_file_get_boolean(keys, G_KEY_FILE_DESKTOP_GROUP, G_KEY_FILE_DESKTOP_KEY_HIDDEN, nullptr);
    g_key_file_free(keys);
    return hidden;
}

bool GioWorkspace::launchDesktopEntry(const QString &desktopFile)
{
    GDesktopAppInfo *info = g_desktop_app_info_new_from_filename(desktopFile.toLocal8Bit().constData());
    if (!info)
        return false;
    GError *error = nullptr;
    GAppLaunchContext *context = newStartupNotifyContext(++m_launches);
    const bool launched = g_app_info_launch(G_APP_INFO(info), nullptr, context, &error);
    g_object_unref(context);
    if (error)
        g_error_free(error);
    g_object_unref(info);
    return launched;
}

bool GioWorkspace::fileExists(const QString &path) const
{
    return QFileInfo::exists(path);
}

bool GioWorkspace::isExecutableFile(const QString &path) const
{
    const QFileInfo info(path);
    return info.isFile() && info.isExecutable();
}

} // namespace zl
