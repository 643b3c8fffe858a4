#pragma once

#include "FakeJournal.h"
#include "FakePasteboard.h"
#include "SyntheticKeys.h"

namespace zl {

/** Records key presses; a chord records the text it would paste, like a real target would. */
class FakeSyntheticKeys final : public SyntheticKeys
{
public:
    FakeSyntheticKeys(FakeJournal &journal, const FakePasteboard &pasteboard)
        : m_journal(journal), m_pasteboard(pasteboard)
    {
    }

    bool modifiersHeld() override { return false; }
    bool postPasteChord() override
    {
        m_journal.add(QStringLiteral("chord ") + m_pasteboard.text());
        pasted.append(m_pasteboard.text());
        return true;
    }
    bool postReturn() override
    {
        m_journal.add(QStringLiteral("return"));
        return true;
    }

    QStringList pasted;

private:
    FakeJournal &m_journal;
    const FakePasteboard &m_pasteboard;
};

} // namespace zl
