#include "MainWindow.h"

#include "ShortcutListModel.h"
#include "Strings.h"
#include "Translations.h"
#include "UiFixture.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QMimeData>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QToolButton>
#include <QtTest>

using namespace zl;

namespace {

/** A shown main window over a fixture holding the named shortcuts. */
struct WindowRig
{
    explicit WindowRig(const QStringList &list, const QList<ShortcutItem> &items = {})
        : fixture(items.isEmpty() ? itemsNamed(list) : items)
    {
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
    }
    static QList<ShortcutItem> itemsNamed(const QStringList &list)
    {
        QList<ShortcutItem> items;
        for (const QString &name : list)
            items << shortcut(name);
        return items;
    }
    template <typename T> T *find(const char *name) { return window.findChild<T *>(QLatin1StringView(name)); }
    QString page() { return find<QStackedWidget>("detail")->currentWidget()->objectName(); }
    bool deleteShown() { return !find<QToolButton>("deleteButton")->isHidden(); }
    QUuid id(const QString &name)
    {
        return fixture.store->shortcuts().value(names(fixture.store->shortcuts()).indexOf(name)).id;
    }
    QList<int> selectedRows()
    {
        QList<int> rows;
        for (const QModelIndex &index : find<QListView>("shortcutList")->selectionModel()->selectedRows())
            rows << index.row();
        return rows;
    }

    UiFixture fixture;
    MainWindow window{fixture.context};
};

} // namespace


class MainWindowTest final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { m_translations = std::make_unique<Translations>(); }

    void selectionFollowsTheList();
    void deleteRows_data();
    void deleteRows();
    void search_data();
    void search();
    void importAndExport_data();
    void importAndExport();
    void reorderIsSaved();
    void emptyWindowFollowsOutsideState();

private:
    std::unique_ptr<Translations> m_translations;
};

void MainWindowTest::selectionFollowsTheList()
{
    WindowRig rig({"First", "Second"});
    QSignalSpy appeared(&rig.window, &MainWindow::appeared);
    QCOMPARE(rig.window.selection(), rig.id("First"));
    QCOMPARE(rig.page(), QStringLiteral("editorPage"));
    QCOMPARE(rig.find<QLabel>("detailTitle")->text(), QStringLiteral("First"));
    QCOMPARE(rig.find<QLineEdit>("nameEdit")->text(), QStringLiteral("First"));
    // A long name elides in the title instead of widening the window.
    const int width = rig.window.width();
    ShortcutItem renamed = rig.fixture.store->shortcuts().first();
    renamed.name = QString(400, QLatin1Char('W'));
    rig.fixture.store->update(renamed);
    QCOMPARE(rig.window.width(), width);
    QVERIFY(rig.find<QLabel>("detailTitle")->text().endsWith(QChar(0x2026)));

    QTest::mouseClick(rig.find<QToolButton>("addButton"), Qt::LeftButton);
    const ShortcutItem added = rig.fixture.reloaded().value(2);
    QCOMPARE(added, (ShortcutItem{added.id, text("shortcut.defaultName"), true, ActionType::PasteText, {}, 0, 0}));
    QCOMPARE(rig.window.selection(), added.id);
    QCOMPARE(rig.selectedRows(), QList<int>{2});
    auto *name = rig.find<QLineEdit>("nameEdit");
    QTRY_VERIFY(name->hasFocus());
    QCOMPARE(name->selectedText(), added.name);

    // Deleted elsewhere: the empty state; the same id coming back (an undo) is selected again.
    rig.fixture.store->deleteIds({added.id});
    QCOMPARE(rig.page(), QStringLiteral("emptyState"));
    QVERIFY(!rig.deleteShown());
    rig.fixture.store->addShortcut(added);
    QCOMPARE(rig.page(), QStringLiteral("editorPage"));
    QVERIFY(rig.deleteShown());

    // Each show is an appearance: the hotkeys are bound again every time.
    rig.window.close();
    rig.window.show();
    QTRY_COMPARE(appeared.count(), 1);
}

void MainWindowTest::search_data()
{
    QTest::addColumn<QString>("needle");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("selected");
    QTest::addColumn<QString>("afterDeletingSelected");
    // "Mail" pastes "hello", "Term" has Ctrl+F5, "Web" opens example.org.
    QTest::newRow("nothing typed") << "" << "Mail,Term,Web" << "Mail" << "Term";
    QTest::newRow("name, any case") << "term" << "Term" << "Term" << "";
    QTest::newRow("payload") << "EXAMPLE" << "Web" << "Web" << "";
    QTest::newRow("hotkey text") << "ctrl+f5" << "Term" << "Term" << "";
    QTest::newRow("several, a shown selection stays") << "e" << "Mail,Term,Web" << "Term" << "Mail";
    QTest::newRow("no match") << "zzz" << "" << "" << "";
}

void MainWindowTest::search()
{
    QFETCH(QString, needle);
    QFETCH(QString, shown);
    QFETCH(QString, selected);
    QFETCH(QString, afterDeletingSelected);

    // F5 (96) has a fixed name, so no keyboard layout is needed to spell it.
    WindowRig rig({}, {shortcut("Mail", ActionType::PasteText, "hello"),
                       shortcut("Term", ActionType::RunCommand, "true", 96, Modifier::Control),
                       shortcut("Web", ActionType::OpenURL, "example.org")});
    MainWindow &window = rig.window;
    auto *field = rig.find<QLineEdit>("searchField");
    auto *list = rig.find<QListView>("shortcutList");
    auto shownNames = [&] {
        QStringList result;
        for (int row = 0; row < list->model()->rowCount(); ++row) {
            if (!list->isRowHidden(row))
                result << window.model()->items().at(row).name;
        }
        return result.join(QLatin1Char(','));
    };
    auto selectedName = [&] { return window.model()->items().value(window.model()->rowOf(window.selection())).name; };

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
        ShortcutItem edited = rig.fixture.store->shortcuts().at(window.model()->rowOf(window.selection()));
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

void MainWindowTest::importAndExport_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("listAfter");
    QTest::addColumn<QString>("reportHas");

    const QByteArray good = ShortcutItem::encodeList({shortcut("New"), shortcut("Newer")});
    QTest::newRow("good file") << good << "A,New,Newer" << "2";
    QByteArray partly = good;
    partly.chop(1);
    partly += R"(,{"id":"x"},42])";
    QTest::newRow("partly bad file") << partly << "A,New,Newer" << "2";
    QTest::newRow("not JSON") << QByteArray("{nope") << "A" << "offset";
    QTest::newRow("no file") << QByteArray() << "A" << "missing.json";
    QTest::newRow("endless device") << QByteArray("/dev/zero") << "A" << "larger than";
}

void MainWindowTest::importAndExport()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, listAfter);
    QFETCH(QString, reportHas);

    WindowRig rig({"A"});
    const QString exported = rig.fixture.dir.filePath(QStringLiteral("out.json"));
    rig.window.exportTo(exported);
    const QList<ShortcutItem> before = rig.fixture.reloaded();

    QString path = rig.fixture.dir.filePath(QStringLiteral("missing.json"));
    if (file.startsWith("/dev/")) {
        path = QString::fromLatin1(file);
    } else if (!file.isEmpty()) {
        path = rig.fixture.dir.filePath(QStringLiteral("in.json"));
        QFile in(path);
        QVERIFY(in.open(QIODevice::WriteOnly) && in.write(file) == file.size());
    }
    rig.window.importFrom(path);
    auto *report = rig.find<QMessageBox>("transferReport");
    QVERIFY(report);
    QVERIFY2(report->text().contains(reportHas), qPrintable(report->text()));
    const QList<ShortcutItem> after = rig.fixture.reloaded();
    QCOMPARE(names(after).join(QLatin1Char(',')), listAfter);
    QCOMPARE(after.first(), before.first());
    if (after.size() == 3)
        QCOMPARE(rig.window.selection(), after.at(1).id);

    // Importing our own export again adds copies under fresh ids, never overwrites.
    rig.window.importFrom(exported);
    const QList<ShortcutItem> again = rig.fixture.reloaded();
    QCOMPARE(again.size(), after.size() + 1);
    QCOMPARE(again.first(), before.first());
    QVERIFY(again.last().id != before.first().id);
}

void MainWindowTest::deleteRows_data()
{
    QTest::addColumn<QString>("via");
    QTest::addColumn<QList<int>>("rows");
    QTest::addColumn<int>("selected");
    QTest::addColumn<QString>("remaining");
    QTest::addColumn<QString>("newSelection");

    QTest::newRow("button, middle goes to first") << "button" << QList<int>{} << 1 << "A,C" << "A";
    QTest::newRow("button, first goes to next first") << "button" << QList<int>{} << 0 << "B,C" << "B";
    QTest::newRow("Delete key on a clicked row") << "key" << QList<int>{} << 1 << "A,C" << "A";
    QTest::newRow("other row keeps selection") << "command" << QList<int>{2} << 0 << "A,B" << "A";
    QTest::newRow("other row before selection") << "command" << QList<int>{0} << 2 << "B,C" << "C";
    QTest::newRow("selected among several") << "command" << QList<int>{0, 2} << 2 << "B" << "B";
    QTest::newRow("all rows") << "command" << QList<int>{0, 1, 2} << 1 << "" << "";
}

void MainWindowTest::deleteRows()
{
    QFETCH(QString, via);
    QFETCH(QList<int>, rows);
    QFETCH(int, selected);
    QFETCH(QString, remaining);
    QFETCH(QString, newSelection);

    const QStringList list{"A", "B", "C"};
    WindowRig rig(list);
    const QUuid expected = rig.id(newSelection);
    if (via == QLatin1StringView("key")) {
        auto *view = rig.find<QListView>("shortcutList");
        const QPoint at = view->visualRect(view->model()->index(selected, 0)).center();
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
        QCOMPARE(rig.window.selection(), rig.id(list.at(selected)));
        view->setFocus();
        QTest::keyClick(view, Qt::Key_Delete);
    } else {
        rig.window.setSelection(rig.id(list.at(selected)));
        if (via == QLatin1StringView("button"))
            QTest::mouseClick(rig.find<QToolButton>("deleteButton"), Qt::LeftButton);
        else
            rig.window.deleteRows(rows);
    }

    QCOMPARE(names(rig.fixture.store->shortcuts()).join(u','), remaining);
    QCOMPARE(rig.window.selection(), expected);
    QCOMPARE(rig.deleteShown(), !expected.isNull());
    if (expected.isNull())
        QCOMPARE(rig.page(), QStringLiteral("emptyState"));
    else
        QCOMPARE(rig.find<QLabel>("detailTitle")->text(), newSelection);
}

void MainWindowTest::reorderIsSaved()
{
    WindowRig rig({"A", "B", "C"});
    const QUuid b = rig.id("B");
    rig.window.setSelection(b);

    ShortcutListModel *model = rig.window.model();
    std::unique_ptr<QMimeData> dragged(model->mimeData({model->index(2)}));
    model->dropMimeData(dragged.get(), Qt::MoveAction, 0, 0, QModelIndex());
    QCOMPARE(names(rig.fixture.reloaded()), (QStringList{"C", "A", "B"}));
    QCOMPARE(rig.window.selection(), b);
    QCOMPARE(rig.selectedRows(), QList<int>{2});

    // Without a mouse: Alt+Shift+Up/Down move the selected row, which stays selected; the top row stays put.
    const QList<std::pair<Qt::Key, QStringList>> moves{
        {Qt::Key_Up, {"C", "B", "A"}},
        {Qt::Key_Up, {"B", "C", "A"}},
        {Qt::Key_Up, {"B", "C", "A"}},
        {Qt::Key_Down, {"C", "B", "A"}}};
    for (const auto &[key, order] : moves) {
        QTest::keyClick(rig.find<QListView>("shortcutList"), key, Qt::AltModifier | Qt::ShiftModifier);
        QCOMPARE(names(rig.fixture.reloaded()), order);
    }
    QCOMPARE(rig.selectedRows(), QList<int>{1});
}

// With nothing selected the window still tracks trust, the login preference and the palette.
void MainWindowTest::emptyWindowFollowsOutsideState()
{
    WindowRig rig({}); // not trusted
    QVERIFY(rig.window.selection().isNull());
    QCOMPARE(rig.page(), QStringLiteral("emptyState"));

    auto *warning = rig.find<QToolButton>("needAccessButton");
    QVERIFY(warning->isVisible());
    QCOMPARE(rig.fixture.trust.requests, 1);
    QTest::mouseClick(warning, Qt::LeftButton);
    QCOMPARE(rig.fixture.trust.requests, 2);
    QVERIFY(rig.fixture.journal.entries().join(u'\n').contains(QStringLiteral("pasting.html")));
    QVERIFY(warning->isVisible());
    // Granted while the window was away: the next appearance takes the warning down.
    rig.window.hide();
    rig.fixture.trust.trusted = true;
    rig.window.show();
    QTRY_VERIFY(!warning->isVisible());
    rig.fixture.trust.trusted = false;
    rig.window.refreshTrust();
    QTRY_VERIFY(warning->isVisible());

    // The checkbox writes the preference and follows changes made elsewhere.
    auto *check = rig.find<QCheckBox>("launchAtLoginCheck");
    QVERIFY(!check->isChecked());
    QTest::mouseClick(check, Qt::LeftButton);
    QVERIFY(rig.fixture.store->launchAtLogin());
    QCOMPARE(rig.fixture.loginItem.calls.last(), QStringLiteral("register"));
    rig.fixture.store->setLaunchAtLogin(false);
    QVERIFY(!check->isChecked());

    auto lightest = [&] {
        const QImage image = rig.find<QToolButton>("addButton")->icon().pixmap(16, 16).toImage();
        int best = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                if (qAlpha(image.pixel(x, y)) > 128)
                    best = std::max(best, qGray(image.pixel(x, y)));
            }
        }
        return best;
    };
    const QPalette original = QApplication::palette();
    QPalette dark = original;
    dark.setColor(QPalette::WindowText, QColor(0xEE, 0xEE, 0xEE));
    dark.setColor(QPalette::Window, QColor(0x22, 0x22, 0x22));
    QApplication::setPalette(dark);
    QTRY_VERIFY(lightest() > 200);
    QApplication::setPalette(original);
    QTRY_VERIFY(lightest() < 100);
}

QTEST_MAIN(MainWindowTest)
#include "tst_mainwindow.moc"
