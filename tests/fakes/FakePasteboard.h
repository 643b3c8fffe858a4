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
    }
    void write(const PasteboardSnapshot &formats) override
    {
        m_journal.add(QStringLiteral("write"));
        contents = formats;
    }

    /** The plain text a paste would insert now. */
    QString text() const
    {
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
};

} // namespace zl
