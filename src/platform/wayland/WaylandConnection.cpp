#include "WaylandConnection.h"

#include <QDeadlineTimer>
#include <QSocketNotifier>

#include <wayland-client.h>

#include <poll.h>

#include <algorithm>
#include <cstring>

namespace zl {

namespace {

void syncDone(void *data, wl_callback *, quint32)
{
    *static_cast<bool *>(data) = true;
}

const wl_callback_listener kSyncListener{syncDone};

} // namespace

WaylandConnection::WaylandConnection(int timeoutMs)
{
    // Never a default socket name: without WAYLAND_DISPLAY this is no Wayland session.
    if (qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        return;
    m_display = wl_display_connect(nullptr);
    if (!m_display)
        return;
    static const wl_registry_listener listener{global, globalRemove};
    m_registry = wl_display_get_registry(m_display);
    wl_registry_add_listener(m_registry, &listener, this);
    if (!roundtrip(timeoutMs)) {
        wl_registry_destroy(m_registry);
        m_registry = nullptr;
        wl_display_disconnect(m_display);
        m_display = nullptr;
        return;
    }
    m_notifier = std::make_unique<QSocketNotifier>(wl_display_get_fd(m_display), QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, [this] { pump(); });
}

WaylandConnection::~WaylandConnection()
{
    m_notifier.reset();
    if (m_registry)
        wl_registry_destroy(m_registry);
    if (m_display)
        wl_display_disconnect(m_display);
}

bool WaylandConnection::ok() const
{
    return m_display && wl_display_get_error(m_display) == 0;
}

bool WaylandConnection::offers(const char *interface) const
{
    return std::any_of(m_globals.begin(), m_globals.end(),
                       [interface](const Global &g) { return g.interface == QLatin1StringView(interface); });
}

void *WaylandConnection::bind(const wl_interface *interface, quint32 maxVersion)
{
    for (const Global &g : m_globals) {
        if (g.interface == QLatin1StringView(interface->name))
            return wl_registry_bind(m_registry, g.name, interface, std::min(g.version, maxVersion));
    }
    return nullptr;
}

void WaylandConnection::pump()
{
    if (!ok())
        return;
    readAvailable(0);
    stopOnError();
}

// The prepare/read/dispatch protocol of libwayland: reads only what is there within timeoutMs.
void WaylandConnection::readAvailable(int timeoutMs)
{
    while (wl_display_prepare_read(m_display) != 0)
        wl_display_dispatch_pending(m_display);
    wl_display_flush(m_display);
    pollfd descriptor{wl_display_get_fd(m_display), POLLIN, 0};
    if (::poll(&descriptor, 1, timeoutMs) > 0)
        wl_display_read_events(m_display);
    else
        wl_display_cancel_read(m_display);
    wl_display_dispatch_pending(m_display);
}

bool WaylandConnection::roundtrip(int timeoutMs)
{
    if (!ok())
        return false;
    const QDeadlineTimer deadline(timeoutMs);
    bool done = false;
    wl_callback *callback = wl_display_sync(m_display);
    wl_callback_add_listener(callback, &kSyncListener, &done);
    while (!done && ok() && !deadline.hasExpired())
        readAvailable(int(std::max<qint64>(deadline.remainingTime(), 0)));
    // A late answer then goes to a destroyed proxy, which libwayland drops.
    wl_callback_destroy(callback);
    stopOnError();
    return done;
}

// A dead connection stays readable forever; the notifier would spin.
void WaylandConnection::stopOnError()
{
    if (m_notifier && !ok())
        m_notifier->setEnabled(false);
}

void WaylandConnection::global(void *data, wl_registry *, quint32 name, const char *interface, quint32 version)
{
    static_cast<WaylandConnection *>(data)->m_globals.push_back(Global{name, QString::fromUtf8(interface), version});
}

void WaylandConnection::globalRemove(void *data, wl_registry *, quint32 name)
{
    auto &globals = static_cast<WaylandConnection *>(data)->m_globals;
    globals.erase(std::remove_if(globals.begin(), globals.end(), [name](const Global &g) { return g.name == name; }),
                  globals.end());
}

} // namespace zl
