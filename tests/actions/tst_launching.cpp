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
#include <QTemporaryDir>
#include <QTest>

#include <xcb/xcb.h>

#include <csignal>
#include <unistd.h>

#include <algorithm>
#include <memory>

using namespace Qt::StringLiterals;

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
        qputenv("HOME", bytes(u"home"_s));
        qputenv("XDG_DATA_HOME", bytes(u"data-home"_s));
        qputenv("XDG_DATA_DIRS", bytes(u"sys1"_s) + ':' + bytes(u"sys2"_s));
        qputenv("PATH", bytes(u"bin"_s) + ":/usr/bin:/bin");
        // Hostile launch names touch "pwned" in the working folder.
        QVERIFY(QDir::setCurrent(m_root.path()));

        const QByteArray marks = bytes(u"marks"_s);
        write(u"recording/sh"_s,
              "#!/bin/sh\nprintf '%s\\n' \"$#\" \"$@\" > " + marks + "/shell.$$\nexec /bin/sh -c \"$2\"\n");
        write(u"bin/mark"_s, "#!/bin/sh\necho \"$@\" > " + marks + "/\"$1\"\n");
        write(u"bin/xdg-open"_s, "#!/bin/sh\necho \"$1\" > " + marks + "/url.$$\n");
        write(u"execme"_s, "#!/bin/sh\necho ran > " + marks + "/exec\n");
        write(u"broken"_s, "#!/nonexistent/interpreter\n");
        write(u"document.txt"_s, "text", false);
        write(u"bin/startup-mark"_s, "#!/bin/sh\nprintf '%s' \"$DESKTOP_STARTUP_ID\" > " + marks + "/startup\n");
        // Login shells start from /etc/profile's PATH; a user's profile puts their own folders first.
        write(u"home/.profile"_s, "PATH=" + bytes(u"bin"_s) + ":$PATH\n", false);
        write(u"home/.config/fish/config.fish"_s,
              "status is-login; and set -gx PATH " + bytes(u"login-bin"_s) + " $PATH\n", false);
        QVERIFY(QDir().mkpath(path(u"other"_s)));
        QVERIFY(QFile::link(u"/usr/bin/fish"_s, path(u"other/zl-unknown-shell"_s)));

        const auto entry = [this](const QString &file, const QByteArray &name, const QByteArray &exec,
                                  const QByteArray &extra = {}) {
            write(file, "[Desktop Entry]\nType=Application\nName=" + name + "\nExec=" + exec + "\n" + extra, false);
        };
        const QByteArray mark = bytes(u"bin/mark"_s) + ' ';
        entry(u"data-home/applications/org.zl.ById.desktop"_s, "By Id", mark + "byid");
        entry(u"sys1/applications/plainfile.desktop"_s, "Plain File", mark + "plainfile");
        entry(u"sys2/applications/sub/named.desktop"_s, "Zl Named Viewer", mark + "named");
        entry(u"sys2/applications/org.zl.Hidden.desktop"_s, "Zl Hidden", mark + "hidden", "Hidden=true\n");
        entry(u"elsewhere/direct.desktop"_s, "Direct", mark + "direct");
        entry(u"sys1/applications/org.zl.Notify.desktop"_s, "Zl Notify", bytes(u"bin/startup-mark"_s),
              "StartupNotify=true\nStartupWMClass=ZlNotify\n");
        // A user's override that only hides the entry: not a loadable application for GIO.
        entry(u"sys1/applications/shadowed.desktop"_s, "Zl Shadowed", mark + "shadowed");
        write(u"data-home/applications/shadowed.desktop"_s, "[Desktop Entry]\nHidden=true\n", false);
    }

    // Each row and test starts from the defaults, whatever home the one before set; launch rows name their shell.
    void init()
    {
        qputenv("HOME", bytes(u"home"_s));
        qunsetenv("XDG_CONFIG_HOME");
        QDir(path(u"marks"_s)).removeRecursively();
        QVERIFY(QDir().mkpath(path(u"marks"_s)));
        QFile::remove(path(u"pwned"_s));
        m_log.lines.clear();
    }

    void launch_data()
    {
        QTest::addColumn<QString>("payload");
        QTest::addColumn<QString>("mark");
        QTest::addColumn<QString>("content");
        QTest::addColumn<QString>("shell");
        QTest::addColumn<QString>("folder"); // of a program named as the payload, if any
        // "@" stands for the temporary root; each mark file is written by what was launched.
        const auto row = [this](const char *name, const QString &payload, const QString &mark, const QString &content) {
            QTest::newRow(name) << payload << mark << content << path(u"recording/sh"_s) << QString();
        };
        row("desktop-file ID", u"org.zl.ById"_s, u"byid"_s, u"byid\n"_s);
        row("ID of an entry in a subfolder", u"sub/named"_s, u"named"_s, u"named\n"_s);
        row("name.desktop", u" plainfile.desktop "_s, u"plainfile"_s, u"plainfile\n"_s);
        row("name.desktop in a subfolder", u"sub/named.desktop"_s, u"named"_s, u"named\n"_s);
        row("Name ignoring case", u"zl named viewer"_s, u"named"_s, u"named\n"_s);
        row("path of a desktop entry", u"@/elsewhere/direct.desktop"_s, u"direct"_s, u"direct\n"_s);
        row("path of an executable", u"@/execme"_s, u"exec"_s, u"ran\n"_s);
        row("path of a document", u"@/document.txt"_s, u"url.*"_s, u"file://@/document.txt\n"_s);
        // The recording shell's arguments: these fall back to the user's login shell.
        for (const char *name : {"gone.desktop", "org.zl.Hidden", "shadowed", "shadowed.desktop"})
            row(name, QString::fromLatin1(name), u"shell.*"_s, u"2\n-lc\n'%1'\n"_s.arg(QLatin1StringView(name)));

        // Each name is also a program's file name: that program runs only if the name reached exec as one
        // word. The unknown shell is fish under another name: it must never be handed the name to parse.
        const QStringList names{u"x\\'; touch pwned; echo \\'"_s, u"x'; touch pwned; echo '"_s,
                                u"$(touch pwned)(touch pwned)`touch pwned`${X:-y}"_s, u"a\ntouch pwned"_s,
                                u"it's \\ \"q\" * ~ \u00dcbersicht end\\"_s};
        const QString unknown = path(u"other/zl-unknown-shell"_s);
        const QStringList shells{"/bin/sh", "/bin/dash", "/bin/bash", "/bin/zsh", "/bin/ksh", "/bin/mksh", "/bin/fish"};
        for (const QString &shell : shells + QStringList{unknown}) {
            for (qsizetype i = 0; i < names.size(); ++i)
                QTest::addRow("%s, name %lld", qPrintable(shell), qlonglong(i))
                    << names.at(i) << "literal" << "ran\n" << shell << "bin";
        }
        QTest::newRow("unknown shell, on its login PATH only")
            << "zl-login-only" << "literal" << "ran\n" << unknown << "login-bin";
    }

    void launch()
    {
        QFETCH(QString, payload);
        QFETCH(QString, mark);
        QFETCH(QString, content);
        QFETCH(QString, shell);
        QFETCH(QString, folder);
        qputenv("SHELL", shell.toUtf8());
        if (!folder.isEmpty())
            write(folder + u'/' + payload, "#!/bin/sh\necho ran > " + bytes(u"marks/literal"_s) + "\n");
        run(ActionType::LaunchApp, payload.replace(u'@', m_root.path()));
        QTRY_COMPARE_WITH_TIMEOUT(marks(mark).size(), 1, 10000);
        QTRY_COMPARE(read(u"marks/"_s + marks(mark).first()), content.replace(u'@', m_root.path()));
        // Launched children are reaped in batches; the fallback rows add no other way of starting one.
        // A loaded machine can keep a login shell busy for seconds: the deadline is generous.
        if (folder.isEmpty())
            QTRY_COMPARE_WITH_TIMEOUT(children(), 0, 15000);
        QVERIFY(!QFileInfo::exists(path(u"pwned"_s)));
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
        // Startup messages are the only client messages sent to the private server's root window.
        QByteArray message;
        // An empty append to a property of the root window; its notice carries the server's time.
        const auto serverTime = [&] {
            xcb_change_property(x, XCB_PROP_MODE_APPEND, root, XCB_ATOM_WM_NAME, XCB_ATOM_STRING, 8, 0, nullptr);
            xcb_flush(x);
            xcb_timestamp_t time = 0;
            while (time == 0 && !message.contains('\0')) {
                xcb_generic_event_t *event = xcb_wait_for_event(x);
                if (!event)
                    break;
                if ((event->response_type & 0x7f) == XCB_PROPERTY_NOTIFY)
                    time = reinterpret_cast<xcb_property_notify_event_t *>(event)->time;
                if ((event->response_type & 0x7f) == XCB_CLIENT_MESSAGE)
                    message.append(reinterpret_cast<const char *>(
                                       reinterpret_cast<xcb_client_message_event_t *>(event)->data.data8), 20);
                free(event);
            }
            return time;
        };
        const xcb_timestamp_t before = serverTime();

        run(ActionType::LaunchApp, u"org.zl.Notify"_s);
        QTRY_VERIFY(!read(u"marks/startup"_s).isEmpty());
        const QString id = read(u"marks/startup"_s);
        const QRegularExpressionMatch form = QRegularExpression(u"_TIME(\\d+)$"_s).match(id);
        QVERIFY2(form.hasMatch(), qPrintable(id));
        QTRY_VERIFY([&] {
            serverTime();
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
        const QString home = u"warm/"_s + QFileInfo(shell).fileName();
        const QByteArray out = bytes(home), loginBin = bytes(u"login-bin"_s);
        const auto profile = [&](const QByteArray &mark) {
            const QByteArray posix =
                "echo $$ >>" + out + "/logins\nexport ZL_LOGIN=$$ ZL_MARK=" + mark + "\nPATH=" + loginBin + ":$PATH\n";
            write(home + u"/.profile"_s, posix, false);
            write(home + u"/.zprofile"_s, posix, false);
            const QByteArray fish = "echo $fish_pid >>" + out + "/logins\nset -gx ZL_LOGIN $fish_pid\n"
                                    "set -gx ZL_MARK " + mark + "\nset -gx PATH " + loginBin + " $PATH\n";
            write(home + u"/.config/fish/config.fish"_s, fish, false);
        };
        profile("one");
        qputenv("SHELL", shell.toUtf8());
        qputenv("HOME", out);
        qputenv("XDG_CONFIG_HOME", out + "/.config");
        // Quotes, a continued line, $ and backslashes; each shell reads them its own way, the same both times.
        const QString command = QString::fromUtf8("printf '[%s]\\n' \"a  b\" 'c\\d' \"e\\$f\" 'g\"h' 'i\\\\' \u00fc "
                                                  "\"$ZL_MARK\" \"$PATH\" >OUT/probe\n"
                                                  "printf '%s\\n' x\\\ny >>OUT/probe\n"
                                                  "ls /proc/self/fd >>OUT/probe\n"
                                                  "readlink /proc/self/fd/0 /proc/self/fd/2 >>OUT/probe\n"
                                                  "grep -E '^Sig(Blk|Ign)' /proc/self/status >>OUT/probe\n"
                                                  "echo \"$ZL_LOGIN\" >OUT/pid\n"
                                                  "echo run >>OUT/runs").replace(u"OUT"_s, QString::fromUtf8(out));
        const auto lines = [&](const char *file) {
            return read(home + u'/' + QLatin1StringView(file)).split(u'\n', Qt::SkipEmptyParts);
        };
        PosixProcessLauncher processes;
        ActionExecutor warm(ActionServices{processes, m_workspace, m_pasteboard, m_keys, m_scheduler, m_log});
        // Each press leaves the pid of the login shell that ran it and the command's probe.
        const auto press = [&](ActionExecutor &through) {
            QFile::remove(path(home + u"/pid"_s));
            through.run(test::shortcut({}, ActionType::RunCommand, command));
            const bool ran = QTest::qWaitFor([&] { return !lines("pid").isEmpty(); }, 10000);
            return std::pair(ran ? lines("pid").first() : QString(), read(home + u"/probe"_s));
        };

        // Ours, which no command may inherit (they stay so for the tests after, which do not mind):
        // an ignored signal and a blocked one.
        signal(SIGUSR1, SIG_IGN);
        sigset_t usr2;
        sigemptyset(&usr2);
        sigaddset(&usr2, SIGUSR2);
        pthread_sigmask(SIG_BLOCK, &usr2, nullptr);
        const auto [coldPid, cold] = press(m_executor);
        QVERIFY(!coldPid.isEmpty());
        QVERIFY2(cold.contains(u"[one]\n["_s + QString::fromUtf8(loginBin)), qPrintable(cold));
        QVERIFY2(cold.contains(u"xy\n0\n1\n2\n3\n/dev/null\n/dev/null\nSigBlk:\t0000000000000000\n"_s), qPrintable(cold));
        const QString ignored = QRegularExpression(u"SigIgn:\t(\\w+)"_s).match(cold).captured(1);
        QVERIFY2(!(ignored.toULongLong(nullptr, 16) & (1u << (SIGUSR1 - 1))), qPrintable(cold));
        processes.warmUp();
        QTRY_COMPARE_WITH_TIMEOUT(lines("logins").size(), 2, 10000);
        const QStringList before = lines("logins");

        const auto [warmPid, warmProbe] = press(warm);
        QVERIFY2(warmPid != coldPid && before.contains(warmPid), qPrintable(before.join(u' ') + u'/' + warmPid));
        QCOMPARE(warmProbe, cold);

        QTRY_COMPARE_WITH_TIMEOUT(lines("logins").size(), 3, 10000);
        const QStringList ready = lines("logins");
        profile("two");
        const auto [editedPid, edited] = press(warm);
        QVERIFY(!ready.contains(editedPid));
        QCOMPARE(edited, QString(cold).replace(u"[one]"_s, u"[two]"_s));

        // Another shell makes the waiting one stale: it ends, and nothing of the three presses is left.
        // That shell does not start, for a command and for a launch's fallback, nor does an executable
        // whose interpreter is missing: each error is logged as data, never as a format.
        QVERIFY(m_log.lines.isEmpty());
        const QByteArray missing("/nonexistent/%s%n/bash");
        qputenv("SHELL", missing);
        warm.run(test::shortcut({}, ActionType::RunCommand, u"true"_s));
        warm.run(test::shortcut({}, ActionType::LaunchApp, u"zl-missing"_s));
        warm.run(test::shortcut({}, ActionType::LaunchApp, path(u"broken"_s)));
        QTRY_COMPARE_WITH_TIMEOUT(children(false), 0, 10000);
        QCOMPARE(lines("runs").size(), 3);
        const QString failure = u"Zephyrlatch: failed to run command: %1: No such file or directory"_s;
        const QString noShell = failure.arg(QString::fromUtf8(missing));
        QCOMPARE(m_log.lines, (QStringList{noShell, noShell, failure.arg(path(u"broken"_s))}));
    }

private:
    // Scripts are executable unless said otherwise.
    void write(const QString &relative, const QByteArray &content, bool executable = true)
    {
        QFile out(path(relative));
        QVERIFY(QDir().mkpath(QFileInfo(out).path()));
        QVERIFY(out.open(QIODevice::WriteOnly | QIODevice::Truncate) && out.write(content) == content.size());
        // Closed on return, before anything runs it.
        if (executable)
            QVERIFY(out.setPermissions(out.permissions() | QFileDevice::ExeOwner));
    }

    QString path(const QString &relative) const { return m_root.filePath(relative); }
    QByteArray bytes(const QString &relative) const { return path(relative).toUtf8(); }
    QString read(const QString &relative) const
    {
        QFile in(path(relative));
        return in.open(QIODevice::ReadOnly) ? QString::fromUtf8(in.readAll()) : QString();
    }

    QStringList marks(const QString &pattern) const { return QDir(path(u"marks"_s)).entryList({pattern}, QDir::Files); }
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
