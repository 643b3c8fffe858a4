#pragma once

#include "FakeJournal.h"
#include "Pasteboard.h"

namespace zl {

/** A clipboard held in memory; contents is what a reader would get now (nothing = no owner). */
class FakePasteboard final : public Pasteboard
{
public:
    explicit FakePasteboard(FakeJournal &journal) : m_journal(journal) {}

    std::optional<PasteboardSnapshot> snapshot() override
    {
        m_journal.add(QStringLiteral("snapshot"));
        return contents;
    }
    void clear() override
    {
        m_journal.add(QStringLiteral("clear"));
        contents.reset();
    }
    void setSecretText(const QString &text) override
    {
        m_journal.add(QStringLiteral("set ") + text);
        contents = PasteboardSnapshot{{QStringLiteral("text/plain"), text.toUtf8()},
                                      {QStringLiteral("x-kde-passwordManagerHint"), QByteArrayLiteral("secret")}};
        m_offered = contents;
    }
    void write(const PasteboardSnapshot &formats) override
    {
        m_journal.add(QStringLiteral("write"));
        contents = formats;
        m_offered = formats;
    }
    /** Tests put another client's content on the clipboard by assigning contents. */
    bool takenByOther() override { return contents && contents != m_offered; }
    int textReads() override { return m_reads; }

    /** The plain text a paste would insert now; reading it counts as a target's read. */
    QString text() const
    {
        ++m_reads;
        if (contents) {
            for (const PasteboardFormat &format : *contents) {
                if (format.type == QLatin1StringView("text/plain"))
                    return QString::fromUtf8(format.data);
            }
        }
        return {};
    }

    std::optional<PasteboardSnapshot> contents;

private:
    FakeJournal &m_journal;
    std::optional<PasteboardSnapshot> m_offered;
    mutable int m_reads = 0;
};

} // namespace zl
