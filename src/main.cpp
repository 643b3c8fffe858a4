#include "PlatformServices.h"
#include "QuitOnSignal.h"
#include "SingleInstance.h"
#include "Strings.h"
#include "Translations.h"
#include "ZephyrlatchApp.h"

#include <QApplication>
#include <QByteArray>
#include <QList>

#include <cstdio>
#include <vector>

namespace {

// Without a display Qt would abort with a crash dump; say plainly what is missing instead.
int explainMissingDisplay(int argc, char **argv)
{
    QCoreApplication core(argc, argv);
    zl::Translations translations;
    translations.useSystemLanguage();
    const QByteArray message = zl::text("app.noDisplay").toUtf8() + '\n';
    std::fwrite(message.constData(), 1, static_cast<size_t>(message.size()), stderr);
    return 1;
}

void writeLine(FILE *stream, const QByteArray &line)
{
    const QByteArray bytes = line + '\n';
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stream);
}

// `--run NAME-OR-UUID` and `--list` ask the running instance and end; no window, no widgets.
// Without a running instance they say so and end with 2 rather than start one: a desktop
// shortcut that silently starts the program would run nothing the first time.
int triggerCommand(int argc, char **argv)
{
    QCoreApplication core(argc, argv);
    zl::Translations translations;
    translations.useSystemLanguage();
    const QByteArray verb = argv[1];
    if ((verb == "--run" && argc != 3) || (verb == "--list" && argc != 2)) {
        writeLine(stderr, zl::text("cli.usage").toUtf8());
        return 1;
    }
    const QString argument = argc == 3 ? QString::fromLocal8Bit(argv[2]) : QString();
    const zl::SingleInstance instance;
    const std::optional<QByteArray> answer =
        instance.ask(verb == "--list" ? QByteArray("list") : "run " + argument.toUtf8().toPercentEncoding());
    if (!answer || answer->isEmpty()) {
        writeLine(stderr, zl::text("cli.noInstance").toUtf8());
        return 2;
    }
    if (answer->startsWith("ok\n")) {
        const QByteArray rest = answer->mid(3);
        std::fwrite(rest.constData(), 1, static_cast<size_t>(rest.size()), stdout);
        return 0;
    }
    // The name as given, on one line.
    QString shown;
    for (const QChar c : argument)
        shown += c.category() == QChar::Other_Control ? QStringLiteral("\\x%1").arg(uint(c.unicode()), 2, 16, QChar(u'0')) : c;
    writeLine(stderr, zl::text(answer->startsWith("disabled") ? "cli.disabled" : "cli.noMatch").arg(shown).toUtf8());
    return 1;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc >= 2 && (qstrcmp(argv[1], "--run") == 0 || qstrcmp(argv[1], "--list") == 0))
        return triggerCommand(argc, argv);

    // Our own X11 grabs and synthetic input need the X connection, so prefer X11 (XWayland under
    // Wayland) and fall back to a native Wayland window only where no X server is reachable. The
    // choice goes to Qt through argv, never the environment: commands and applications started
    // from a hotkey inherit the user's environment untouched.
    QList<QByteArray> arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QByteArray(argv[i]));
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        const char *platform = zl::PlatformServices::windowPlatform();
        if (!platform)
            return explainMissingDisplay(argc, argv);
        arguments.insert(1, QByteArrayLiteral("-platform"));
        arguments.insert(2, QByteArray(platform));
    }
    std::vector<char *> qtArgv;
    for (QByteArray &argument : arguments)
        qtArgv.push_back(argument.data());
    qtArgv.push_back(nullptr);
    int qtArgc = static_cast<int>(arguments.size());

    QApplication app(qtArgc, qtArgv.data());
    QApplication::setApplicationName(QStringLiteral("zephyrlatch"));
    QApplication::setOrganizationName(QStringLiteral("zephyrlatch"));
    QApplication::setDesktopFileName(QStringLiteral(ZL_APP_ID));

    zl::SingleInstance instance;
    if (!instance.claim())
        return 0;

    zl::QuitOnSignal quitOnSignal;
    zl::ZephyrlatchApp zephyrlatch;
    QObject::connect(&instance, &zl::SingleInstance::activationRequested, &zephyrlatch,
                     &zl::ZephyrlatchApp::showMainWindow);
    instance.setRequestHandler([&zephyrlatch](const QByteArray &line) { return zephyrlatch.answer(line); });
    return QApplication::exec();
}
