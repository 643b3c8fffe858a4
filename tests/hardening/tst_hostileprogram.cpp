// The real program under a private Xvfb with a stored list of hostile shortcuts: launch names
// that try to break out of their quoting run nothing extra when pressed, and hostile names and
// 1 MB texts neither stop the program nor get lost.
#include "ProgramUnderTest.h"

#include <QtTest>

using namespace zl;
using hardening::xdotool;

namespace {

// Mac virtual key codes of A, S, D, F, G.
constexpr quint32 kKeyCodes[] = {0, 1, 2, 3, 5};
const char *const kChords[] = {"ctrl+alt+a", "ctrl+alt+s", "ctrl+alt+d", "ctrl+alt+f", "ctrl+alt+g"};

ShortcutItem shortcut(const QString &name, ActionType type, const QString &payload, int key)
{
    return ShortcutItem{QUuid::createUuid(), name, true, type, payload, key < 0 ? 0 : kKeyCodes[key],
                        key < 0 ? 0 : Modifier::Control | Modifier::Option};
}

} // namespace

class TestHostileProgram : public QObject
{
    Q_OBJECT

private slots:
    void hostileShortcutsRunNothingExtra();

private:
    QTemporaryDir m_dir;
};

void TestHostileProgram::hostileShortcutsRunNothingExtra()
{
    const QString pwned = m_dir.filePath(QStringLiteral("pwned"));
    const QString done = m_dir.filePath(QStringLiteral("done.log"));
    QString control;
    for (char16_t c = 1; c < 0x20; ++c)
        control += QChar(c);
    const QString megabyte(1024 * 1024, u'\u00e9');
    const QList<ShortcutItem> list{
        shortcut(QStringLiteral("%n%s%x%n"), ActionType::LaunchApp,
                 QStringLiteral("nosuchapp'; touch '%1-quote'; '").arg(pwned), 0),
        shortcut(control, ActionType::LaunchApp,
                 QStringLiteral("/no/such/$(touch %1-subst)`touch %1-tick`").arg(pwned), 1),
        shortcut(QStringLiteral("%s%s%s%s"), ActionType::LaunchApp,
                 QStringLiteral("x.desktop\ntouch %1-newline; echo ran >> %2").arg(pwned, done), 2),
        shortcut(megabyte, ActionType::LaunchApp,
                 QStringLiteral("\"; touch %1-semi; # && touch %1-and | tee %1-pipe").arg(pwned), 3),
        shortcut(QStringLiteral("long paste"), ActionType::PasteText, megabyte, -1),
        shortcut(QStringLiteral("sentinel"), ActionType::RunCommand, QStringLiteral("echo ran >> '%1'").arg(done), 4),
    };
    QProcess app;
    app.setProcessChannelMode(QProcess::ForwardedChannels);
    QVERIFY(hardening::startProgram(app, m_dir, list));
    auto stop = qScopeGuard([&] {
        app.kill();
        app.waitForFinished();
    });

    for (int attempt = 0; attempt < 100 && hardening::lineCount(done) == 0; ++attempt) {
        xdotool({QStringLiteral("key"), QLatin1StringView(kChords[4])});
        QTest::qWait(100);
    }
    QVERIFY(hardening::lineCount(done) > 0);
    // Presses of the warm-up may still be running.
    QTest::qWait(1000);
    const int before = hardening::lineCount(done);

    for (int key = 0; key < 4; ++key)
        xdotool({QStringLiteral("key"), QLatin1StringView(kChords[key])});
    // The sentinel's shell starts after the hostile ones; give theirs the same time again.
    xdotool({QStringLiteral("key"), QLatin1StringView(kChords[4])});
    QTRY_COMPARE_WITH_TIMEOUT(hardening::lineCount(done), before + 1, 20000);
    QTest::qWait(1000);
    QCOMPARE(hardening::lineCount(done), before + 1);
    const QStringList extra =
        QDir(m_dir.path()).entryList({QStringLiteral("pwned*")}, QDir::Files | QDir::Dirs | QDir::Hidden);
    QVERIFY2(extra.isEmpty(), qPrintable(extra.join(u' ')));

    QCOMPARE(app.state(), QProcess::Running);
    QSettings settings(hardening::settingsPath(m_dir), QSettings::NativeFormat);
    const auto stored = ShortcutItem::decodeList(settings.value(QStringLiteral("shortcuts.v1")).toByteArray(), nullptr);
    QVERIFY(stored.has_value());
    QVERIFY(*stored == list);
}

QTEST_GUILESS_MAIN(TestHostileProgram)
#include "tst_hostileprogram.moc"
