#include <gio/gdesktopappinfo.h>

#include "SystemLog.h"
#include "XdgAutostart.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QtTest>

#include <cstdio>

#include <unistd.h>

using namespace zl;

class TestAutostart : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void registerWritesAnEntryThatLaunchesThisExactPath()
    {
        const QString folder = QStringLiteral("My Apps/zl \"x\" $HOME a\\b");
        QTemporaryDir home;
        // GIO refuses entries whose program does not exist.
        QVERIFY(QDir(home.path()).mkpath(folder));
        const QString executable = home.filePath(folder + QStringLiteral("/zephyrlatch"));
        QFile program(executable);
        QVERIFY(program.open(QIODevice::WriteOnly));
        program.setPermissions(QFile::ReadOwner | QFile::ExeOwner);
        XdgAutostart autostart(QStringLiteral("io.example.Test"), executable, home.path());
        // A file where the folder should be defeats every user, root included: reported with its path.
        QFile blocker(home.filePath(QStringLiteral("autostart")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        const auto reason = autostart.registerApp();
        QVERIFY(reason);
        QVERIFY2(reason->contains(blocker.fileName()), qPrintable(*reason));
        QVERIFY(blocker.remove());
        QCOMPARE(autostart.unregisterApp().value_or(QString()), QString()); // nothing to remove is no failure
        QCOMPARE(autostart.registerApp().value_or(QString()), QString());
        QCOMPARE(autostart.entryPath(), home.filePath(QStringLiteral("autostart/io.example.Test.desktop")));

        // GIO, the reference reader of desktop entries, must see the path as one unchanged word.
        GDesktopAppInfo *info =
            g_desktop_app_info_new_from_filename(QFile::encodeName(autostart.entryPath()).constData());
        QVERIFY(info);
        gint argc = 0;
        gchar **argv = nullptr;
        const bool parsed = g_shell_parse_argv(g_app_info_get_commandline(G_APP_INFO(info)), &argc, &argv, nullptr);
        g_object_unref(info);
        QVERIFY(parsed);
        const QString word = argc == 1 ? QString::fromUtf8(argv[0]) : QString();
        g_strfreev(argv);
        QCOMPARE(word, executable);

        QCOMPARE(autostart.unregisterApp().value_or(QString()), QString());
        QVERIFY(!QFile::exists(autostart.entryPath()));
    }

    void systemLogKeepsEachEventOnOneLine()
    {
        QTemporaryFile captured;
        QVERIFY(captured.open());
        std::fflush(stderr);
        const int saved = ::dup(STDERR_FILENO);
        ::dup2(captured.handle(), STDERR_FILENO);
        // Kept: backslashes and any printable character; escaped: line breaks and control characters.
        SystemLog().log(QStringLiteral("Grüße \\n 😀 a\nb\r\nc\u2028d\u2029e\t\x1b[31m\x7f\u0085\u009b") +
                        QChar(0) + u'f');
        ::dup2(saved, STDERR_FILENO);
        ::close(saved);
        QVERIFY(captured.seek(0));
        QCOMPARE(QString::fromUtf8(captured.readAll()),
                 QStringLiteral("Grüße \\n 😀 a\\nb\\r\\nc\\u2028d\\u2029e\\t\\x1b[31m\\x7f\\x85\\x9b\\x00f\n"));
    }
};

QTEST_GUILESS_MAIN(TestAutostart)
#include "tst_autostart.moc"
