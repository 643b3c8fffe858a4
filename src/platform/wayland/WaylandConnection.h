#pragma once

#include <QObject>
#include <QString>

#include <memory>
#include <vector>

class QSocketNotifier;
struct wl_display;
struct wl_interface;
struct wl_registry;

namespace zl {

/**
 * A Wayland connection of our own to the compositor of WAYLAND_DISPLAY, its events dispatched from
 * the Qt event loop. Every wait on the compositor is bounded, so a stalled compositor never
 * freezes the program. Main thread only.
 */
class WaylandConnection final : public QObject
{
    Q_OBJECT

public:
    /** Connects and learns the globals within timeoutMs; ok() says whether that worked. */
    explicit WaylandConnection(int timeoutMs = 1000);
    ~WaylandConnection() override;

    /** Whether the connection stands and has no protocol error. */
    bool ok() const;

    /** Whether the compositor offers a global of this interface name now. */
    bool offers(const char *interface) const;

    /** Binds the first global of that interface (at most maxVersion); nullptr when none is offered. */
    void *bind(const wl_interface *interface, quint32 maxVersion);

    /** Sends the requests made so far and handles whatever the compositor sent, without waiting. */
    void pump();

    /** Waits (at most timeoutMs) until the compositor has handled every request sent before. */
    bool roundtrip(int timeoutMs);

    wl_display *display() const { return m_display; }

private:
    struct Global
    {
        quint32 name;
        QString interface;
        quint32 version;
    };

    void readAvailable(int timeoutMs);
    void stopOnError();

    static void global(void *data, wl_registry *registry, quint32 name, const char *interface, quint32 version);
    static void globalRemove(void *data, wl_registry *registry, quint32 name);

    wl_display *m_display = nullptr;
    wl_registry *m_registry = nullptr;
    std::vector<Global> m_globals;
    std::unique_ptr<QSocketNotifier> m_notifier;
};

} // namespace zl
