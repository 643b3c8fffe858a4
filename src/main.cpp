#include "CommandLine.h"
#include "PlatformServices.h"
#include "QuitOnSignal.h"
#include "SingleInstance.h"
#include "Strings.h"
#include "Translations.h"
#include "ZephyrlatchApp.h"

#include <QApplication>

#include <cstdio>

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

int main(int argc, char **argv)
{
    // Requests to the running instance: no window, no display needed.
    if (const std::optional<int> exitCode = zl::CommandLine::handle(argc, argv))
        return *exitCode;

    // Global grabs and synthetic input exist only on X11; under Wayland use XWayland.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        if (!zl::PlatformServices::displayReachable())
            return explainMissingDisplay(argc, argv);
        qputenv("QT_QPA_PLATFORM", "xcb");
    }

    QApplication app(argc, argv);
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
