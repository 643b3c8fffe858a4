#include "PasteSequence.h"

#include "LogSink.h"
#include "Scheduler.h"
#include "SyntheticKeys.h"

namespace zl {

namespace {

constexpr QLatin1StringView kNoSyntheticInput("no synthetic key input on this display");

} // namespace

PasteSequence::PasteSequence(Pasteboard &pasteboard, SyntheticKeys &keys, Scheduler &scheduler, LogSink &log)
    : m_pasteboard(pasteboard), m_keys(keys), m_scheduler(scheduler), m_log(log),
      m_self(std::make_shared<PasteSequence *>(this))
{
}

PasteSequence::~PasteSequence() = default;

void PasteSequence::paste(const QString &text, bool pressEnter)
{
    if (text.isEmpty() && !pressEnter)
        return;
    m_pending.push_back(Job{text, pressEnter});
    if (!m_running)
        startNext();
}

// A job owns the clipboard from placing its text until its last key press and the target's read
// of the text (or a bound); the next job starts only then, so every chord pastes its own text.
void PasteSequence::startNext()
{
    const Job job = std::move(m_pending.front());
    m_pending.pop_front();
    m_running = true;
    ++m_restoreTicket;

    const auto deadline = m_scheduler.now() + kModifierWait;
    if (job.text.isEmpty()) {
        whenKeysSettled(deadline, [this] {
            if (!m_keys.postReturn())
                return keysNotPosted(kNoSyntheticInput);
            finishJob();
        });
        return;
    }

    // Only the first of overlapping pastes sees the user's content; later ones would copy our text,
    // unless the user copied something meanwhile: that copy is then what to put back.
    if (m_saved && m_pasteboard.takenByOther())
        m_saved.reset();
    if (!m_saved)
        m_saved = m_pasteboard.snapshot();
    m_pasteboard.clear();
    m_pasteboard.setSecretText(job.text);

    const bool pressEnter = job.pressEnter;
    whenKeysSettled(deadline, [this, pressEnter] {
        const int readsBefore = m_pasteboard.textReads();
        if (!m_keys.postPasteChord())
            return keysNotPosted(kNoSyntheticInput);
        m_readsAtChord = readsBefore;
        if (!pressEnter) {
            finishJob();
            return;
        }
        later(kReturnDelay, [this] {
            m_keys.postReturn();
            finishJob();
        });
    });
}

void PasteSequence::keysNotPosted(QLatin1StringView reason)
{
    m_log.log(QStringLiteral("Zephyrlatch: paste keys not posted: ") + reason);
    finishJob();
}

// The target asks for the text some time after the chord; the clipboard keeps the text until then.
void PasteSequence::finishJob()
{
    if (!m_readsAtChord) {
        afterTextRead();
        return;
    }
    whenTextRead(m_scheduler.now() + kReadWait, [this] {
        m_readsAtChord.reset();
        afterTextRead();
    });
}

void PasteSequence::afterTextRead()
{
    m_running = false;
    if (!m_pending.empty()) {
        startNext();
        return;
    }
    if (!m_saved)
        return;
    const quint64 ticket = m_restoreTicket;
    later(kRestoreDelay, [this, ticket] {
        // A paste that started meanwhile owns the clipboard now and restores it when it ends.
        if (ticket == m_restoreTicket && !m_running)
            restore();
    });
}

// The pasted text never stays behind: either it is replaced, or a copy the user made meanwhile
// already replaced it and stays.
void PasteSequence::restore()
{
    const std::optional<PasteboardSnapshot> saved = std::move(*m_saved);
    m_saved.reset();
    if (m_pasteboard.takenByOther())
        return;
    m_pasteboard.clear();
    if (saved && !saved->isEmpty())
        m_pasteboard.write(*saved);
}

void PasteSequence::whenTextRead(std::chrono::milliseconds deadline, std::function<void()> then)
{
    if (m_pasteboard.textReads() > *m_readsAtChord || m_scheduler.now() >= deadline) {
        then();
        return;
    }
    later(kReadPoll, [this, deadline, then = std::move(then)]() mutable { whenTextRead(deadline, std::move(then)); });
}

// Polls instead of blocking so the event loop keeps serving the clipboard to the target meanwhile.
// Keys go out once no modifier has been down for the settle delay. A modifier still held at the
// deadline turns the chord into another command (Control+Alt+V), and releasing it for the user
// could leave it stuck: then nothing is posted.
void PasteSequence::whenKeysSettled(std::chrono::milliseconds deadline, std::function<void()> post)
{
    if (m_keys.modifiersHeld()) {
        if (m_scheduler.now() >= deadline)
            return keysNotPosted(QLatin1StringView("modifier keys still held after 1 s"));
        later(kModifierPoll, [this, deadline, post = std::move(post)]() mutable {
            whenKeysSettled(deadline, std::move(post));
        });
        return;
    }
    later(kChordDelay, [this, deadline, post = std::move(post)]() mutable {
        if (m_keys.modifiersHeld())
            whenKeysSettled(deadline, std::move(post));
        else
            post();
    });
}

void PasteSequence::later(std::chrono::milliseconds delay, std::function<void()> step)
{
    std::weak_ptr<PasteSequence *> self = m_self;
    m_scheduler.schedule(delay, [self = std::move(self), step = std::move(step)] {
        if (!self.expired())
            step();
    });
}

} // namespace zl
