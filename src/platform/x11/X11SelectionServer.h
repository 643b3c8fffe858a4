#pragma once

#include "Pasteboard.h"

#include <QDeadlineTimer>

#include <xcb/xcb.h>

#include <vector>

namespace zl {

/**
 * Serves the CLIPBOARD selection from memory through one window of a connection it does not own:
 * exactly the offered targets with their bytes, property types and unit sizes, large ones in
 * chunks (INCR). Main thread; the owner of the connection feeds it every event.
 */
class X11SelectionServer final
{
public:
    // Larger formats go out in chunks of this size; a requestor stalling longer is dropped.
    static constexpr qsizetype kChunkBytes = 256 * 1024;
    static constexpr int kTransferTimeoutMs = 5000;

    X11SelectionServer(xcb_connection_t *connection, xcb_window_t window);

    /** Takes the selection at since (a server time) with exactly these formats; text: count reads. */
    void offer(const PasteboardSnapshot &formats, bool text, xcb_timestamp_t since);
    /** Gives the selection up; a client that took it after us keeps it. */
    void clear();
    /** Requests, the loss of the selection and the progress of chunked transfers; others are ignored. */
    void handle(const xcb_generic_event_t *event);
    /** Drops transfers whose requestor stalled. */
    void expire();

    bool owning() const { return m_owning; }
    PasteboardSnapshot offered() const;
    /** Requests for the offered text's content (not for its list of targets or its hint). */
    int textReads() const { return m_textReads; }

private:
    // One large format going out in chunks to one requestor; offset -1 once the last chunk went.
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

    xcb_atom_t atom(const char *name);
    xcb_window_t owner();
    void answer(const xcb_selection_request_event_t &request);
    bool put(const Offered &offered, xcb_window_t requestor, xcb_atom_t property);
    void sendChunk(Transfer &transfer);

    xcb_connection_t *m_c;
    xcb_window_t m_window;
    xcb_atom_t m_clipboard, m_incr, m_targets, m_timestamp;
    std::vector<Offered> m_offered;
    bool m_owning = false;
    bool m_offeringText = false;
    int m_textReads = 0;
    xcb_timestamp_t m_since = XCB_CURRENT_TIME;
    std::vector<Transfer> m_transfers;
};

} // namespace zl
