#include "ShortcutEditor.h"

#include "ApplicationListDialog.h"
#include "GioApplicationList.h"
#include "HotkeyRecorder.h"
#include "ShortcutListModel.h"
#include "Strings.h"
#include "Translations.h"
#include "TrayMenu.h"
#include "UiFixture.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

using namespace zl;

namespace {

/** An editor on the first shortcut of the fixture, shown in its own window. */
struct EditorRig
{
    explicit EditorRig(const ShortcutItem &item) : fixture({item}), editor(fixture.context)
    {
        editor.setItem(item);
        editor.show();
        QApplication::setActiveWindow(&editor);
    }

    template <typename T> T *find(const QString &name) { return editor.findChild<T *>(name); }
    ShortcutItem stored() const { return fixture.store->shortcuts().first(); }
    QStringList shownPayloadControls()
    {
        QStringList shown;
        const QRegularExpression payloadEdit(QStringLiteral("PayloadEdit$"));
        for (const QWidget *control : editor.findChildren<QWidget *>(payloadEdit)) {
            if (control->isVisibleTo(&editor))
                shown << control->objectName();
        }
        return shown;
    }

    UiFixture fixture;
    ShortcutEditor editor;
};

// The row'th shortcut of every list the store published.
QList<ShortcutItem> published(const QSignalSpy &spy, int row = 0)
{
    QList<ShortcutItem> items;
    for (const QList<QVariant> &call : spy)
        items << call.first().value<QList<ShortcutItem>>().value(row);
    return items;
}

} // namespace

class EditorTest final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void switchingTypeKeepsThePayload_data();
    void switchingTypeKeepsThePayload();
    void typingWritesTheWholeShortcutAndKeepsTheCursor();
    void chooserReplacesThePayload();
    void applicationListFromDesktopEntries();
    void commandShortcut();

    void capture_data();
    void capture();
    void everyWayOutReleasesTheGrab();

private:
    std::unique_ptr<Translations> m_translations;
    QTemporaryDir m_data;
};

void EditorTest::initTestCase()
{
    m_translations = std::make_unique<Translations>();
    // GIO reads the data folders once per process, so they are set before any test can ask it.
    QVERIFY(m_data.isValid());
    qputenv("XDG_DATA_HOME", m_data.filePath(QStringLiteral("nothing")).toUtf8());
    qputenv("XDG_DATA_DIRS", m_data.path().toUtf8());
}

void EditorTest::switchingTypeKeepsThePayload_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("placeholder");
    QTest::newRow("paste") << int(ActionType::PasteText) << "pastePayloadEdit" << "pastePlaceholder";
    QTest::newRow("paste and enter") << int(ActionType::PasteTextAndEnter) << "pastePayloadEdit" << "pastePlaceholder";
    QTest::newRow("command") << int(ActionType::RunCommand) << "commandPayloadEdit" << "";
    QTest::newRow("launch") << int(ActionType::LaunchApp) << "launchPayloadEdit" << "";
    QTest::newRow("url") << int(ActionType::OpenURL) << "urlPayloadEdit" << "";
    QTest::newRow("urls") << int(ActionType::OpenURLs) << "urlsPayloadEdit" << "urlsPlaceholder";
}

void EditorTest::switchingTypeKeepsThePayload()
{
    QFETCH(int, type);
    QFETCH(QString, control);
    QFETCH(QString, placeholder);
    const QString payload = QStringLiteral("echo one\nhttps://example.org");
    EditorRig rig(shortcut("A", ActionType::OpenURL, payload));

    rig.find<QComboBox>("typePicker")->setCurrentIndex(type);
    QCOMPARE(rig.stored().actionType.kind(), ActionType::Kind(type));
    QCOMPARE(rig.stored().payload, payload);
    QCOMPARE(rig.shownPayloadControls(), QStringList{control});
    QCOMPARE(rig.find<QLabel>("helpText")->text(), rig.stored().actionType.helpText());
    QWidget *shown = rig.find<QWidget>(control);
    auto *lines = qobject_cast<QPlainTextEdit *>(shown);
    QCOMPARE(lines ? lines->toPlainText() : qobject_cast<QLineEdit *>(shown)->text(), payload);

    // The placeholder stands only for an empty payload: a single space hides it.
    if (!placeholder.isEmpty()) {
        QLabel *label = rig.find<QLabel>(placeholder);
        QVERIFY(!label->isVisible());
        QCOMPARE(label->text(), rig.stored().actionType.placeholder());
        lines->setFocus();
        lines->selectAll();
        QTest::keyClick(lines, Qt::Key_Backspace);
        QVERIFY(rig.stored().payload.isEmpty());
        QVERIFY(label->isVisible());
        QTest::keyClicks(lines, QStringLiteral(" "));
        QCOMPARE(rig.stored().payload, QStringLiteral(" "));
        QVERIFY(!label->isVisible());
        QTest::keyClick(lines, Qt::Key_Backspace);
        rig.editor.setItem(rig.stored());
        QVERIFY(label->isVisible());
        return;
    }
    rig.find<QComboBox>("typePicker")->setCurrentIndex(ActionType::PasteText);
    QCOMPARE(rig.find<QPlainTextEdit>("pastePayloadEdit")->toPlainText(), payload);
    QCOMPARE(rig.stored().payload, payload);
}

void EditorTest::typingWritesTheWholeShortcutAndKeepsTheCursor()
{
    const ShortcutItem original = shortcut("Note", ActionType::PasteText, "hello", 49, Modifier::Control, false);
    EditorRig rig(original);
    QSignalSpy spy(rig.fixture.store.get(), &SettingsStore::shortcutsChanged);

    auto *name = rig.find<QLineEdit>("nameEdit");
    name->setFocus();
    name->setCursorPosition(0);
    QTest::keyClicks(name, QStringLiteral("My "));
    // Each keystroke writes the whole shortcut: the name changed, every other field kept.
    QCOMPARE(spy.count(), 3);
    for (ShortcutItem item : published(spy)) {
        item.name = original.name;
        QCOMPARE(item, original);
    }
    QCOMPARE(rig.stored().name, QStringLiteral("My Note"));
    QCOMPARE(name->cursorPosition(), 3);

    auto *payload = rig.find<QPlainTextEdit>("pastePayloadEdit");
    payload->setFocus();
    QTextCursor cursor = payload->textCursor();
    cursor.setPosition(2);
    payload->setTextCursor(cursor);
    QTest::keyClicks(payload, QStringLiteral("XY"));
    QCOMPARE(rig.stored().payload, QStringLiteral("heXYllo"));
    QCOMPARE(payload->textCursor().position(), 4);
}

// Cancelling the chooser keeps the payload; a chosen application replaces it.
void EditorTest::chooserReplacesThePayload()
{
    EditorRig rig(shortcut("A", ActionType::LaunchApp, "org.example.Editor"));
    const QString path = QStringLiteral("/usr/share/applications/org.example.Other.desktop");
    for (const QString &expected : {QStringLiteral("org.example.Editor"), path}) {
        QTest::mouseClick(rig.find<QPushButton>("chooseApplicationButton"), Qt::LeftButton);
        QCOMPARE(rig.fixture.reloaded().first().payload, expected);
        QCOMPARE(rig.find<QLineEdit>("launchPayloadEdit")->text(), expected);
        rig.fixture.chooser.answer = path;
    }
    QCOMPARE(rig.fixture.chooser.calls, 2);
}

void EditorTest::capture_data()
{
    QTest::addColumn<quint32>("scanCode");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<quint32>("keyCode"); // stored; with no mask nothing is
    QTest::addColumn<quint32>("mask");
    QTest::addColumn<bool>("stillRecording");

    // X11 keycodes: 38 A, 26 E, 9 Escape, 50 Shift_L, 66 Caps_Lock; stored key codes: 0 A, 14 E.
    const int all = Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier | Qt::MetaModifier;
    QTest::newRow("shift A") << 38u << int(Qt::Key_A) << int(Qt::ShiftModifier) << 0u << Modifier::Shift << false;
    QTest::newRow("all four E") << 26u << int(Qt::Key_E) << all << 14u << Modifier::All << false;
    QTest::newRow("A alone") << 38u << int(Qt::Key_A) << 0 << 0u << 0u << true;
    QTest::newRow("keypad flag alone") << 38u << int(Qt::Key_A) << int(Qt::KeypadModifier) << 0u << 0u << true;
    QTest::newRow("escape") << 9u << int(Qt::Key_Escape) << 0 << 0u << 0u << false;
    QTest::newRow("command escape") << 9u << int(Qt::Key_Escape) << int(Qt::MetaModifier) << 0u << 0u << false;
    QTest::newRow("shift key alone") << 50u << int(Qt::Key_Shift) << int(Qt::ShiftModifier) << 0u << 0u << true;
    QTest::newRow("caps lock alone") << 66u << int(Qt::Key_CapsLock) << 0 << 0u << 0u << true;
}

void EditorTest::capture()
{
    QFETCH(quint32, scanCode);
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(quint32, keyCode);
    QFETCH(quint32, mask);
    QFETCH(bool, stillRecording);

    const ShortcutItem original = shortcut("A", ActionType::PasteText, "x", 49, Modifier::Control);
    EditorRig rig(original);
    auto *recorder = rig.find<HotkeyRecorder>("hotkeyRecorder");
    QTest::mouseClick(rig.find<QPushButton>("recordButton"), Qt::LeftButton);
    QVERIFY(recorder->isRecording());
    QCOMPARE(rig.find<QPushButton>("recordButton")->text(), text("ui.recording"));
    QCOMPARE(QWidget::keyboardGrabber(), recorder);

    QSignalSpy spy(rig.fixture.store.get(), &SettingsStore::shortcutsChanged);
    QKeyEvent press(QEvent::KeyPress, key, Qt::KeyboardModifiers(modifiers), scanCode, 0, 0);
    QApplication::sendEvent(QWidget::keyboardGrabber(), &press);

    QCOMPARE(recorder->isRecording(), stillRecording);
    QCOMPARE(QWidget::keyboardGrabber(), stillRecording ? recorder : nullptr);
    if (mask == 0) {
        QCOMPARE(spy.count(), 0);
        return;
    }
    // Key code first, on its own, then the mask.
    const QList<ShortcutItem> writes = published(spy);
    QCOMPARE(writes.size(), 2);
    QCOMPARE(writes.at(0).keyCode, keyCode);
    QCOMPARE(writes.at(0).modifiers, original.modifiers);
    QCOMPARE(writes.at(1).keyCode, keyCode);
    QCOMPARE(writes.at(1).modifiers, mask);
    QCOMPARE(rig.fixture.reloaded().first().modifiers, mask);
    QCOMPARE(rig.find<QPushButton>("recordButton")->text(), text("ui.record"));
    QVERIFY(!rig.find<QPushButton>("resetButton")->isHidden());
}

void EditorTest::everyWayOutReleasesTheGrab()
{
    const ShortcutItem first = shortcut("A", ActionType::PasteText, "x", 49, Modifier::Control);
    EditorRig rig(first);
    auto *recorder = rig.find<HotkeyRecorder>("hotkeyRecorder");
    auto *record = rig.find<QPushButton>("recordButton");
    QVERIFY(QTest::qWaitForWindowActive(&rig.editor));
    QSignalSpy spy(rig.fixture.store.get(), &SettingsStore::shortcutsChanged);

    // Clicking record again ends recording and writes nothing.
    QTest::mouseClick(record, Qt::LeftButton);
    QTest::mouseClick(record, Qt::LeftButton);
    QVERIFY(!recorder->isRecording());
    QCOMPARE(QWidget::keyboardGrabber(), nullptr);
    QCOMPARE(spy.count(), 0);

    // So does focus leaving the recorder.
    QTest::mouseClick(record, Qt::LeftButton);
    QCOMPARE(QWidget::keyboardGrabber(), recorder);
    rig.find<QLineEdit>("nameEdit")->setFocus(Qt::MouseFocusReason);
    QVERIFY(!recorder->isRecording());
    QCOMPARE(QWidget::keyboardGrabber(), nullptr);

    // Editing another shortcut starts with a recorder that is not recording.
    QTest::mouseClick(record, Qt::LeftButton);
    ShortcutItem second = shortcut("B");
    rig.fixture.store->addShortcut(second);
    rig.editor.setItem(second);
    QVERIFY(!recorder->isRecording());
    QCOMPARE(QWidget::keyboardGrabber(), nullptr);

    // Reset is offered for any part of a combination; it ends recording and writes key code 0, then the empty mask.
    auto *reset = rig.find<QPushButton>("resetButton");
    QVERIFY(reset->isHidden());
    second.keyCode = 49;
    rig.fixture.store->update(second);
    rig.editor.setItem(second);
    QVERIFY(!reset->isHidden());
    second.modifiers = Modifier::Command;
    rig.fixture.store->update(second);
    QTest::mouseClick(record, Qt::LeftButton);
    spy.clear();
    QTest::mouseClick(reset, Qt::LeftButton);
    const QList<ShortcutItem> writes = published(spy, 1);
    QCOMPARE(writes.size(), 2);
    QCOMPARE(writes.at(0).keyCode, 0u);
    QCOMPARE(writes.at(0).modifiers, Modifier::Command);
    QVERIFY(!rig.fixture.reloaded().at(1).hasHotkey());
    QVERIFY(!recorder->isRecording());
    QCOMPARE(QWidget::keyboardGrabber(), nullptr);
    QVERIFY(reset->isHidden());
    QCOMPARE(rig.find<QLabel>("combinationBox")->text(), text("hotkey.notSet"));

    // Hiding or destroying it does too.
    QTest::mouseClick(record, Qt::LeftButton);
    rig.editor.hide();
    QCOMPARE(QWidget::keyboardGrabber(), nullptr);
    rig.editor.show();
    QTest::mouseClick(record, Qt::LeftButton);
    QCOMPARE(QWidget::keyboardGrabber(), recorder);
    delete recorder;
    QCOMPARE(QWidget::keyboardGrabber(), nullptr);
}

void EditorTest::applicationListFromDesktopEntries()
{
    const auto entry = [&](const QString &file, const QByteArray &lines) {
        QVERIFY(QDir(m_data.path()).mkpath(QFileInfo(m_data.filePath(file)).path()));
        QFile out(m_data.filePath(file));
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write("[Desktop Entry]\nType=Application\nExec=true\n" + lines);
    };
    entry(QStringLiteral("applications/org.example.Calc.desktop"), "Name=Calculator\nIcon=accessories-calculator\n");
    entry(QStringLiteral("applications/kde/org.example.Edit.desktop"), "Name=editor\n");
    entry(QStringLiteral("applications/org.example.Secret.desktop"), "Name=Secret\nNoDisplay=true\n");
    entry(QStringLiteral("applications/org.example.Gone.desktop"), "Name=Gone\nHidden=true\n");
    const QList<InstalledApplication> installed = GioApplicationList::installed();
    QStringList ids;
    for (const InstalledApplication &application : installed)
        ids << application.id;
    QCOMPARE(ids, (QStringList{"org.example.Calc", "kde-org.example.Edit"}));

    ApplicationListDialog dialog(installed);
    auto *filter = dialog.findChild<QLineEdit *>(QStringLiteral("applicationFilter"));
    QCOMPARE(dialog.chosenId(), QStringLiteral("org.example.Calc"));
    QTest::keyClicks(filter, QStringLiteral("EDI"));
    QCOMPARE(dialog.chosenId(), QStringLiteral("kde-org.example.Edit"));
    QTest::keyClicks(filter, QStringLiteral("zz"));
    QCOMPARE(dialog.chosenId(), QString());
    QTest::mouseClick(dialog.findChild<QPushButton *>(QStringLiteral("otherApplication")), Qt::LeftButton);
    QCOMPARE(dialog.result(), ApplicationListDialog::OtherRequested);
}

// A disabled command shortcut with a hotkey: its buttons, its problem line, what screen readers get.
void EditorTest::commandShortcut()
{
    const ShortcutItem item = shortcut("Mail", ActionType::RunCommand, "true", 96, Modifier::Control, false);
    EditorRig rig(item);
    QTest::mouseClick(rig.find<QPushButton>("runNowButton"), Qt::LeftButton);
    QCOMPARE(rig.fixture.runs, QList<ShortcutItem>{item});
    // The trigger command names this shortcut by its id and is copied as shown.
    QTest::mouseClick(rig.find<QPushButton>("copyTriggerButton"), Qt::LeftButton);
    QCOMPARE(QGuiApplication::clipboard()->text(), QCoreApplication::applicationFilePath() + QStringLiteral(" --run ")
                                                       + item.id.toString(QUuid::WithoutBraces));

    QSet<const QWidget *> labelled;
    for (const QLabel *label : rig.editor.findChildren<QLabel *>())
        labelled.insert(label->buddy());
    auto *picker = rig.find<QComboBox>(QStringLiteral("typePicker"));
    for (int kind = 0; kind < picker->count(); ++kind) {
        picker->setCurrentIndex(kind);
        for (QWidget *control : rig.editor.findChildren<QWidget *>()) {
            const bool input = qobject_cast<QLineEdit *>(control) || qobject_cast<QPlainTextEdit *>(control)
                               || qobject_cast<QComboBox *>(control) || qobject_cast<HotkeyRecorder *>(control);
            if (input && control->isVisibleTo(&rig.editor) && control->parentWidget() != picker)
                QVERIFY2(labelled.contains(control) || !control->accessibleName().isEmpty(),
                         qPrintable(control->objectName()));
        }
    }
    ShortcutListModel model(*rig.fixture.store);
    QCOMPARE(model.index(0).data(Qt::AccessibleTextRole).toString(),
             QStringLiteral("Mail, %1, Ctrl+F5").arg(rig.stored().actionType.title()));

    QString problem = QStringLiteral("Ctrl+F5 is taken by another program.");
    rig.fixture.context.hotkeyProblem = [&](const ShortcutItem &) { return problem; };
    rig.editor.refreshProblem();
    auto *line = rig.find<QLabel>("hotkeyProblem");
    QVERIFY(line->isVisibleTo(&rig.editor));
    QCOMPARE(line->text(), problem);
    rig.find<QCheckBox>("enabledToggle")->setChecked(true);
    TrayMenu menu(rig.fixture.context, [] {}, [] {});
    QCOMPARE(menu.findChild<QAction *>(QStringLiteral("shortcutAction"))->toolTip(), problem);
    problem.clear();
    rig.editor.refreshProblem();
    QVERIFY(!line->isVisibleTo(&rig.editor));
}

QTEST_MAIN(EditorTest)
#include "tst_editor.moc"
