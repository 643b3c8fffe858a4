#include "CommandLine.h"

#include "InstanceCommands.h"
#include "LoginItemService.h"
#include "SettingsStore.h"
#include "SingleInstance.h"
#include "Strings.h"
#include "Translations.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <cstdio>

namespace zl {

namespace {

// Nothing here changes launch at login, so the store never needs the real login item.
class NoLoginItem final : public LoginItemService
{
public:
    std::optional<QString> registerApp() override { return QStringLiteral("not from the command line"); }
    std::optional<QString> unregisterApp() override { return QStringLiteral("not from the command line"); }
};

int finish(const InstanceCommands::Reply &reply)
{
    QByteArray bytes = reply.text.toUtf8();
    if (!bytes.isEmpty() && !bytes.endsWith('\n'))
        bytes += '\n';
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), reply.exitCode == 0 ? stdout : stderr);
    return reply.exitCode;
}

} // namespace

std::optional<int> CommandLine::handle(int argc, char **argv)
{
    static const QByteArrayList kVerbs{"--run", "--list", "--import", "--export", "--help"};
    if (argc < 2 || !kVerbs.contains(QByteArray(argv[1])))
        return std::nullopt;

    QCoreApplication core(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("zephyrlatch"));
    QCoreApplication::setOrganizationName(QStringLiteral("zephyrlatch"));
    Translations translations;
    translations.useSystemLanguage();

    const QStringList arguments = QCoreApplication::arguments().mid(1);
    const QString verb = arguments.first().mid(2);
    const bool takesArgument = verb != QLatin1StringView("list") && verb != QLatin1StringView("help");
    if (verb == QLatin1StringView("help"))
        return finish({0, text("cli.usage")});
    if (arguments.size() != (takesArgument ? 2 : 1))
        return finish({2, text("cli.usage")});
    QString argument = takesArgument ? arguments.at(1) : QString();
    // The running instance has a working folder of its own.
    if (verb == QLatin1StringView("import") || verb == QLatin1StringView("export"))
        argument = QFileInfo(argument).absoluteFilePath();

    const SingleInstance instance;
    if (const std::optional<QByteArray> reply = instance.ask(InstanceCommands::encodeRequest(verb, argument)))
        return finish(InstanceCommands::decodeReply(*reply));

    // Nothing runs: a run needs the program, the rest works on the settings file directly.
    if (verb == QLatin1StringView("run"))
        return finish({2, text("cli.notRunning")});
    NoLoginItem loginItem;
    SettingsStore store(loginItem);
    if (verb == QLatin1StringView("list"))
        return finish({0, InstanceCommands::listing(store.shortcuts(), nullptr)});
    if (verb == QLatin1StringView("import"))
        return finish(InstanceCommands::importFile(store, argument));
    return finish(InstanceCommands::exportFile(store.shortcuts(), argument));
}

} // namespace zl
