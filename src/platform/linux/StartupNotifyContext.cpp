// GIO first: its headers use "signals" as a name; this file is also built with QT_NO_KEYWORDS.
#include <gio/gdesktopappinfo.h>
#include <gio/gio.h>

#include "StartupNotifyContext.h"

#include <QByteArray>

#include <xcb/xcb.h>

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace zl {

namespace {

/**
 * A private X connection for one launch: Qt's own connection hands every event to Qt, and the
 * server's time comes only as an event. Messages follow the freedesktop startup-notification
 * protocol: text in 20-byte client messages to the root window.
 */
class X11Announcer final
{
public:
    static X11Announcer *open()
    {
        int screenNumber = 0;
        xcb_connection_t *connection = xcb_connect(nullptr, &screenNumber);
        if (xcb_connection_has_error(connection)) {
            xcb_disconnect(connection);
            return nullptr;
        }
        auto roots = xcb_setup_roots_iterator(xcb_get_setup(connection));
        for (int i = 0; i < screenNumber && roots.rem > 0; ++i)
            xcb_screen_next(&roots);
        if (roots.rem == 0) {
            xcb_disconnect(connection);
            return nullptr;
        }
        return new X11Announcer(connection, roots.data->root, screenNumber);
    }

    ~X11Announcer()
    {
        // A round trip, so the server has handled every message before the connection goes.
        std::free(xcb_get_input_focus_reply(m_connection, xcb_get_input_focus(m_connection), nullptr));
        xcb_disconnect(m_connection);
    }
    X11Announcer(const X11Announcer &) = delete;
    X11Announcer &operator=(const X11Announcer &) = delete;

    int screen() const { return m_screen; }

    /** The server's current time, read from the notification of an empty append to our own window. */
    xcb_timestamp_t serverTime()
    {
        xcb_change_property(m_connection, XCB_PROP_MODE_APPEND, m_window, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8, 0,
                            nullptr);
        xcb_flush(m_connection);
        while (xcb_generic_event_t *event = xcb_wait_for_event(m_connection)) {
            const bool notify = (event->response_type & 0x7f) == XCB_PROPERTY_NOTIFY;
            const xcb_timestamp_t time = notify ? reinterpret_cast<xcb_property_notify_event_t *>(event)->time : 0;
            std::free(event);
            if (notify)
                return time;
        }
        return XCB_CURRENT_TIME;
    }

    void broadcast(const QByteArray &message)
    {
        const xcb_atom_t begin = atom("_NET_STARTUP_INFO_BEGIN");
        const xcb_atom_t more = atom("_NET_STARTUP_INFO");
        const QByteArray bytes = message + '\0';
        for (qsizetype offset = 0; offset < bytes.size(); offset += 20) {
            xcb_client_message_event_t event{};
            event.response_type = XCB_CLIENT_MESSAGE;
            event.format = 8;
            event.window = m_window;
            event.type = offset == 0 ? begin : more;
            std::memcpy(event.data.data8, bytes.constData() + offset, std::min<qsizetype>(20, bytes.size() - offset));
            xcb_send_event(m_connection, 0, m_root, XCB_EVENT_MASK_PROPERTY_CHANGE,
                           reinterpret_cast<const char *>(&event));
        }
        xcb_flush(m_connection);
    }

private:
    X11Announcer(xcb_connection_t *connection, xcb_window_t root, int screen)
        : m_connection(connection), m_root(root), m_window(xcb_generate_id(connection)), m_screen(screen)
    {
        const uint32_t events = XCB_EVENT_MASK_PROPERTY_CHANGE;
        xcb_create_window(m_connection, XCB_COPY_FROM_PARENT, m_window, m_root, -1, -1, 1, 1, 0,
                          XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK, &events);
    }

    xcb_atom_t atom(const char *name)
    {
        auto *reply = xcb_intern_atom_reply(
            m_connection, xcb_intern_atom(m_connection, 0, static_cast<uint16_t>(std::strlen(name)), name), nullptr);
        const xcb_atom_t result = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
        std::free(reply);
        return result;
    }

    xcb_connection_t *m_connection;
    xcb_window_t m_root;
    xcb_window_t m_window;
    int m_screen;
};

// A value of a startup message: quoted when it holds a blank, a quote or a backslash.
QByteArray messageValue(const char *text)
{
    QByteArray value(text ? text : "");
    if (!value.contains(' ') && !value.contains('"') && !value.contains('\\'))
        return value;
    value.replace('\\', "\\\\").replace('"', "\\\"");
    return '"' + value + '"';
}

struct ZlStartupContext
{
    GAppLaunchContext parent;
    quint64 sequence;
    X11Announcer *announcer;
};

struct ZlStartupContextClass
{
    GAppLaunchContextClass parent;
};

G_DEFINE_TYPE(ZlStartupContext, zl_startup_context, G_TYPE_APP_LAUNCH_CONTEXT)

char *startupNotifyId(GAppLaunchContext *context, GAppInfo *info, GList *)
{
    auto *self = reinterpret_cast<ZlStartupContext *>(context);
    if (!self->announcer)
        self->announcer = X11Announcer::open();
    if (!self->announcer)
        return nullptr;
    const xcb_timestamp_t time = self->announcer->serverTime();
    const char *executable = g_app_info_get_executable(info);
    char *program = executable ? g_path_get_basename(executable) : g_strdup("application");
    char *id = g_strdup_printf("zephyrlatch-%d-%s-%s-%llu_TIME%u", int(getpid()), g_get_host_name(), program,
                               static_cast<unsigned long long>(self->sequence), unsigned(time));
    QByteArray message = "new: ID=" + messageValue(id) + " NAME=" + messageValue(g_app_info_get_name(info)) +
                         " SCREEN=" + QByteArray::number(self->announcer->screen()) + " BIN=" + messageValue(program);
    g_free(program);
    if (GIcon *icon = g_app_info_get_icon(info)) {
        char *name = g_icon_to_string(icon);
        if (name)
            message += " ICON=" + messageValue(name);
        g_free(name);
    }
    if (G_IS_DESKTOP_APP_INFO(info)) {
        auto *desktop = G_DESKTOP_APP_INFO(info);
        if (const char *wmClass = g_desktop_app_info_get_startup_wm_class(desktop))
            message += " WMCLASS=" + messageValue(wmClass);
        if (const char *file = g_desktop_app_info_get_filename(desktop))
            message += " APPLICATION_ID=" + messageValue(file);
    }
    self->announcer->broadcast(message);
    return id;
}

void launchFailed(GAppLaunchContext *context, const char *startupId)
{
    auto *self = reinterpret_cast<ZlStartupContext *>(context);
    if (self->announcer)
        self->announcer->broadcast("remove: ID=" + messageValue(startupId));
}

void finalize(GObject *object)
{
    delete reinterpret_cast<ZlStartupContext *>(object)->announcer;
    G_OBJECT_CLASS(zl_startup_context_parent_class)->finalize(object);
}

void zl_startup_context_class_init(ZlStartupContextClass *type)
{
    G_OBJECT_CLASS(type)->finalize = finalize;
    G_APP_LAUNCH_CONTEXT_CLASS(type)->get_startup_notify_id = startupNotifyId;
    G_APP_LAUNCH_CONTEXT_CLASS(type)->launch_failed = launchFailed;
}

void zl_startup_context_init(ZlStartupContext *self)
{
    self->sequence = 0;
    self->announcer = nullptr;
}

} // namespace

GAppLaunchContext *newStartupNotifyContext(quint64 sequence)
{
    auto *context = static_cast<ZlStartupContext *>(g_object_new(zl_startup_context_get_type(), nullptr));
    context->sequence = sequence;
    return &context->parent;
}

} // namespace zl
