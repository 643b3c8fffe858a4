// Hostile texts and bytes in the stored list, and a settings file or folder that is missing,
// read-only, unreadable, a folder, or someone else's: the store keeps running, says so in one
// line and loses nothing. The file cases run the store in another process, as "nobody" when
// this test runs as root (root ignores permission bits).
#include "SettingsStore.h"

#include "FakeLoginItem.h"

#include <QDir>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include <pwd.h>
#include <unistd.h>

using namespace zl;

namespace {

const QString kKey = QStringLiteral("shortcuts.v1");

ShortcutItem item(const QString &name, const QString &payload)
{
    return ShortcutItem{QUuid::createUuid(), name, true, ActionType::RunCommand, payload, 3, Modifier::Command};
}

QString controlCharacters()
{
    QString text;
    for (char16_t c = 1; c < 0x20; ++c)
        text += QChar(c);
    return text + QChar(0x7f) + QChar(0x85) + QChar(0x9b) + QChar(0x202e) + QChar(0xfeff) + QChar(0x2028);
}

QByteArray storedBytes(const QString &path)
{
    return QSettings(path, QSettings::NativeFormat).value(kKey).toByteArray();
}

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestHostileFiles : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void hostileTextsSurviveSaveAndLoad_data();
    void hostileTextsSurviveSaveAndLoad();
    void storedBytesAreKeptExactly_data();
    void storedBytesAreKeptExactly();
    void troubledSettingsFile_data();
    void troubledSettingsFile();

private:
    QString path() const { return m_dir->filePath(QStringLiteral("config/zephyrlatch/zephyrlatch.conf")); }
    QString driver(const QString &file, int *exitCode);

    std::unique_ptr<QTemporaryDir> m_dir;
    FakeLoginItem m_login;
};

void TestHostileFiles::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(QDir().mkpath(QFileInfo(path()).absolutePath()));
}

// Runs the store driver's edit mode, as "nobody" when we are root; returns its standard output.
QString TestHostileFiles::driver(const QString &file, int *exitCode)
{
    QProcess process;
    QString program = QCoreApplication::applicationDirPath() + QStringLiteral("/store_driver");
    QStringList arguments{QStringLiteral("edit"), file};
    if (geteuid() == 0) {
        // The build folder may be closed to nobody (a checkout under /root): run a copy.
        const QString copy = m_dir->filePath(QStringLiteral("store_driver"));
        if (!QFile::exists(copy) && QFile::copy(program, copy))
            QFile::setPermissions(copy, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther);
        program = copy;
        arguments = QStringList{QStringLiteral("--reuid=nobody"), QStringLiteral("--regid=nogroup"),
                                QStringLiteral("--clear-groups"), program} +
                    arguments;
        program = QStringLiteral("setpriv");
    }
    process.start(program, arguments);
    process.waitForFinished(30000);
    *exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return QString::fromUtf8(process.readAllStandardOutput() + process.readAllStandardError());
}

void TestHostileFiles::hostileTextsSurviveSaveAndLoad_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("payload");
    QTest::newRow("format directives") << "%n%s%x%p%%n %1 {0}" << "printf '%n%s' %1 $1 \\n";
    QTest::newRow("control characters") << controlCharacters() << controlCharacters() + u'\0' + QStringLiteral("end");
    QString megabyte;
    for (int i = 0; megabyte.size() < 1024 * 1024; ++i)
        megabyte += QStringLiteral("line %1 \u00e9\U0001F600 \"quoted\" \\ ;\n").arg(i);
    QTest::newRow("1 MB texts") << megabyte << megabyte;
    QTest::newRow("INI syntax") << "[General]\nshortcuts.v1=@ByteArray()" << "\"@Variant(\\0)\" ; # = \\x00";
}

void TestHostileFiles::hostileTextsSurviveSaveAndLoad()
{
    QFETCH(QString, name);
    QFETCH(QString, payload);
    const ShortcutItem hostile = item(name, payload);
    {
        SettingsStore store(m_login, path());
        store.addShortcut(hostile);
    }
    SettingsStore again(m_login, path());
    QCOMPARE(again.shortcuts().size(), 2);
    QVERIFY(again.shortcuts().last() == hostile);
    QVERIFY(again.shortcuts().last().name == name && again.shortcuts().last().payload == payload);
}

// Bytes the decoder refuses are set aside exactly; those it takes keep every character.
void TestHostileFiles::storedBytesAreKeptExactly_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("name");
    const QByteArray head = R"([{"id":"12345678-1234-1234-1234-123456789ABC","name":")";
    const QByteArray tail = R"(","isEnabled":true,"actionType":"pasteText","payload":"secret","keyCode":1,"modifiers":256}])";
    QTest::newRow("invalid UTF-8") << head + "bad \xff\xfe \xc3" + tail << QString();
    QTest::newRow("overlong UTF-8") << head + "\xc0\xaf" + tail << QString();
    QTest::newRow("raw control characters") << head + "tab\tbell\a\x1b[31m" + tail << "tab\tbell\a\x1b[31m";
    QTest::newRow("raw NUL byte") << head + QByteArray("nul\0byte", 8) + tail << QString::fromUtf16(u"nul\0byte", 8);
}

void TestHostileFiles::storedBytesAreKeptExactly()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, name);
    {
        QSettings seed(path(), QSettings::NativeFormat);
        seed.setValue(kKey, bytes);
    }
    QCOMPARE(storedBytes(path()), bytes);
    SettingsStore store(m_login, path());
    QCOMPARE(store.shortcuts().size(), 1);
    if (!name.isEmpty()) {
        QCOMPARE(store.shortcuts().first().name, name);
        QCOMPARE(store.shortcuts().first().payload, QStringLiteral("secret"));
        return;
    }
    QCOMPARE(store.shortcuts().first().name, QStringLiteral("Email"));
    const QStringList copies = QDir(QFileInfo(path()).absolutePath())
                                   .entryList({QStringLiteral("shortcuts.v1.undecodable-*")}, QDir::Files);
    QCOMPARE(copies.size(), 1);
    const QString copy = QFileInfo(path()).absolutePath() + u'/' + copies.first();
    QCOMPARE(fileBytes(copy), bytes);
    QCOMPARE(QFile::permissions(copy) & ~(QFile::ReadUser | QFile::WriteUser), QFile::ReadOwner | QFile::WriteOwner);
}

void TestHostileFiles::troubledSettingsFile_data()
{
    QTest::addColumn<QString>("trouble");
    QTest::addColumn<bool>("saves");
    QTest::addColumn<QString>("line");
    QTest::newRow("missing folder") << "missing" << true << QString();
    QTest::newRow("read-only folder") << "folder 0500" << true << QString();
    QTest::newRow("read-only file") << "file 0400" << false << "Failed to save shortcuts: ";
    QTest::newRow("unreadable file") << "file 0200" << false << " cannot be read";
    QTest::newRow("folder instead of file") << "folder" << false << "Failed to save shortcuts: ";
    QTest::newRow("another user's file") << "other user" << false << " cannot be read";
}

void TestHostileFiles::troubledSettingsFile()
{
    QFETCH(QString, trouble);
    QFETCH(bool, saves);
    QFETCH(QString, line);
    const bool root = geteuid() == 0;
    if (trouble == QLatin1StringView("other user") && !root)
        QSKIP("making a file another user's needs root");
    const passwd *nobody = getpwnam("nobody");
    if (root && !nobody)
        QSKIP("no user \"nobody\" to run the store as");

    QString file = path();
    const QString folder = QFileInfo(file).absolutePath();
    if (trouble == QLatin1StringView("missing")) {
        file = m_dir->filePath(QStringLiteral("not/yet/there/zephyrlatch.conf"));
    } else if (trouble == QLatin1StringView("folder")) {
        QVERIFY(QDir().mkpath(file + QStringLiteral("/inside")));
    } else {
        QSettings seed(file, QSettings::NativeFormat);
        seed.setValue(kKey, ShortcutItem::encodeList({item(QStringLiteral("mine"), QStringLiteral("keep me"))}));
    }
    if (root) {
        // Everything belongs to the runner; the trouble is made afterwards.
        QProcess::execute(QStringLiteral("chown"), {QStringLiteral("-R"), QStringLiteral("nobody:nogroup"), m_dir->path()});
    }
    if (trouble == QLatin1StringView("folder 0500"))
        QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
    else if (trouble == QLatin1StringView("file 0400"))
        QVERIFY(QFile::setPermissions(file, QFile::ReadOwner));
    else if (trouble == QLatin1StringView("file 0200"))
        QVERIFY(QFile::setPermissions(file, QFile::WriteOwner));
    else if (trouble == QLatin1StringView("other user")) // as a run with sudo leaves it
        QVERIFY(::chown(QFile::encodeName(file).constData(), 0, 0) == 0 &&
                QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner));
    const QByteArray before = fileBytes(file);

    int exitCode = 0;
    const QString out = driver(file, &exitCode);
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QCOMPARE(exitCode, 0);
    // It kept running with the loaded list plus the edit in memory.
    QVERIFY2(out.contains(QStringLiteral("kept 2")), qPrintable(out));
    if (saves) {
        QVERIFY2(!out.contains(QStringLiteral("Failed")), qPrintable(out));
        const auto list = ShortcutItem::decodeList(storedBytes(file), nullptr);
        QVERIFY(list.has_value());
        QCOMPARE(list->size(), 2);
        return;
    }
    QVERIFY2(out.contains(line) && out.contains(file), qPrintable(out));
    if (trouble == QLatin1StringView("folder"))
        QVERIFY(QFileInfo::exists(file + QStringLiteral("/inside")));
    else
        QCOMPARE(fileBytes(file), before);
}

QTEST_GUILESS_MAIN(TestHostileFiles)
#include "tst_hostilefiles.moc"
