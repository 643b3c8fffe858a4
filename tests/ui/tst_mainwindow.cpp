#include "MainWindow.h"

#include "ShortcutListModel.h"
#include "Strings.h"
#include "Translations.h"
#include "UiFixture.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMimeData>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QToolButton>
#include <QtTest>

using namespace zl;

class MainWindowTest final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { m_translations = std::make_unique<Translations>(); }

    void showingSelectsTheFirstShortcut();
    void emptyListShowsTheEmptyState();
    void addSelectsTheNewShortcut();
    void deleteButton_data();
    void deleteButton();
    void deleteCommand_data();
    void deleteCommand();
    void deleteKeyRemovesTheSelectedRow();
    void vanishedSelectionShowsTheEmptyState();
    void reorderIsSaved();
    void warningFollowsTrust();
    void launchAtLoginCheckboxFollowsTheStore();

private:
    static QWidget *detailPage(MainWindow &window)
    {
        return window.findChild<QStackedWidget *>(QStringLiteral("detail"))->currentWidget();
    }
    static QToolButton *deleteButton(MainWindow &window)
    {
        return window.findChild<QToolButton *>(QStringLiteral("deleteButton"));
    }
    static void showAndWait(MainWindow &window)
    {
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
    }

    std::unique_ptr<Translations> m_translations;
};

void MainWindowTest::showingSelectsTheFirstShortcut()
{
    UiFixture fixture({makeItem(QStringLiteral("First")), makeItem(QStringLiteral("Second"))});
    MainWindow window(fixture.context);
    QSignalSpy appeared(&window, &MainWindow::appeared);
    QVERIFY(window.selection().isNull());
    showAndWait(window);

    QCOMPARE(window.selection(), fixture.store->shortcuts().at(0).id);
    QCOMPARE(detailPage(window)->objectName(), QStringLiteral("editorPage"));
    QCOMPARE(window.findChild<QLabel *>(QStringLiteral("detailTitle"))->text(), QStringLiteral("First"));
    QCOMPARE(window.findChild<QLineEdit *>(QStringLiteral("nameEdit"))->text(), QStringLiteral("First"));
    QCOMPARE(window.size(), QSize(900, 560));
    QCOMPARE(window.minimumSize(), QSize(780, 480));

    // Each show is an appearance: the hotkeys are bound again every time.
    window.close();
    QVERIFY(!window.isVisible());
    showAndWait(window);
    QCOMPARE(appeared.count(), 2);
}

void MainWindowTest::emptyListShowsTheEmptyState()
{
    UiFixture fixture({});
    MainWindow window(fixture.context);
    showAndWait(window);
    QVERIFY(window.selection().isNull());
    QCOMPARE(detailPage(window)->objectName(), QStringLiteral("emptyState"));
    QVERIFY(deleteButton(window)->isHidden());
    QCOMPARE(window.findChild<QLabel *>(QStringLiteral("emptyTitle"))->text(), text("ui.selectHotkey"));
}

void MainWindowTest::addSelectsTheNewShortcut()
{
    UiFixture fixture({makeItem(QStringLiteral("First"))});
    MainWindow window(fixture.context);
    showAndWait(window);
    QTest::mouseClick(window.findChild<QToolButton *>(QStringLiteral("addButton")), Qt::LeftButton);

    const QList<ShortcutItem> stored = fixture.reloaded();
    QCOMPARE(stored.size(), 2);
    const ShortcutItem added = stored.last();
    QCOMPARE(added.name, text("shortcut.defaultName"));
    QVERIFY(added.isEnabled);
    QCOMPARE(added.actionType, ActionType(ActionType::PasteText));
    QVERIFY(added.payload.isEmpty());
    QVERIFY(!added.hasHotkey());
    QCOMPARE(window.selection(), added.id);
    QCOMPARE(window.findChild<QLineEdit *>(QStringLiteral("nameEdit"))->text(), added.name);
    const QModelIndexList rows =
        window.findChild<QListView *>(QStringLiteral("shortcutList"))->selectionModel()->selectedRows();
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows.first().row(), 1);
    QVERIFY(!deleteButton(window)->isHidden());
}

void MainWindowTest::deleteButton_data()
{
    QTest::addColumn<QStringList>("list");
    QTest::addColumn<int>("selected");
    QTest::addColumn<QStringList>("remaining");
    QTest::addColumn<QString>("newSelection");

    QTest::newRow("only shortcut") << QStringList{"A"} << 0 << QStringList{} << QString();
    QTest::newRow("middle goes to first") << QStringList{"A", "B", "C"} << 1 << QStringList{"A", "C"} << "A";
    QTest::newRow("first goes to next first") << QStringList{"A", "B"} << 0 << QStringList{"B"} << "B";
}

void MainWindowTest::deleteButton()
{
    QFETCH(QStringList, list);
    QFETCH(int, selected);
    QFETCH(QStringList, remaining);
    QFETCH(QString, newSelection);

    QList<ShortcutItem> items;
    for (const QString &name : list)
        items << makeItem(name);
    UiFixture fixture(items);
    MainWindow window(fixture.context);
    showAndWait(window);
    window.setSelection(items.at(selected).id);
    QTest::mouseClick(deleteButton(window), Qt::LeftButton);

    QCOMPARE(names(fixture.store->shortcuts()), remaining);
    if (newSelection.isEmpty()) {
        QVERIFY(window.selection().isNull());
        QCOMPARE(detailPage(window)->objectName(), QStringLiteral("emptyState"));
        QVERIFY(deleteButton(window)->isHidden());
    } else {
        QCOMPARE(window.selection(), items.at(list.indexOf(newSelection)).id);
        QCOMPARE(window.findChild<QLabel *>(QStringLiteral("detailTitle"))->text(), newSelection);
    }
}

void MainWindowTest::deleteCommand_data()
{
    QTest::addColumn<QList<int>>("rows");
    QTest::addColumn<int>("selected");
    QTest::addColumn<QStringList>("remaining");
    QTest::addColumn<QString>("newSelection");

    QTest::newRow("other row keeps selection") << QList<int>{2} << 0 << QStringList{"A", "B"} << "A";
    QTest::newRow("other row before selection") << QList<int>{0} << 2 << QStringList{"B", "C"} << "C";
    QTest::newRow("selected among several") << QList<int>{0, 2} << 2 << QStringList{"B"} << "B";
    QTest::newRow("all rows") << QList<int>{0, 1, 2} << 1 << QStringList{} << QString();
}

void MainWindowTest::deleteCommand()
{
    QFETCH(QList<int>, rows);
    QFETCH(int, selected);
    QFETCH(QStringList, remaining);
    QFETCH(QString, newSelection);

    const QList<ShortcutItem> items{makeItem("A"), makeItem("B"), makeItem("C")};
    UiFixture fixture(items);
    MainWindow window(fixture.context);
    showAndWait(window);
    window.setSelection(items.at(selected).id);
    window.deleteRows(rows);

    QCOMPARE(names(fixture.store->shortcuts()), remaining);
    const QUuid expected = newSelection.isEmpty() ? QUuid() : items.at(QStringList{"A", "B", "C"}.indexOf(newSelection)).id;
    QCOMPARE(window.selection(), expected);
    QCOMPARE(deleteButton(window)->isHidden(), expected.isNull());
}

void MainWindowTest::deleteKeyRemovesTheSelectedRow()
{
    const QList<ShortcutItem> items{makeItem("A"), makeItem("B"), makeItem("C")};
    UiFixture fixture(items);
    MainWindow window(fixture.context);
    showAndWait(window);
    auto *list = window.findChild<QListView *>(QStringLiteral("shortcutList"));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(list->model()->index(1, 0)).center());
    QCOMPARE(window.selection(), items.at(1).id);

    list->setFocus();
    QTest::keyClick(list, Qt::Key_Delete);
    QCOMPARE(names(fixture.store->shortcuts()), (QStringList{"A", "C"}));
    QCOMPARE(window.selection(), items.at(0).id);
}

void MainWindowTest::vanishedSelectionShowsTheEmptyState()
{
    const QList<ShortcutItem> items{makeItem("A"), makeItem("B")};
    UiFixture fixture(items);
    MainWindow window(fixture.context);
    showAndWait(window);
    window.setSelection(items.at(1).id);

    fixture.store->deleteIds({items.at(1).id});
    QCOMPARE(detailPage(window)->objectName(), QStringLiteral("emptyState"));
    QVERIFY(deleteButton(window)->isHidden());

    // The same id coming back (an undo elsewhere) is selected again.
    fixture.store->addShortcut(items.at(1));
    QCOMPARE(detailPage(window)->objectName(), QStringLiteral("editorPage"));
    QVERIFY(!deleteButton(window)->isHidden());
}

void MainWindowTest::reorderIsSaved()
{
    const QList<ShortcutItem> items{makeItem("A"), makeItem("B"), makeItem("C")};
    UiFixture fixture(items);
    MainWindow window(fixture.context);
    showAndWait(window);
    window.setSelection(items.at(1).id);

    ShortcutListModel *model = window.model();
    std::unique_ptr<QMimeData> dragged(model->mimeData({model->index(2)}));
    model->dropMimeData(dragged.get(), Qt::MoveAction, 0, 0, QModelIndex());

    QCOMPARE(names(fixture.reloaded()), (QStringList{"C", "A", "B"}));
    QCOMPARE(window.selection(), items.at(1).id);
    const QModelIndexList rows =
        window.findChild<QListView *>(QStringLiteral("shortcutList"))->selectionModel()->selectedRows();
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows.first().row(), 2);
}

void MainWindowTest::warningFollowsTrust()
{
    UiFixture fixture({makeItem("A")});
    fixture.trust.trusted = false;
    MainWindow window(fixture.context);
    auto *warning = window.findChild<QToolButton *>(QStringLiteral("needAccessButton"));
    showAndWait(window);
    QVERIFY(warning->isVisible());
    QCOMPARE(fixture.trust.requests, 1);

    QTest::mouseClick(warning, Qt::LeftButton);
    QCOMPARE(fixture.trust.requests, 2);
    QVERIFY(fixture.journal.entries().join(u'\n').contains(QStringLiteral("pasting.html")));
    QVERIFY(warning->isVisible());

    // Granted while the window was away: the next appearance takes the warning down.
    window.hide();
    fixture.trust.trusted = true;
    showAndWait(window);
    QTRY_VERIFY(!warning->isVisible());

    fixture.trust.trusted = false;
    window.refreshTrust();
    QTRY_VERIFY(warning->isVisible());
}

void MainWindowTest::launchAtLoginCheckboxFollowsTheStore()
{
    UiFixture fixture({});
    MainWindow window(fixture.context);
    showAndWait(window);
    auto *check = window.findChild<QCheckBox *>(QStringLiteral("launchAtLoginCheck"));
    QVERIFY(!check->isChecked());
    QTest::mouseClick(check, Qt::LeftButton);
    QVERIFY(fixture.store->launchAtLogin());
    QCOMPARE(fixture.loginItem.calls.last(), QStringLiteral("register"));

    fixture.store->setLaunchAtLogin(false);
    QVERIFY(!check->isChecked());
}

QTEST_MAIN(MainWindowTest)
#include "tst_mainwindow.moc"
