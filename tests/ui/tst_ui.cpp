// The windows and the tray menu over a store on a file of its own, with fakes behind every seam.
#include "ApplicationChooser.h"
#include "ApplicationListDialog.h"
#include "FakeAccessibilityTrust.h"
#include "FakeJournal.h"
#include "FakeLoginItem.h"
#include "FakeScheduler.h"
#include "FakeWorkspace.h"
#include "GioApplicationList.h"
#include "HotkeyRecorder.h"
#include "MainWindow.h"
#include "PermissionsManager.h"
#include "SettingsStore.h"
#include "SettingsWindow.h"
#include "ShortcutEditor.h"
#include "ShortcutListModel.h"
#include "Strings.h"
#include "TestSupport.h"
#include "Translations.h"
#include "TrayMenu.h"
#include "UiContext.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include <array>
#include <memory>
#include <tuple>

using namespace zl;
using test::names;
using test::shortcut;

namespace {

/** Fakes behind every seam of the windows; the fixture answers the application chooser itself. */
struct UiFixture final : ApplicationChooser
{
    explicit UiFixture(const QList<ShortcutItem> &items)
        : store(std::make_unique<SettingsStore>(loginItem, dir.filePath(QStringLiteral("zephyrlatch.conf"))))
    {
        store->setShortcuts(items);
    }

    /** What a fresh start of the program would read back. */
    QList<ShortcutItem> reloaded()
    {
        FakeLoginItem other;
        return SettingsStore(other, store->filePath()).shortcuts();
    }
    std::optional<QString> chooseApplication(QWidget *) override { return chosen; }

    QTemporaryDir dir;
    FakeLoginItem loginItem;
    std::unique_ptr<SettingsStore> store;
    FakeAccessibilityTrust trust;
    FakeScheduler clock;
    FakeJournal journal{clock};
    FakeWorkspace workspace{journal};
    PermissionsManager permissions{trust, workspace};
    std::optional<QString> chosen; // none: the chooser was cancelled
    QList<ShortcutItem> runs;
    UiContext context{*store, permissions, *this, [this](const ShortcutItem &item) { runs.append(item); }, nullptr};
};

/** Names the case a loop over cases was at when one of its checks failed. */
auto nameFailure(const QString &what)
{
    return qScopeGuard([what] {
        if (QTest::currentTestFailed())
            qWarning("failed in case: %s", qPrintable(what));
    });
}

/** A shown main window over a fixture holding the shortcuts. */
struct WindowRig
{
    explicit WindowRig(const QList<ShortcutItem> &items) : fixture(items)
    {
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
    }
    template <typename T> T *find(const QString &name) { return window.findChild<T *>(name); }
    bool deleteShown() { return !find<QToolButton>("deleteButton")->isHidden(); }
    QUuid id(const QString &name)
    {
        return fixture.store->shortcuts().value(names(fixture.store->shortcuts()).indexOf(name)).id;
    }

    UiFixture fixture;
    MainWindow window{fixture.context};
};

} // namespace

class UiTest final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        m_translations = std::make_unique<Translations>();
        // GIO reads the data folders once per process, so they are set before any test can ask it.
        QVERIFY(m_data.isValid());
        qputenv("XDG_DATA_HOME", m_data.filePath(QStringLiteral("nothing")).toUtf8());
        qputenv("XDG_DATA_DIRS", m_data.path().toUtf8());
    }

    // One shortcut edited through the whole editor, each step checked in the store.
    void editorScenario()
    {
        const ShortcutItem original =
            shortcut("Note", ActionType::PasteText, "echo one\nhttps://example.org", 96, Modifier::Control, false);
        UiFixture fixture({original});
        ShortcutEditor editor(fixture.context);
        editor.setItem(original);
        editor.show();
        QApplication::setActiveWindow(&editor);
        const auto stored = [&] { return fixture.store->shortcuts().first(); };
        auto *name = editor.findChild<QLineEdit *>("nameEdit");
        name->setFocus();
        name->setCursorPosition(0);
        QTest::keyClicks(name, QStringLiteral("My "));
        // Written as typed: the name changed, every other field kept.
        ShortcutItem renamed = original;
        renamed.name = QStringLiteral("My Note");
        QCOMPARE(fixture.reloaded().first(), renamed);
        QCOMPARE(name->cursorPosition(), 3);

        auto *payload = editor.findChild<QPlainTextEdit *>("pastePayloadEdit");
        payload->setFocus();
        QTextCursor cursor = payload->textCursor();
        cursor.setPosition(2);
        payload->setTextCursor(cursor);
        QTest::keyClicks(payload, QStringLiteral("XY"));
        QString expected = QStringLiteral("ecXYho one\nhttps://example.org");
        QCOMPARE(stored().payload, expected);
        QCOMPARE(payload->textCursor().position(), 4);

        // A change of type keeps the payload, shown whole in the one edit of the new type; every input shown
        // has a label or a name for screen readers.
        auto *picker = editor.findChild<QComboBox *>("typePicker");
        QSet<const QWidget *> labelled;
        for (const QLabel *label : editor.findChildren<QLabel *>())
            labelled.insert(label->buddy());
        const QList<std::tuple<ActionType::Kind, const char *, const char *>> kinds{
            {ActionType::RunCommand, "commandPayloadEdit", nullptr},
            {ActionType::LaunchApp, "launchPayloadEdit", nullptr},
            {ActionType::OpenURL, "urlPayloadEdit", nullptr},
            {ActionType::OpenURLs, "urlsPayloadEdit", "urlsPlaceholder"},
            {ActionType::PasteTextAndEnter, "pastePayloadEdit", nullptr},
            {ActionType::PasteText, "pastePayloadEdit", "pastePlaceholder"}};
        for (const auto &[kind, control, placeholder] : kinds) {
            picker->setCurrentIndex(kind);
            QCOMPARE(stored().actionType.kind(), kind);
            QCOMPARE(stored().payload, expected);
            QWidget *shown = editor.findChild<QWidget *>(control);
            for (QWidget *edit : editor.findChildren<QWidget *>(QRegularExpression(QStringLiteral("PayloadEdit$"))))
                QVERIFY2(edit->isVisibleTo(&editor) == (edit == shown), qPrintable(edit->objectName()));
            auto *lines = qobject_cast<QPlainTextEdit *>(shown);
            QCOMPARE(lines ? lines->toPlainText() : qobject_cast<QLineEdit *>(shown)->text(), expected);
            for (QWidget *control : editor.findChildren<QWidget *>()) {
                const bool input = qobject_cast<QLineEdit *>(control) || qobject_cast<QPlainTextEdit *>(control)
                                   || qobject_cast<QComboBox *>(control) || qobject_cast<HotkeyRecorder *>(control);
                if (input && control->isVisibleTo(&editor) && control->parentWidget() != picker)
                    QVERIFY2(labelled.contains(control) || !control->accessibleName().isEmpty(),
                             qPrintable(control->objectName()));
            }
            if (!placeholder)
                continue;
            // The placeholder stands only for an empty payload: a single space hides it.
            QLabel *label = editor.findChild<QLabel *>(placeholder);
            QVERIFY2(!label->isVisible(), placeholder);
            lines->selectAll();
            QTest::keyClick(lines, Qt::Key_Backspace);
            QVERIFY(stored().payload.isEmpty());
            QVERIFY2(label->isVisible(), placeholder);
            QTest::keyClicks(lines, QStringLiteral(" "));
            expected = QStringLiteral(" ");
            QCOMPARE(stored().payload, expected);
            QVERIFY2(!label->isVisible(), placeholder);
        }

        // Cancelling the chooser keeps the payload; a chosen application replaces it (so the button asks it).
        picker->setCurrentIndex(ActionType::LaunchApp);
        const QString path = QStringLiteral("/usr/share/applications/org.example.Other.desktop");
        for (const QString &chosen : {expected, path}) {
            QTest::mouseClick(editor.findChild<QPushButton *>("chooseApplicationButton"), Qt::LeftButton);
            QCOMPARE(fixture.reloaded().first().payload, chosen);
            QCOMPARE(editor.findChild<QLineEdit *>("launchPayloadEdit")->text(), chosen);
            fixture.chosen = path;
        }

        // A disabled command shortcut with a hotkey: its buttons, its problem line, what screen readers get of it.
        picker->setCurrentIndex(ActionType::RunCommand);
        QTest::mouseClick(editor.findChild<QPushButton *>("runNowButton"), Qt::LeftButton);
        QCOMPARE(fixture.runs, QList<ShortcutItem>{stored()});
        // The trigger command names this shortcut by its id and is copied as shown.
        QTest::mouseClick(editor.findChild<QPushButton *>("copyTriggerButton"), Qt::LeftButton);
        const QString trigger = QStringLiteral("%1 --run %2").arg(QCoreApplication::applicationFilePath(),
                                                                 original.id.toString(QUuid::WithoutBraces));
        QCOMPARE(QGuiApplication::clipboard()->text(), trigger);

        ShortcutListModel model(*fixture.store);
        QCOMPARE(model.index(0).data(Qt::AccessibleTextRole).toString(),
                 QStringLiteral("My Note, %1, Ctrl+F5").arg(stored().actionType.title()));

        QString problem = QStringLiteral("Ctrl+F5 is taken by another program.");
        fixture.context.hotkeyProblem = [&](const ShortcutItem &) { return problem; };
        editor.refreshProblem();
        auto *line = editor.findChild<QLabel *>("hotkeyProblem");
        QVERIFY(line->isVisibleTo(&editor));
        QCOMPARE(line->text(), problem);
        editor.findChild<QCheckBox *>("enabledToggle")->setChecked(true);
        TrayMenu menu(fixture.context, [] {}, [] {});
        QCOMPARE(menu.findChild<QAction *>("shortcutAction")->toolTip(), problem);
        problem.clear();
        editor.refreshProblem();
        QVERIFY(!line->isVisibleTo(&editor));

        // Recording a combination: what one press stores, and every way out of recording lets the keyboard go.
        const ShortcutItem first = stored();
        auto *recorder = editor.findChild<HotkeyRecorder *>("hotkeyRecorder");
        auto *record = editor.findChild<QPushButton *>("recordButton");
        QVERIFY(QTest::qWaitForWindowActive(&editor));

        // X11 keycodes: 38 A, 26 E, 9 Escape, 50 Shift_L, 66 Caps_Lock; stored key codes: 0 A, 14 E.
        // One press while recording: X11 keycode, key, modifiers, stored key code and mask (none: nothing stored).
        const int all = Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier | Qt::MetaModifier;
        const QList<std::tuple<const char *, quint32, int, int, quint32, quint32, bool>> presses{
            {"shift A", 38, Qt::Key_A, Qt::ShiftModifier, 0, Modifier::Shift, false},
            {"all four E", 26, Qt::Key_E, all, 14, Modifier::All, false},
            {"A alone", 38, Qt::Key_A, 0, 0, 0, true},
            {"keypad flag alone", 38, Qt::Key_A, Qt::KeypadModifier, 0, 0, true},
            {"shift key alone", 50, Qt::Key_Shift, Qt::ShiftModifier, 0, 0, true},
            {"caps lock alone", 66, Qt::Key_CapsLock, 0, 0, 0, true},
            {"escape", 9, Qt::Key_Escape, 0, 0, 0, false},
            {"command escape", 9, Qt::Key_Escape, Qt::MetaModifier, 0, 0, false}};
        for (const auto &[what, scanCode, key, modifiers, keyCode, mask, stillRecording] : presses) {
            const auto named = nameFailure(what);
            fixture.store->update(first);
            QTest::mouseClick(record, Qt::LeftButton);
            QCOMPARE(QWidget::keyboardGrabber(), recorder);
            QKeyEvent press(QEvent::KeyPress, key, Qt::KeyboardModifiers(modifiers), scanCode, 0, 0);
            QApplication::sendEvent(recorder, &press);
            QCOMPARE(recorder->isRecording(), stillRecording);
            QCOMPARE(QWidget::keyboardGrabber(), stillRecording ? recorder : nullptr);
            const ShortcutItem saved = fixture.reloaded().first();
            QCOMPARE(saved.keyCode, mask ? keyCode : first.keyCode);
            QCOMPARE(saved.modifiers, mask ? mask : first.modifiers);
            if (stillRecording)
                QTest::mouseClick(record, Qt::LeftButton);
        }

        const auto released = [&](const char *how) {
            QVERIFY2(!recorder->isRecording() && !QWidget::keyboardGrabber(), how);
        };
        QTest::mouseClick(record, Qt::LeftButton);
        QTest::mouseClick(record, Qt::LeftButton);
        released("record clicked again");
        QCOMPARE(fixture.reloaded().first(), first);

        QTest::mouseClick(record, Qt::LeftButton);
        name->setFocus(Qt::MouseFocusReason);
        released("focus left");

        QTest::mouseClick(record, Qt::LeftButton);
        ShortcutItem second = shortcut("B");
        fixture.store->addShortcut(second);
        editor.setItem(second);
        released("another shortcut edited");

        // Reset is offered for any part of a combination, and clears all of it.
        auto *reset = editor.findChild<QPushButton *>("resetButton");
        QVERIFY(reset->isHidden());
        second.modifiers = Modifier::Command;
        fixture.store->update(second);
        editor.setItem(second);
        QTest::mouseClick(record, Qt::LeftButton);
        QTest::mouseClick(reset, Qt::LeftButton);
        QVERIFY(!fixture.reloaded().at(1).hasHotkey());
        released("reset");
        QVERIFY(reset->isHidden());
        QCOMPARE(editor.findChild<QLabel *>("combinationBox")->text(), text("hotkey.notSet"));

        QTest::mouseClick(record, Qt::LeftButton);
        editor.hide();
        released("hidden");
        editor.show();
        QTest::mouseClick(record, Qt::LeftButton);
        QCOMPARE(QWidget::keyboardGrabber(), recorder);
        delete recorder;
        QCOMPARE(QWidget::keyboardGrabber(), nullptr);
    }

    void applicationListFromDesktopEntries()
    {
        const auto entry = [&](const QString &file, const QByteArray &lines) {
            QVERIFY(QDir(m_data.path()).mkpath(QFileInfo(m_data.filePath(file)).path()));
            QFile out(m_data.filePath(file));
            QVERIFY(out.open(QIODevice::WriteOnly));
            out.write("[Desktop Entry]\nType=Application\nExec=true\n" + lines);
        };
        entry(QStringLiteral("applications/org.example.Calc.desktop"), "Name=Calculator\nIcon=calc\n");
        entry(QStringLiteral("applications/kde/org.example.Edit.desktop"), "Name=editor\n");
        entry(QStringLiteral("applications/org.example.Secret.desktop"), "Name=Secret\nNoDisplay=true\n");
        entry(QStringLiteral("applications/org.example.Gone.desktop"), "Name=Gone\nHidden=true\n");
        const QList<InstalledApplication> installed = GioApplicationList::installed();
        QStringList ids;
        for (const InstalledApplication &application : installed)
            ids << application.id;
        QCOMPARE(ids, (QStringList{"org.example.Calc", "kde-org.example.Edit"}));

        ApplicationListDialog dialog(installed);
        auto *filter = dialog.findChild<QLineEdit *>("applicationFilter");
        QCOMPARE(dialog.chosenId(), QStringLiteral("org.example.Calc"));
        QTest::keyClicks(filter, QStringLiteral("EDI"));
        QCOMPARE(dialog.chosenId(), QStringLiteral("kde-org.example.Edit"));
        QTest::keyClicks(filter, QStringLiteral("zz"));
        QCOMPARE(dialog.chosenId(), QString());
        QTest::mouseClick(dialog.findChild<QPushButton *>("otherApplication"), Qt::LeftButton);
        QCOMPARE(dialog.result(), ApplicationListDialog::OtherRequested);
    }
    void mainWindow()
    {
        const QList<ShortcutItem> abc{shortcut("A"), shortcut("B"), shortcut("C")};
        WindowRig rig(abc);
        QSignalSpy appeared(&rig.window, &MainWindow::appeared);
        QCOMPARE(rig.window.selection(), rig.id("A"));
        auto *name = rig.find<QLineEdit>("nameEdit");
        QCOMPARE(name->text(), QStringLiteral("A"));

        auto *view = rig.find<QListView>("shortcutList");
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(view->model()->index(1, 0)).center());
        QCOMPARE(rig.window.selection(), rig.id("B"));
        // A dragged row is saved in its new place; the selection stays on its shortcut.
        ShortcutListModel *model = rig.window.model();
        std::unique_ptr<QMimeData> dragged(model->mimeData({model->index(2)}));
        model->dropMimeData(dragged.get(), Qt::MoveAction, 0, 0, QModelIndex());
        QCOMPARE(names(rig.fixture.reloaded()), (QStringList{"C", "A", "B"}));
        QCOMPARE(rig.window.selection(), rig.id("B"));
        QCOMPARE(view->selectionModel()->selectedRows(), QModelIndexList{view->model()->index(2, 0)});

        // Without a mouse: Alt+Shift+Up/Down move the selected row, which stays selected; the top row stays put.
        const QList<std::pair<Qt::Key, QStringList>> moves{
            {Qt::Key_Up, {"C", "B", "A"}},
            {Qt::Key_Up, {"B", "C", "A"}},
            {Qt::Key_Up, {"B", "C", "A"}},
            {Qt::Key_Down, {"C", "B", "A"}}};
        for (const auto &[key, order] : moves) {
            QTest::keyClick(view, key, Qt::AltModifier | Qt::ShiftModifier);
            QCOMPARE(names(rig.fixture.reloaded()), order);
        }
        QCOMPARE(view->selectionModel()->selectedRows(), QModelIndexList{view->model()->index(1, 0)});

        // The Delete key removes the selected row; the first row is selected next.
        QTest::keyClick(view, Qt::Key_Delete);
        QCOMPARE(names(rig.fixture.reloaded()), (QStringList{"C", "A"}));
        QCOMPARE(rig.window.selection(), rig.id("C"));

        // A long name elides in the title instead of widening the window.
        const int width = rig.window.width();
        ShortcutItem renamed = rig.fixture.store->shortcuts().first();
        renamed.name = QString(400, QLatin1Char('W'));
        rig.fixture.store->update(renamed);
        QCOMPARE(rig.window.width(), width);
        QVERIFY(rig.find<QLabel>("detailTitle")->text().endsWith(QChar(0x2026)));

        QTest::mouseClick(rig.find<QToolButton>("addButton"), Qt::LeftButton);
        const ShortcutItem added = rig.fixture.reloaded().value(2);
        QCOMPARE(rig.window.selection(), added.id);
        QCOMPARE(view->selectionModel()->selectedRows(), QModelIndexList{view->model()->index(2, 0)});
        QTRY_VERIFY(name->hasFocus());
        QCOMPARE(name->selectedText(), added.name);

        // Deleted elsewhere: the empty state; the same id coming back (an undo) is selected again.
        rig.fixture.store->deleteIds({added.id});
        QCOMPARE(rig.find<QStackedWidget>("detail")->currentWidget()->objectName(), "emptyState");
        QVERIFY(!rig.deleteShown());
        rig.fixture.store->addShortcut(added);
        QCOMPARE(rig.window.selection(), added.id);
        QVERIFY(rig.deleteShown());

        // Rows deleted (none: the delete button), the row selected before, the names left, the name selected after.
        const QList<std::tuple<const char *, QList<int>, int, QString, QString>> deletions{
            {"button, middle goes to first", {}, 1, "A,C", "A"},
            {"button, first goes to next first", {}, 0, "B,C", "B"},
            {"other row keeps selection", {2}, 0, "A,B", "A"},
            {"other row before selection", {0}, 2, "B,C", "C"},
            {"selected among several", {0, 2}, 2, "B", "B"},
            {"all rows", {0, 1, 2}, 1, "", ""}};
        for (const auto &[what, rows, selected, remaining, newSelection] : deletions) {
            const auto named = nameFailure(what);
            rig.fixture.store->setShortcuts(abc);
            const QUuid expected = rig.id(newSelection);
            rig.window.setSelection(abc.at(selected).id);
            if (rows.isEmpty())
                QTest::mouseClick(rig.find<QToolButton>("deleteButton"), Qt::LeftButton);
            else
                rig.window.deleteRows(rows);

            QCOMPARE(names(rig.fixture.store->shortcuts()).join(u','), remaining);
            QCOMPARE(rig.window.selection(), expected);
            QCOMPARE(rig.deleteShown(), !expected.isNull());
            if (expected.isNull())
                QCOMPARE(rig.find<QStackedWidget>("detail")->currentWidget()->objectName(), "emptyState");
            else
                QCOMPARE(rig.find<QLabel>("detailTitle")->text(), newSelection);
        }

        // F5 (96) has a fixed name, so no keyboard layout is needed to spell it.
        const QList<ShortcutItem> items{shortcut("Mail", ActionType::PasteText, "hello"),
                                        shortcut("Term", ActionType::RunCommand, "true", 96, Modifier::Control),
                                        shortcut("Web", ActionType::OpenURL, "example.org")};
        MainWindow &window = rig.window;
        auto *field = rig.find<QLineEdit>("searchField");
        auto shownNames = [&] {
            QStringList result;
            for (int row = 0; row < view->model()->rowCount(); ++row) {
                if (!view->isRowHidden(row))
                    result << model->items().at(row).name;
            }
            return result.join(QLatin1Char(','));
        };
        auto selectedName = [&] { return model->items().value(model->rowOf(window.selection())).name; };

        // Typed; then shown, selected, and selected once the selected one is edited to miss and deleted.
        const std::array<QString, 5> searches[]{
            {"nothing typed", "", "Mail,Term,Web", "Mail", "Term"},
            {"name, any case", "term", "Term", "Term", ""},
            {"payload", "EXAMPLE", "Web", "Web", ""},
            {"hotkey text", "ctrl+f5", "Term", "Term", ""},
            {"several, a shown selection stays", "e", "Mail,Term,Web", "Term", "Mail"},
            {"no match", "zzz", "", "", ""}};
        for (const auto &[what, needle, shown, selected, afterDeletingSelected] : searches) {
            const auto named = nameFailure(what);
            rig.fixture.store->setShortcuts(items);
            window.setSelection(rig.id("Term")); // a hidden selection must move
            QTest::keyClick(&window, Qt::Key_F, Qt::ControlModifier);
            QTRY_VERIFY(field->hasFocus());
            QTest::keyClicks(field, needle);
            if (needle.isEmpty())
                window.setSelection(rig.id("Mail"));
            QCOMPARE(shownNames(), shown);
            QCOMPARE(selectedName(), selected);

            // Editing the selected shortcut so it no longer matches keeps it shown and selected.
            if (!selected.isEmpty()) {
                ShortcutItem edited = rig.fixture.store->shortcuts().at(model->rowOf(window.selection()));
                edited.name = QStringLiteral("Q");
                edited.payload = QStringLiteral("q");
                edited.modifiers = 0;
                rig.fixture.store->update(edited);
                QVERIFY(shownNames().split(QLatin1Char(',')).contains(QStringLiteral("Q")));
                QCOMPARE(selectedName(), QStringLiteral("Q"));
                QMetaObject::invokeMethod(&window, &MainWindow::deleteSelected);
                QCOMPARE(selectedName(), afterDeletingSelected);
            }

            QTest::keyClick(field, Qt::Key_Escape);
            QCOMPARE(field->text(), QString());
            QCOMPARE(shownNames(), names(rig.fixture.store->shortcuts()).join(QLatin1Char(',')));
        }

        const QString exported = rig.fixture.dir.filePath(QStringLiteral("out.json"));
        const QByteArray partly =
            ShortcutItem::encodeList({shortcut("New"), shortcut("Newer")}).chopped(1) + R"(,{"id":"x"},42])";
        // The file (in the fixture's folder unless absolute), what is written to it, the list after, the report.
        const QList<std::tuple<const char *, QString, QByteArray, QString, QString>> imports{
            {"partly bad file", "in.json", partly, "A,New,Newer", "2"},
            {"not JSON", "in.json", "{nope", "A", "offset"},
            {"no file", "missing.json", {}, "A", "missing.json"},
            {"endless device", "/dev/zero", {}, "A", "larger than"}};
        for (const auto &[what, file, content, listAfter, reportHas] : imports) {
            const auto named = nameFailure(what);
            qDeleteAll(rig.window.findChildren<QMessageBox *>()); // the reports of the case before
            rig.fixture.store->setShortcuts({abc.first()});
            rig.window.exportTo(exported);

            const QString path = QDir(rig.fixture.dir.path()).filePath(file);
            if (!content.isEmpty()) {
                QFile in(path);
                QVERIFY(in.open(QIODevice::WriteOnly) && in.write(content) == content.size());
            }
            rig.window.importFrom(path);
            auto *report = rig.find<QMessageBox>("transferReport");
            QVERIFY(report);
            QVERIFY2(report->text().contains(reportHas), qPrintable(report->text()));
            const QList<ShortcutItem> after = rig.fixture.reloaded();
            QCOMPARE(names(after).join(QLatin1Char(',')), listAfter);
            QCOMPARE(after.first(), abc.first());
            if (after.size() == 3)
                QCOMPARE(rig.window.selection(), after.at(1).id);

            // Importing our own export again adds copies under fresh ids, never overwrites.
            rig.window.importFrom(exported);
            const QList<ShortcutItem> again = rig.fixture.reloaded();
            QCOMPARE(again.size(), after.size() + 1);
            QCOMPARE(again.first(), abc.first());
            QVERIFY(again.last().id != abc.first().id);
        }

        // Closed, the window gives its drawing buffer back. Each show is an appearance (the hotkeys are bound
        // again every time) and finds the window as it was.
        const QUuid selected = rig.window.selection();
        rig.window.close();
        QTRY_VERIFY(!rig.window.windowHandle());
        rig.window.show();
        QTRY_COMPARE(appeared.count(), 1);
        QCOMPARE(rig.window.selection(), selected);
        QCOMPARE(view->selectionModel()->selectedRows().size(), 1);
    }

    // With nothing selected the main window, like the settings window, tracks trust and the login preference;
    // the tray menu follows the stored list; a language switch reaches every window.
    void outsideState()
    {
        WindowRig rig({}); // not trusted
        const auto guidesOpened = [&] { return rig.fixture.journal.entries().join(u'\n').count("pasting.html"); };
        auto *warning = rig.find<QToolButton>("needAccessButton");
        QVERIFY(warning->isVisible());
        QCOMPARE(rig.fixture.trust.requests, 1);
        QTest::mouseClick(warning, Qt::LeftButton);
        QCOMPARE(rig.fixture.trust.requests, 2);
        QCOMPARE(guidesOpened(), 1);
        QVERIFY(warning->isVisible());
        // Granted while the window was away: the next appearance takes the warning down.
        rig.window.hide();
        rig.fixture.trust.trusted = true;
        rig.window.show();
        QTRY_VERIFY(!warning->isVisible());
        rig.fixture.trust.trusted = false;
        rig.window.refreshTrust();
        QTRY_VERIFY(warning->isVisible());

        SettingsWindow settings(rig.fixture.context);
        auto *status = settings.findChild<QLabel *>("accessibilityStatus");
        settings.show();
        // Trust is read on show: orange while needed, green once allowed.
        const QColor orange = status->palette().color(QPalette::WindowText);
        QVERIFY(orange.red() > orange.green() && orange.green() > orange.blue());
        rig.fixture.trust.trusted = true;
        settings.hide();
        settings.show();
        QCOMPARE(status->text(), text("ui.allowed"));
        const QColor green = status->palette().color(QPalette::WindowText);
        QVERIFY(green.green() > green.red());
        QTest::mouseClick(settings.findChild<QPushButton *>("openPrivacySettingsButton"), Qt::LeftButton);
        QCOMPARE(guidesOpened(), 2);

        // Both boxes write the preference and follow changes made elsewhere.
        auto *check = rig.find<QCheckBox>("launchAtLoginCheck");
        auto *toggle = settings.findChild<QCheckBox *>("launchAtLoginToggle");
        QVERIFY(!check->isChecked());
        QTest::mouseClick(check, Qt::LeftButton);
        QVERIFY(rig.fixture.store->launchAtLogin());
        QCOMPARE(rig.fixture.loginItem.calls.last(), QStringLiteral("register"));
        rig.fixture.store->setLaunchAtLogin(false);
        QVERIFY(!check->isChecked() && !toggle->isChecked());
        QTest::mouseClick(toggle, Qt::LeftButton);
        FakeLoginItem other;
        QVERIFY(SettingsStore(other, rig.fixture.store->filePath()).launchAtLogin());
        QCOMPARE(rig.fixture.loginItem.calls.last(), QStringLiteral("register"));
        rig.fixture.store->setLaunchAtLogin(false);

        // A refused registration keeps the preference and says so in the window.
        auto *problem = settings.findChild<QLabel *>("launchAtLoginProblem");
        QVERIFY(problem && problem->isHidden());
        rig.fixture.loginItem.failRegister = true;
        QTest::mouseClick(toggle, Qt::LeftButton);
        QVERIFY(toggle->isChecked() && rig.fixture.store->launchAtLogin());
        QVERIFY(problem->isVisible());
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

        // The icon's strokes, averaged by their cover: light on a dark palette, dark on a light one.
        auto lightest = [&] {
            const QImage icon = rig.find<QToolButton>("addButton")->icon().pixmap(16, 16).toImage();
            const QImage mean = icon.convertToFormat(QImage::Format_ARGB32_Premultiplied)
                                    .scaled(1, 1, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
            return qGray(mean.pixelColor(0, 0).rgb());
        };
        const QPalette original = QApplication::palette();
        QApplication::setPalette(QPalette(QColor(0x22, 0x22, 0x22))); // light text on dark
        QTRY_VERIFY(lightest() > 200);
        QApplication::setPalette(original);
        QTRY_VERIFY(lightest() < 100);

        // A tray menu over the stored list, rebuilt on each change itself: a tray host may read it any time.
        // F5 (96) has a fixed name, so no keyboard layout is needed to spell it.
        const QList<ShortcutItem> items{
            shortcut("Fish & Chips"), shortcut("Off", ActionType::PasteText, {}, 0, 0, false),
            shortcut("Run", ActionType::RunCommand, "true", 96, Modifier::Shift | Modifier::Command)};
        rig.fixture.store->setShortcuts(items);
        QStringList calls;
        TrayMenu menu(rig.fixture.context, [&] { calls << "open"; }, [&] { calls << "quit"; });
        // The shortcut lines, "(off)" after one that cannot be chosen; no item has a key of its own.
        const auto shortcutRows = [&] {
            QStringList rows;
            for (const QAction *action : menu.actions()) {
                if (!action->shortcut().isEmpty())
                    rows << QStringLiteral("key on ") + action->text();
                if (action->objectName() == QStringLiteral("shortcutAction") || !action->isEnabled())
                    rows << action->text() + (action->isEnabled() ? QString() : QStringLiteral(" (off)"));
            }
            return rows;
        };
        QCOMPARE(shortcutRows(),
                 (QStringList{"Fish && Chips  " + text("hotkey.notSet"), QStringLiteral("Run  Shift+Super+F5")}));

        menu.findChildren<QAction *>(QStringLiteral("shortcutAction")).value(1)->trigger();
        QCOMPARE(rig.fixture.runs, QList<ShortcutItem>{items.at(2)});
        menu.findChild<QAction *>("openMainWindowAction")->trigger();
        QCOMPARE(calls, QStringList{"open"});
        QCOMPARE(guidesOpened(), 2);
        menu.findChild<QAction *>("accessibilityAction")->trigger();
        QCOMPARE(guidesOpened(), 3);
        menu.findChild<QAction *>("quitAction")->trigger();
        QCOMPARE(calls, (QStringList{"open", "quit"}));
        QCOMPARE(rig.fixture.runs.size(), 1);

        ShortcutItem enabled = items.at(1);
        enabled.isEnabled = true;
        enabled.payload = QStringLiteral("echo changed");
        rig.fixture.store->update(enabled);
        menu.findChildren<QAction *>(QStringLiteral("shortcutAction")).value(1)->trigger();
        QCOMPARE(rig.fixture.runs.last(), enabled);

        rig.fixture.store->setShortcuts({items.at(1)});
        QCOMPARE(shortcutRows(), QStringList{text("ui.noActiveHotkeys") + QStringLiteral(" (off)")});

        // After a switch every window shows the texts a window made in the new language shows.
        struct Windows
        {
            QStringList texts()
            {
                window.show();
                settings.show();
                QStringList texts;
                const auto properties = {"text", "toolTip", "placeholderText", "windowTitle", "currentText"};
                for (QWidget *root : std::initializer_list<QWidget *>{&window, &settings, &menu}) {
                    QList<QObject *> objects = root->findChildren<QObject *>();
                    objects << root;
                    for (const QObject *object : objects) {
                        if (object->isWidgetType() || qobject_cast<const QAction *>(object)) {
                            for (const char *property : properties)
                                texts << object->property(property).toString();
                        }
                    }
                }
                return texts;
            }
            UiContext &context;
            MainWindow window{context};
            SettingsWindow settings{context};
            TrayMenu menu{context, {}, {}};
        };
        Windows switched{rig.fixture.context};
        const QStringList english = switched.texts();

        // Back to English even when a check fails, so later tests read the texts they expect.
        const auto restore = qScopeGuard([this] { m_translations->setLanguage(QStringLiteral("en")); });
        QVERIFY(m_translations->setLanguage(QStringLiteral("de")));
        const QStringList german = Windows{rig.fixture.context}.texts();
        QVERIFY(german != english);
        QTRY_COMPARE(switched.texts(), german);

        QVERIFY(m_translations->setLanguage(QStringLiteral("en")));
        QTRY_COMPARE(switched.texts(), english);
    }

private:
    std::unique_ptr<Translations> m_translations;
    QTemporaryDir m_data;
};

QTEST_MAIN(UiTest)
#include "tst_ui.moc"
