#include "X11Pasteboard.h"

#include <QClipboard>
#include <QDeadlineTimer>
#include <QGuiApplication>
#include <QHash>
#include <QMimeData>
#include <QSet>
#include <QSocketNotifier>

#include <xcb/xcb.h>

#include <poll.h>

#include <algorithm>
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
        m_timestamp = atom("TIMESTAMP");
        m_property = atom("_ZL_SELECTION");
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
        return current != XCB_NONE && !(m_owning && current == m_window);
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
    void offer(const PasteboardSnapshot &formats, bool text);
    void clear();

    void processEvents()
    {
        while (xcb_generic_event_t *event = xcb_poll_for_event(m_c)) {
            handle(event);
            std::free(event);
        }
        std::erase_if(m_transfers, [](const Transfer &t) { return t.stall.hasExpired(); });
    }

    int textReads = 0;

private:
    // One large format going out in chunks to one requestor.
    struct Transfer
    {
        xcb_window_t requestor;
        xcb_atom_t property;
        xcb_atom_t type;
        quint8 unitBits;
        QByteArray data;
        qsizetype offset = 0;
        QDeadlineTimer stall;
    };
    struct Offered
    {
        PasteboardFormat format;
        xcb_atom_t target;
        xcb_atom_t type;
    };

    xcb_generic_event_t *waitFor(const std::function<bool(const xcb_generic_event_t *)> &match, QDeadlineTimer deadline);
    // Nothing when refused, too large or not answered in time; the last two also set m_broken.
    std::optional<PasteboardFormat> read(xcb_atom_t target, const QString &name, QDeadlineTimer budget);
    std::optional<QByteArray> readChunks(xcb_atom_t &type, quint8 &unitBits, QDeadlineTimer budget);
    xcb_timestamp_t serverTime();
    void handle(xcb_generic_event_t *event);
    void answer(const xcb_selection_request_event_t &request);
    bool put(const Offered &offered, xcb_window_t requestor, xcb_atom_t property);
    void sendChunk(Transfer &transfer);

    xcb_connection_t *m_c = nullptr;
    xcb_window_t m_window = XCB_NONE;
    xcb_atom_t m_clipboard = XCB_NONE, m_incr = XCB_NONE, m_targets = XCB_NONE, m_timestamp = XCB_NONE;
    xcb_atom_t m_property = XCB_NONE;
    QHash<QByteArray, xcb_atom_t> m_atoms;
    std::unique_ptr<QSocketNotifier> m_notifier;
    std::vector<Offered> m_offered;
    bool m_owning = false;
    bool m_offeringText = false;
    xcb_timestamp_t m_since = XCB_CURRENT_TIME;
    std::vector<Transfer> m_transfers;
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
            handle(event);
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
    if (current == m_window) {
        PasteboardSnapshot own;
        for (const Offered &offered : m_offered)
            own.append(offered.format);
        return own;
    }
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

void X11Pasteboard::Connection::offer(const PasteboardSnapshot &formats, bool text)
{
    processEvents();
    // First, so that the notice of an earlier clear() cannot drop the new offer.
    m_since = serverTime();
    std::vector<xcb_intern_atom_cookie_t> cookies;
    for (const PasteboardFormat &format : formats) {
        const QByteArray target = format.type.toUtf8();
        const QByteArray type = format.dataType.isEmpty() ? target : format.dataType;
        cookies.push_back(xcb_intern_atom(m_c, 0, target.size(), target.constData()));
        cookies.push_back(xcb_intern_atom(m_c, 0, type.size(), type.constData()));
    }
    m_offered.clear();
    for (qsizetype i = 0; i < formats.size(); ++i) {
        auto target = reply(xcb_intern_atom_reply(m_c, cookies[2 * i], nullptr));
        auto type = reply(xcb_intern_atom_reply(m_c, cookies[2 * i + 1], nullptr));
        if (target && type)
            m_offered.push_back({formats.at(i), target->atom, type->atom});
    }
    xcb_set_selection_owner(m_c, m_window, m_clipboard, m_since);
    m_owning = owner() == m_window;
    m_offeringText = text;
    textReads = 0;
    processEvents();
}

void X11Pasteboard::Connection::clear()
{
    processEvents();
    // With the time we took it at, a client that took the clipboard after us keeps it.
    xcb_set_selection_owner(m_c, XCB_NONE, m_clipboard, m_owning ? m_since : XCB_CURRENT_TIME);
    xcb_flush(m_c);
    m_owning = false;
    m_offered.clear();
}

void X11Pasteboard::Connection::handle(xcb_generic_event_t *event)
{
    switch (eventType(event)) {
    case XCB_SELECTION_REQUEST:
        answer(*reinterpret_cast<xcb_selection_request_event_t *>(event));
        break;
    case XCB_SELECTION_CLEAR: {
        // Our own clear() is announced too, possibly only after we took the clipboard again.
        const auto *clear = reinterpret_cast<xcb_selection_clear_event_t *>(event);
        if (clear->selection == m_clipboard && clear->time >= m_since) {
            m_owning = false;
            m_offered.clear();
        }
        break;
    }
    case XCB_PROPERTY_NOTIFY: {
        const auto *notify = reinterpret_cast<xcb_property_notify_event_t *>(event);
        if (notify->state != XCB_PROPERTY_DELETE || notify->window == m_window)
            break;
        for (Transfer &transfer : m_transfers) {
            if (transfer.requestor == notify->window && transfer.property == notify->atom) {
                sendChunk(transfer);
                break;
            }
        }
        std::erase_if(m_transfers, [](const Transfer &t) { return t.offset < 0; });
        // The requestor's window is not ours: stop hearing of it once no transfer to it remains.
        if (std::none_of(m_transfers.begin(), m_transfers.end(),
                         [&](const Transfer &t) { return t.requestor == notify->window; })) {
            const uint32_t none = XCB_EVENT_MASK_NO_EVENT;
            xcb_change_window_attributes(m_c, notify->window, XCB_CW_EVENT_MASK, &none);
        }
        break;
    }
    default:
        break;
    }
}

void X11Pasteboard::Connection::answer(const xcb_selection_request_event_t &request)
{
    xcb_selection_notify_event_t notify{};
    notify.response_type = XCB_SELECTION_NOTIFY;
    notify.time = request.time;
    notify.requestor = request.requestor;
    notify.selection = request.selection;
    notify.target = request.target;
    notify.property = XCB_NONE;
    // Clients before ICCCM 2 leave the property out and mean the target's name.
    const xcb_atom_t property = request.property != XCB_NONE ? request.property : request.target;
    const bool current = request.time == XCB_CURRENT_TIME || m_since == XCB_CURRENT_TIME || request.time >= m_since;
    if (m_owning && request.selection == m_clipboard && current) {
        if (request.target == m_targets) {
            std::vector<xcb_atom_t> list{m_targets, m_timestamp};
            for (const Offered &offered : m_offered)
                list.push_back(offered.target);
            xcb_change_property(m_c, XCB_PROP_MODE_REPLACE, request.requestor, property, XCB_ATOM_ATOM, 32,
                                list.size(), list.data());
            notify.property = property;
        } else if (request.target == m_timestamp) {
            xcb_change_property(m_c, XCB_PROP_MODE_REPLACE, request.requestor, property, XCB_ATOM_INTEGER, 32, 1,
                                &m_since);
            notify.property = property;
        } else {
            for (const Offered &offered : m_offered) {
                if (offered.target != request.target)
                    continue;
                if (put(offered, request.requestor, property)) {
                    notify.property = property;
                    if (m_offeringText && offered.format.type.toUtf8() != kPasswordHint)
                        ++textReads;
                }
                break;
            }
        }
    }
    xcb_send_event(m_c, 0, request.requestor, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char *>(&notify));
    xcb_flush(m_c);
}

bool X11Pasteboard::Connection::put(const Offered &offered, xcb_window_t requestor, xcb_atom_t property)
{
    const PasteboardFormat &format = offered.format;
    const quint8 bits = format.unitBits == 16 || format.unitBits == 32 ? quint8(format.unitBits) : quint8(8);
    if (format.data.size() <= kChunkBytes) {
        xcb_change_property(m_c, XCB_PROP_MODE_REPLACE, requestor, property, offered.type, bits,
                            format.data.size() / (bits / 8), format.data.constData());
        return true;
    }
    // The requestor deletes the property to ask for each next chunk; we hear of that through its window.
    const uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_change_window_attributes(m_c, requestor, XCB_CW_EVENT_MASK, &mask);
    const uint32_t size = uint32_t(format.data.size());
    xcb_change_property(m_c, XCB_PROP_MODE_REPLACE, requestor, property, m_incr, 32, 1, &size);
    m_transfers.push_back({requestor, property, offered.type, bits, format.data, 0, QDeadlineTimer(kTransferTimeoutMs)});
    return true;
}

// Ends with an empty chunk; the transfer is marked done (offset -1) once that went out.
void X11Pasteboard::Connection::sendChunk(Transfer &transfer)
{
    const int unit = transfer.unitBits / 8;
    const qsizetype length = std::min(kChunkBytes, transfer.data.size() - transfer.offset) / unit * unit;
    xcb_change_property(m_c, XCB_PROP_MODE_REPLACE, transfer.requestor, transfer.property, transfer.type,
                        transfer.unitBits, length / unit, transfer.data.constData() + transfer.offset);
    xcb_flush(m_c);
    transfer.offset = length == 0 ? -1 : transfer.offset + length;
    transfer.stall = QDeadlineTimer(kTransferTimeoutMs);
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
    c->processEvents();
    return c->textReads;
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
