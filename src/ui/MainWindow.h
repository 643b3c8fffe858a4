#pragma once

#include <QMainWindow>
#include <QMessageBox>
#include <QUuid>

class QAction;
class QCheckBox;
class QLabel;
class QLineEdit;
class QListView;
class QMenu;
class QStackedWidget;
class QToolButton;

namespace zl {

class ShortcutEditor;
class ShortcutListModel;
struct UiContext;

/**
 * The shortcut list beside the editor of the selected shortcut, with the permission warning
 * and the launch-at-login switch in its toolbar. Closing it only hides it.
 */
class MainWindow final : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(UiContext &context, QWidget *parent = nullptr);

    /** The id of the selected shortcut; it may name a shortcut that no longer exists. */
    QUuid selection() const { return m_selection; }
    void setSelection(const QUuid &id);

    ShortcutListModel *model() const { return m_model; }

signals:
    /** Every show of the window; the hotkeys are bound to the store here. */
    void appeared();
    /** The menu's settings item. */
    void settingsRequested();
    /** The menu's quit item. */
    void quitRequested();

public slots:
    void addShortcut();
    void deleteSelected();
    /** Appends the shortcuts of a stored-form file and reports what came in; a bad file changes nothing. */
    void importFrom(const QString &path);
    /** Writes the whole list to a file in the stored form; a failure is reported. */
    void exportTo(const QString &path);
    /** Moves the selected shortcut one place up (negative) or down (positive) in the list. */
    void moveSelected(int delta);
    /** The list's delete command: removes the rows; a removed selection moves to the first row left. */
    void deleteRows(const QList<int> &rows);
    /** Hotkeys were registered again: marks and the editor's problem line follow. */
    void refreshHotkeyProblems();
    /** Asks afresh whether pasting can work and shows or hides the warning. */
    void refreshTrust();

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void changeEvent(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *buildSidebar();
    QWidget *buildDetail();
    void buildToolbar();
    void buildMenu();
    void listSelectionChanged();
    void syncListSelection();
    void updateDetail();
    /** Hides the rows the search leaves out; the selection moves to the first shown row unless kept. */
    void applySearch(bool keepSelection);
    QUuid firstShownId() const;
    void showRowMenu(const QPoint &position);
    void report(QMessageBox::Icon icon, const QString &message, const QString &details = {});
    void grantAccess();
    void retranslate();
    /** Icons drawn in palette colours, again after every palette change. */
    void applyIcons();

    UiContext &m_context;
    ShortcutListModel *m_model;
    QUuid m_selection;
    bool m_accessibilityOK = false;
    bool m_syncing = false;

    QLabel *m_headerTitle = nullptr;
    QLabel *m_sidebarTitle = nullptr;
    QLineEdit *m_search = nullptr;
    QListView *m_list = nullptr;
    QToolButton *m_addButton = nullptr;
    QToolButton *m_deleteButton = nullptr;
    QStackedWidget *m_detail = nullptr;
    QWidget *m_editorPage = nullptr;
    QLabel *m_detailTitle = nullptr;
    ShortcutEditor *m_editor = nullptr;
    QWidget *m_emptyState = nullptr;
    QLabel *m_emptySymbol = nullptr;
    QLabel *m_emptyTitle = nullptr;
    QLabel *m_emptyHint = nullptr;
    QToolButton *m_needAccessButton = nullptr;
    QAction *m_needAccessAction = nullptr;
    QCheckBox *m_launchAtLogin = nullptr;
    QMenu *m_fileMenu = nullptr;
    QAction *m_settingsAction = nullptr;
    QAction *m_findAction = nullptr;
    QAction *m_importAction = nullptr;
    QAction *m_exportAction = nullptr;
    QAction *m_quitAction = nullptr;
};

} // namespace zl
