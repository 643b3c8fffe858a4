// In-process scale figures for the hotkey manager and the settings store. Each figure is taken on
// two hotkey back ends: an in-memory one, which leaves only the manager's own work, and the real
// X11 service on the display in $DISPLAY, which adds the grabs and their round trips.
#include "HotkeyManager.h"
#include "HotkeyService.h"
#include "KeyCodes.h"
#include "LogSink.h"
#include "LoginItemService.h"
#include "SettingsStore.h"
#include "ShortcutItem.h"
#include "X11HotkeyService.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QStringList>
#include <QTemporaryDir>

#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <vector>

using namespace zl;

namespace {

class MemoryHotkeys final : public HotkeyService
{
public:
    HotkeyStatus installEventHandler(Handler handler, EventHandlerRef *ref) override
    {
        m_handler = std::move(handler);
        *ref = 1;
        return 0;
    }
    HotkeyStatus registerHotkey(quint32 keyCode, quint32 modifiers, HotkeyIdentifier identifier,
                                HotkeyRef *ref) override
    {
        const HotkeyRef next = m_next++;
        m_live.emplace(next, Entry{keyCode, modifiers, identifier});
        *ref = next;
        return 0;
    }
    void unregisterHotkey(HotkeyRef ref) override { m_live.erase(ref); }
    HotkeyStatus eventIdentifier(const HotkeyEvent *, HotkeyIdentifier *) const override { return -1; }

private:
    struct Entry
    {
        quint32 keyCode;
        quint32 modifiers;
        HotkeyIdentifier identifier;
    };
    Handler m_handler;
    std::map<HotkeyRef, Entry> m_live;
    HotkeyRef m_next = 1;
};

// Lets the edit figure end when the re-registration that the edit caused has finished.
class CountingHotkeys final : public HotkeyService
{
public:
    explicit CountingHotkeys(HotkeyService &inner) : m_inner(inner) {}
    HotkeyStatus installEventHandler(Handler handler, EventHandlerRef *ref) override
    {
        return m_inner.installEventHandler(std::move(handler), ref);
    }
    HotkeyStatus registerHotkey(quint32 keyCode, quint32 modifiers, HotkeyIdentifier identifier,
                                HotkeyRef *ref) override
    {
        ++registered;
        return m_inner.registerHotkey(keyCode, modifiers, identifier, ref);
    }
    void unregisterHotkey(HotkeyRef ref) override { m_inner.unregisterHotkey(ref); }
    HotkeyStatus eventIdentifier(const HotkeyEvent *event, HotkeyIdentifier *identifier) const override
    {
        return m_inner.eventIdentifier(event, identifier);
    }

    quint64 registered = 0;

private:
    HotkeyService &m_inner;
};

class CountingLog final : public LogSink
{
public:
    void log(const QString &) override { ++lines; }
    int lines = 0;
};

class NoLoginItem final : public LoginItemService
{
public:
    std::optional<QString> registerApp() override { return std::nullopt; }
    std::optional<QString> unregisterApp() override { return std::nullopt; }
};

// Distinct combinations as long as the keyboard has them: X11 has 248 keycodes and 16 modifier
// sets, so beyond 3,968 shortcuts a real display refuses the repeats.
QList<ShortcutItem> makeShortcuts(int count)
{
    static constexpr quint32 kModifierSets[] = {
        0, Modifier::Command, Modifier::Shift, Modifier::Option, Modifier::Control,
        Modifier::Command | Modifier::Shift, Modifier::Command | Modifier::Option,
        Modifier::Command | Modifier::Control, Modifier::Shift | Modifier::Option,
        Modifier::Shift | Modifier::Control, Modifier::Option | Modifier::Control,
        Modifier::Command | Modifier::Shift | Modifier::Option, Modifier::Command | Modifier::Shift | Modifier::Control,
        Modifier::Command | Modifier::Option | Modifier::Control, Modifier::Shift | Modifier::Option | Modifier::Control,
        Modifier::All};
    // Keys far above the letters, so the benchmark's grabs never take a key a user is typing on.
    constexpr int kFirstKeycode = 140;
    constexpr int kKeycodes = 256 - kFirstKeycode;
    QList<ShortcutItem> list;
    list.reserve(count);
    for (int i = 0; i < count; ++i) {
        const quint32 key = KeyCodes::ExtendedBase + quint32(kFirstKeycode + (i / 16) % kKeycodes);
        list.append(ShortcutItem{QUuid::createUuid(), QStringLiteral("Shortcut %1").arg(i), true,
                                 ActionType::RunCommand, QStringLiteral("true %1").arg(i), key,
                                 kModifierSets[i % 16]});
    }
    return list;
}

struct Figures
{
    double median = 0;
    double max = 0;
};

Figures measure(int repeats, const std::function<void()> &work)
{
    std::vector<double> ms;
    for (int i = 0; i < repeats; ++i) {
        QElapsedTimer timer;
        timer.start();
        work();
        ms.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    return {ms[ms.size() / 2], ms.back()};
}

void row(const char *what, const char *backend, int repeats, Figures f, double target, const char *note = "")
{
    std::printf("| %s | %s | %d | %.2f | %.2f | <= %.0f | %s%s |\n", what, backend, repeats, f.median, f.max, target,
                f.median <= target ? "PASS" : "MISS", note);
}

void reregistering(HotkeyService &backend, const char *name, int count, int repeats, double target)
{
    CountingLog log;
    HotkeyManager manager(&backend, &log, {});
    const QList<ShortcutItem> list = makeShortcuts(count);
    manager.reregister(list); // the first registration has nothing to release; later ones do
    const Figures f = measure(repeats, [&] { manager.reregister(list); });
    manager.reregister({});
    char what[64];
    std::snprintf(what, sizeof what, "re-register %d enabled", count);
    char note[64] = "";
    if (log.lines > 0)
        std::snprintf(note, sizeof note, " (%d refused)", log.lines / (repeats + 1));
    row(what, name, repeats, f, target, note);
}

void editing(HotkeyService &backend, const char *name, const QString &folder, int count, int repeats, double target)
{
    NoLoginItem login;
    CountingLog log;
    CountingHotkeys counting(backend);
    SettingsStore store(login, folder + QStringLiteral("/edit.conf"));
    store.setShortcuts(makeShortcuts(count));
    HotkeyManager manager(&counting, &log, {});
    manager.bind(store);
    QCoreApplication::processEvents();
    int edit = 0;
    const Figures f = measure(repeats, [&] {
        ShortcutItem item = store.shortcuts().at(count / 2);
        item.name = QStringLiteral("Edited %1").arg(++edit);
        const quint64 before = counting.registered;
        store.update(item);
        while (counting.registered < before + quint64(count))
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    });
    manager.reregister({});
    char what[64];
    std::snprintf(what, sizeof what, "one edit with %d (saved, re-registered)", count);
    row(what, name, repeats, f, target);
}

void loading(const QString &folder, int count, int repeats, double target)
{
    NoLoginItem login;
    const QString path = folder + QStringLiteral("/load.conf");
    {
        SettingsStore seed(login, path);
        seed.setShortcuts(makeShortcuts(count));
    }
    qsizetype loaded = 0;
    const Figures f = measure(repeats, [&] {
        SettingsStore store(login, path);
        loaded = store.shortcuts().size();
    });
    char what[64];
    std::snprintf(what, sizeof what, "load %d stored", count);
    row(what, "-", repeats, f, target, loaded == count ? "" : " (incomplete load)");
}

// What every X11 registration waits for at least once: its grabs are checked with the server.
void roundTrip(int repeats)
{
    auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t *connection = x11->connection();
    const Figures f = measure(repeats, [&] {
        std::free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
    });
    std::printf("| one X round trip, for scale | X11 (Xvfb) | %d | %.3f | %.3f | | |\n", repeats, f.median, f.max);
}

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    QTemporaryDir folder;
    if (!folder.isValid())
        return 1;
    MemoryHotkeys memory;
    X11HotkeyService x11;
    if (!x11.isAvailable()) {
        std::fprintf(stderr, "scale: no X11 connection\n");
        return 1;
    }
    // Naming parts (reregister, edit, load, x11) runs only those, for a profiler.
    const QStringList parts = app.arguments().mid(1);
    auto wants = [&](const char *part) { return parts.isEmpty() || parts.contains(QLatin1StringView(part)); };
    std::printf("| operation | hotkey back end | runs | median ms | max ms | target ms | |\n");
    std::printf("|---|---|---:|---:|---:|---:|---|\n");
    if (wants("reregister")) {
        reregistering(memory, "memory", 1000, 50, 10);
        reregistering(memory, "memory", 10000, 10, 100);
    }
    if (wants("x11")) {
        roundTrip(1000);
        reregistering(x11, "X11 (Xvfb)", 1000, 10, 10);
        reregistering(x11, "X11 (Xvfb)", 10000, 3, 100);
    }
    if (wants("edit"))
        editing(memory, "memory", folder.path(), 1000, 30, 15);
    if (wants("x11"))
        editing(x11, "X11 (Xvfb)", folder.path(), 1000, 10, 15);
    if (wants("load"))
        loading(folder.path(), 10000, 10, 100);
    return 0;
}
