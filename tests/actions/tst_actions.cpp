#include "ActionExecutor.h"
#include "FakeLogSink.h"
#include "FakePasteboard.h"
#include "FakeProcessLauncher.h"
#include "FakeScheduler.h"
#include "FakeSyntheticKeys.h"
#include "FakeWorkspace.h"
#include "ShortcutItem.h"

#include <QTest>

#include <memory>

using namespace std::chrono_literals;

namespace zl {

namespace {

const PasteboardSnapshot kUserClipboard{{QStringLiteral("text/html"), QByteArrayLiteral("<b>mine</b>")},
                                        {QStringLiteral("image/png"), QByteArray("\x89PNG\0\1", 6)}};

/** Every seam faked on one journal, with a user clipboard. */
struct Rig
{
    Rig() { pasteboard.contents = kUserClipboard; }
    // isEnabled is false on purpose: callers check the flag, not the executor.
    void run(ActionType type, const QString &payload) { executor->run({QUuid(), {}, false, type, payload, 0, 0}); }

    FakeScheduler scheduler;
    FakeJournal journal{scheduler};
    FakePasteboard pasteboard{journal};
    FakeSyntheticKeys keys{journal, pasteboard};
    FakeProcessLauncher processes{journal};
    FakeWorkspace workspace{journal};
    FakeLogSink log;
    std::optional<ActionExecutor> executor{
        std::in_place, ActionServices{processes, workspace, pasteboard, keys, scheduler, log}};
};

} // namespace

class TestActions : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Each row: what the seams were asked, stamped with the virtual time in ms. Launching and opening
    // through real desktop entries and processes is tst_launching's part, held modifiers tst_paste's.
    void dispatch_data()
    {
        QTest::addColumn<ActionType>("type");
        QTest::addColumn<QString>("payload");
        QTest::addColumn<std::optional<PasteboardSnapshot>>("clipboard");
        QTest::addColumn<QStringList>("expected");

        using Clipboard = std::optional<PasteboardSnapshot>;
        const auto row = [](const char *name, ActionType::Kind kind, const QString &payload,
                            const QStringList &expected, const Clipboard &clipboard = kUserClipboard) {
            QTest::newRow(name) << ActionType(kind) << payload << clipboard << expected;
        };
        using K = ActionType::Kind;

        row("command trimmed, inner blanks kept", K::RunCommand, "\u2028 \t echo a  b\n echo c \u00a0\n",
            {"0:start /fake/bin/zsh [-lc] [echo a  b\n echo c]"});
        row("command of blanks only", K::RunCommand, " \n\t\u3000\u2029", {});
        row("no URL", K::OpenURL, " \n ", {});
        row("URLs: a line each, blank lines skipped", K::OpenURLs,
            "one.example\n\nhttps://two.example/a?b\nmailto:x@y.z",
            {"0:open https://one.example", "0:open https://two.example/a?b", "0:open mailto:x@y.z"});
        row("URL: the first line only", K::OpenURL, "first.example\nsecond.example", {"0:open https://first.example"});
        row("launch blank", K::LaunchApp, " \n", {});
        row("absolute missing", K::LaunchApp, "/no where",
            {"0:exists? /no where", "0:start /fake/bin/zsh [-lc] ['/no where']"});
        // The paste sequence: 0.05 s to the chord, 0.05 s to Return, 0.15 s to the restore.
        row("paste text", K::PasteText, " two\nlines ",
            {"0:snapshot", "0:clear", "0:set  two\nlines ", "50:chord  two\nlines ", "200:clear", "200:write"});
        row("paste text and Return", K::PasteTextAndEnter, "x",
            {"0:snapshot", "0:clear", "0:set x", "50:chord x", "100:return", "250:clear", "250:write"});
        row("paste empty text", K::PasteText, "", {});
        row("paste empty text and Return", K::PasteTextAndEnter, "", {"50:return"});
        // Nothing to put back: the pasted secret must not stay.
        const QStringList secret{"0:snapshot", "0:clear", "0:set secret", "50:chord secret", "200:clear"};
        row("paste over a clipboard without owner", K::PasteText, "secret", secret, std::nullopt);
        row("paste over a clipboard without data", K::PasteText, "secret", secret, PasteboardSnapshot{});
    }

    void dispatch()
    {
        QFETCH(ActionType, type);
        QFETCH(QString, payload);
        QFETCH(std::optional<PasteboardSnapshot>, clipboard);
        QFETCH(QStringList, expected);
        Rig m;
        m.pasteboard.contents = clipboard;
        m.run(type, payload);
        m.scheduler.advance(5s);
        QCOMPARE(m.journal.entries(), expected);
        QVERIFY(m.log.lines.isEmpty());
        const bool empty = !clipboard || clipboard->isEmpty();
        QCOMPARE(m.pasteboard.contents, empty ? std::optional<PasteboardSnapshot>() : clipboard);
        QCOMPARE(m.scheduler.pending(), 0u);
    }

    // Each chord must paste its own text, and the clipboard must end as the user left it.
    void overlappingPastes()
    {
        Rig m;
        m.run(ActionType::PasteText, QStringLiteral("A"));
        m.scheduler.advance(30ms);
        m.run(ActionType::PasteText, QStringLiteral("B"));
        m.run(ActionType::PasteTextAndEnter, QString());
        m.scheduler.advance(90ms);
        m.run(ActionType::PasteTextAndEnter, QStringLiteral("C"));
        m.scheduler.advance(160ms); // t = 280: C's chord is done, its restore not yet
        m.run(ActionType::PasteText, QStringLiteral("D"));
        m.scheduler.advance(5s);

        QCOMPARE(m.keys.pasted, (QStringList{"A", "B", "C", "D"}));
        QCOMPARE(m.journal.entries().filter(QStringLiteral("return")).size(), 2);
        QCOMPARE(m.journal.entries().filter(QStringLiteral("write")).size(), 1);
        QCOMPARE(m.pasteboard.contents, std::optional(kUserClipboard));

        const PasteboardSnapshot copy{{QStringLiteral("text/plain"), QByteArrayLiteral("copied")}};
        m.run(ActionType::PasteText, QStringLiteral("A"));
        m.run(ActionType::PasteText, QStringLiteral("B"));
        m.scheduler.advance(30ms);
        m.pasteboard.contents = copy;
        m.scheduler.advance(5s);
        // The user's copy replaced our text already; putting the older clipboard back would lose it. A copy
        // before the restore of a single paste: tst_paste.
        QCOMPARE(m.pasteboard.contents, std::optional(copy));

        m.run(ActionType::PasteTextAndEnter, QStringLiteral("late"));
        m.executor.reset();
        m.journal.clear();
        m.scheduler.advance(5s);
        // The steps of a paste still queued when the executor goes do nothing.
        QVERIFY(m.journal.entries().isEmpty());
    }
};

} // namespace zl

QTEST_GUILESS_MAIN(zl::TestActions)
#include "tst_actions.moc"
