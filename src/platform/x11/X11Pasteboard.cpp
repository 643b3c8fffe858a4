#include "X11Pasteboard.h"

#include "X11SelectionServer.h"

#include <QClipboard>
#include <QDeadlineTimer>
#include <QGuiApplication>
#include <QHash>
#include <QMimeData>
#include <QSet>
#include <QSocketNotifier>

#include <xcb/xcb.h>

#include <poll.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <vector>

namespace zl {

namespace {

template<typename T>
using Reply = std::unique_ptr<T, decltype(&std::free)>;

template<typename T>
Reply<T> reply(T *value)
{
    return Reply<T>(value, &std::free);
}

const QByteArray kPasswordHint = QByteArrayLiteral("x-kde-passwordManagerHint");

// The targets Qt offers for a text.
PasteboardSnapshot textFormats(const QString &text)
{
    const QByteArray utf8 = text.toUtf8();
    return {{QStringLiteral("text/plain"), utf8},
            {QStringLiteral("UTF8_STRING"), utf8},
            {QStringLiteral("STRING"), text.toLatin1()},
            {QStringLiteral("TEXT"), utf8, QByteArrayLiteral("UTF8_STRING")}};
}

// Our own windows' clipboard is served by this very thread, so asking over X would only time out.
std::optional<PasteboardSnapshot> qtSnapshot()
{
    const QMimeData *data = QGuiApplication::clipboard()->mimeData(QClipboard::Clipboard);
    if (!data)
        return std::nullopt;
    PasteboardSnapshot result;
    for (const QString &type : data->formats()) {
        if (type == QLatin1StringView("text/plain"))
            result.append(textFormats(data->text()));
        else if (!X11Pasteboard::isBookkeeping(type.toUtf8()))
            result.append(PasteboardFormat{type, data->data(type)});
    }
    return result;
}

int eventType(const xcb_generic_event_t *event)
{
    return event->response_type & 0x7f;
}

} // namespace

class X11Pasteboard::Connection
{
public:
    Connection()
    {
        m_c = xcb_connect(nullptr, nullptr);
        if (xcb_connection_has_error(m_c))
            return;
        const xcb_screen_t *screen = xcb_setup_roots_iterator(xcb_get_setup(m_c)).data;
        m_window = xcb_generate_id(m_c);
        const uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
        xcb_create_window(m_c, XCB_COPY_FROM_PARENT, m_window, screen->root, -1, -1, 1, 1, 0,
                          XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK, &mask);
        m_clipboard = atom("CLIPBOARD");
        m_incr = atom("INCR");
        m_targets = atom("TARGETS");
        m_property = atom("_ZL_SELECTION");
        m_server.emplace(m_c, m_window);
        m_notifier = std::make_unique<QSocketNotifier>(xcb_get_file_descriptor(m_c), QSocketNotifier::Read);
        QObject::connect(m_notifier.get(), &QSocketNotifier::activated, m_notifier.get(), [this] { processEvents(); });
    }

    ~Connection()
    {
        m_notifier.reset();
        xcb_disconnect(m_c);
    }

    bool ok() const { return !xcb_connection_has_error(m_c); }

    xcb_window_t owner()
    {
        auto r = reply(xcb_get_selection_owner_reply(m_c, xcb_get_selection_owner(m_c, m_clipboard), nullptr));
        return r ? r->owner : XCB_NONE;
    }
    bool takenByOther()
    {
        processEvents();
        const xcb_window_t current = owner();
        return current != XCB_NONE && !(m_server->owning() && current == m_window);
    }

    xcb_atom_t atom(const QByteArray &name)
    {
        if (const auto it = m_atoms.constFind(name); it != m_atoms.cend())
            return *it;
        auto r = reply(xcb_intern_atom_reply(m_c, xcb_intern_atom(m_c, 0, name.size(), name.constData()), nullptr));
        const xcb_atom_t value = r ? r->atom : XCB_NONE;
        if (value != XCB_NONE)
            m_atoms.insert(name, value);
        return value;
    }

    std::optional<PasteboardSnapshot> snapshot();

    void offer(const PasteboardSnapshot &formats, bool text)
    {
        processEvents();
        m_server->offer(formats, text, serverTime());
        processEvents();
    }

    void clear()
    {
        processEvents();
        m_server->clear();
    }

    int textReads()
    {
        processEvents();
        return m_server->textReads();
    }

    void processEvents()
    {
        while (xcb_generic_event_t *event = xcb_poll_for_event(m_c)) {
            m_server->handle(event);
            std::free(event);
        }
        m_server->expire();
    }

private:
    xcb_generic_event_t *waitFor(const std::function<bool(const xcb_generic_event_t *)> &match, QDeadlineTimer deadline);
    // Nothing when refused, too large or not answered in time; the last two also set m_broken.
    std::optional<PasteboardFormat> read(xcb_atom_t target, const QString &name, QDeadlineTimer budget);
    std::optional<QByteArray> readChunks(xcb_atom_t &type, quint8 &unitBits, QDeadlineTimer budget);
    xcb_timestamp_t serverTime();

    xcb_connection_t *m_c = nullptr;
    xcb_window_t m_window = XCB_NONE;
    xcb_atom_t m_clipboard = XCB_NONE, m_incr = XCB_NONE, m_targets = XCB_NONE;
    xcb_atom_t m_property = XCB_NONE;
    QHash<QByteArray, xcb_atom_t> m_atoms;
    std::optional<X11SelectionServer> m_server;
    std::unique_ptr<QSocketNotifier> m_notifier;
    // An owner that missed a deadline or a transfer we abandoned may still write into our property,
    // so the snapshot ends there with what it has.
    bool m_broken = false;
};

// Waits on our socket alone; events that do not match are handled as usual, so requests to us
// (a transfer still going out) keep being served meanwhile.
xcb_generic_event_t *X11Pasteboard::Connection::waitFor(const std::function<bool(const xcb_generic_event_t *)> &match,
                                                        QDeadlineTimer deadline)
{
    xcb_flush(m_c);
    for (;;) {
        while (xcb_generic_event_t *event = xcb_poll_for_event(m_c)) {
            if (match(event))
                return event;
            m_server->handle(event);
            std::free(event);
        }
        if (xcb_connection_has_error(m_c) || deadline.hasExpired())
            return nullptr;
        pollfd descriptor{xcb_get_file_descriptor(m_c), POLLIN, 0};
        ::poll(&descriptor, 1, int(deadline.remainingTime()));
    }
}

std::optional<PasteboardSnapshot> X11Pasteboard::Connection::snapshot()
{
    processEvents();
    const xcb_window_t current = owner();
    if (current == XCB_NONE)
        return std::nullopt;
    if (current == m_window)
        return m_server->offered();
    if (QClipboard *clipboard = QGuiApplication::clipboard(); clipboard && clipboard->ownsClipboard())
        return qtSnapshot();

    QDeadlineTimer budget(kSnapshotBudgetMs);
    m_broken = false;
    PasteboardSnapshot result;
    const std::optional<PasteboardFormat> list = read(m_targets, QStringLiteral("TARGETS"), budget);
    if (!list || list->unitBits != 32)
        return result;
    std::vector<xcb_atom_t> targets(list->data.size() / 4);
    memcpy(targets.data(), list->data.constData(), targets.size() * 4);
    std::vector<xcb_get_atom_name_cookie_t> cookies;
    for (const xcb_atom_t target : targets)
        cookies.push_back(xcb_get_atom_name(m_c, target));
    QSet<xcb_atom_t> seen;
    qsizetype total = 0;
    for (size_t i = 0; i < targets.size(); ++i) {
        auto name = reply(xcb_get_atom_name_reply(m_c, cookies[i], nullptr));
        if (!name || seen.contains(targets[i]) || budget.hasExpired() || m_broken)
            continue;
        seen.insert(targets[i]);
        const QByteArray target(xcb_get_atom_name_name(name.get()), xcb_get_atom_name_name_length(name.get()));
        if (isBookkeeping(target))
            continue;
        std::optional<PasteboardFormat> format = read(targets[i], QString::fromUtf8(target), budget);
        if (format && total + format->data.size() <= kMaxSnapshotBytes) {
            total += format->data.size();
            result.append(std::move(*format));
        }
    }
    return result;
}

std::optional<PasteboardFormat> X11Pasteboard::Connection::read(xcb_atom_t target, const QString &name,
                                                                QDeadlineTimer budget)
{
    xcb_delete_property(m_c, m_window, m_property);
    xcb_convert_selection(m_c, m_window, m_clipboard, target, m_property, XCB_CURRENT_TIME);
    const QDeadlineTimer deadline = std::min(budget, QDeadlineTimer(kRequestTimeoutMs));
    xcb_generic_event_t *event = waitFor(
        [&](const xcb_generic_event_t *e) {
            const auto *notify = reinterpret_cast<const xcb_selection_notify_event_t *>(e);
            return eventType(e) == XCB_SELECTION_NOTIFY && notify->requestor == m_window
                && notify->selection == m_clipboard && notify->target == target;
        },
        deadline);
    if (!event) {
        m_broken = true;
        return std::nullopt;
    }
    const bool refused = reinterpret_cast<xcb_selection_notify_event_t *>(event)->property == XCB_NONE;
    std::free(event);
    if (refused)
        return std::nullopt;

    auto value = reply(xcb_get_property_reply(
        m_c, xcb_get_property(m_c, 1, m_window, m_property, XCB_GET_PROPERTY_TYPE_ANY, 0, kMaxFormatBytes / 4 + 1),
        nullptr));
    if (!value || value->type == XCB_NONE || value->bytes_after > 0)
        return std::nullopt;
    xcb_atom_t type = value->type;
    quint8 unitBits = value->format ? value->format : 8;
    std::optional<QByteArray> data;
    if (type == m_incr) {
        value.reset();
        data = readChunks(type, unitBits, budget);
        m_broken = !data;
    } else {
        data = QByteArray(static_cast<const char *>(xcb_get_property_value(value.get())),
                          xcb_get_property_value_length(value.get()));
    }
    if (!data)
        return std::nullopt;
    PasteboardFormat format{name, *data, {}, unitBits};
    auto typeName = reply(xcb_get_atom_name_reply(m_c, xcb_get_atom_name(m_c, type), nullptr));
    if (typeName) {
        const QByteArray label(xcb_get_atom_name_name(typeName.get()), xcb_get_atom_name_name_length(typeName.get()));
        if (label != name.toUtf8())
            format.dataType = label;
    }
    return format;
}

// Reading the INCR property deleted it, which asks the owner for the first chunk; a chunk of
// length zero ends the transfer.
std::optional<QByteArray> X11Pasteboard::Connection::readChunks(xcb_atom_t &type, quint8 &unitBits,
                                                               QDeadlineTimer budget)
{
    QByteArray data;
    bool first = true;
    for (;;) {
        xcb_generic_event_t *event = waitFor(
            [&](const xcb_generic_event_t *e) {
                const auto *notify = reinterpret_cast<const xcb_property_notify_event_t *>(e);
                return eventType(e) == XCB_PROPERTY_NOTIFY && notify->window == m_window
                    && notify->atom == m_property && notify->state == XCB_PROPERTY_NEW_VALUE;
            },
            std::min(budget, QDeadlineTimer(kRequestTimeoutMs)));
        if (!event)
            return std::nullopt;
        std::free(event);
        auto chunk = reply(xcb_get_property_reply(
            m_c, xcb_get_property(m_c, 1, m_window, m_property, XCB_GET_PROPERTY_TYPE_ANY, 0, kMaxFormatBytes / 4),
            nullptr));
        if (!chunk || chunk->type == XCB_NONE)
            continue; // the notice of a value we already read
        const int length = xcb_get_property_value_length(chunk.get());
        if (first) {
            type = chunk->type;
            unitBits = chunk->format ? chunk->format : 8;
            first = false;
        }
        if (length == 0)
            return data;
        if (data.size() + length > kMaxFormatBytes)
            return std::nullopt;
        data.append(static_cast<const char *>(xcb_get_property_value(chunk.get())), length);
    }
}

// Ownership needs a real timestamp: an empty append to our own window reports the server's time.
xcb_timestamp_t X11Pasteboard::Connection::serverTime()
{
    xcb_change_property(m_c, XCB_PROP_MODE_APPEND, m_window, m_property, XCB_ATOM_INTEGER, 8, 0, nullptr);
    xcb_generic_event_t *event = waitFor(
        [&](const xcb_generic_event_t *e) {
            const auto *notify = reinterpret_cast<const xcb_property_notify_event_t *>(e);
            return eventType(e) == XCB_PROPERTY_NOTIFY && notify->window == m_window && notify->atom == m_property;
        },
        QDeadlineTimer(kRequestTimeoutMs));
    if (!event)
        return XCB_CURRENT_TIME;
    const xcb_timestamp_t time = reinterpret_cast<xcb_property_notify_event_t *>(event)->time;
    std::free(event);
    return time;
}

X11Pasteboard::X11Pasteboard() = default;
X11Pasteboard::~X11Pasteboard() = default;

X11Pasteboard::Connection *X11Pasteboard::connection()
{
    if (!d && qGuiApp && qGuiApp->nativeInterface<QNativeInterface::QX11Application>())
        d = std::make_unique<Connection>();
    return d && d->ok() ? d.get() : nullptr;
}

std::optional<PasteboardSnapshot> X11Pasteboard::snapshot()
{
    Connection *c = connection();
    return c ? c->snapshot() : std::nullopt;
}

void X11Pasteboard::clear()
{
    if (Connection *c = connection())
        c->clear();
}

void X11Pasteboard::setSecretText(const QString &text)
{
    PasteboardSnapshot formats = textFormats(text);
    formats.append(PasteboardFormat{QStringLiteral("text/plain;charset=utf-8"), text.toUtf8()});
    formats.append(PasteboardFormat{QString::fromLatin1(kPasswordHint), QByteArrayLiteral("secret")});
    if (Connection *c = connection())
        c->offer(formats, true);
}

void X11Pasteboard::write(const PasteboardSnapshot &formats)
{
    if (Connection *c = connection())
        c->offer(formats, false);
}

bool X11Pasteboard::takenByOther()
{
    Connection *c = connection();
    return c && c->takenByOther();
}

int X11Pasteboard::textReads()
{
    Connection *c = connection();
    if (!c)
        return 0;
    return c->textReads();
}

bool X11Pasteboard::isBookkeeping(const QByteArray &target)
{
    static const QSet<QByteArray> bookkeeping{
        "TARGETS",         "TIMESTAMP", "MULTIPLE", "SAVE_TARGETS", "DELETE", "INSERT_SELECTION",
        "INSERT_PROPERTY", "ATOM_PAIR", "INCR",     "LENGTH",       "CLIPBOARD_MANAGER",
    };
    return bookkeeping.contains(target);
}

} // namespace zl
