#pragma once

#include "Pasteboard.h"

#include <memory>

namespace zl {

/**
 * The CLIPBOARD selection on a private X connection of its own, so Qt's clipboard code never sees
 * our transfers. Snapshots read every target's raw bytes (INCR included); once written, this
 * process owns the selection and serves exactly those bytes from memory (X11SelectionServer), so
 * a snapshot survives its original owner. Requests are served from the event loop.
 */
class X11Pasteboard final : public Pasteboard
{
public:
    // Bounds against a stalled or huge owner: formats beyond these are left out of a snapshot.
    static constexpr qsizetype kMaxFormatBytes = 64 * 1024 * 1024;
    static constexpr qsizetype kMaxSnapshotBytes = 128 * 1024 * 1024;
    // Per answer (and per INCR chunk) of the owner, and for the whole snapshot.
    static constexpr int kRequestTimeoutMs = 500;
    static constexpr int kSnapshotBudgetMs = 2000;

    X11Pasteboard();
    ~X11Pasteboard() override;
    X11Pasteboard(const X11Pasteboard &) = delete;
    X11Pasteboard &operator=(const X11Pasteboard &) = delete;

    std::optional<PasteboardSnapshot> snapshot() override;
    void clear() override;
    void setSecretText(const QString &text) override;
    void write(const PasteboardSnapshot &formats) override;
    bool takenByOther() override;
    int textReads() override;

    /** Targets that describe the selection or ask the owner to act, rather than hold its content. */
    static bool isBookkeeping(const QByteArray &target);

private:
    class Connection;
    /** The private connection, made on first use; nothing when this is no X11 session. */
    Connection *connection();

    std::unique_ptr<Connection> d;
};

} // namespace zl
