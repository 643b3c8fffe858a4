// Renders the README's screenshots from the real widgets on a real X display:
//   zl_screenshots <output folder>
#include "AccessibilityTrust.h"
#include "FileDialogApplicationChooser.h"
#include "MainWindow.h"
#include "PermissionsManager.h"
#include "PlatformServices.h"
#include "SettingsStore.h"
#include "SettingsWindow.h"
#include "TrayMenu.h"
#include "Translations.h"
#include "UiContext.h"
#include "XdgAutostart.h"

#include <QApplication>
#include <QPushButton>
#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using namespace zl;

namespace {

ShortcutItem shortcut(const char *name, ActionType type, const char *payload, quint32 key, quint32 modifiers,
                      bool enabled = true)
{
    return ShortcutItem{QUuid::createUuid(), QString::fromUtf8(name), enabled, type, QString::fromUtf8(payload),
                        key, modifiers};
}

// A display without synthetic input, as the Settings window shows it.
class NoSyntheticInput final : public AccessibilityTrust
{
public:
    bool isTrusted() override { return false; }
    void requestTrust() override {}
};

QPalette darkPalette()
{
    QPalette dark;
    dark.setColor(QPalette::Window, QColor(0x2b, 0x2b, 0x2b));
    dark.setColor(QPalette::WindowText, QColor(0xee, 0xee, 0xee));
    dark.setColor(QPalette::Base, QColor(0x1e, 0x1e, 0x1e));
    dark.setColor(QPalette::AlternateBase, QColor(0x2b, 0x2b, 0x2b));
    dark.setColor(QPalette::Text, QColor(0xee, 0xee, 0xee));
    dark.setColor(QPalette::Button, QColor(0x35, 0x35, 0x35));
    dark.setColor(QPalette::ButtonText, QColor(0xee, 0xee, 0xee));
    dark.setColor(QPalette::Highlight, QColor(0x3d, 0x84, 0xd6));
    dark.setColor(QPalette::HighlightedText, Qt::white);
    dark.setColor(QPalette::PlaceholderText, QColor(0x9a, 0x9a, 0x9a));
    return dark;
}

void save(QWidget &widget, const QString &path)
{
    QTest::qWait(150);
    if (!widget.grab().save(path))
        qFatal("cannot write %s", qPrintable(path));
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc != 2)
        return 2;
    const QString out = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(out);

    Translations translations;
    translations.setLanguage(QStringLiteral("en"));
    QTemporaryDir config;
    XdgAutostart login(QStringLiteral("screenshots"), QCoreApplication::applicationFilePath(), config.path());
    SettingsStore store(login, config.filePath(QStringLiteral("zephyrlatch.conf")));
    using M = quint32;
    const M ctrl = Modifier::Control, alt = Modifier::Option, shift = Modifier::Shift, super = Modifier::Command;
    store.setShortcuts({
        shortcut("Email signature", ActionType::PasteText, "Best regards,\nAlex Example\nalex@example.com", 14,
                 alt | shift | super),
        shortcut("Stand-up reply", ActionType::PasteTextAndEnter, "On it, back in five minutes.", 1, ctrl | alt),
        shortcut("Screenshot to file", ActionType::RunCommand,
                 "import -window root ~/Pictures/shot-$(date +%s).png", 35, ctrl | shift),
        shortcut("Calculator", ActionType::LaunchApp, "org.gnome.Calculator", 8, super | alt),
        shortcut("Issue tracker", ActionType::OpenURL, "https://example.com/issues", 34, ctrl | alt | shift),
        shortcut("Morning tabs", ActionType::OpenURLs, "mail.example.com\nhttps://calendar.example.com\nnews.example.org",
                 46, ctrl | super),
        shortcut("Old snippet", ActionType::PasteText, "no longer used", 0, 0, false),
    });

    PlatformServices platform;
    PermissionsManager permissions(*platform.trust, platform.workspace);
    FileDialogApplicationChooser chooser;
    UiContext context{store,
                      permissions,
                      chooser,
                      [](const ShortcutItem &) {},
                      &platform.layout,
                      {},
                      [&platform] { return platform.hotkeyPath(); },
                      [&platform] { return platform.pastePath(); }};

    MainWindow window(context);
    window.show();
    const char *names[] = {"paste", "paste-and-return", "command", "launch", "url", "urls", "disabled"};
    for (qsizetype i = 0; i < store.shortcuts().size(); ++i) {
        window.setSelection(store.shortcuts().at(i).id);
        save(window, out + QStringLiteral("/editor-%1.png").arg(QLatin1StringView(names[i])));
    }
    window.setSelection(store.shortcuts().first().id);
    save(window, out + QStringLiteral("/main-window.png"));
    auto *record = window.findChild<QPushButton *>(QStringLiteral("recordButton"));
    record->click();
    save(window, out + QStringLiteral("/recording.png"));
    record->click();
    window.setSelection({});
    save(window, out + QStringLiteral("/empty-state.png"));

    SettingsWindow settings(context);
    settings.show();
    save(settings, out + QStringLiteral("/settings.png"));

    NoSyntheticInput untrusted;
    PermissionsManager noPermission(untrusted, platform.workspace);
    UiContext withoutPaste{store, noPermission, chooser, context.run, &platform.layout, {}, context.hotkeyPath,
                           context.pastePath};
    SettingsWindow settingsWithoutPaste(withoutPaste);
    settingsWithoutPaste.show();
    save(settingsWithoutPaste, out + QStringLiteral("/settings-no-paste.png"));

    TrayMenu menu(context, [] {}, [] {});
    menu.popup(QPoint(40, 40));
    save(menu, out + QStringLiteral("/tray-menu.png"));
    menu.hide();

    // What the window shows for a combination another program holds.
    const QUuid taken = store.shortcuts().at(2).id;
    context.hotkeyProblem = [taken](const ShortcutItem &item) {
        return item.id == taken ? QStringLiteral("Ctrl+Shift+P is taken by another program.") : QString();
    };
    window.setSelection(taken);
    window.refreshHotkeyProblems();
    save(window, out + QStringLiteral("/registration-problem.png"));
    context.hotkeyProblem = {};
    window.refreshHotkeyProblems();

    QApplication::setStyle(QStringLiteral("Fusion"));
    QApplication::setPalette(darkPalette());
    window.setSelection(store.shortcuts().at(2).id);
    save(window, out + QStringLiteral("/main-window-dark.png"));
    return 0;
}
