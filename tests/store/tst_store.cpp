// The store in this process and, where its printed report, a kill or another user matters, in the
// store driver's (tests/hardening/store_driver.cpp), as "nobody" when this test runs as root (root
// ignores permission bits).
#include "SettingsStore.h"

#include "FakeLoginItem.h"
#include "HardeningLists.h"
#include "TestSupport.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

using namespace zl;
using namespace zl::test;

class TestStore : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_login = FakeLoginItem();
    }

    // One store over a new account's life: the first start writes the sample at once, for the owner
    // only; edits, moves and a failed write follow, then the login item.
    void storeOverItsLife()
    {
        SettingsStore store(m_login, path());
        QCOMPARE(names(store.shortcuts()), QStringList{"Email"});
        QVERIFY(!store.launchAtLogin());
        QVERIFY(m_login.calls.isEmpty());
        QCOMPARE(ShortcutItem::decodeList(storedBytes(path()), nullptr), std::optional(store.shortcuts()));
        const QFile::Permissions others = QFile::ReadGroup | QFile::WriteGroup | QFile::ReadOther | QFile::WriteOther;
        QCOMPARE(QFile::permissions(path()) & (others | QFile::ReadOwner), QFile::ReadOwner);
        QCOMPARE(QFile::permissions(folder()) & (QFile::ReadOther | QFile::ExeOther), QFile::Permissions());

        // Edits reach the file; texts that look like the settings file's own syntax, any character and a
        // megabyte come back unchanged.
        const QList<ShortcutItem> four{shortcut("a"), shortcut("b"), shortcut("c"), shortcut("d")};
        store.setShortcuts(four);
        store.deleteIds({four[0].id, four[2].id});
        QCOMPARE(onDisk(), (QStringList{"b", "d"}));
        QString text = QStringLiteral("[General]\nshortcuts.v1=@ByteArray()\n\"@Variant(\\0)\" ; # = \\x00 %n%s");
        for (char16_t c = 0; c < 0x20; ++c)
            text += QChar(c);
        text += QStringLiteral("\u007f\u0085\u009b\u202e\ufeff\u2028\U0001F600");
        ShortcutItem renamed = four[3];
        renamed.name = text;
        renamed.payload = text.repeated(1024 * 1024 / text.size());
        store.update(renamed);
        QCOMPARE(SettingsStore(m_login, path()).shortcuts(), (QList{four[1], renamed}));

        // An unknown id changes nothing, not even the file.
        QFile::remove(path());
        store.update(shortcut("ghost"));
        QCOMPARE(store.shortcuts(), (QList{four[1], renamed}));
        QVERIFY(!QFile::exists(path()));

        // Of two records sharing an id, update changes the first; delete removes both.
        ShortcutItem twin = renamed;
        twin.name = QStringLiteral("twin");
        store.setShortcuts({renamed, twin});
        renamed.name = QStringLiteral("changed");
        store.update(renamed);
        QCOMPARE(names(store.shortcuts()), (QStringList{"changed", "twin"}));
        store.deleteIds({renamed.id});
        QVERIFY(store.shortcuts().isEmpty());

        // Moves of a, b, c, d: offsets (in any order) and the place they go to; one out of range is ignored.
        const QList<std::tuple<QList<qsizetype>, qsizetype, QString>> moves{
            {{0, 3}, 2, "b,a,d,c"}, {{1}, 4, "a,c,d,b"}, {{3, 1}, 0, "b,d,a,c"}, {{7}, 0, "a,b,c,d"}};
        for (const auto &[offsets, to, expected] : moves) {
            store.setShortcuts(four);
            store.move(offsets, to);
            QCOMPARE(names(store.shortcuts()).join(u','), expected);
            QCOMPARE(onDisk().join(u','), expected);
        }

        // A folder where the file should be defeats every user, root included; what it holds stays.
        QVERIFY(QFile::remove(path()));
        QVERIFY(QDir().mkpath(path() + QStringLiteral("/inside")));
        store.addShortcut(shortcut("unsaved"));
        QCOMPARE(names(store.shortcuts()).join(u','), QStringLiteral("a,b,c,d,unsaved"));
        QVERIFY(QFileInfo::exists(path() + QStringLiteral("/inside")));
        // Once writable again, the next change carries the whole list to disk.
        QVERIFY(QDir(path()).removeRecursively());
        store.addShortcut(shortcut("later"));
        QCOMPARE(onDisk().join(u','), QStringLiteral("a,b,c,d,unsaved,later"));

        // Turning on rewrites the login item and off removes it; the preference is stored even when the
        // item fails; loading touches nothing.
        store.setLaunchAtLogin(true);
        store.setLaunchAtLogin(false);
        QCOMPARE(m_login.calls, (QStringList{"unregister", "register", "unregister"}));
        m_login.failUnregister = true;
        store.setLaunchAtLogin(true); // registering rewrites the entry that could not be removed
        QVERIFY(!store.loginItemFailed());
        store.setLaunchAtLogin(false);
        QVERIFY(store.loginItemFailed());
        m_login.failRegister = true;
        store.setLaunchAtLogin(true);
        QVERIFY(store.loginItemFailed());
        // The desktop's approval token is kept beside the preference.
        store.setRemoteDesktopToken(QStringLiteral("token-1"));
        m_login.calls.clear();
        const SettingsStore again(m_login, path());
        QVERIFY(again.launchAtLogin());
        QCOMPARE(again.remoteDesktopToken(), QStringLiteral("token-1"));
        QVERIFY(m_login.calls.isEmpty());

        // An unparseable settings file is copied aside and the sample takes its place. Start-up removes no
        // file it cannot prove its own: these are a person's, even in the shape of Qt's temporary copies.
        const QByteArray original = "[General\nshortcuts.v1=@ByteArray(\x01\x02\n\xff\xfe junk";
        const QStringList planted{"zephyrlatch.conf.backup", "zephyrlatch.conf.old123", "zephyrlatch.conf.qaLUKa"};
        for (const QString &name : QStringList{"zephyrlatch.conf"} + planted) {
            QFile file(folder() + u'/' + name);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(name == QLatin1StringView("zephyrlatch.conf") ? original : name.toUtf8());
            QVERIFY(file.flush() && file.setPermissions(QFile::ReadOwner | QFile::WriteOwner));
            QVERIFY(file.setFileTime(QDateTime::currentDateTime().addSecs(-3600), QFileDevice::FileModificationTime));
        }
        SettingsStore rescued(m_login, path());
        rescued.addShortcut(shortcut("x"));
        QCOMPARE(onDisk(), (QStringList{"Email", "x"}));
        QCOMPARE(keptAside(QStringLiteral("zephyrlatch.conf.unreadable-*")).second, original);
        for (const QString &name : planted)
            QCOMPARE(keptAside(name).second, name.toUtf8());
    }

    void storedList_data();
    void storedList()
    {
        QFETCH(QVariant, stored);
        QFETCH(QString, loaded);
        writeStored(stored);
        const QStringList out = driver(QStringLiteral("load"));
        QCOMPARE(out.last(), QStringLiteral("count 1"));
        QCOMPARE(names(SettingsStore(m_login, path()).shortcuts()), QStringList{loaded.isNull() ? "Email" : loaded});
        QCOMPARE(out.size(), loaded.isNull() ? 2 : 1);
        if (!loaded.isNull()) {
            QCOMPARE(onDisk(), QStringList{loaded});
            if (loaded != QLatin1StringView("Email"))
                QCOMPARE(storedBytes(path()), stored.toByteArray());
            return;
        }
        QVERIFY2(out.first().startsWith(QStringLiteral("Failed to decode shortcuts: ")), qPrintable(out.first()));
        const auto [name, bytes] = keptAside(QStringLiteral("shortcuts.v1.undecodable-*.json"));
        QCOMPARE(bytes, stored.toByteArray());
        QVERIFY2(out.first().contains(name), qPrintable(out.first()));
    }

    // A settings file or folder that is read-only or unreadable (as another user's is): the store keeps
    // running with the edit in memory, says so in one line and changes nothing on disk.
    void troubledSettingsFile_data()
    {
        QTest::addColumn<bool>("onFolder");
        QTest::addColumn<QFile::Permissions>("permissions");
        QTest::addColumn<QString>("line");
        using Mode = QFile::Permissions;
        QTest::newRow("read-only folder") << true << Mode(QFile::ReadOwner | QFile::ExeOwner) << QString();
        QTest::newRow("read-only file") << false << Mode(QFile::ReadOwner) << "Failed to save shortcuts: ";
        QTest::newRow("unreadable file") << false << Mode(QFile::WriteOwner) << " cannot be read";
    }

    void troubledSettingsFile()
    {
        QFETCH(bool, onFolder);
        QFETCH(QFile::Permissions, permissions);
        QFETCH(QString, line);
        // Any write would carry the added shortcut.
        const QByteArray mine = ShortcutItem::encodeList({shortcut(QStringLiteral("mine"))});
        writeStored(mine);
        if (geteuid() == 0) // everything belongs to the runner; the trouble is made afterwards
            QProcess::execute(QStringLiteral("chown"), {"-R", "nobody:nogroup", m_dir->path()});
        QVERIFY(QFile::setPermissions(onFolder ? folder() : path(), permissions));

        const QString out = driver(QStringLiteral("edit"), true).join(u'\n');
        QFile::setPermissions(folder(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QVERIFY2(out.contains(QStringLiteral("kept 2")), qPrintable(out));
        if (line.isEmpty()) {
            QVERIFY2(!out.contains(QStringLiteral("Failed")), qPrintable(out));
            QCOMPARE(ShortcutItem::decodeList(storedBytes(path()), nullptr).value_or(QList<ShortcutItem>()).size(), 2);
            return;
        }
        QVERIFY2(out.contains(line) && out.contains(path()), qPrintable(out));
        QCOMPARE(storedBytes(path()), mine);
    }

    // SIGKILL at random moments during a burst of saves: the file must always load, holding the last
    // acknowledged list or the one being written, and what a killed write leaves beside it is the
    // owner's alone.
    void killDuringBurstKeepsOldOrNewList()
    {
        writeStored(ShortcutItem::encodeList(hardening::series(0)));
        const quint32 seed = QRandomGenerator::global()->generate();
        qInfo("random seed %u", seed);
        QRandomGenerator random(seed);

        for (int round = 0; round < 160; ++round) {
            QProcess burst;
            burst.start(QStringLiteral(ZL_STORE_DRIVER), {QStringLiteral("burst"), path()});
            // A save syncs to disk and takes a few tens of milliseconds: the kill lands somewhere in a
            // burst after its first save, which a stale lock of the killed one before must not block.
            QByteArray output;
            while (!output.contains("saved ") && burst.waitForReadyRead(10000))
                output += burst.readAllStandardOutput();
            QVERIFY2(output.contains("saved "), qPrintable(QStringLiteral("round %1: no save").arg(round)));
            ::usleep(random.bounded(60000u));
            burst.kill();
            QVERIFY(burst.waitForFinished(10000));

            output += burst.readAllStandardOutput();
            const int acknowledged = output.mid(output.lastIndexOf("saved ") + 6).split('\n').first().toInt();
            QCOMPARE(QSettings(path(), QSettings::NativeFormat).status(), QSettings::NoError);
            QString error;
            const auto list = ShortcutItem::decodeList(storedBytes(path()), &error);
            const int onDisk = hardening::seriesStep(list.value_or(QList<ShortcutItem>()));
            QVERIFY2(onDisk == acknowledged || onDisk == acknowledged + 1,
                     qPrintable(QStringLiteral("round %1: saved %2, on disk %3 %4").arg(round).arg(acknowledged)
                                    .arg(onDisk).arg(error)));
        }

        // A write killed between Qt's link of its temporary copy and the rename leaves that copy (same
        // secrets) beside the file. Start-up cannot tell it from a user's file of that name, so it
        // stays: it must be the owner's alone. Lock files of killed writers hold only a process id.
        for (const QString &name : QDir(folder()).entryList(QDir::Files | QDir::Hidden)) {
            if (!name.endsWith(QLatin1StringView("lock")))
                QCOMPARE(QFile::permissions(folder() + u'/' + name) & ~(QFile::ReadUser | QFile::WriteUser),
                         QFile::ReadOwner | QFile::WriteOwner);
        }
    }

private:
    // Two folders that do not exist yet, as on a new account.
    QString path() const { return m_dir->filePath(QStringLiteral("config/zephyrlatch/zephyrlatch.conf")); }
    QString folder() const { return QFileInfo(path()).absolutePath(); }
    QStringList onDisk() const
    {
        return names(ShortcutItem::decodeList(storedBytes(path()), nullptr).value_or(QList{shortcut("?")}));
    }
    void writeStored(const QVariant &value)
    {
        QSettings(path(), QSettings::NativeFormat).setValue(QStringLiteral("shortcuts.v1"), value);
    }
    // Runs the store driver on the settings file, as "nobody" if asked and we are root; its output lines.
    QStringList driver(const QString &mode, bool asNobody = false)
    {
        QStringList arguments{QStringLiteral(ZL_STORE_DRIVER), mode, path()};
        if (asNobody && geteuid() == 0) {
            // The build folder may be closed to nobody (a checkout under /root): run a copy.
            const QString copy = m_dir->filePath(QStringLiteral("store_driver"));
            QFile::copy(arguments.first(), copy);
            QFile::setPermissions(copy, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther);
            arguments = QStringList{"--reuid=nobody", "--regid=nogroup", "--clear-groups", copy, mode, path()};
        }
        // Without options setpriv only runs the program.
        const ToolResult result = runTool(QStringLiteral("setpriv"), arguments, 30000);
        return result.exitCode == 0 ? QString::fromUtf8(result.output).split(u'\n', Qt::SkipEmptyParts)
                                    : QStringList{QStringLiteral("driver failed")};
    }
    // The one file in the settings folder whose name matches pattern, when it is the owner's alone.
    std::pair<QString, QByteArray> keptAside(const QString &pattern) const
    {
        const QStringList found = QDir(folder()).entryList({pattern}, QDir::Files);
        QFile file(folder() + u'/' + found.value(0));
        const bool ownerOnly = !(file.permissions() & (QFile::ReadGroup | QFile::ReadOther));
        if (found.size() != 1 || !ownerOnly || !file.open(QIODevice::ReadOnly))
            return {};
        return {found.first(), file.readAll()};
    }

    std::unique_ptr<QTemporaryDir> m_dir;
    FakeLoginItem m_login;
};

// A list the store takes is not rewritten by loading; one it cannot decode is kept exactly beside
// the settings, the report naming where on one line, and the sample replaces it.
void TestStore::storedList_data()
{
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<QString>("loaded");
    const QByteArray head = R"([{"id":"6f1c2b3a-1d2e-4f5a-8b9c-0d1e2f3a4b5c","name":")";
    const QByteArray tail =
        R"(","isEnabled":false,"actionType":"openURL","payload":"a.org","keyCode":0,"modifiers":256,"extra":[1]}])";
    QTest::newRow("empty array") << QVariant(QByteArray("[]")) << "Email";
    QTest::newRow("lower-case id, extra key") << QVariant(head + "x" + tail) << "x";
    QTest::newRow("raw control characters and NUL")
        << QVariant(head + QByteArray("tab\tbell\a\x1b[31m nul\0", 19) + tail)
        << QString::fromUtf16(u"tab\tbell\a\x1b[31m nul\0", 19);
    const QByteArray list = ShortcutItem::encodeList({shortcut("a"), shortcut("b")});
    QTest::newRow("unknown action") << QVariant(QByteArray(list).replace("runCommand", "dance")) << QString();
    QTest::newRow("text instead of bytes") << QVariant(QString::fromUtf8(list)) << QString();
    // The error quotes the id.
    QTest::newRow("id with a line break and a NUL") << QVariant(QByteArray(R"([{"id":"bad\n\u0000id","name":"a",)"
        R"("isEnabled":true,"actionType":"pasteText","payload":"","keyCode":0,"modifiers":0}])")) << QString();
    QTest::newRow("invalid UTF-8") << QVariant(head + "bad \xff\xfe \xc3" + tail) << QString();
    QTest::newRow("overlong UTF-8") << QVariant(head + "\xc0\xaf" + tail) << QString();
}

QTEST_GUILESS_MAIN(TestStore)
#include "tst_store.moc"
