#include "MainWindow.h"

#include "HotkeyDisplay.h"
#include "Icons.h"
#include "PermissionsManager.h"
#include "SettingsStore.h"
#include "ShortcutEditor.h"
#include "ShortcutListModel.h"
#include "ShortcutRowDelegate.h"
#include "ShortcutTransfer.h"
#include "Strings.h"
#include "UiContext.h"

#include <QAction>
#include <QCheckBox>
#include <QFileDialog>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMenuBar>
#include <QScrollArea>
#include <QSplitter>
#include <QStackedWidget>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace zl {

namespace {

constexpr int kSidebarMinimumWidth = 240;
constexpr int kSidebarIdealWidth = 280;
constexpr int kLogoHeight = 28;

// A title that elides to the width it is given instead of widening the window.
class ElidedLabel final : public QLabel
{
public:
    using QLabel::QLabel;

    void setFullText(const QString &text)
    {
        m_fullText = text;
        setToolTip(text);
        updateShown();
    }
    QString fullText() const { return m_fullText; }
    QSize minimumSizeHint() const override { return {0, QLabel::minimumSizeHint().height()}; }

protected:
    void resizeEvent(QResizeEvent *event) override
    {
        QLabel::resizeEvent(event);
        updateShown();
    }

private:
    void updateShown()
    {
        const int width = contentsRect().width();
        setText(fontMetrics().elidedText(m_fullText, Qt::ElideRight, std::max(width, 0)));
    }

    QString m_fullText;
};

QFont scaledFont(QFont font, qreal factor, QFont::Weight weight)
{
    if (font.pointSizeF() > 0)
        font.setPointSizeF(font.pointSizeF() * factor);
    font.setWeight(weight);
    return font;
}

} // namespace

MainWindow::MainWindow(UiContext &context, QWidget *parent)
    : QMainWindow(parent), m_context(context), m_model(new ShortcutListModel(context.store, context.layout, this)),
      m_accessibilityOK(context.permissions.isTrusted())
{
    setObjectName(QStringLiteral("main"));
    setWindowIcon(Icons::icon(QStringLiteral("AppLogo")));

    auto *splitter = new QSplitter(Qt::Horizontal, this);
    splitter->setObjectName(QStringLiteral("splitter"));
    splitter->setChildrenCollapsible(false);
    splitter->addWidget(buildSidebar());
    splitter->addWidget(buildDetail());
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({kSidebarIdealWidth, 900 - kSidebarIdealWidth});
    setCentralWidget(splitter);
    buildToolbar();
    buildMenu();

    // Connected after the model, so the model already holds the published list.
    // An edit never hides the row being edited, even when it stops matching the search.
    connect(m_model, &QAbstractItemModel::modelReset, this, [this] {
        applySearch(true);
        syncListSelection();
        updateDetail();
    });
    connect(m_model, &QAbstractItemModel::dataChanged, this, [this] {
        applySearch(true);
        updateDetail();
    });
    connect(m_list->selectionModel(), &QItemSelectionModel::selectionChanged, this, &MainWindow::listSelectionChanged);
    connect(&context.store, &SettingsStore::launchAtLoginChanged, m_launchAtLogin, &QCheckBox::setChecked);
    connect(qGuiApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
        if (state == Qt::ApplicationActive)
            refreshTrust();
    });

    retranslate();
    applyIcons();
    refreshTrust();
    updateDetail();

    // The sizes are the content's: the menu and tool bars come on top.
    splitter->setMinimumSize(780, 480);
    const QSize content(900, 560);
    resize(content);
    ensurePolished();
    layout()->activate();
    resize(content + (content - splitter->size()));
}

QWidget *MainWindow::buildSidebar()
{
    auto *sidebar = new QWidget(this);
    sidebar->setObjectName(QStringLiteral("sidebar"));
    sidebar->setMinimumWidth(kSidebarMinimumWidth);
    auto *column = new QVBoxLayout(sidebar);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    auto *header = new QHBoxLayout;
    header->setContentsMargins(14, 10, 14, 10);
    header->setSpacing(10);
    auto *logo = new QLabel(sidebar);
    logo->setObjectName(QStringLiteral("headerLogo"));
    // The logo keeps its colours rather than being drawn as a one-colour template: it is a filled
    // tile, and a silhouette of it would be a blank square.
    logo->setPixmap(Icons::icon(QStringLiteral("AppLogo")).pixmap(kLogoHeight, kLogoHeight));
    m_headerTitle = new QLabel(sidebar);
    m_headerTitle->setObjectName(QStringLiteral("headerTitle"));
    m_headerTitle->setFont(scaledFont(font(), 1.15, QFont::DemiBold));
    header->addWidget(logo);
    header->addWidget(m_headerTitle);
    header->addStretch(1);
    column->addLayout(header);

    m_sidebarTitle = new QLabel(sidebar);
    m_sidebarTitle->setObjectName(QStringLiteral("sidebarTitle"));
    m_sidebarTitle->setContentsMargins(14, 0, 14, 4);
    m_sidebarTitle->setForegroundRole(QPalette::PlaceholderText);
    m_sidebarTitle->setFont(scaledFont(font(), 0.85, QFont::DemiBold));
    column->addWidget(m_sidebarTitle);

    m_search = new QLineEdit(sidebar);
    m_search->setObjectName(QStringLiteral("searchField"));
    m_search->installEventFilter(this);
    auto *searchRow = new QHBoxLayout;
    searchRow->setContentsMargins(10, 0, 10, 6);
    searchRow->addWidget(m_search);
    column->addLayout(searchRow);
    // The clear button shows only over text; its themed icon takes milliseconds to look up, which
    // the start would pay before the hotkeys are bound, so it comes with the first text.
    connect(m_search, &QLineEdit::textChanged, this, [this] {
        m_search->setClearButtonEnabled(true);
        applySearch(false);
        syncListSelection();
        updateDetail();
    });

    m_list = new QListView(sidebar);
    m_list->setObjectName(QStringLiteral("shortcutList"));
    m_list->setModel(m_model);
    m_list->setItemDelegate(new ShortcutRowDelegate(m_context.layout, m_context.hotkeyProblem, m_list));
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setDragEnabled(true);
    m_list->setAcceptDrops(true);
    m_list->setDropIndicatorShown(true);
    m_list->setDragDropMode(QAbstractItemView::DragDrop);
    m_list->setDefaultDropAction(Qt::MoveAction);
    m_list->setUniformItemSizes(true);
    m_list->installEventFilter(this);
    m_list->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_list, &QListView::customContextMenuRequested, this, &MainWindow::showRowMenu);
    column->addWidget(m_list, 1);

    auto *bottom = new QHBoxLayout;
    bottom->setContentsMargins(12, 12, 12, 12);
    m_addButton = new QToolButton(sidebar);
    m_addButton->setObjectName(QStringLiteral("addButton"));
    m_deleteButton = new QToolButton(sidebar);
    m_deleteButton->setObjectName(QStringLiteral("deleteButton"));
    for (QToolButton *button : {m_addButton, m_deleteButton}) {
        button->setAutoRaise(true);
        button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    }
    bottom->addWidget(m_addButton);
    bottom->addStretch(1);
    bottom->addWidget(m_deleteButton);
    column->addLayout(bottom);

    connect(m_addButton, &QToolButton::clicked, this, &MainWindow::addShortcut);
    connect(m_deleteButton, &QToolButton::clicked, this, &MainWindow::deleteSelected);
    return sidebar;
}

QWidget *MainWindow::buildDetail()
{
    m_detail = new QStackedWidget(this);
    m_detail->setObjectName(QStringLiteral("detail"));

    m_editorPage = new QWidget(m_detail);
    m_editorPage->setObjectName(QStringLiteral("editorPage"));
    auto *page = new QVBoxLayout(m_editorPage);
    page->setContentsMargins(0, 0, 0, 0);
    m_detailTitle = new ElidedLabel(m_editorPage);
    m_detailTitle->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    m_detailTitle->setObjectName(QStringLiteral("detailTitle"));
    m_detailTitle->setContentsMargins(14, 8, 14, 0);
    m_detailTitle->setFont(scaledFont(font(), 1.3, QFont::DemiBold));
    m_detailTitle->setTextFormat(Qt::PlainText);
    auto *scroll = new QScrollArea(m_editorPage);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    m_editor = new ShortcutEditor(m_context, scroll);
    scroll->setWidget(m_editor);
    page->addWidget(m_detailTitle);
    page->addWidget(scroll, 1);

    m_emptyState = new QWidget(m_detail);
    m_emptyState->setObjectName(QStringLiteral("emptyState"));
    auto *empty = new QVBoxLayout(m_emptyState);
    empty->addStretch(1);
    auto *symbol = m_emptySymbol = new QLabel(m_emptyState);
    m_emptyTitle = new QLabel(m_emptyState);
    m_emptyTitle->setObjectName(QStringLiteral("emptyTitle"));
    m_emptyTitle->setFont(scaledFont(font(), 1.4, QFont::Bold));
    m_emptyHint = new QLabel(m_emptyState);
    m_emptyHint->setObjectName(QStringLiteral("emptyHint"));
    m_emptyHint->setForegroundRole(QPalette::PlaceholderText);
    m_emptyHint->setWordWrap(true);
    for (QLabel *label : {symbol, m_emptyTitle, m_emptyHint}) {
        label->setAlignment(Qt::AlignCenter);
        empty->addWidget(label);
    }
    empty->addStretch(1);

    m_detail->addWidget(m_editorPage);
    m_detail->addWidget(m_emptyState);
    return m_detail;
}

void MainWindow::buildToolbar()
{
    auto *toolbar = new QToolBar(this);
    toolbar->setObjectName(QStringLiteral("toolbar"));
    toolbar->setMovable(false);
    toolbar->setFloatable(false);
    toolbar->toggleViewAction()->setEnabled(false);
    setContextMenuPolicy(Qt::NoContextMenu);
    auto *spacer = new QWidget(toolbar);
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    toolbar->addWidget(spacer);

    m_needAccessButton = new QToolButton(toolbar);
    m_needAccessButton->setObjectName(QStringLiteral("needAccessButton"));
    m_needAccessButton->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    QPalette warning = m_needAccessButton->palette();
    warning.setColor(QPalette::ButtonText, Icons::warningColor());
    m_needAccessButton->setPalette(warning);
    m_needAccessAction = toolbar->addWidget(m_needAccessButton);

    m_launchAtLogin = new QCheckBox(toolbar);
    m_launchAtLogin->setObjectName(QStringLiteral("launchAtLoginCheck"));
    m_launchAtLogin->setChecked(m_context.store.launchAtLogin());
    toolbar->addWidget(m_launchAtLogin);
    addToolBar(Qt::TopToolBarArea, toolbar);

    connect(m_needAccessButton, &QToolButton::clicked, this, &MainWindow::grantAccess);
    connect(m_launchAtLogin, &QCheckBox::clicked, this,
            [this](bool checked) { m_context.store.setLaunchAtLogin(checked); });
}

void MainWindow::buildMenu()
{
    // No item here opens a second main window: there is only ever the one.
    m_fileMenu = menuBar()->addMenu(QString());
    m_importAction = m_fileMenu->addAction(QString(), this, [this] {
        const QString path = QFileDialog::getOpenFileName(this, {}, {}, text("transfer.fileFilter"));
        if (!path.isEmpty())
            importFrom(path);
    });
    m_exportAction = m_fileMenu->addAction(QString(), this, [this] {
        const QString path = QFileDialog::getSaveFileName(this, {}, QStringLiteral("zephyrlatch-shortcuts.json"),
                                                          text("transfer.fileFilter"));
        if (!path.isEmpty())
            exportTo(path);
    });
    m_fileMenu->addSeparator();
    m_settingsAction = m_fileMenu->addAction(QString(), this, &MainWindow::settingsRequested);
    m_settingsAction->setObjectName(QStringLiteral("settingsAction"));
    m_settingsAction->setShortcut(QKeySequence::Preferences);
    m_findAction = new QAction(this);
    m_findAction->setShortcut(QKeySequence::Find);
    connect(m_findAction, &QAction::triggered, this, [this] {
        m_search->setFocus(Qt::ShortcutFocusReason);
        m_search->selectAll();
    });
    addAction(m_findAction);
    m_fileMenu->addSeparator();
    m_quitAction = m_fileMenu->addAction(QString(), this, &MainWindow::quitRequested);
    m_quitAction->setObjectName(QStringLiteral("quitAction"));
    m_quitAction->setShortcut(QKeySequence::Quit);
}

void MainWindow::setSelection(const QUuid &id)
{
    m_selection = id;
    syncListSelection();
    updateDetail();
}

void MainWindow::addShortcut()
{
    // The new row must be visible to be edited.
    m_search->clear();
    ShortcutItem item;
    item.id = QUuid::createUuid();
    item.name = text("shortcut.defaultName");
    item.isEnabled = true;
    item.actionType = ActionType::PasteText;
    m_context.store.addShortcut(item);
    setSelection(item.id);
    m_editor->focusName();
}

void MainWindow::importFrom(const QString &path)
{
    m_search->clear();
    const ShortcutTransfer::Import result = ShortcutTransfer::appendTo(m_context.store, path);
    if (!result.error.isEmpty()) {
        report(QMessageBox::Warning, text("transfer.importFailed").arg(path, result.error));
        return;
    }
    if (!result.items.isEmpty())
        setSelection(result.items.constFirst().id);
    const QString message = text("transfer.imported").arg(result.items.size());
    if (result.skipped.isEmpty())
        report(QMessageBox::Information, message);
    else
        report(QMessageBox::Warning, message + QLatin1Char('\n') + text("transfer.skipped").arg(result.skipped.size()),
               result.skipped.join(QLatin1Char('\n')));
}

void MainWindow::exportTo(const QString &path)
{
    if (const std::optional<QString> error = ShortcutTransfer::exportTo(path, m_context.store.shortcuts()))
        report(QMessageBox::Warning, text("transfer.exportFailed").arg(path, *error));
}

void MainWindow::report(QMessageBox::Icon icon, const QString &message, const QString &details)
{
    // Window-modal and not waited for: the event loop, and with it the hotkeys, keeps running.
    auto *box = new QMessageBox(icon, text("Zephyrlatch"), message, QMessageBox::Ok, this);
    box->setObjectName(QStringLiteral("transferReport"));
    box->setTextFormat(Qt::PlainText);
    box->setDetailedText(details);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

void MainWindow::moveSelected(int delta)
{
    const int row = m_model->rowOf(m_selection);
    const int target = row + delta;
    if (row < 0 || target < 0 || target >= m_model->items().size())
        return;
    // The destination counts in the list before the move, so a move down lands after the next row.
    m_context.store.move({row}, delta > 0 ? target + 1 : target);
    syncListSelection();
}

void MainWindow::showRowMenu(const QPoint &position)
{
    const QModelIndex index = m_list->indexAt(position);
    if (!index.isValid())
        return;
    setSelection(index.data(ShortcutListModel::IdRole).toUuid());
    const int row = index.row();
    const ShortcutItem item = m_model->items().at(row);
    QMenu menu(this);
    // Mnemonics on the last word ("Move &Up", "Move &Down" differ there); the texts are shared
    // with buttons that carry none.
    const auto entry = [](const char *id) {
        QString label = text(id);
        return label.insert(label.lastIndexOf(u' ') + 1, u'&');
    };
    menu.addAction(entry("ui.runNow"), this, [this, item] { m_context.run(item); });
    menu.addSeparator();
    menu.addAction(entry("ui.moveUp"), this, [this] { moveSelected(-1); })->setEnabled(row > 0);
    menu.addAction(entry("ui.moveDown"), this, [this] { moveSelected(1); })
        ->setEnabled(row + 1 < m_model->items().size());
    menu.addSeparator();
    menu.addAction(Icons::icon(QStringLiteral("trash")), entry("ui.delete"), this, &MainWindow::deleteSelected);
    menu.exec(m_list->viewport()->mapToGlobal(position));
}

void MainWindow::deleteSelected()
{
    const QUuid id = m_selection;
    if (m_model->rowOf(id) < 0)
        return;
    m_context.store.deleteIds({id});
    setSelection(firstShownId());
}

void MainWindow::deleteRows(const QList<int> &rows)
{
    QSet<QUuid> ids;
    for (int row : rows) {
        if (row >= 0 && row < m_model->items().size())
            ids.insert(m_model->items().at(row).id);
    }
    if (ids.isEmpty())
        return;
    m_context.store.deleteIds(ids);
    if (ids.contains(m_selection))
        setSelection(firstShownId());
    else
        setSelection(m_selection);
}

void MainWindow::refreshHotkeyProblems()
{
    m_list->viewport()->update();
    m_editor->refreshProblem();
}

void MainWindow::refreshTrust()
{
    m_accessibilityOK = m_context.permissions.isTrusted();
    m_needAccessAction->setVisible(!m_accessibilityOK);
}

void MainWindow::grantAccess()
{
    m_context.permissions.requestTrust();
    m_context.permissions.openAccessibilitySettings();
    refreshTrust();
}

void MainWindow::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    if (m_selection.isNull())
        setSelection(firstShownId());
    refreshTrust();
    m_context.permissions.requestTrust();
    emit appeared();
}

// Closed to the tray it may stay hidden all day: its drawing buffer (width x height x 4 bytes, shared
// with the X server) goes back now and is made again by the next show. A minimised window is kept.
void MainWindow::hideEvent(QHideEvent *event)
{
    QMainWindow::hideEvent(event);
    if (!event->spontaneous())
        QTimer::singleShot(0, this, [this] {
            if (!isVisible())
                destroy();
        });
}

bool MainWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_search && event->type() == QEvent::KeyPress
        && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape && !m_search->text().isEmpty()) {
        m_search->clear();
        return true;
    }
    if (watched == m_list && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->modifiers() == (Qt::AltModifier | Qt::ShiftModifier)
            && (key->key() == Qt::Key_Up || key->key() == Qt::Key_Down)) {
            moveSelected(key->key() == Qt::Key_Up ? -1 : 1);
            return true;
        }
        if (key->matches(QKeySequence::Delete)) {
            QList<int> rows;
            for (const QModelIndex &index : m_list->selectionModel()->selectedRows())
                rows.append(index.row());
            deleteRows(rows);
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::listSelectionChanged()
{
    if (m_syncing)
        return;
    const QModelIndexList rows = m_list->selectionModel()->selectedRows();
    m_selection = rows.isEmpty() ? QUuid() : rows.constFirst().data(ShortcutListModel::IdRole).toUuid();
    updateDetail();
}

void MainWindow::syncListSelection()
{
    m_syncing = true;
    const int row = m_model->rowOf(m_selection);
    if (row >= 0) {
        const QModelIndex index = m_model->index(row);
        m_list->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
        m_list->scrollTo(index);
    } else {
        m_list->selectionModel()->clear();
    }
    m_syncing = false;
}

void MainWindow::applySearch(bool keepSelection)
{
    const QString needle = m_search->text().trimmed();
    const QList<ShortcutItem> &items = m_model->items();
    bool selectionShown = false;
    for (int row = 0; row < items.size(); ++row) {
        const ShortcutItem &item = items.at(row);
        const bool keep = keepSelection && item.id == m_selection;
        const bool matches = needle.isEmpty() || item.name.contains(needle, Qt::CaseInsensitive)
                             || item.payload.contains(needle, Qt::CaseInsensitive)
                             || HotkeyDisplay::string(item.keyCode, item.modifiers, m_context.layout)
                                    .contains(needle, Qt::CaseInsensitive);
        m_list->setRowHidden(row, !(matches || keep));
        selectionShown = selectionShown || ((matches || keep) && item.id == m_selection);
    }
    if (!selectionShown && !keepSelection)
        m_selection = firstShownId();
}

QUuid MainWindow::firstShownId() const
{
    const QList<ShortcutItem> &items = m_model->items();
    for (int row = 0; row < items.size(); ++row) {
        if (!m_list->isRowHidden(row))
            return items.at(row).id;
    }
    return {};
}

void MainWindow::updateDetail()
{
    const int row = m_model->rowOf(m_selection);
    m_deleteButton->setVisible(row >= 0);
    if (row < 0) {
        m_detail->setCurrentWidget(m_emptyState);
        return;
    }
    const ShortcutItem &item = m_model->items().at(row);
    m_editor->setItem(item);
    static_cast<ElidedLabel *>(m_detailTitle)->setFullText(item.name);
    m_detail->setCurrentWidget(m_editorPage);
}

void MainWindow::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange)
        retranslate();
    if (event->type() == QEvent::PaletteChange && m_emptySymbol)
        applyIcons();
    QMainWindow::changeEvent(event);
}

void MainWindow::applyIcons()
{
    m_addButton->setIcon(Icons::icon(QStringLiteral("plus")));
    m_deleteButton->setIcon(Icons::icon(QStringLiteral("trash")));
    m_emptySymbol->setPixmap(
        Icons::tinted(QStringLiteral("keyboard"), palette().color(QPalette::PlaceholderText)).pixmap(48, 48));
    m_needAccessButton->setIcon(Icons::warning());
}

void MainWindow::retranslate()
{
    setWindowTitle(text("Zephyrlatch"));
    m_headerTitle->setText(text("Zephyrlatch"));
    m_sidebarTitle->setText(text("ui.hotkeys"));
    m_search->setPlaceholderText(text("ui.search"));
    m_addButton->setText(text("ui.add"));
    m_deleteButton->setText(text("ui.delete"));
    m_emptyTitle->setText(text("ui.selectHotkey"));
    m_emptyHint->setText(text("ui.selectHotkeyHint"));
    m_needAccessButton->setText(text("ui.needAccess"));
    m_launchAtLogin->setText(text("ui.launchAtLogin"));
    m_fileMenu->setTitle(text("menu.file"));
    m_settingsAction->setText(text("menu.settings"));
    m_importAction->setText(text("menu.import"));
    m_exportAction->setText(text("menu.export"));
    m_quitAction->setText(QLatin1Char('&') + text("ui.quit"));
    m_model->refreshTexts();
}

} // namespace zl
