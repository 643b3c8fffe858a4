#include "ActionExecutor.h"
#include "FakeAccessibilityTrust.h"
#include "FakeLogSink.h"
#include "FakePasteboard.h"
#include "FakeProcessLauncher.h"
#include "FakeScheduler.h"
#include "FakeSyntheticKeys.h"
#include "FakeWorkspace.h"
#include "PermissionsManager.h"
#include "ShortcutItem.h"

#include <QFileInfo>
#include <QProcess>
#include <QTest>

#include <memory>

using namespace std::chrono_literals;

namespace zl {

class TestActions : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();

    void dispatch_data();
    void dispatch();
    void startFailureIsLoggedLiterally();
    void fallbackIsOneShellWord_data();
    void fallbackIsOneShellWord();

    void pasteTiming_data();
    void pasteTiming();
    void restoreOfEmptyClipboard_data();
    void restoreOfEmptyClipboard();
    void chordWaitsForModifiers_data();
    void chordWaitsForModifiers();
    void overlappingPastesKeepUserClipboard();
    void stepsAfterDestructionDoNothing();

    void permissions();

private:
    ShortcutItem item(ActionType type, const QString &payload) const;

    std::unique_ptr<FakeScheduler> m_scheduler;
    std::unique_ptr<FakeJournal> m_journal;
    std::unique_ptr<FakePasteboard> m_pasteboard;
    std::unique_ptr<FakeSyntheticKeys> m_keys;
    std::unique_ptr<FakeProcessLauncher> m_processes;
    std::unique_ptr<FakeWorkspace> m_workspace;
    std::unique_ptr<FakeLogSink> m_log;
    std::unique_ptr<ActionExecutor> m_executor;
};

const PasteboardSnapshot kUserClipboard{{QStringLiteral("text/html"), QByteArrayLiteral("<b>mine</b>")},
                                        {QStringLiteral("image/png"), QByteArray("\x89PNG\0\1", 6)}};

void TestActions::init()
{
    m_executor.reset();
    m_scheduler = std::make_unique<FakeScheduler>();
    m_journal = std::make_unique<FakeJournal>(*m_scheduler);
    m_pasteboard = std::make_unique<FakePasteboard>(*m_journal);
    m_pasteboard->contents = kUserClipboard;
    m_keys = std::make_unique<FakeSyntheticKeys>(*m_journal, *m_pasteboard);
    m_processes = std::make_unique<FakeProcessLauncher>(*m_journal);
    m_workspace = std::make_unique<FakeWorkspace>(*m_journal);
    m_workspace->folders = {QStringLiteral("/home/u/.local/share/applications"),
                            QStringLiteral("/usr/share/applications")};
    m_workspace->files = {QStringLiteral("/usr/share/applications/term.desktop"),
                          QStringLiteral("/usr/share/applications/kde4/kate.desktop"),
                          QStringLiteral("/opt/tool.desktop"), QStringLiteral("/home/u/doc.pdf")};
    m_workspace->executables = {QStringLiteral("/usr/bin/tool")};
    m_workspace->byId = {{QStringLiteral("org.x.App.desktop"), QStringLiteral("/a/org.x.App.desktop")},
                         {QStringLiteral("kde4-kate.desktop"), QStringLiteral("/a/kde4/kate.desktop")}};
    m_workspace->byName = {{QStringLiteral("Text Editor"), QStringLiteral("/a/editor.desktop")}};
    m_log = std::make_unique<FakeLogSink>();
    m_executor = std::make_unique<ActionExecutor>(
        ActionServices{*m_processes, *m_workspace, *m_pasteboard, *m_keys, *m_scheduler, *m_log});
}

ShortcutItem TestActions::item(ActionType type, const QString &payload) const
{
    ShortcutItem result;
    result.id = QUuid::createUuid();
    result.actionType = type;
    result.payload = payload;
    result.isEnabled = false; // callers check the flag, not the executor
    return result;
}

void TestActions::dispatch_data()
{
    QTest::addColumn<ActionType>("type");
    QTest::addColumn<QString>("payload");
    QTest::addColumn<QStringList>("expected");

    const auto fallback = [](const QString &line) { return QStringLiteral("0:start /bin/fakesh [-lc] [%1]").arg(line); };
    QTest::newRow("command trimmed, inner blanks kept")
        << ActionType(ActionType::RunCommand) << QStringLiteral("\u2028 \t echo a  b\n echo c \u00a0\n")
        << QStringList{QStringLiteral("0:start /bin/fakesh [-lc] [echo a  b\n echo c]")};
    QTest::newRow("command of blanks only") << ActionType(ActionType::RunCommand)
                                            << QStringLiteral(" \n\t\u3000\u2029") << QStringList{};
    QTest::newRow("one URL of three") << ActionType(ActionType::OpenURL) << QStringLiteral("a.com\nb.org/x\nc.net")
                                      << QStringList{QStringLiteral("0:open https://a.com")};
    QTest::newRow("all URLs in order")
        << ActionType(ActionType::OpenURLs) << QStringLiteral("a.com\nb.org/x\nc.net")
        << QStringList{QStringLiteral("0:open https://a.com"), QStringLiteral("0:open https://b.org/x"),
                       QStringLiteral("0:open https://c.net")};
    QTest::newRow("no URL") << ActionType(ActionType::OpenURL) << QStringLiteral(" \n ") << QStringList{};
    QTest::newRow("launch blank") << ActionType(ActionType::LaunchApp) << QStringLiteral(" \n") << QStringList{};
    QTest::newRow("absolute desktop file")
        << ActionType(ActionType::LaunchApp) << QStringLiteral(" /opt/tool.desktop\n")
        << QStringList{QStringLiteral("0:exists? /opt/tool.desktop"), QStringLiteral("0:launch /opt/tool.desktop")};
    QTest::newRow("absolute executable")
        << ActionType(ActionType::LaunchApp) << QStringLiteral("/usr/bin/tool")
        << QStringList{QStringLiteral("0:exists? /usr/bin/tool"), QStringLiteral("0:start /usr/bin/tool")};
    QTest::newRow("absolute other file")
        << ActionType(ActionType::LaunchApp) << QStringLiteral("/home/u/doc.pdf")
        << QStringList{QStringLiteral("0:exists? /home/u/doc.pdf"), QStringLiteral("0:open file:///home/u/doc.pdf")};
    QTest::newRow("absolute missing") << ActionType(ActionType::LaunchApp) << QStringLiteral("/no where")
                                      << QStringList{QStringLiteral("0:exists? /no where"), fallback("'/no where'")};
    QTest::newRow("desktop file in the second folder")
        << ActionType(ActionType::LaunchApp) << QStringLiteral("term.desktop")
        << QStringList{QStringLiteral("0:exists? /home/u/.local/share/applications/term.desktop"),
                       QStringLiteral("0:exists? /usr/share/applications/term.desktop"),
                       QStringLiteral("0:launch /usr/share/applications/term.desktop")};
    QTest::newRow("desktop file in a subfolder")
        << ActionType(ActionType::LaunchApp) << QStringLiteral("kde4/kate.desktop")
        << QStringList{QStringLiteral("0:exists? /home/u/.local/share/applications/kde4/kate.desktop"),
                       QStringLiteral("0:exists? /usr/share/applications/kde4/kate.desktop"),
                       QStringLiteral("0:launch /usr/share/applications/kde4/kate.desktop")};
    QTest::newRow("desktop file nowhere")
        << ActionType(ActionType::LaunchApp) << QStringLiteral("gone.desktop")
        << QStringList{QStringLiteral("0:exists? /home/u/.local/share/applications/gone.desktop"),
                       QStringLiteral("0:exists? /usr/share/applications/gone.desktop"), fallback("'gone.desktop'")};
    QTest::newRow("suffix is case-sensitive")
        << ActionType(ActionType::LaunchApp) << QStringLiteral("term.DESKTOP")
        << QStringList{QStringLiteral("0:id? term.DESKTOP.desktop"), QStringLiteral("0:name? term.DESKTOP"),
                       fallback("'term.DESKTOP'")};
    QTest::newRow("desktop-file ID, no file test")
        << ActionType(ActionType::LaunchApp) << QStringLiteral("org.x.App")
        << QStringList{QStringLiteral("0:id? org.x.App.desktop"), QStringLiteral("0:launch /a/org.x.App.desktop")};
    QTest::newRow("ID with subfolder")
        << ActionType(ActionType::LaunchApp) << QStringLiteral("kde4/kate")
        << QStringList{QStringLiteral("0:id? kde4-kate.desktop"), QStringLiteral("0:launch /a/kde4/kate.desktop")};
    QTest::newRow("by Name after ID")
        << ActionType(ActionType::LaunchApp) << QStringLiteral("Text Editor")
        << QStringList{QStringLiteral("0:id? Text Editor.desktop"), QStringLiteral("0:name? Text Editor"),
                       QStringLiteral("0:launch /a/editor.desktop")};
    QTest::newRow("tilde is not expanded")
        << ActionType(ActionType::LaunchApp) << QStringLiteral("~/bin/it's")
        << QStringList{QStringLiteral("0:id? ~-bin-it's.desktop"), QStringLiteral("0:name? ~/bin/it's"),
                       fallback("'~/bin/it'\\''s'")};
}

void TestActions::dispatch()
{
    QFETCH(ActionType, type);
    QFETCH(QString, payload);
    QFETCH(QStringList, expected);

    m_executor->run(item(type, payload));
    m_scheduler->advance(5s);
    QCOMPARE(m_journal->entries(), expected);
    QVERIFY(m_log->lines.isEmpty());
    QCOMPARE(m_pasteboard->contents, std::optional(kUserClipboard));
}

void TestActions::startFailureIsLoggedLiterally()
{
    m_processes->failure = QStringLiteral("/bin/fakesh: %s%n No such file or directory");
    m_executor->run(item(ActionType::RunCommand, QStringLiteral("true")));
    m_executor->run(item(ActionType::LaunchApp, QStringLiteral("missing")));
    QCOMPARE(m_log->lines,
             QStringList(2, QStringLiteral("Zephyrlatch: failed to run command: /bin/fakesh: %s%n No such file or directory")));
}

void TestActions::fallbackIsOneShellWord_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("quote") << QStringLiteral("it's");
    QTest::newRow("quotes at the ends") << QStringLiteral("'a''b'");
    QTest::newRow("substitution") << QStringLiteral("$(touch /tmp/zl-pwned)x");
    QTest::newRow("backticks") << QStringLiteral("`id` $HOME ${X:-y}");
    QTest::newRow("spaces and globs") << QStringLiteral("my app * ?");
    QTest::newRow("newline, backslash, double quote") << QStringLiteral("a\nb\\c\"d;e|f&g");
    QTest::newRow("non-ASCII") << QStringLiteral("Übersicht \u2603");
}

// The line must reach the shell as exactly one word equal to the name.
void TestActions::fallbackIsOneShellWord()
{
    QFETCH(QString, name);
    const QString line = ActionExecutor::fallbackCommandLine(name);
    QProcess shell;
    shell.start(QStringLiteral("/bin/sh"),
                {QStringLiteral("-c"), QStringLiteral("set -- ") + line + QStringLiteral("\nprintf '%s:%s' \"$#\" \"$1\"")});
    QVERIFY(shell.waitForFinished(10000));
    QCOMPARE(QString::fromUtf8(shell.readAllStandardOutput()), QStringLiteral("1:") + name);
    QVERIFY(!QFileInfo::exists(QStringLiteral("/tmp/zl-pwned")));
}

void TestActions::pasteTiming_data()
{
    QTest::addColumn<ActionType>("type");
    QTest::addColumn<QString>("payload");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("text") << ActionType(ActionType::PasteText) << QStringLiteral(" two\nlines ")
                          << QStringList{QStringLiteral("0:snapshot"), QStringLiteral("0:clear"),
                                         QStringLiteral("0:set  two\nlines "), QStringLiteral("50:chord  two\nlines "),
                                         QStringLiteral("200:clear"), QStringLiteral("200:write")};
    QTest::newRow("text and Return")
        << ActionType(ActionType::PasteTextAndEnter) << QStringLiteral("x")
        << QStringList{QStringLiteral("0:snapshot"), QStringLiteral("0:clear"), QStringLiteral("0:set x"),
                       QStringLiteral("50:chord x"), QStringLiteral("100:return"), QStringLiteral("250:clear"),
                       QStringLiteral("250:write")};
    QTest::newRow("empty text") << ActionType(ActionType::PasteText) << QString() << QStringList{};
    QTest::newRow("empty text and Return")
        << ActionType(ActionType::PasteTextAndEnter) << QString() << QStringList{QStringLiteral("0:return")};
}

void TestActions::pasteTiming()
{
    QFETCH(ActionType, type);
    QFETCH(QString, payload);
    QFETCH(QStringList, expected);

    m_executor->run(item(type, payload));
    m_scheduler->advance(5s);
    QCOMPARE(m_journal->entries(), expected);
    QCOMPARE(m_pasteboard->contents, std::optional(kUserClipboard));
    QCOMPARE(m_scheduler->pending(), 0u);
}

void TestActions::restoreOfEmptyClipboard_data()
{
    QTest::addColumn<std::optional<PasteboardSnapshot>>("before");
    QTest::newRow("no owner") << std::optional<PasteboardSnapshot>();
    QTest::newRow("no format with data") << std::optional(PasteboardSnapshot{});
}

void TestActions::restoreOfEmptyClipboard()
{
    QFETCH(std::optional<PasteboardSnapshot>, before);
    m_pasteboard->contents = before;
    m_executor->run(item(ActionType::PasteText, QStringLiteral("secret")));
    QCOMPARE(m_pasteboard->text(), QStringLiteral("secret"));
    m_scheduler->advance(1s);
    QCOMPARE(m_keys->pasted, QStringList{QStringLiteral("secret")});
    QCOMPARE(m_pasteboard->contents, std::optional<PasteboardSnapshot>());
    QVERIFY(!m_journal->entries().contains(QStringLiteral("200:write")));
}

void TestActions::chordWaitsForModifiers_data()
{
    QTest::addColumn<int>("releaseAt");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("released before due") << 30 << QStringList{QStringLiteral("50:chord t"), QStringLiteral("100:return"),
                                                              QStringLiteral("250:clear")};
    QTest::newRow("released later") << 305 << QStringList{QStringLiteral("310:chord t"), QStringLiteral("360:return"),
                                                          QStringLiteral("510:clear")};
    QTest::newRow("never released") << 60000 << QStringList{QStringLiteral("1050:chord t"),
                                                            QStringLiteral("1100:return"), QStringLiteral("1250:clear")};
}

void TestActions::chordWaitsForModifiers()
{
    QFETCH(int, releaseAt);
    QFETCH(QStringList, expected);

    m_keys->held = true;
    m_executor->run(item(ActionType::PasteTextAndEnter, QStringLiteral("t")));
    m_scheduler->advance(std::chrono::milliseconds(releaseAt));
    m_keys->held = false;
    m_scheduler->advance(5s);
    QCOMPARE(m_journal->entries().mid(3, 3), expected);
    QCOMPARE(m_pasteboard->contents, std::optional(kUserClipboard));
}

// Each chord must paste its own text, and the clipboard must end as the user left it.
void TestActions::overlappingPastesKeepUserClipboard()
{
    m_executor->run(item(ActionType::PasteText, QStringLiteral("A")));
    m_scheduler->advance(30ms);
    m_executor->run(item(ActionType::PasteText, QStringLiteral("B")));
    m_executor->run(item(ActionType::PasteTextAndEnter, QString()));
    m_scheduler->advance(90ms);
    m_executor->run(item(ActionType::PasteTextAndEnter, QStringLiteral("C")));
    m_scheduler->advance(160ms); // t = 280: C's chord is done, its restore not yet
    m_executor->run(item(ActionType::PasteText, QStringLiteral("D")));
    m_scheduler->advance(5s);

    QCOMPARE(m_keys->pasted, (QStringList{QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C"), QStringLiteral("D")}));
    QCOMPARE(m_journal->entries().filter(QStringLiteral("snapshot")).size(), 1);
    QCOMPARE(m_journal->entries().filter(QStringLiteral("return")).size(), 2);
    QCOMPARE(m_journal->entries().filter(QStringLiteral("write")).size(), 1);
    QCOMPARE(m_pasteboard->contents, std::optional(kUserClipboard));
}

void TestActions::stepsAfterDestructionDoNothing()
{
    m_executor->run(item(ActionType::PasteTextAndEnter, QStringLiteral("late")));
    m_executor.reset();
    m_journal->clear();
    m_scheduler->advance(5s);
    QVERIFY(m_journal->entries().isEmpty());
}

void TestActions::permissions()
{
    FakeAccessibilityTrust trust;
    PermissionsManager permissions(trust, *m_workspace);
    QVERIFY(!permissions.isTrusted());
    trust.trusted = true;
    QVERIFY(permissions.isTrusted());
    permissions.requestTrust();
    QCOMPARE(trust.requests, 1);

    permissions.openAccessibilitySettings();
    const QStringList opened = m_journal->entries().filter(QStringLiteral(":open "));
    QCOMPARE(opened.size(), 1);
    const QUrl page(opened.first().section(u' ', 1));
    QVERIFY(page.isLocalFile());
    QVERIFY(page.toLocalFile().endsWith(QStringLiteral("/help/pasting.html")));
    QVERIFY(QFileInfo(page.toLocalFile()).isFile());
}

} // namespace zl

QTEST_GUILESS_MAIN(zl::TestActions)
#include "tst_actions.moc"
