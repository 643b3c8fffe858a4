#include "SettingsStore.h"

#include "FakeLoginItem.h"

#include <QDir>
#include <QFile>
#include <QProcess>
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

QString names(const QList<ShortcutItem> &items)
{
    QStringList result;
    for (const ShortcutItem &i : items)
        result << i.name;
    return result.join(u',');
}

// Runs the store in another process (tests/hardening/store_driver.cpp) and returns its output lines.
QStringList probe(const QString &file, const QString &mode = QStringLiteral("load"))
{
    QProcess process;
    process.start(QStringLiteral(ZL_STORE_DRIVER), {mode, file});
    process.waitForFinished(10000);
    return QString::fromUtf8(process.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
}

} // namespace

class TestStore : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_login = FakeLoginItem();
    }

    void firstStartWritesTheSampleAtOnce();
    void unusableStoredListsStartWithTheSample_data();
    void unusableStoredListsStartWithTheSample();
    void undecodableListIsSetAsideAndReported_data();
    void undecodableListIsSetAsideAndReported();
    void filesBesideTheSettingsSurviveStart();
    void unparseableSettingsFileIsCopiedAside();
    void editsArePublishedAndPersisted();
    void move_data();
    void move();
    void duplicateIds();
    void subscriptionDeliversCurrentThenNewListsQueued();
    void launchAtLoginUnregistersThenRegisters();
    void failedLoginItemKeepsThePreferenceAndSaysSo();
    void settingsFileIsOwnerOnly();
    void failedWriteIsReportedAndKeptInMemory();

private:
    QString path() const { return m_dir->filePath(QStringLiteral("zephyrlatch/zephyrlatch.conf")); }
    QByteArray storedBytes() const
    {
        return QSettings(path(), QSettings::NativeFormat).value(QStringLiteral("shortcuts.v1")).toByteArray();
    }
    QString onDisk() const
    {
        return names(ShortcutItem::decodeList(storedBytes(), nullptr).value_or(QList{item(QStringLiteral("?"))}));
    }
    void writeStored(const QVariant &value)
    {
        QSettings(path(), QSettings::NativeFormat).setValue(QStringLiteral("shortcuts.v1"), value);
    }
    // The one file beside the settings whose name matches pattern: its name and bytes.
    static std::pair<QString, QByteArray> keptAside(const QString &folder, const QString &pattern)
    {
        const QStringList found = QDir(folder).entryList({pattern}, QDir::Files);
        QFile file(folder + u'/' + found.value(0));
        if (found.size() != 1 || !file.open(QIODevice::ReadOnly) || file.permissions() & (QFile::ReadGroup | QFile::ReadOther))
            return {};
        return {found.first(), file.readAll()};
    }

    std::unique_ptr<QTemporaryDir> m_dir;
    FakeLoginItem m_login;
};

void TestStore::firstStartWritesTheSampleAtOnce()
{
    SettingsStore store(m_login, path());
    const QUuid id = store.shortcuts().value(0).id;
    const ShortcutItem sample{id, "Email", true, ActionType::PasteText, "you@example.com", 14, 2816};
    QCOMPARE(store.shortcuts(), QList{sample});
    QVERIFY(!store.launchAtLogin());
    QVERIFY(m_login.calls.isEmpty());
    QCOMPARE(ShortcutItem::decodeList(storedBytes(), nullptr), std::optional(store.shortcuts()));
}

void TestStore::unusableStoredListsStartWithTheSample_data()
{
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<QString>("loaded");
    QTest::addColumn<QString>("saved");
    QTest::newRow("empty array") << QVariant(QByteArray("[]")) << "Email" << "Email";
    // Loading alone rewrites nothing, so the extra key survives.
    QTest::newRow("lower-case id, extra key")
        << QVariant(QByteArray(R"([{"id":"6f1c2b3a-1d2e-4f5a-8b9c-0d1e2f3a4b5c","name":"x","isEnabled":false,)"
                               R"("actionType":"openURL","payload":"a.org","keyCode":0,"modifiers":256,"extra":[1]}])"))
        << "x" << "x";
}

void TestStore::unusableStoredListsStartWithTheSample()
{
    QFETCH(QVariant, stored);
    QFETCH(QString, loaded);
    QFETCH(QString, saved);
    writeStored(stored);
    SettingsStore store(m_login, path());
    QCOMPARE(names(store.shortcuts()), loaded);
    QCOMPARE(onDisk(), saved);
    QCOMPARE(storedBytes().contains("extra"), stored.toByteArray().contains("extra"));
}

void TestStore::undecodableListIsSetAsideAndReported_data()
{
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<QByteArray>("kept");
    const QByteArray list = ShortcutItem::encodeList({item("a"), item("b")});
    const QByteArray unknownAction = QByteArray(list).replace("runCommand", "dance");
    QTest::newRow("unknown action") << QVariant(unknownAction) << unknownAction;
    QTest::newRow("text instead of bytes") << QVariant(QString::fromUtf8(list)) << list;
    // The error quotes the id, and the report must stay one line.
    const QByteArray idWithLineBreak = R"([{"id":"bad\n\u0000id","name":"a","isEnabled":true,"actionType":"pasteText",)"
                                       R"("payload":"","keyCode":0,"modifiers":0}])";
    QTest::newRow("id with a line break and a NUL") << QVariant(idWithLineBreak) << idWithLineBreak;
}

void TestStore::undecodableListIsSetAsideAndReported()
{
    QFETCH(QVariant, stored);
    QFETCH(QByteArray, kept);
    writeStored(stored);
    const QStringList out = probe(path());
    QCOMPARE(out.size(), 2);
    QVERIFY2(out.first().startsWith(QStringLiteral("Failed to decode shortcuts: ")), qPrintable(out.first()));
    QCOMPARE(out.last(), QStringLiteral("count 1"));
    const auto [name, bytes] =
        keptAside(QFileInfo(path()).absolutePath(), QStringLiteral("shortcuts.v1.undecodable-*.json"));
    QCOMPARE(bytes, kept);
    QVERIFY2(out.first().contains(name), qPrintable(out.first()));
}

// Start-up removes no file it cannot prove its own: these are a person's, even in the shape of Qt's
// temporary copies.
void TestStore::filesBesideTheSettingsSurviveStart()
{
    SettingsStore(m_login, path());
    const QStringList planted{QStringLiteral("zephyrlatch.conf.backup"), QStringLiteral("zephyrlatch.conf.old123"),
                              QStringLiteral("zephyrlatch.conf.qaLUKa")};
    const QDir folder = QFileInfo(path()).absoluteDir();
    for (const QString &name : planted) {
        QFile file(folder.filePath(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(name.toUtf8());
        QVERIFY(file.flush() && file.setPermissions(QFile::ReadOwner | QFile::WriteOwner));
        QVERIFY(file.setFileTime(QDateTime::currentDateTime().addSecs(-3600), QFileDevice::FileModificationTime));
    }
    SettingsStore store(m_login, path());
    store.addShortcut(item("x"));
    for (const QString &name : planted)
        QCOMPARE(keptAside(folder.path(), name).second, name.toUtf8());
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
    QCOMPARE(onDisk(), QStringLiteral("Email"));
    QCOMPARE(keptAside(QFileInfo(path()).absolutePath(), QStringLiteral("zephyrlatch.conf.unreadable-*")).second,
             original);
}

void TestStore::editsArePublishedAndPersisted()
{
    SettingsStore store(m_login, path());
    QSignalSpy will(&store, &SettingsStore::shortcutsWillChange);
    QSignalSpy changed(&store, &SettingsStore::shortcutsChanged);

    const QList<ShortcutItem> four{item("a"), item("b"), item("c"), item("d")};
    store.setShortcuts(four);
    store.deleteIds({four[0].id, four[2].id});
    store.deleteIds({}); // still published and saved
    QCOMPARE(will.size(), 3);
    QCOMPARE(changed.size(), 3);
    QCOMPARE(names(changed.last().first().value<QList<ShortcutItem>>()), QStringLiteral("b,d"));

    ShortcutItem renamed = four[3];
    renamed.name = QStringLiteral("D");
    store.update(renamed);
    QCOMPARE(onDisk(), QStringLiteral("b,D"));
    QCOMPARE(SettingsStore(m_login, path()).shortcuts(), store.shortcuts());

    // An unknown id changes nothing, not even the file.
    QFile::remove(path());
    store.update(item("ghost"));
    QCOMPARE(will.size(), 4);
    QCOMPARE(names(store.shortcuts()), QStringLiteral("b,D"));
    QVERIFY(!QFile::exists(path()));
}

void TestStore::move_data()
{
    QTest::addColumn<QList<qsizetype>>("offsets");
    QTest::addColumn<qsizetype>("to");
    QTest::addColumn<QString>("expected");
    QTest::newRow("0 to 2") << QList<qsizetype>{0} << qsizetype(2) << "b,a,c,d";
    QTest::newRow("3 to 0") << QList<qsizetype>{3} << qsizetype(0) << "d,a,b,c";
    QTest::newRow("0 and 3 to 2") << QList<qsizetype>{0, 3} << qsizetype(2) << "b,a,d,c";
    QTest::newRow("to the end") << QList<qsizetype>{1} << qsizetype(4) << "a,c,d,b";
    QTest::newRow("offsets unordered") << QList<qsizetype>{3, 1} << qsizetype(0) << "b,d,a,c";
    QTest::newRow("out of range ignored") << QList<qsizetype>{7} << qsizetype(0) << "a,b,c,d";
}

void TestStore::move()
{
    QFETCH(QList<qsizetype>, offsets);
    QFETCH(qsizetype, to);
    QFETCH(QString, expected);
    SettingsStore store(m_login, path());
    store.setShortcuts({item("a"), item("b"), item("c"), item("d")});
    store.move(offsets, to);
    QCOMPARE(names(store.shortcuts()), expected);
    QCOMPARE(onDisk(), expected);
}

void TestStore::duplicateIds()
{
    SettingsStore store(m_login, path());
    ShortcutItem first = item("first");
    ShortcutItem twin = first;
    twin.name = QStringLiteral("twin");
    store.setShortcuts({first, twin});
    first.name = QStringLiteral("changed");
    store.update(first);
    QCOMPARE(names(store.shortcuts()), QStringLiteral("changed,twin"));
    store.deleteIds({first.id});
    QVERIFY(store.shortcuts().isEmpty());
}

void TestStore::subscriptionDeliversCurrentThenNewListsQueued()
{
    SettingsStore store(m_login, path());
    QStringList received;
    const auto receiver = [&](const QList<ShortcutItem> &list) { received << names(list); };
    auto subscription = store.subscribeShortcuts(this, receiver);
    store.setShortcuts({item("x")});
    QVERIFY(received.isEmpty());
    QTRY_COMPARE(received, (QStringList{"Email", "x"}));

    // Dropped subscriptions deliver nothing, queued deliveries included.
    subscription = SettingsStore::Subscription();
    store.setShortcuts({item("y")});
    store.subscribeShortcuts(this, receiver) = SettingsStore::Subscription();
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
        // The desktop's approval token is kept beside the preference, written at once.
        store.setRemoteDesktopToken(QStringLiteral("token-1"));
    }
    m_login.calls.clear();
    const SettingsStore again(m_login, path());
    QVERIFY(again.launchAtLogin());
    QCOMPARE(again.remoteDesktopToken(), QStringLiteral("token-1"));
    QVERIFY(m_login.calls.isEmpty());
}

void TestStore::failedLoginItemKeepsThePreferenceAndSaysSo()
{
    const QStringList out = probe(path(), QStringLiteral("login"));
    QCOMPARE(out.size(), 2);
    QVERIFY2(out.first().startsWith(QStringLiteral("Launch at login could not be turned on: register refused")),
             qPrintable(out.first()));
    QCOMPARE(out.last(), QStringLiteral("stored 1 failed 1"));

    SettingsStore store(m_login, path());
    QSignalSpy failed(&store, &SettingsStore::loginItemFailedChanged);
    store.setLaunchAtLogin(false);
    QVERIFY(!store.loginItemFailed());
    m_login.failUnregister = true;
    store.setLaunchAtLogin(false);
    QVERIFY(store.loginItemFailed());
    store.setLaunchAtLogin(true); // registering rewrites the entry that could not be removed
    QVERIFY(!store.loginItemFailed());
    QCOMPARE(failed.size(), 2);
}

void TestStore::settingsFileIsOwnerOnly()
{
    SettingsStore store(m_login, path());
    store.addShortcut(item("secret"));
    const QFile::Permissions others = QFile::ReadGroup | QFile::WriteGroup | QFile::ReadOther | QFile::WriteOther;
    QCOMPARE(QFile::permissions(path()) & (others | QFile::ReadOwner), QFile::ReadOwner);
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
    QCOMPARE(names(store.shortcuts()), QStringLiteral("Email,unsaved"));

    // Once writable again, the next change carries the whole list to disk.
    QVERIFY(QDir(path()).removeRecursively());
    store.addShortcut(item("later"));
    QCOMPARE(onDisk(), QStringLiteral("Email,unsaved,later"));
}

QTEST_GUILESS_MAIN(TestStore)
#include "tst_store.moc"
