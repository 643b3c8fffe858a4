#include "MainWindow.h"
#include "SettingsWindow.h"
#include "Strings.h"
#include "Translations.h"
#include "TrayMenu.h"
#include "UiFixture.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

using namespace zl;

class MenusTest final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { m_translations = std::make_unique<Translations>(); }

    void trayMenuItems_data();
    void trayMenuItems();
    void trayMenuItemsActAndFollowTheStore();
    void settingsWindow();
    void languageSwitchRetranslatesInPlace();

private:
    std::unique_ptr<Translations> m_translations;
};

void MenusTest::trayMenuItems_data()
{
    QTest::addColumn<QList<ShortcutItem>>("items");
    QTest::addColumn<QStringList>("shortcutRows");

    const auto off = [](const char *name) { return shortcut(name, ActionType::RunCommand, "true", 0, 0, false); };
    const QString none = text("ui.noActiveHotkeys") + QStringLiteral(" (off)");
    QTest::newRow("empty") << QList<ShortcutItem>{} << QStringList{none};
    QTest::newRow("all disabled") << QList<ShortcutItem>{off("A"), off("B")} << QStringList{none};
    // F5 (96) has a fixed name, so no keyboard layout is needed to spell it.
    QTest::newRow("mixed") << QList<ShortcutItem>{shortcut("Fish & Chips"), off("Off"),
                                                  shortcut("Run", ActionType::RunCommand, "true", 96,
                                                           Modifier::Shift | Modifier::Command)}
                           << QStringList{"Fish && Chips  " + text("hotkey.notSet"),
                                          QStringLiteral("Run  Shift+Super+F5")};
}

void MenusTest::trayMenuItems()
{
    QFETCH(QList<ShortcutItem>, items);
    QFETCH(QStringList, shortcutRows);
    UiFixture fixture(items);
    TrayMenu menu(fixture.context, {}, {});
    emit menu.aboutToShow();

    // "-" for a separator, "(off)" after an item that cannot be chosen; no item has a key of its own.
    QStringList rows;
    for (const QAction *action : menu.actions()) {
        QVERIFY(action->shortcut().isEmpty());
        rows << (action->isSeparator() ? QStringLiteral("-")
                                       : action->text() + (action->isEnabled() ? QString() : QStringLiteral(" (off)")));
    }
    QCOMPARE(rows, (QStringList{text("ui.openSettings"), "-"} + shortcutRows
                    + QStringList{"-", text("ui.accessibilityPermissions"), "-", text("ui.quit")}));
}

void MenusTest::trayMenuItemsActAndFollowTheStore()
{
    const QList<ShortcutItem> items{shortcut("One"), shortcut("Off", ActionType::PasteText, {}, 0, 0, false),
                                    shortcut("Two", ActionType::OpenURL, "https://example.org")};
    UiFixture fixture(items);
    int opened = 0;
    int quits = 0;
    TrayMenu menu(fixture.context, [&] { ++opened; }, [&] { ++quits; });

    menu.findChildren<QAction *>(QStringLiteral("shortcutAction")).value(1)->trigger();
    QCOMPARE(fixture.runs, QList<ShortcutItem>{items.at(2)});
    menu.findChild<QAction *>(QStringLiteral("openMainWindowAction"))->trigger();
    QCOMPARE(opened, 1);
    QVERIFY(fixture.journal.entries().isEmpty());
    menu.findChild<QAction *>(QStringLiteral("accessibilityAction"))->trigger();
    QVERIFY(fixture.journal.entries().join(u'\n').contains(QStringLiteral("pasting.html")));
    menu.findChild<QAction *>(QStringLiteral("quitAction"))->trigger();
    QCOMPARE(quits, 1);
    QCOMPARE(fixture.runs.size(), 1);

    // Rebuilt on the change itself, not only when shown: a tray host may read the menu any time.
    ShortcutItem enabled = items.at(1);
    enabled.isEnabled = true;
    enabled.payload = QStringLiteral("echo changed");
    fixture.store->update(enabled);
    menu.findChildren<QAction *>(QStringLiteral("shortcutAction")).value(1)->trigger();
    QCOMPARE(fixture.runs.last(), enabled);
}

void MenusTest::settingsWindow()
{
    UiFixture fixture({});
    SettingsWindow settings(fixture.context);
    auto *status = settings.findChild<QLabel *>(QStringLiteral("accessibilityStatus"));
    settings.show();
    // Trust is read on show: orange while needed, green once allowed.
    QCOMPARE(status->text(), text("ui.needsPermission"));
    const QColor orange = status->palette().color(QPalette::WindowText);
    QVERIFY(orange.red() > orange.green() && orange.green() > orange.blue());
    fixture.trust.trusted = true;
    QCOMPARE(status->text(), text("ui.needsPermission"));
    settings.hide();
    settings.show();
    QCOMPARE(status->text(), text("ui.allowed"));
    const QColor green = status->palette().color(QPalette::WindowText);
    QVERIFY(green.green() > green.red());
    QTest::mouseClick(settings.findChild<QPushButton *>(QStringLiteral("openPrivacySettingsButton")), Qt::LeftButton);
    QVERIFY(fixture.journal.entries().join(u'\n').contains(QStringLiteral("pasting.html")));

    auto *toggle = settings.findChild<QCheckBox *>(QStringLiteral("launchAtLoginToggle"));

    for (const bool expected : {true, false, true}) {
        QTest::mouseClick(toggle, Qt::LeftButton);
        QCOMPARE(toggle->isChecked(), expected);
        FakeLoginItem other;
        QCOMPARE(SettingsStore(other, fixture.store->filePath()).launchAtLogin(), expected);
        QCOMPARE(fixture.loginItem.calls.last(), expected ? QStringLiteral("register") : QStringLiteral("unregister"));
    }

    // A change made in another window shows here too.
    fixture.store->setLaunchAtLogin(false);
    QVERIFY(!toggle->isChecked());

    // A refused registration keeps the preference and says so in the window.
    auto *problem = settings.findChild<QLabel *>(QStringLiteral("launchAtLoginProblem"));
    QVERIFY(problem && problem->isHidden());
    fixture.loginItem.failRegister = true;
    QTest::mouseClick(toggle, Qt::LeftButton);
    QVERIFY(toggle->isChecked() && fixture.store->launchAtLogin());
    QVERIFY(problem->isVisible());
    QCOMPARE(problem->text(), text("ui.launchAtLoginFailed"));
    QTRY_VERIFY(problem->height() >= problem->heightForWidth(problem->width()));
    QTest::mouseClick(toggle, Qt::LeftButton);
    QVERIFY(problem->isHidden());

    // A settings window closes from the keyboard.
    for (const QKeySequence &close : {QKeySequence(Qt::Key_Escape), QKeySequence(QKeySequence::Close)}) {
        settings.show();
        QVERIFY(QTest::qWaitForWindowActive(&settings));
        QTest::keySequence(&settings, close);
        QVERIFY(!settings.isVisible());
    }
}

// After a switch every window shows the texts a window made in the new language shows.
void MenusTest::languageSwitchRetranslatesInPlace()
{
    UiFixture fixture({shortcut("A")});
    struct Windows
    {
        explicit Windows(UiContext &context) : window(context), settings(context), menu(context, {}, {})
        {
            window.show();
            settings.show();
        }
        QStringList texts()
        {
            QStringList texts;
            for (QWidget *root : std::initializer_list<QWidget *>{&window, &settings, &menu}) {
                texts << root->windowTitle();
                for (const QLabel *label : root->findChildren<QLabel *>())
                    texts << label->text();
                for (const QAbstractButton *button : root->findChildren<QAbstractButton *>())
                    texts << button->text() + button->toolTip();
                for (const QAction *action : root->findChildren<QAction *>())
                    texts << action->text();
                for (const QLineEdit *edit : root->findChildren<QLineEdit *>())
                    texts << edit->placeholderText();
                for (const QComboBox *box : root->findChildren<QComboBox *>()) {
                    for (int i = 0; i < box->count(); ++i)
                        texts << box->itemText(i);
                }
            }
            return texts;
        }
        MainWindow window;
        SettingsWindow settings;
        TrayMenu menu;
    };
    Windows switched(fixture.context);
    const QStringList english = switched.texts();

    QVERIFY(m_translations->setLanguage(QStringLiteral("de")));
    const QStringList german = Windows(fixture.context).texts();
    QVERIFY(german != english);
    QTRY_COMPARE(switched.texts(), german);

    QVERIFY(m_translations->setLanguage(QStringLiteral("en")));
    QTRY_COMPARE(switched.texts(), english);
}

QTEST_MAIN(MenusTest)
#include "tst_menus.moc"
