#include "SettingsStore.h"

#include "FakeLoginItem.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using namespace zl;

namespace {

ShortcutItem item(const QString &name)
{
    return ShortcutItem{QUuid::createUuid(), name, true, ActionType::RunCommand, QStringLiteral("true"), 0, 0};
}

QStringList names(const QList<ShortcutItem> &items)
{
    QStringList result;
    for (const ShortcutItem &i : items)
        result << i.name;
    return result;
}

QByteArray storedBytes(const QString &path)
{
    QSettings settings(path, QSettings::NativeFormat);
    return settings.value(QStringLiteral("shortcuts.v1")).toByteArray();
}

QString probe()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/store_probe");
}

} // namespace

class TestStore : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void firstStartWritesTheSampleAtOnce();
    void unusableStoredListsStartWithTheSample_data();
    void unusableStoredListsStartWithTheSample();
    void undecodableListIsSetAsideAndReported();
    void unparseableSettingsFileIsCopiedAside();
    void readableVariantsLoad();
    void editsArePublishedAndPersisted();
    void updateOfUnknownIdDoesNothing();
    void move_data();
    void move();
    void duplicateIds();
    void subscriptionDeliversCurrentThenNewListsQueued();
    void launchAtLoginUnregistersThenRegisters();
    void settingsFileIsOwnerOnly();
    void failedWriteIsReportedAndKeptInMemory();
    void killDuringSavesLeavesALoadableFile();

private:
    QString path() const { return m_dir->filePath(QStringLiteral("zephyrlatch/zephyrlatch.conf")); }
    void writeStored(const QVariant &value)
    {
        QSettings settings(path(), QSettings::NativeFormat);
        settings.setValue(QStringLiteral("shortcuts.v1"), value);
    }

    std::unique_ptr<QTemporaryDir> m_dir;
    FakeLoginItem m_login;
};

void TestStore::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_login = FakeLoginItem();
}

void TestStore::firstStartWritesTheSampleAtOnce()
{
    SettingsStore store(m_login, path());
    QCOMPARE(store.shortcuts().size(), 1);
    const ShortcutItem sample = store.shortcuts().first();
    QCOMPARE(sample.name, QStringLiteral("Email"));
    QCOMPARE(sample.actionType, ActionType(ActionType::PasteText));
    QCOMPARE(sample.keyCode, 14u);
    QCOMPARE(sample.modifiers, 2816u);
    QVERIFY(!store.launchAtLogin());
    QVERIFY(m_login.calls.isEmpty());
    QCOMPARE(ShortcutItem::decodeList(storedBytes(path()), nullptr), std::optional(store.shortcuts()));
}

void TestStore::unusableStoredListsStartWithTheSample_data()
{
    QTest::addColumn<QVariant>("stored");
    QTest::newRow("empty array") << QVariant(QByteArray("[]"));
    QTest::newRow("text instead of bytes") << QVariant(QStringLiteral("[]"));
}

void TestStore::unusableStoredListsStartWithTheSample()
{
    QFETCH(QVariant, stored);
    writeStored(stored);
    SettingsStore store(m_login, path());
    QCOMPARE(names(store.shortcuts()), QStringList{"Email"});
    QCOMPARE(ShortcutItem::decodeList(storedBytes(path()), nullptr)->size(), 1);
}

void TestStore::undecodableListIsSetAsideAndReported()
{
    const QByteArray bad = ShortcutItem::encodeList({item("a"), item("b")}).replace("runCommand", "dance");
    writeStored(bad);

    QProcess process;
    process.start(probe(), {QStringLiteral("load"), path()});
    QVERIFY(process.waitForFinished(10000));
    const QString out = QString::fromUtf8(process.readAllStandardOutput());
    QVERIFY2(out.startsWith(QStringLiteral("Failed to decode shortcuts: ")), qPrintable(out));
    QVERIFY(out.contains(QStringLiteral("count 1")));

    const QStringList kept = QDir(QFileInfo(path()).absolutePath())
                                 .entryList({QStringLiteral("shortcuts.v1.undecodable-*.json")}, QDir::Files);
    QCOMPARE(kept.size(), 1);
    QVERIFY2(out.contains(kept.first()), qPrintable(out));
    QFile copy(QFileInfo(path()).absolutePath() + u'/' + kept.first());
    QVERIFY(copy.open(QIODevice::ReadOnly));
    QCOMPARE(copy.readAll(), bad);
    QCOMPARE(copy.permissions() & (QFile::ReadOther | QFile::ReadGroup), QFile::Permissions());
}

void TestStore::unparseableSettingsFileIsCopiedAside()
{
    QDir().mkpath(QFileInfo(path()).absolutePath());
    QFile file(path());
    QVERIFY(file.open(QIODevice::WriteOnly));
    const QByteArray original = "[General\nshortcuts.v1=@ByteArray(\x01\x02\n\xff\xfe junk";
    file.write(original);
    file.close();

    SettingsStore store(m_login, path());
    QCOMPARE(store.shortcuts().size(), 1);
    QCOMPARE(ShortcutItem::decodeList(storedBytes(path()), nullptr), std::optional(store.shortcuts()));
    const QStringList copies = QDir(QFileInfo(path()).absolutePath())
                                   .entryList({QStringLiteral("zephyrlatch.conf.unreadable-*")}, QDir::Files);
    QCOMPARE(copies.size(), 1);
    QFile copy(QFileInfo(path()).absolutePath() + u'/' + copies.first());
    QVERIFY(copy.open(QIODevice::ReadOnly));
    QCOMPARE(copy.readAll(), original);
}

void TestStore::readableVariantsLoad()
{
    writeStored(QByteArray(R"([{"id":"6f1c2b3a-1d2e-4f5a-8b9c-0d1e2f3a4b5c","name":"x","isEnabled":false,)"
                           R"("actionType":"openURL","payload":"a.org","keyCode":0,"modifiers":256,"extra":[1]}])"));
    SettingsStore store(m_login, path());
    QCOMPARE(names(store.shortcuts()), QStringList{"x"});
    QCOMPARE(store.shortcuts().first().id, QUuid::fromString(QStringLiteral("6F1C2B3A-1D2E-4F5A-8B9C-0D1E2F3A4B5C")));
    // Loading alone rewrites nothing.
    QVERIFY(storedBytes(path()).contains("extra"));
}

void TestStore::editsArePublishedAndPersisted()
{
    SettingsStore store(m_login, path());
    QSignalSpy will(&store, &SettingsStore::shortcutsWillChange);
    QSignalSpy changed(&store, &SettingsStore::shortcutsChanged);

    const QList<ShortcutItem> four{item("a"), item("b"), item("c"), item("d")};
    store.setShortcuts(four);
    store.deleteIds({four[0].id, four[2].id});
    QCOMPARE(names(store.shortcuts()), (QStringList{"b", "d"}));

    store.deleteIds({});
    QCOMPARE(will.size(), 3);
    QCOMPARE(changed.size(), 3);
    QCOMPARE(names(changed.last().first().value<QList<ShortcutItem>>()), (QStringList{"b", "d"}));

    ShortcutItem renamed = store.shortcuts().last();
    renamed.name = QStringLiteral("D");
    store.update(renamed);
    QCOMPARE(names(*ShortcutItem::decodeList(storedBytes(path()), nullptr)), (QStringList{"b", "D"}));

    SettingsStore reopened(m_login, path());
    QCOMPARE(reopened.shortcuts(), store.shortcuts());
}

void TestStore::updateOfUnknownIdDoesNothing()
{
    SettingsStore store(m_login, path());
    QFile::remove(path());
    QSignalSpy will(&store, &SettingsStore::shortcutsWillChange);
    store.update(item("ghost"));
    QCOMPARE(will.size(), 0);
    QCOMPARE(names(store.shortcuts()), QStringList{"Email"});
    QVERIFY(!QFile::exists(path()));
}

void TestStore::move_data()
{
    QTest::addColumn<QList<qsizetype>>("offsets");
    QTest::addColumn<qsizetype>("to");
    QTest::addColumn<QString>("expected");
    QTest::newRow("0 to 2") << QList<qsizetype>{0} << qsizetype(2) << "bacd";
    QTest::newRow("3 to 0") << QList<qsizetype>{3} << qsizetype(0) << "dabc";
    QTest::newRow("0 and 3 to 2") << QList<qsizetype>{0, 3} << qsizetype(2) << "badc";
    QTest::newRow("to the end") << QList<qsizetype>{1} << qsizetype(4) << "acdb";
    QTest::newRow("offsets unordered") << QList<qsizetype>{3, 1} << qsizetype(0) << "bdac";
    QTest::newRow("out of range ignored") << QList<qsizetype>{7} << qsizetype(0) << "abcd";
}

void TestStore::move()
{
    QFETCH(QList<qsizetype>, offsets);
    QFETCH(qsizetype, to);
    QFETCH(QString, expected);
    SettingsStore store(m_login, path());
    store.setShortcuts({item("a"), item("b"), item("c"), item("d")});
    store.move(offsets, to);
    QCOMPARE(names(store.shortcuts()).join(QString()), expected);
    QCOMPARE(names(*ShortcutItem::decodeList(storedBytes(path()), nullptr)).join(QString()), expected);
}

void TestStore::duplicateIds()
{
    SettingsStore store(m_login, path());
    ShortcutItem first = item("first");
    ShortcutItem twin = first;
    twin.name = QStringLiteral("twin");
    store.setShortcuts({first});
    store.addShortcut(twin);
    QCOMPARE(names(store.shortcuts()), (QStringList{"first", "twin"}));

    first.name = QStringLiteral("changed");
    store.update(first);
    QCOMPARE(names(store.shortcuts()), (QStringList{"changed", "twin"}));
    store.deleteIds({first.id});
    QVERIFY(store.shortcuts().isEmpty());
}

void TestStore::subscriptionDeliversCurrentThenNewListsQueued()
{
    SettingsStore store(m_login, path());
    QList<QStringList> received;
    auto subscription = store.subscribeShortcuts(this, [&](const QList<ShortcutItem> &list) { received << names(list); });
    store.setShortcuts({item("x")});
    QVERIFY(received.isEmpty());
    QTRY_COMPARE(received.size(), 2);
    QCOMPARE(received, (QList<QStringList>{{"Email"}, {"x"}}));

    subscription = SettingsStore::Subscription();
    store.setShortcuts({item("y")});
    auto dropped = store.subscribeShortcuts(this, [&](const QList<ShortcutItem> &list) { received << names(list); });
    dropped = SettingsStore::Subscription();
    QTest::qWait(20);
    QCOMPARE(received.size(), 2);
}

void TestStore::launchAtLoginUnregistersThenRegisters()
{
    {
        SettingsStore store(m_login, path());
        m_login.failRegister = true;
        store.setLaunchAtLogin(true);
        store.setLaunchAtLogin(true);
        QVERIFY(store.launchAtLogin());
        store.setLaunchAtLogin(false);
        QCOMPARE(m_login.calls, (QStringList{"unregister", "register", "unregister", "register", "unregister"}));
        store.setLaunchAtLogin(true);
    }
    m_login.calls.clear();
    SettingsStore reopened(m_login, path());
    QVERIFY(reopened.launchAtLogin());
    QVERIFY(m_login.calls.isEmpty());
}

void TestStore::settingsFileIsOwnerOnly()
{
    SettingsStore store(m_login, path());
    store.addShortcut(item("secret"));
    const QFile::Permissions others = QFile::ReadGroup | QFile::WriteGroup | QFile::ReadOther | QFile::WriteOther;
    QCOMPARE(QFile::permissions(path()) & others, QFile::Permissions());
    QVERIFY(QFile::permissions(path()) & QFile::ReadOwner);
    QCOMPARE(QFile::permissions(QFileInfo(path()).absolutePath()) & (QFile::ReadOther | QFile::ExeOther),
             QFile::Permissions());
}

void TestStore::failedWriteIsReportedAndKeptInMemory()
{
    SettingsStore store(m_login, path());
    // A folder where the file should be defeats every user, root included.
    QVERIFY(QFile::remove(path()));
    QVERIFY(QDir().mkpath(path()));
    store.addShortcut(item("unsaved"));
    QCOMPARE(names(store.shortcuts()), (QStringList{"Email", "unsaved"}));
    QVERIFY(QFileInfo(path()).isDir());

    // Once writable again, the next change carries the whole list to disk.
    QVERIFY(QDir(path()).removeRecursively());
    store.addShortcut(item("later"));
    QCOMPARE(names(*ShortcutItem::decodeList(storedBytes(path()), nullptr)), (QStringList{"Email", "unsaved", "later"}));
}

void TestStore::killDuringSavesLeavesALoadableFile()
{
    for (int round = 0; round < 15; ++round) {
        QProcess loop;
        loop.start(probe(), {QStringLiteral("loop"), path()});
        QVERIFY(loop.waitForStarted());
        QTest::qWait(30 + QRandomGenerator::global()->bounded(120));
        loop.kill();
        loop.waitForFinished();

        QProcess load;
        load.start(probe(), {QStringLiteral("load"), path()});
        QVERIFY(load.waitForFinished(10000));
        const QString out = QString::fromUtf8(load.readAllStandardOutput());
        QVERIFY2(!out.contains(QStringLiteral("Failed")), qPrintable(out));
        QVERIFY2(ShortcutItem::decodeList(storedBytes(path()), nullptr).has_value(), qPrintable(out));
    }
}

QTEST_GUILESS_MAIN(TestStore)
#include "tst_store.moc"
