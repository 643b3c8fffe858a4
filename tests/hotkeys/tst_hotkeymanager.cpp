#include "FakeHotkeyService.h"
#include "FakeLogSink.h"
#include "FakeLoginItem.h"
#include "HotkeyManager.h"
#include "SettingsStore.h"
#include "Translations.h"

#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using namespace zl;

namespace {

ShortcutItem item(const QString &name, quint32 keyCode, quint32 modifiers, bool enabled = true)
{
    return ShortcutItem{QUuid::createUuid(), name, enabled, ActionType::PasteText, name, keyCode, modifiers};
}

} // namespace

class HotkeyManagerTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_manager.reset(); // before its store, as it would be at the end
        m_dir = std::make_unique<QTemporaryDir>();
        m_store = std::make_unique<SettingsStore>(m_loginItem, m_dir->filePath(QStringLiteral("z.conf")));
        m_service = FakeHotkeyService();
        m_log.lines.clear();
        m_runs.clear();
        m_manager = std::make_unique<HotkeyManager>(&m_service, &m_log,
                                                    [this](const ShortcutItem &shortcut) { m_runs.append(shortcut); });
    }

    // Every pass registers anew, under identifiers never used before, each enabled shortcut with a key or
    // a modifier; binding again after a failed handler installs it, binding once more keeps one handler and
    // one subscription. The counts also hold the store's subscription to its contract: the current list and
    // each new one arrive queued, and a replaced subscription delivers nothing.
    void registrationPasses()
    {
        m_store->setShortcuts({item("a", 0, 256), item("b", 14, 2816), item("bare", 49, 0), item("none", 0, 0),
                               item("off", 15, 256, false)});
        m_service.installStatus = -50;
        m_manager->bind(*m_store);
        QCOMPARE(m_log.lines, QStringList{QStringLiteral("Zephyrlatch: InstallEventHandler failed: -50")});
        QCOMPARE(m_service.active.size(), 3u);
        m_service.installStatus = 0;
        m_manager->bind(*m_store);
        m_manager->bind(*m_store);
        QCOMPARE(m_service.installCalls, 2);
        QTRY_COMPARE(m_service.attempts.size(), 12); // three binds, then the subscription's first value
        QList<ShortcutItem> list = m_store->shortcuts();
        list[0].isEnabled = false;
        m_store->setShortcuts(list);
        QTRY_COMPARE(m_service.attempts.size(), 14);
        QTest::qWait(20);
        QCOMPARE(m_service.attempts.size(), 14);
        QCOMPARE(m_service.active.size(), 2u);
        QSet<quint32> ids;
        for (const auto &attempt : m_service.attempts)
            ids.insert(attempt.identifier.id);
        QCOMPARE(ids.size(), m_service.attempts.size());
        QCOMPARE(m_log.lines.size(), 1);

        // A press runs the shortcut as stored when it runs, not as registered.
        QCOMPARE(m_service.press(14, 2816), 0);
        QVERIFY(m_runs.isEmpty());
        list[1].payload = QStringLiteral("edited after registration");
        m_store->update(list[1]);
        QTRY_COMPARE(m_runs, QList<ShortcutItem>{list[1]});

        // A press runs nothing when its identifier is stale, the event is not ours, or the shortcut was
        // disabled, deleted or its store gone between the press and its queued run.
        m_runs.clear();
        const HotkeyEvent foreign;
        QCOMPARE(m_service.handler(&foreign), FakeHotkeyService::ForeignEventStatus);
        QCOMPARE(m_service.press(14, 2816), 0);
        list[1].isEnabled = false;
        m_store->update(list[1]);
        QCOMPARE(m_service.press(49, 0), 0);
        m_store->deleteIds({list[2].id});
        list[0].isEnabled = true;
        m_store->update(list[0]);
        QVERIFY(QTest::qWaitFor([this] { return m_service.active.size() == 1; }));
        QCOMPARE(m_service.deliver(m_service.attempts.at(0).identifier.id), 0); // a of the first pass
        QTest::qWait(20);
        QCOMPARE(m_runs, QList<ShortcutItem>());
        QCOMPARE(m_service.press(0, 256), 0);
        m_store.reset();
        QTest::qWait(20);
        QVERIFY2(m_runs.isEmpty(), "ran after its store was gone");
    }

    // A refused hotkey is logged on one line with its name as data and explained in the windows,
    // anew on every pass; the others still register and run.
    void refusals()
    {
        Translations english;
        english.setLanguage(QStringLiteral("en"));
        m_service.refused = {{{14, 4096 | 2048}, HotkeyRefusal::TakenElsewhere}, {{15, 4096}, 42}};
        const ShortcutItem taken = item("taken", 14, 4096 | 2048);
        const ShortcutItem first = item("first", 49, 256);
        const ShortcutItem second = item("second", 49, 256);
        const ShortcutItem odd = item("%s%n %d", 15, 4096);
        const ShortcutItem last = item("last", 16, 256);
        m_store->setShortcuts({taken, first, second, odd, last, item("off", 14, 4096 | 2048, false)});
        QSignalSpy changed(m_manager.get(), &HotkeyManager::registrationsChanged);
        m_manager->bind(*m_store);
        QVERIFY(changed.count() >= 1);
        const QString failed = QStringLiteral("Zephyrlatch: RegisterEventHotKey failed for ");
        QCOMPARE(m_log.lines, (QStringList{failed + "taken: 10", failed + "second: -3", failed + "%s%n %d: 42"}));
        QCOMPARE(m_manager->problem(taken, nullptr), QStringLiteral("Ctrl+Alt+Key14 is taken by another program."));
        QVERIFY(m_manager->problem(second, nullptr).contains(QStringLiteral("another shortcut")));
        QVERIFY(m_manager->problem(odd, nullptr).contains(QStringLiteral("42")));
        for (const ShortcutItem &fine : {first, last, m_store->shortcuts().last()})
            QVERIFY2(m_manager->problem(fine, nullptr).isEmpty(), qPrintable(fine.name));
        QCOMPARE(m_service.press(49, 256), 0);
        QCOMPARE(m_service.press(16, 256), 0);
        QTRY_COMPARE(m_runs, (QList<ShortcutItem>{first, last}));

        m_service.refused.clear();
        m_store->setShortcuts({taken});
        QTRY_VERIFY(m_manager->problem(taken, nullptr).isEmpty());
    }

private:
    FakeLoginItem m_loginItem;
    FakeHotkeyService m_service;
    FakeLogSink m_log;
    QList<ShortcutItem> m_runs;
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<SettingsStore> m_store;
    std::unique_ptr<HotkeyManager> m_manager;
};

QTEST_GUILESS_MAIN(HotkeyManagerTest)
#include "tst_hotkeymanager.moc"
