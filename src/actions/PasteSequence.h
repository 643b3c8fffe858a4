#pragma once

#include "Pasteboard.h"

#include <QString>

#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <optional>

namespace zl {

class LogSink;
class Scheduler;
class SyntheticKeys;

/**
 * Puts a text on the clipboard, posts the paste chord (and optionally Return) and then puts back
 * what the clipboard held. Pastes that overlap run one after the other and share one snapshot, so
 * the clipboard ends as it was before the first of them.
 */
class PasteSequence final
{
public:
    // Also the pause after the hotkey's modifiers are up: the focused window is still taking the
    // keyboard back from the hotkey's grab, and keys sent at once are lost.
    static constexpr std::chrono::milliseconds kChordDelay{50};
    static constexpr std::chrono::milliseconds kReturnDelay{50};
    static constexpr std::chrono::milliseconds kRestoreDelay{150};
    // Users still hold the hotkey's modifiers when the chord is due; waiting longer would feel broken.
    static constexpr std::chrono::milliseconds kModifierWait{1000};
    static constexpr std::chrono::milliseconds kModifierPoll{10};
    // How long the clipboard keeps a pasted text for a target that has not asked for it yet.
    static constexpr std::chrono::milliseconds kReadWait{500};
    static constexpr std::chrono::milliseconds kReadPoll{5};

    PasteSequence(Pasteboard &pasteboard, SyntheticKeys &keys, Scheduler &scheduler, LogSink &log);
    ~PasteSequence();
    PasteSequence(const PasteSequence &) = delete;
    PasteSequence &operator=(const PasteSequence &) = delete;

    /** Returns at once; the key presses and the restore follow on the scheduler. */
    void paste(const QString &text, bool pressEnter);

private:
    struct Job
    {
        QString text;
        bool pressEnter = false;
    };

    void startNext();
    void finishJob();
    void afterTextRead();
    void whenTextRead(std::chrono::milliseconds deadline, std::function<void()> then);
    void restore();
    void whenKeysSettled(std::chrono::milliseconds deadline, std::function<void()> post);
    void keysNotPosted(QLatin1StringView reason);
    void later(std::chrono::milliseconds delay, std::function<void()> step);

    Pasteboard &m_pasteboard;
    SyntheticKeys &m_keys;
    Scheduler &m_scheduler;
    LogSink &m_log;
    std::deque<Job> m_pending;
    bool m_running = false;
    // Outer optional: whether a snapshot is held at all; inner: the clipboard had an owner.
    std::optional<std::optional<PasteboardSnapshot>> m_saved;
    quint64 m_restoreTicket = 0;
    // Reads of the pasted text counted when its chord went out; none while no chord awaits its read.
    std::optional<int> m_readsAtChord;
    // Scheduled steps hold this weakly so that none touches a destroyed sequence.
    std::shared_ptr<PasteSequence *> m_self;
};

} // namespace zl
