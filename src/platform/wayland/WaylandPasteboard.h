#pragma once

#include "Pasteboard.h"

#include <memory>

namespace zl {

/**
 * The clipboard through the data-control protocol (zwlr_data_control_v1), which reads and sets
 * the selection without a focused window, on a Wayland connection of its own. Snapshots read every
 * MIME type's bytes through a pipe; once written, this process serves exactly those bytes from
 * memory from the event loop, so a snapshot survives its original owner. Where the compositor
 * offers no data control, nothing works here: snapshots are empty-handed (nothing) and writes do
 * nothing, and the program should use the X11 clipboard that XWayland bridges instead.
 */
class WaylandPasteboard final : public Pasteboard
{
public:
    // The bounds of the X11 clipboard: a format beyond them is left out of a snapshot.
    static constexpr qsizetype kMaxFormatBytes = 64 * 1024 * 1024;
    static constexpr qsizetype kMaxSnapshotBytes = 128 * 1024 * 1024;
    // An owner silent this long ends the snapshot; the whole snapshot takes at most the budget.
    static constexpr int kStallTimeoutMs = 500;
    static constexpr int kSnapshotBudgetMs = 2000;
    // A reader that takes nothing for this long loses its transfer.
    static constexpr int kTransferTimeoutMs = 5000;

    WaylandPasteboard();
    ~WaylandPasteboard() override;
    WaylandPasteboard(const WaylandPasteboard &) = delete;
    WaylandPasteboard &operator=(const WaylandPasteboard &) = delete;

    std::optional<PasteboardSnapshot> snapshot() override;
    void clear() override;
    void setSecretText(const QString &text) override;
    void write(const PasteboardSnapshot &formats) override;
    bool takenByOther() override;
    int textReads() override;

    /** Whether the compositor offers data control (connects on first use, again after it restarts). */
    bool available();

private:
    class Device;
    Device *device();

    std::unique_ptr<Device> d;
};

} // namespace zl
