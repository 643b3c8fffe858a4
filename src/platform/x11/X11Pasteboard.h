#pragma once

#include "Pasteboard.h"

namespace zl {

/**
 * The CLIPBOARD selection through QClipboard. Once written, this process owns the selection and
 * serves every format from memory, so a snapshot survives its original owner.
 */
class X11Pasteboard final : public Pasteboard
{
public:
    // Bounds against a stalled or huge owner: formats beyond these are left out of a snapshot.
    static constexpr qsizetype kMaxFormatBytes = 64 * 1024 * 1024;
    static constexpr int kSnapshotBudgetMs = 2000;

    X11Pasteboard() = default;

    std::optional<PasteboardSnapshot> snapshot() override;
    void clear() override;
    void setSecretText(const QString &text) override;
    void write(const PasteboardSnapshot &formats) override;

    /** Targets that describe the selection rather than hold its content, and Qt's decoded-image alias. */
    static bool isBookkeeping(const QString &type);
};

} // namespace zl
