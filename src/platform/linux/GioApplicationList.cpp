#include "GioApplicationList.h"

#include <QCollator>

#include <gio/gio.h>

#include <algorithm>
#include <memory>

namespace zl {

namespace {

QString fromUtf8(const char *text)
{
    return text ? QString::fromUtf8(text) : QString();
}

} // namespace

QList<InstalledApplication> GioApplicationList::installed()
{
    QList<InstalledApplication> result;
    GList *all = g_app_info_get_all();
    for (GList *node = all; node; node = node->next) {
        auto *info = static_cast<GAppInfo *>(node->data);
        if (!g_app_info_should_show(info))
            continue;
        InstalledApplication application;
        application.id = fromUtf8(g_app_info_get_id(info));
        if (application.id.endsWith(QLatin1StringView(".desktop")))
            application.id.chop(8);
        application.name = fromUtf8(g_app_info_get_display_name(info));
        if (GIcon *icon = g_app_info_get_icon(info)) {
            const std::unique_ptr<gchar, decltype(&g_free)> text(g_icon_to_string(icon), &g_free);
            application.icon = fromUtf8(text.get());
        }
        if (!application.id.isEmpty())
            result << application;
    }
    g_list_free_full(all, g_object_unref);
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::sort(result.begin(), result.end(), [&](const InstalledApplication &a, const InstalledApplication &b) {
        return collator.compare(a.name, b.name) < 0;
    });
    return result;
}

} // namespace zl
