#include "X11SelectionServer.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace zl {

namespace {

template<typename T>
std::unique_ptr<T, decltype(&std::free)> reply(T *value)
{
    return {value, &std::free};
}

} // namespace

X11SelectionServer::X11SelectionServer(xcb_connection_t *connection, xcb_window_t window)
    : m_c(connection), m_window(window), m_clipboard(atom("CLIPBOARD")), m_incr(atom("INCR")),
      m_targets(atom("TARGETS")), m_timestamp(atom("TIMESTAMP"))
{
}

xcb_atom_t X11SelectionServer::atom(const char *name)
{
    auto r = reply(xcb_intern_atom_reply(m_c, xcb_intern_atom(m_c, 0, strlen(name), name), nullptr));
    return r ? r->atom : XCB_NONE;
}

xcb_window_t X11SelectionServer::owner()
{
    auto r = reply(xcb_get_selection_owner_reply(m_c, xcb_get_selection_owner(m_c, m_clipboard), nullptr));
    return r ? r->owner : XCB_NONE;
}

PasteboardSnapshot X11SelectionServer::offered() const
{
    PasteboardSnapshot formats;
    for (const Offered &offered : m_offered)
        formats.append(offered.format);
    return formats;
}

void X11SelectionServer::expire()
{
    std::erase_if(m_transfers, [](const Transfer &t) { return t.stall.hasExpired(); });
}

void X11SelectionServer::offer(const PasteboardSnapshot &formats, bool text, xcb_timestamp_t since)
{
    // Before anything else, so that the late notice of an earlier clear() cannot drop this offer.
    m_since = since;
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
    m_textReads = 0;
}

void X11SelectionServer::clear()
{
    // With the time we took it at, a client that took the clipboard after us keeps it.
    xcb_set_selection_owner(m_c, XCB_NONE, m_clipboard, m_owning ? m_since : XCB_CURRENT_TIME);
    xcb_flush(m_c);
    m_owning = false;
    m_offered.clear();
}

void X11SelectionServer::handle(const xcb_generic_event_t *event)
{
    switch (event->response_type & 0x7f) {
    case XCB_SELECTION_REQUEST:
        answer(*reinterpret_cast<const xcb_selection_request_event_t *>(event));
        break;
    case XCB_SELECTION_CLEAR: {
        // Our own clear() is announced too, possibly only after we took the clipboard again.
        const auto *clear = reinterpret_cast<const xcb_selection_clear_event_t *>(event);
        if (clear->selection == m_clipboard && clear->time >= m_since) {
            m_owning = false;
            m_offered.clear();
        }
        break;
    }
    case XCB_PROPERTY_NOTIFY: {
        const auto *notify = reinterpret_cast<const xcb_property_notify_event_t *>(event);
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

void X11SelectionServer::answer(const xcb_selection_request_event_t &request)
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
                    if (m_offeringText && offered.format.type != QLatin1StringView("x-kde-passwordManagerHint"))
                        ++m_textReads;
                }
                break;
            }
        }
    }
    xcb_send_event(m_c, 0, request.requestor, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char *>(&notify));
    xcb_flush(m_c);
}

bool X11SelectionServer::put(const Offered &offered, xcb_window_t requestor, xcb_atom_t property)
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
void X11SelectionServer::sendChunk(Transfer &transfer)
{
    const int unit = transfer.unitBits / 8;
    const qsizetype length = std::min(kChunkBytes, transfer.data.size() - transfer.offset) / unit * unit;
    xcb_change_property(m_c, XCB_PROP_MODE_REPLACE, transfer.requestor, transfer.property, transfer.type,
                        transfer.unitBits, length / unit, transfer.data.constData() + transfer.offset);
    xcb_flush(m_c);
    transfer.offset = length == 0 ? -1 : transfer.offset + length;
    transfer.stall = QDeadlineTimer(kTransferTimeoutMs);
}

} // namespace zl
