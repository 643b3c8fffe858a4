#include "ActionExecutor.h"
#include "EventLoopScheduler.h"
#include "FakeLogSink.h"
#include "FakePasteboard.h"
#include "FakeSyntheticKeys.h"
#include "GioWorkspace.h"
#include "PosixProcessLauncher.h"
#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <xcb/xcb.h>

#include <unistd.h>

#include <algorithm>
#include <memory>

namespace zl {

// Real processes, real desktop entries through GIO and a recording xdg-open, all inside a
// temporary tree that stands in for the XDG folders, PATH and the user's shell.
class TestLaunching : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_root.isValid());
        // Before the first GIO call: GLib reads the XDG folders once.
        qputenv("HOME", path(QStringLiteral("home")).toUtf8());
        qputenv("XDG_DATA_HOME", path(QStringLiteral("data-home")).toUtf8());
        qputenv("XDG_DATA_DIRS", (path(QStringLiteral("sys1")) + u':' + path(QStringLiteral("sys2"))).toUtf8());
        qputenv("PATH", path(QStringLiteral("bin")).toUtf8() + ":/usr/bin:/bin");
        qputenv("SHELL", path(QStringLiteral("recording/sh")).toUtf8());
        // Hostile launch names touch "pwned" in the working folder.
        QVERIFY(QDir::setCurrent(m_root.path()));

        const QByteArray marks = path(QStringLiteral("marks")).toUtf8();
        write(QStringLiteral("recording/sh"),
              "#!/bin/sh\nprintf '%s\\n' \"$#\" \"$@\" > " + marks + "/shell.$$\nexec /bin/sh -c \"$2\"\n", true);
        write(QStringLiteral("bin/mark"), "#!/bin/sh\necho \"$@\" > " + marks + "/\"$1\"\n", true);
        write(QStringLiteral("bin/xdg-open"), "#!/bin/sh\necho \"$1\" > " + marks + "/url.$$\n", true);
        write(QStringLiteral("execme"), "#!/bin/sh\necho ran > " + marks + "/exec\n", true);
        write(QStringLiteral("document.txt"), "text");
        write(QStringLiteral("bin/startup-mark"),
              "#!/bin/sh\nprintf '%s' \"$DESKTOP_STARTUP_ID\" > " + marks + "/startup\n", true);
        // Login shells start from /etc/profile's PATH; a user's profile puts their own folders first.
        write(QStringLiteral("home/.profile"), "PATH=" + path(QStringLiteral("bin")).toUtf8() + ":$PATH\n");
        write(QStringLiteral("home/.config/fish/config.fish"),
              "status is-login; and set -gx PATH " + path(QStringLiteral("login-bin")).toUtf8() + " $PATH\n");
        QVERIFY(QDir().mkpath(path(QStringLiteral("other"))));
        QVERIFY(QFile::link(QStringLiteral("/usr/bin/fish"), path(QStringLiteral("other/zl-unknown-shell"))));

        const auto entry = [this](const QString &file, const QByteArray &name, const QByteArray &exec,
                                  const QByteArray &extra = {}) {
            write(file, "[Desktop Entry]\nType=Application\nName=" + name + "\nExec=" + exec + "\n" + extra);
        };
        const QByteArray mark = path(QStringLiteral("bin/mark")).toUtf8() + ' ';
        entry(QStringLiteral("data-home/applications/org.zl.ById.desktop"), "By Id", mark + "byid");
        entry(QStringLiteral("sys1/applications/plainfile.desktop"), "Plain File", mark + "plainfile");
        entry(QStringLiteral("sys2/applications/sub/named.desktop"), "Zl Named Viewer", mark + "named");
        entry(QStringLiteral("sys2/applications/org.zl.Hidden.desktop"), "Zl Hidden", mark + "hidden", "Hidden=true\n");
        entry(QStringLiteral("elsewhere/direct.desktop"), "Direct", mark + "direct");
        entry(QStringLiteral("sys1/applications/org.zl.Notify.desktop"), "Zl Notify",
              path(QStringLiteral("bin/startup-mark")).toUtf8(), "StartupNotify=true\nStartupWMClass=ZlNotify\n");
        // A user's override that only hides the entry: not a loadable application for GIO.
        entry(QStringLiteral("sys1/applications/shadowed.desktop"), "Zl Shadowed", mark + "shadowed");
        write(QStringLiteral("data-home/applications/shadowed.desktop"), "[Desktop Entry]\nHidden=true\n");
    }

    void init()
    {
        QDir(path(QStringLiteral("marks"))).removeRecursively();
        QVERIFY(QDir().mkpath(path(QStringLiteral("marks"))));
        QFile::remove(path(QStringLiteral("pwned")));
        m_log.lines.clear();
    }

    void launch_data()
    {
        QTest::addColumn<QString>("payload");
        QTest::addColumn<QString>("mark");
        QTest::addColumn<QString>("content");
        // "@" stands for the temporary root; each mark file is written by what was launched.
        QTest::newRow("desktop-file ID") << "org.zl.ById" << "byid" << "byid\n";
        QTest::newRow("ID of an entry in a subfolder") << "sub/named" << "named" << "named\n";
        QTest::newRow("name.desktop") << " plainfile.desktop " << "plainfile" << "plainfile\n";
        QTest::newRow("name.desktop in a subfolder") << "sub/named.desktop" << "named" << "named\n";
        QTest::newRow("Name ignoring case") << "zl named viewer" << "named" << "named\n";
        QTest::newRow("path of a desktop entry") << "@/elsewhere/direct.desktop" << "direct" << "direct\n";
        QTest::newRow("path of an executable") << "@/execme" << "exec" << "ran\n";
        QTest::newRow("path of a document") << "@/document.txt" << "url.*" << "file://@/document.txt\n";
        QTest::newRow("name.desktop nowhere falls back to the shell")
            << "gone.desktop" << "shell.*" << "2\n-lc\n'gone.desktop'\n";
        QTest::newRow("hidden entry falls back to the shell")
            << "org.zl.Hidden" << "shell.*" << "2\n-lc\n'org.zl.Hidden'\n";
        QTest::newRow("ID hidden by the user's override") << "shadowed" << "shell.*" << "2\n-lc\n'shadowed'\n";
        QTest::newRow("name.desktop hidden by the user's override")
            << "shadowed.desktop" << "shell.*" << "2\n-lc\n'shadowed.desktop'\n";
    }

    void launch()
    {
        QFETCH(QString, payload);
        QFETCH(QString, mark);
        QFETCH(QString, content);
        run(ActionType::LaunchApp, payload.replace(u'@', m_root.path()));
        QTRY_COMPARE(marks(mark).size(), 1);
        QTRY_COMPARE(read(QStringLiteral("marks/") + marks(mark).first()), content.replace(u'@', m_root.path()));
        QTRY_COMPARE(children(), 0);
        QVERIFY(m_log.lines.isEmpty());
    }

    // An executable whose interpreter is missing cannot start: said in the log, not passed over.
    void executableThatCannotStartIsLogged()
    {
        write(QStringLiteral("broken"), "#!/nonexistent/interpreter\n", true);
        run(ActionType::LaunchApp, path(QStringLiteral("broken")));
        QCOMPARE(m_log.lines, QStringList{QStringLiteral("Zephyrlatch: failed to run command: %1: No such file or directory")
                                              .arg(path(QStringLiteral("broken")))});
    }

    void fallbackRunsTheNameAsOneWord_data()
    {
        QTest::addColumn<QString>("shell");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("folder");
        const QStringList names{
            QStringLiteral("x\\'; touch pwned; echo \\'"),
            QStringLiteral("x'; touch pwned; echo '"),
            QStringLiteral("$(touch pwned)(touch pwned)`touch pwned`${X:-y}"),
            QStringLiteral("a\ntouch pwned"),
            QStringLiteral("it's \\ \"q\" * ~ \u00dcbersicht end\\"),
        };
        // The unknown shell is fish under another name: it must never be handed the name to parse.
        const QString unknown = path(QStringLiteral("other/zl-unknown-shell"));
        const QStringList shells{"/bin/sh", "/bin/dash", "/bin/bash", "/bin/zsh", "/bin/ksh", "/bin/mksh", "/bin/fish"};
        for (const QString &shell : shells + QStringList{unknown}) {
            for (qsizetype i = 0; i < names.size(); ++i)
                QTest::addRow("%s, name %lld", qPrintable(shell), qlonglong(i)) << shell << names.at(i) << "bin";
        }
        QTest::newRow("unknown shell, on its login PATH only") << unknown << "zl-login-only" << "login-bin";
    }

    // Each name is also a program's file name: that program runs only if the name reached exec as one word.
    void fallbackRunsTheNameAsOneWord()
    {
        QFETCH(QString, shell);
        QFETCH(QString, name);
        QFETCH(QString, folder);
        const QString program = folder + u'/' + name;
        write(program, "#!/bin/sh\necho ran > " + path(QStringLiteral("marks/literal")).toUtf8() + "\n", true);
        const QByteArray saved = qgetenv("SHELL");
        qputenv("SHELL", shell.toUtf8());
        run(ActionType::LaunchApp, name);
        qputenv("SHELL", saved);
        QTRY_COMPARE_WITH_TIMEOUT(read(QStringLiteral("marks/literal")), QStringLiteral("ran\n"), 10000);
        QVERIFY(!QFileInfo::exists(path(QStringLiteral("pwned"))));
        QVERIFY(QFile::remove(path(program)));
        QVERIFY(m_log.lines.isEmpty());
    }

    // An independent X client watches the root window for the startup messages a window manager reads.
    void launchCarriesStartupNotification()
    {
        xcb_connection_t *x = xcb_connect(nullptr, nullptr);
        const std::unique_ptr<xcb_connection_t, void (*)(xcb_connection_t *)> closer(x, xcb_disconnect);
        QVERIFY(!xcb_connection_has_error(x));
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(x)).data->root;
        const uint32_t events = XCB_EVENT_MASK_PROPERTY_CHANGE;
        xcb_change_window_attributes(x, root, XCB_CW_EVENT_MASK, &events);
        const auto atom = [x](const QByteArray &name) {
            xcb_intern_atom_reply_t *reply =
                xcb_intern_atom_reply(x, xcb_intern_atom(x, 0, quint16(name.size()), name.constData()), nullptr);
            const xcb_atom_t result = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
            free(reply);
            return result;
        };
        // An empty append to a property of the root window; its notice carries the server's time.
        const auto serverTime = [x, root] {
            xcb_change_property(x, XCB_PROP_MODE_APPEND, root, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8, 0, nullptr);
            xcb_flush(x);
            while (xcb_generic_event_t *event = xcb_wait_for_event(x)) {
                const bool notify = (event->response_type & 0x7f) == XCB_PROPERTY_NOTIFY;
                const xcb_timestamp_t time = notify ? reinterpret_cast<xcb_property_notify_event_t *>(event)->time : 0;
                free(event);
                if (notify)
                    return time;
            }
            return xcb_timestamp_t(0);
        };
        const xcb_atom_t begin = atom("_NET_STARTUP_INFO_BEGIN"), more = atom("_NET_STARTUP_INFO");
        const xcb_timestamp_t before = serverTime();

        run(ActionType::LaunchApp, QStringLiteral("org.zl.Notify"));
        QTRY_VERIFY(!read(QStringLiteral("marks/startup")).isEmpty());
        const QString id = read(QStringLiteral("marks/startup"));
        const QRegularExpressionMatch form = QRegularExpression(QStringLiteral("_TIME(\\d+)$")).match(id);
        QVERIFY2(form.hasMatch(), qPrintable(id));

        QByteArray message;
        QTRY_VERIFY([&] {
            while (xcb_generic_event_t *event = xcb_poll_for_event(x)) {
                const auto *client = reinterpret_cast<xcb_client_message_event_t *>(event);
                const bool startup = client->type == begin || client->type == more;
                if ((event->response_type & 0x7f) == XCB_CLIENT_MESSAGE && startup) {
                    if (client->type == begin)
                        message.clear();
                    message.append(reinterpret_cast<const char *>(client->data.data8), 20);
                }
                free(event);
            }
            return message.contains('\0');
        }());
        message.truncate(message.indexOf('\0'));
        QVERIFY2(message.startsWith("new: ID=" + id.toUtf8() + ' '), message.constData());
        QVERIFY2(message.contains(" NAME=\"Zl Notify\"") && message.contains(" WMCLASS=ZlNotify"), message.constData());
        // The X server's clock, not the wall clock: window managers compare it with input event times.
        const xcb_timestamp_t after = serverTime();
        QVERIFY(before <= form.captured(1).toUInt() && form.captured(1).toUInt() <= after);
    }

    void warmLoginShellRunsTheCommandAsTheColdStartWould_data()
    {
        QTest::addColumn<QString>("shell");
        for (const char *shell : {"/bin/sh", "/bin/dash", "/bin/bash", "/bin/zsh", "/bin/ksh", "/bin/ksh93",
                                  "/bin/mksh", "/bin/mksh-static", "/usr/bin/fish"})
            QTest::newRow(shell) << QString::fromLatin1(shell);
    }

    // The cold start gives the reference. Then the waiting shell serves a press (its profile ran before
    // the press); after a profile edit the shell that waits since must not. Each profile records its
    // shell's pid and exports it.
    void warmLoginShellRunsTheCommandAsTheColdStartWould()
    {
        QFETCH(QString, shell);
        if (!QFileInfo(shell).isExecutable())
            QSKIP("shell not installed");
        const QString home = QStringLiteral("warm/") + QFileInfo(shell).fileName();
        const QByteArray out = path(home).toUtf8(), loginBin = path(QStringLiteral("login-bin")).toUtf8();
        const auto profile = [&](const QByteArray &mark) {
            const QByteArray posix =
                "echo $$ >>" + out + "/logins\nexport ZL_LOGIN=$$ ZL_MARK=" + mark + "\nPATH=" + loginBin + ":$PATH\n";
            write(home + QStringLiteral("/.profile"), posix);
            write(home + QStringLiteral("/.zprofile"), posix);
            write(home + QStringLiteral("/.config/fish/config.fish"),
                  "echo $fish_pid >>" + out + "/logins\nset -gx ZL_LOGIN $fish_pid\nset -gx ZL_MARK " + mark +
                      "\nset -gx PATH " + loginBin + " $PATH\n");
        };
        profile("one");
        const QByteArray saved[] = {qgetenv("SHELL"), qgetenv("HOME"), qgetenv("XDG_CONFIG_HOME")};
        const auto restore = qScopeGuard([&] {
            qputenv("SHELL", saved[0]);
            qputenv("HOME", saved[1]);
            qputenv("XDG_CONFIG_HOME", saved[2]);
        });
        qputenv("SHELL", shell.toUtf8());
        qputenv("HOME", out);
        qputenv("XDG_CONFIG_HOME", out + "/.config");
        // Quotes, a continued line, $ and backslashes; each shell reads them its own way, the same both times.
        const QString command = QString::fromUtf8("printf '[%s]\\n' \"a  b\" 'c\\d' \"e\\$f\" 'g\"h' 'i\\\\' \u00fc "
                                                  "\"$ZL_MARK\" \"$PATH\" >OUT/probe\n"
                                                  "printf '%s\\n' x\\\ny >>OUT/probe\n"
                                                  "ls /proc/self/fd >>OUT/probe\n"
                                                  "readlink /proc/self/fd/0 /proc/self/fd/2 >>OUT/probe\n"
                                                  "echo \"$ZL_LOGIN\" >OUT/pid\n"
                                                  "echo run >>OUT/runs")
                                    .replace(QStringLiteral("OUT"), QString::fromUtf8(out));
        const auto lines = [&](const char *file) {
            return read(home + u'/' + QLatin1StringView(file)).split(u'\n', Qt::SkipEmptyParts);
        };
        const auto probe = [&] { return read(home + QStringLiteral("/probe")); };
        PosixProcessLauncher processes;
        ActionExecutor warm(ActionServices{processes, m_workspace, m_pasteboard, m_keys, m_scheduler, m_log});
        // Each press leaves the pid of the login shell that ran it.
        const auto press = [&](ActionExecutor &through) {
            QFile::remove(path(home + QStringLiteral("/pid")));
            through.run(test::shortcut({}, ActionType::RunCommand, command));
        };

        press(m_executor);
        QTRY_VERIFY_WITH_TIMEOUT(!lines("pid").isEmpty(), 10000);
        const QString coldPid = lines("pid").first(), cold = probe();
        QVERIFY2(cold.contains(QStringLiteral("[one]\n[") + QString::fromUtf8(loginBin)), qPrintable(cold));
        QVERIFY2(cold.endsWith(QStringLiteral("xy\n0\n1\n2\n3\n/dev/null\n/dev/null\n")), qPrintable(cold));
        processes.warmUp();
        QTRY_COMPARE_WITH_TIMEOUT(lines("logins").size(), 2, 10000);
        const QStringList before = lines("logins");

        press(warm);
        QTRY_VERIFY_WITH_TIMEOUT(!lines("pid").isEmpty(), 10000);
        const QString warmPid = lines("pid").first();
        QVERIFY2(warmPid != coldPid && before.contains(warmPid), qPrintable(before.join(u' ') + u'/' + warmPid));
        QCOMPARE(probe(), cold);

        QTRY_COMPARE_WITH_TIMEOUT(lines("logins").size(), 3, 10000);
        const QStringList ready = lines("logins");
        profile("two");
        press(warm);
        QTRY_VERIFY_WITH_TIMEOUT(!lines("pid").isEmpty(), 10000);
        QVERIFY(!ready.contains(lines("pid").first()));
        QCOMPARE(probe(), QString(cold).replace(QStringLiteral("[one]"), QStringLiteral("[two]")));

        // Another shell makes the waiting one stale: it ends, and nothing of the three presses is left.
        // That shell does not start, for a command and for a launch's fallback: the error is logged as
        // data, never as a format.
        QVERIFY(m_log.lines.isEmpty());
        const QByteArray missing("/nonexistent/%s%n/bash");
        qputenv("SHELL", missing);
        warm.run(test::shortcut({}, ActionType::RunCommand, QStringLiteral("true")));
        warm.run(test::shortcut({}, ActionType::LaunchApp, QStringLiteral("zl-missing")));
        QTRY_COMPARE_WITH_TIMEOUT(children(false), 0, 10000);
        QCOMPARE(lines("runs").size(), 3);
        const QString failure = QStringLiteral("Zephyrlatch: failed to run command: %1: No such file or directory");
        QCOMPARE(m_log.lines, QStringList(2, failure.arg(QString::fromUtf8(missing))));
    }

private:
    void write(const QString &relative, const QByteArray &content, bool executable = false)
    {
        QFile out(path(relative));
        QVERIFY(QDir().mkpath(QFileInfo(out).path()));
        QVERIFY(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
        out.write(content);
        out.close();
        if (executable)
            QVERIFY(out.setPermissions(out.permissions() | QFileDevice::ExeOwner));
    }

    QString path(const QString &relative) const { return m_root.filePath(relative); }
    QString read(const QString &relative) const
    {
        QFile in(path(relative));
        return in.open(QIODevice::ReadOnly) ? QString::fromUtf8(in.readAll()) : QString();
    }

    QStringList marks(const QString &pattern) const
    {
        return QDir(path(QStringLiteral("marks"))).entryList({pattern}, QDir::Files);
    }
    void run(ActionType type, const QString &payload) { m_executor.run(test::shortcut({}, type, payload)); }
    static int children(bool zombiesOnly = true)
    {
        const QList<test::ChildProcess> all = test::childrenOf(getpid());
        return int(std::ranges::count_if(all, [&](const auto &child) { return !zombiesOnly || child.state == 'Z'; }));
    }

    QTemporaryDir m_root;
    EventLoopScheduler m_scheduler;
    FakeJournal m_journal{m_scheduler};
    FakePasteboard m_pasteboard{m_journal};
    FakeSyntheticKeys m_keys{m_journal, m_pasteboard};
    // Commands start their (recording) shell when they run; the waiting login shell has a test of its own.
    PosixProcessLauncher m_processes{false};
    GioWorkspace m_workspace;
    FakeLogSink m_log;
    ActionExecutor m_executor{ActionServices{m_processes, m_workspace, m_pasteboard, m_keys, m_scheduler, m_log}};
};

} // namespace zl

QTEST_MAIN(zl::TestLaunching)
#include "tst_launching.moc"
