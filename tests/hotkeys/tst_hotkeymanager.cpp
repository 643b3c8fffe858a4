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

QList<quint32> attemptedIds(const FakeHotkeyService &service)
{
    QList<quint32> ids;
    for (const auto &attempt : service.attempts)
        ids.append(attempt.identifier.id);
    return ids;
}

} // namespace

class HotkeyManagerTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_store = std::make_unique<SettingsStore>(m_loginItem, m_dir->filePath(QStringLiteral("z.conf")));
        m_service = FakeHotkeyService();
        m_log.lines.clear();
        m_runs.clear();
        m_manager = std::make_unique<HotkeyManager>(&m_service, &m_log,
                                                    [this](const ShortcutItem &shortcut) { m_runs.append(shortcut); });
    }

    void cleanup()
    {
        m_manager.reset();
        m_store.reset();
    }

    void numberingAcrossPasses()
    {
        m_store->setShortcuts({item("a", 0, 256), item("b", 14, 2816), item("c", 49, 4096)});
        m_manager->bind(*m_store);
        QCOMPARE(attemptedIds(m_service), (QList<quint32>{1, 2, 3}));
        QCOMPARE(m_service.attempts.at(1).identifier.signature, 0x005A4C48u);
        QTRY_COMPARE(m_service.activeIds(), (QList<quint32>{4, 5, 6}));
        QList<ShortcutItem> list = m_store->shortcuts();
        list[0].isEnabled = false;
        m_store->setShortcuts(list);
        QTRY_COMPARE(m_service.activeIds(), (QList<quint32>{7, 8}));
        QCOMPARE(attemptedIds(m_service), (QList<quint32>{1, 2, 3, 4, 5, 6, 7, 8}));
        QVERIFY(m_log.lines.isEmpty());
    }

    void eligibility_data()
    {
        QTest::addColumn<quint32>("keyCode");
        QTest::addColumn<quint32>("modifiers");
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<bool>("registered");
        QTest::newRow("no hotkey") << 0u << 0u << true << false;
        QTest::newRow("disabled") << 14u << 256u << false << false;
        QTest::newRow("key 0 with a modifier") << 0u << 256u << true << true;
        QTest::newRow("bare key") << 14u << 0u << true << true;
        QTest::newRow("all modifiers") << 36u << 6912u << true << true;
    }

    void eligibility()
    {
        QFETCH(quint32, keyCode);
        QFETCH(quint32, modifiers);
        QFETCH(bool, enabled);
        QFETCH(bool, registered);
        m_manager->reregister({item("x", keyCode, modifiers, enabled)});
        QCOMPARE(m_service.active.size(), registered ? 1u : 0u);
        if (registered) {
            QCOMPARE(m_service.attempts.first().keyCode, keyCode);
            QCOMPARE(m_service.attempts.first().modifiers, modifiers);
        }
    }

    void refusedRegistration_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("sameAsFirst");
        QTest::addColumn<QString>("logged");
        QTest::newRow("taken by another program")
            << "Second" << false << "Zephyrlatch: RegisterEventHotKey failed for Second: 10";
        QTest::newRow("same combination as the first")
            << "Second" << true << "Zephyrlatch: RegisterEventHotKey failed for Second: -3";
        QTest::newRow("name with format directives")
            << "%s%n %d" << false << "Zephyrlatch: RegisterEventHotKey failed for %s%n %d: 10";
    }

    void refusedRegistration()
    {
        QFETCH(QString, name);
        QFETCH(bool, sameAsFirst);
        QFETCH(QString, logged);
        m_service.refused.append({{2, 256}, 10});
        const ShortcutItem first = item("First", 1, 256);
        const ShortcutItem third = item("Third", 3, 256);
        m_store->setShortcuts({first, item(name, sameAsFirst ? 1 : 2, 256), third});
        m_manager->bind(*m_store);
        QCOMPARE(m_log.lines, QStringList{logged});
        QCOMPARE(m_service.activeIds(), (QList<quint32>{1, 3}));
        QCOMPARE(m_service.press(1, 256), 0);
        QCOMPARE(m_service.press(3, 256), 0);
        QTRY_COMPARE(m_runs.size(), 2);
        QCOMPARE(m_runs.at(0), first);
        QCOMPARE(m_runs.at(1), third);
    }

    void pressRunsTheStoredShortcutLater()
    {
        ShortcutItem shortcut = item("a", 14, 2816);
        m_store->setShortcuts({shortcut});
        m_manager->bind(*m_store);
        QCOMPARE(m_service.press(14, 2816), 0);
        QVERIFY(m_runs.isEmpty());
        shortcut.payload = QStringLiteral("edited after registration");
        m_store->update(shortcut);
        QTRY_COMPARE(m_runs.size(), 1);
        QCOMPARE(m_runs.first().payload, shortcut.payload);
    }

    void pressRunsNothing_data()
    {
        QTest::addColumn<QString>("situation");
        QTest::addColumn<HotkeyStatus>("status");
        for (const char *situation : {"stale identifier", "unknown identifier", "disabled since registration",
                                      "deleted since registration", "store gone"}) {
            QTest::newRow(situation) << situation << 0;
        }
        QTest::newRow("foreign event") << "foreign event" << FakeHotkeyService::ForeignEventStatus;
    }

    void pressRunsNothing()
    {
        QFETCH(QString, situation);
        QFETCH(HotkeyStatus, status);
        ShortcutItem shortcut = item("a", 14, 2816);
        m_store->setShortcuts({shortcut});
        m_manager->bind(*m_store);
        QTRY_COMPARE(m_service.activeIds(), QList<quint32>{2});
        HotkeyStatus result = -1;
        if (situation == "stale identifier") {
            result = m_service.deliver(1);
        } else if (situation == "unknown identifier") {
            result = m_service.deliver(99);
        } else if (situation == "foreign event") {
            const HotkeyEvent foreign;
            result = m_service.handler(&foreign);
        } else {
            result = m_service.press(14, 2816);
            if (situation == "disabled since registration") {
                shortcut.isEnabled = false;
                m_store->update(shortcut);
            } else if (situation == "deleted since registration") {
                m_store->deleteIds({shortcut.id});
            } else {
                m_store.reset();
            }
        }
        QCOMPARE(result, status);
        QTest::qWait(20);
        QVERIFY(m_runs.isEmpty());
    }

    void bindingTwiceKeepsOneHandlerAndSubscription()
    {
        m_store->setShortcuts({item("a", 1, 256), item("b", 2, 256)});
        m_manager->bind(*m_store);
        m_manager->bind(*m_store);
        QCOMPARE(m_service.installCalls, 1);
        QTRY_COMPARE(m_service.activeIds(), (QList<quint32>{5, 6}));
        m_store->addShortcut(item("c", 3, 256));
        QTRY_COMPARE(m_service.activeIds(), (QList<quint32>{7, 8, 9}));
        QTest::qWait(20);
        QCOMPARE(m_service.attempts.size(), 9);
        QCOMPARE(m_service.press(2, 256), 0);
        QTRY_COMPARE(m_runs.size(), 1);
    }

    void handlerFailureIsRetriedAtNextBind()
    {
        m_service.installStatus = -50;
        const ShortcutItem shortcut = item("a", 1, 256);
        m_store->setShortcuts({shortcut});
        m_manager->bind(*m_store);
        QCOMPARE(m_log.lines, QStringList{QStringLiteral("Zephyrlatch: InstallEventHandler failed: -50")});
        QCOMPARE(m_service.active.size(), 1u);
        m_service.installStatus = 0;
        m_manager->bind(*m_store);
        QCOMPARE(m_service.installCalls, 2);
        QCOMPARE(m_service.press(1, 256), 0);
        QTRY_COMPARE(m_runs, QList<ShortcutItem>{shortcut});
    }

    // What the windows say about a hotkey that does not work, redone on every registration pass.
    void problems()
    {
        Translations english;
        english.setLanguage(QStringLiteral("en"));
        m_service.refused = {{{14, 4096 | 2048}, HotkeyRefusal::TakenElsewhere}, {{15, 4096}, 42}};
        const ShortcutItem taken = item("taken", 14, 4096 | 2048);
        const ShortcutItem first = item("first", 49, 256);
        const ShortcutItem second = item("second", 49, 256);
        const ShortcutItem odd = item("odd", 15, 4096);
        m_store->setShortcuts({taken, first, second, odd, item("off", 14, 4096 | 2048, false)});
        QSignalSpy changed(m_manager.get(), &HotkeyManager::registrationsChanged);
        m_manager->bind(*m_store);
        QVERIFY(changed.count() >= 1);
        QCOMPARE(m_manager->problem(taken, nullptr), QStringLiteral("Ctrl+Alt+Key14 is taken by another program."));
        QVERIFY(m_manager->problem(first, nullptr).isEmpty());
        QVERIFY(m_manager->problem(second, nullptr).contains(QStringLiteral("another shortcut")));
        QVERIFY(m_manager->problem(odd, nullptr).contains(QStringLiteral("42")));
        QVERIFY(m_manager->problem(m_store->shortcuts().last(), nullptr).isEmpty());

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
