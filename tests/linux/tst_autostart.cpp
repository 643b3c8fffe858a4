#include <gio/gdesktopappinfo.h>

#include "XdgAutostart.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace zl;

class TestAutostart : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void registerWritesAnEntryThatLaunchesThisExactPath_data();
    void registerWritesAnEntryThatLaunchesThisExactPath();
    void unregisterRemovesTheEntry();
};

void TestAutostart::registerWritesAnEntryThatLaunchesThisExactPath_data()
{
    QTest::addColumn<QString>("folder");
    QTest::newRow("plain") << QStringLiteral("bin");
    QTest::newRow("space, quote, dollar, backslash") << QStringLiteral("My Apps/zl \"x\" $HOME a\\b");
}

void TestAutostart::registerWritesAnEntryThatLaunchesThisExactPath()
{
    QFETCH(QString, folder);
    QTemporaryDir home;
    // GIO refuses entries whose program does not exist.
    QVERIFY(QDir(home.path()).mkpath(folder));
    const QString executable = home.filePath(folder + QStringLiteral("/zephyrlatch"));
    QFile program(executable);
    QVERIFY(program.open(QIODevice::WriteOnly));
    program.setPermissions(QFile::ReadOwner | QFile::ExeOwner);
    XdgAutostart autostart(QStringLiteral("io.example.Test"), executable, home.path());
    QVERIFY(autostart.registerApp());
    QCOMPARE(autostart.entryPath(), home.filePath(QStringLiteral("autostart/io.example.Test.desktop")));

    // GIO, the reference reader of desktop entries, must see the path as one unchanged word.
    GDesktopAppInfo *info = g_desktop_app_info_new_from_filename(QFile::encodeName(autostart.entryPath()).constData());
    QVERIFY(info);
    gint argc = 0;
    gchar **argv = nullptr;
    const bool parsed = g_shell_parse_argv(g_app_info_get_commandline(G_APP_INFO(info)), &argc, &argv, nullptr);
    QVERIFY(parsed);
    QCOMPARE(argc, 1);
    QCOMPARE(QString::fromUtf8(argv[0]), executable);
    g_strfreev(argv);
    g_object_unref(info);
}

void TestAutostart::unregisterRemovesTheEntry()
{
    QTemporaryDir home;
    XdgAutostart autostart(QStringLiteral("io.example.Test"), QStringLiteral("/bin/zl"), home.path());
    QVERIFY(autostart.unregisterApp());
    QVERIFY(autostart.registerApp());
    QVERIFY(QFile::exists(autostart.entryPath()));
    QVERIFY(autostart.unregisterApp());
    QVERIFY(!QFile::exists(autostart.entryPath()));
}

QTEST_GUILESS_MAIN(TestAutostart)
#include "tst_autostart.moc"
