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
#include <thread>
#include <vector>

#include <fontconfig/fontconfig.h>

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

} // namespace

// The program's windows, tray and hotkeys; the launcher loads this only for a normal start, so a
// command-line request never pays for loading the GUI libraries.
extern "C" Q_DECL_EXPORT int zl_gui_main(int argc, char **argv)
{
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
    // Reading the font configuration takes about ten milliseconds, which the first text of the main
    // window would wait for before the hotkeys are bound; here it overlaps with loading Qt's platform.
    const std::jthread fontConfiguration([] { FcInit(); });

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
    instance.setRequestHandler([&zephyrlatch](const QByteArray &request) { return zephyrlatch.answer(request); });
    return QApplication::exec();
}
