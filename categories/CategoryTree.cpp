#include "categories/CategoryTree.h"

#include "book/Ledger.h"
#include "data/DorvDm.h"
#include "data/Fields.h"
#include "data/Meanings.h"
#include "data/Table.h"
#include "util/Swallowed.h"

#include <QAction>
#include <QApplication>
#include <QDropEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QSignalBlocker>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <QVBoxLayout>

namespace dorv {

namespace {

// Sorting by the collation of the user's language, not by code points; case still counts.
class CategoryNode final : public QTreeWidgetItem {
public:
    using QTreeWidgetItem::QTreeWidgetItem;
    bool operator<(const QTreeWidgetItem& other) const override
    {
        return QString::localeAwareCompare(text(0), other.text(0)) < 0;
    }
};

const QColor Navy(0, 0, 128);

} // namespace

TCategoryDelegate::TCategoryDelegate(const QColor& selectedBackground, QObject* parent)
    : QStyledItemDelegate(parent), m_selectedBackground(selectedBackground)
{
}

QColor TCategoryDelegate::nodeTextColour(int id, const QPalette& palette)
{
    return id == -1 ? QColor(0, 128, 0) : palette.color(QPalette::WindowText);
}

void TCategoryDelegate::initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const
{
    QStyledItemDelegate::initStyleOption(option, index);
    const QColor text = nodeTextColour(index.data(Qt::UserRole).toInt(), option->palette);
    option->palette.setColor(QPalette::Text, text);
    option->palette.setColor(QPalette::HighlightedText, text);
    // The style would paint the highlight for a selected node; painting it as an ordinary node on
    // the window colour keeps the node's own text colour readable.
    if (option->state & QStyle::State_Selected) {
        option->backgroundBrush = m_selectedBackground;
        option->state &= ~QStyle::State_Selected;
    }
}

TCategoryPane::TCategoryPane(TDm& dm, QWidget* parent) : QStackedWidget(parent), m_dm(dm)
{
    setObjectName(QStringLiteral("Pgd"));

    ShCt = new QWidget(this);
    ShCt->setObjectName(QStringLiteral("ShCt"));
    ShDt = new QWidget(this);
    ShDt->setObjectName(QStringLiteral("ShDt"));
    addWidget(ShCt);
    addWidget(ShDt);
    TvCt = makeTree(ShCt, QStringLiteral("TvCt"));
    TvDt = makeTree(ShDt, QStringLiteral("TvDt"));

    PmCat = new QMenu(this);
    PmCat->setObjectName(QStringLiteral("PmCat"));
    mpCategoryNew = makePopupAction(QStringLiteral("mpCategoryNew"), QStringLiteral("&Добавить статью..."),
                                    QKeySequence(Qt::Key_Insert), 1);
    mpCategoryNewChild = makePopupAction(QStringLiteral("mpCategoryNewChild"),
                                         QStringLiteral("Добавить &ветвь к статье..."), QKeySequence(Qt::Key_F10), 2);
    mpCategoryEdit = makePopupAction(QStringLiteral("mpCategoryEdit"), QStringLiteral("&Изменить статью..."),
                                     QKeySequence(Qt::Key_F11), 3);
    mpCategoryDelete = makePopupAction(QStringLiteral("mpCategoryDelete"), QStringLiteral("&Удалить статью"),
                                       QKeySequence(Qt::CTRL | Qt::Key_Delete), 0);
    PmCat->addSeparator();
    mpCategoryFind = makePopupAction(QStringLiteral("mpCategoryFind"), QStringLiteral("&Найти статью..."),
                                     QKeySequence(Qt::Key_F3), 0);
    mpCategoryView = makePopupAction(QStringLiteral("mpCategoryView"), QStringLiteral("В&ыписка по статье..."),
                                     QKeySequence(Qt::Key_F5), 0);
    PmCat->addSeparator();
    mpCategoryMove = makePopupAction(QStringLiteral("mpCategoryMove"), QStringLiteral("&Переместить статью..."),
                                     QKeySequence(Qt::Key_F2), 0);

    auto menuItem = [this](const char* name, const QString& caption, int tag) {
        auto* a = new QAction(caption, this);
        a->setObjectName(QString::fromLatin1(name));
        if (tag != 0)
            a->setProperty("tag", tag);
        m_menu.insert(a->objectName(), a);
        return a;
    };
    mCategoryNew = menuItem("mCategoryNew", QStringLiteral("&Добавить"), 1);
    mCategoryNewChild = menuItem("mCategoryNewChild", QStringLiteral("Добавить &ветвь"), 2);
    mCategoryEdit = menuItem("mCategoryEdit", QStringLiteral("&Изменить"), 3);
    mCategoryDelete = menuItem("mCategoryDelete", QStringLiteral("&Удалить"), 0);
    mCategoryFind = menuItem("mCategoryFind", QStringLiteral("&Найти..."), 0);
    mCategoryView = menuItem("mCategoryView", QStringLiteral("В&ыписка..."), 0);
    mCategoryMove = menuItem("mCategoryMove", QStringLiteral("&Переместить..."), 0);

    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) { focusMoved(now); });
    TvCtChange(nullptr);
}

TCategoryPane::~TCategoryPane()
{
    // The trees outlive this part of the object while the widget base deletes its children; their
    // last signals and events must not reach a pane that is already half gone.
    disconnect(qApp, nullptr, this, nullptr);
    for (QTreeWidget* tree : {TvCt, TvDt}) {
        tree->disconnect(this);
        tree->removeEventFilter(this);
        tree->viewport()->removeEventFilter(this);
    }
}

QTreeWidget* TCategoryPane::makeTree(QWidget* page, const QString& name)
{
    auto* tree = new QTreeWidget(page);
    tree->setObjectName(name);
    tree->setColumnCount(1);
    tree->setHeaderHidden(true);
    tree->setIndentation(19);
    tree->setSelectionMode(QAbstractItemView::SingleSelection);
    // A click on the selected node opens its name for an in-place rename.
    tree->setEditTriggers(QAbstractItemView::SelectedClicked);
    tree->setDragDropMode(QAbstractItemView::DragDrop);
    tree->setDefaultDropAction(Qt::IgnoreAction);
    tree->setContextMenuPolicy(Qt::CustomContextMenu);
    QFont font = tree->font();
    font.setBold(true);
    tree->setFont(font);

    // Nodes sit on the button face; the window colour is kept for the selected one, and also given
    // to the highlight so that the row area beside the node never shows the system highlight.
    QPalette palette = tree->palette();
    const QColor window = palette.color(QPalette::Base);
    palette.setColor(QPalette::Base, palette.color(QPalette::Button));
    palette.setColor(QPalette::Highlight, window);
    tree->setPalette(palette);
    tree->setItemDelegate(new TCategoryDelegate(window, tree));

    tree->setSortingEnabled(true);
    tree->sortByColumn(0, Qt::AscendingOrder);

    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(tree);

    tree->installEventFilter(this);
    tree->viewport()->installEventFilter(this);
    connect(tree, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* node, int) { itemRenamed(node); });
    // Only the tree shown speaks for the commands: emptying the hidden one must not disable them.
    connect(tree, &QTreeWidget::currentItemChanged, this, [this, tree](QTreeWidgetItem* current, QTreeWidgetItem*) {
        if (tree == shownTree())
            TvCtChange(current);
    });
    connect(tree, &QWidget::customContextMenuRequested, this, [this, tree](const QPoint& pos) {
        if (m_dm.Tb_Items->active())
            PmCat->popup(tree->viewport()->mapToGlobal(pos));
    });
    return tree;
}

QAction* TCategoryPane::makePopupAction(const QString& name, const QString& text, const QKeySequence& key, int tag)
{
    QAction* action = PmCat->addAction(text);
    action->setObjectName(name);
    action->setShortcut(key);
    action->setShortcutVisibleInContextMenu(true);
    if (tag != 0)
        action->setProperty("tag", tag);
    return action;
}

void TCategoryPane::setMenuActions(const QHash<QString, QAction*>& byName)
{
    m_menu.clear();
    for (auto it = byName.cbegin(); it != byName.cend(); ++it)
        m_menu.insert(it.key(), it.value());
    TvCtChange(shownTree()->currentItem());
}

QAction* TCategoryPane::command(const QString& name) const { return findChild<QAction*>(name); }

QList<QAction*> TCategoryPane::menuItems() const
{
    return {mCategoryNew,  mCategoryNewChild, mCategoryEdit, mCategoryDelete, nullptr,
            mCategoryFind, mCategoryView,     nullptr,       mCategoryMove};
}

QHash<QString, QAction*> TCategoryPane::popupActions() const
{
    QHash<QString, QAction*> out;
    for (QAction* a : PmCat->actions())
        if (!a->isSeparator())
            out.insert(a->objectName(), a);
    return out;
}

namespace {
// The name a node had when it was last stored: an in-place edit is told apart by it.
constexpr int StoredName = Qt::UserRole + 1;
} // namespace

QTreeWidgetItem* TCategoryPane::makeNode(const QString& name, int id)
{
    auto* node = new CategoryNode(QStringList{name});
    node->setData(0, Qt::UserRole, id);
    node->setData(0, StoredName, name);
    node->setFlags(node->flags() | Qt::ItemIsEditable);
    return node;
}

void TCategoryPane::renameNode(QTreeWidgetItem* node, const QString& name)
{
    const QSignalBlocker quiet(node->treeWidget());
    node->setData(0, StoredName, name);
    node->setText(0, name);
}

void TCategoryPane::itemRenamed(QTreeWidgetItem* node)
{
    const QString stored = node->data(0, StoredName).toString();
    QString text = node->text(0);
    if (text == stored)
        return;
    // The label shows the old name again until the rename is stored.
    {
        const QSignalBlocker quiet(node->treeWidget());
        node->setText(0, stored);
    }
    emit nodeRenamed(node, text);
}

bool TCategoryPane::accountSelected() const
{
    Table& account = *m_dm.Tb_Account;
    return account.active() && !account.isEmpty() && !account.fieldByName(QStringLiteral("Id_Account")).isNull();
}

int TCategoryPane::nodeId(const QTreeWidgetItem* node) { return node->data(0, Qt::UserRole).toInt(); }

int TCategoryPane::nodeLevel(const QTreeWidgetItem* node)
{
    int level = 0;
    for (const QTreeWidgetItem* p = node->parent(); p; p = p->parent())
        ++level;
    return level;
}

void TCategoryPane::FillCategoryTree(QTreeWidget* tree)
{
    if (!tree || tree->topLevelItemCount() > 0)
        return;
    Table& items = *m_dm.Tb_Items;
    if (!items.active())
        return;
    const bool expense = tree == TvCt;

    items.disableControls();
    tree->setUpdatesEnabled(false);
    // Sorting on every insertion would cost a sort per row; one sort at the end does the same.
    tree->setSortingEnabled(false);
    const auto restore = [&] {
        tree->setSortingEnabled(true);
        tree->setUpdatesEnabled(true);
        try {
            items.setFiltered(false);
        } catch (...) {
            // The filter is set again before the next walk over the items.
            noteSwallowed("lifting the items filter");
        }
        items.setFilter(QString());
        items.enableControls();
    };
    try {
        items.setFiltered(true);
        tree->clear();
        const Field& fId = items.fieldByName(QStringLiteral("ID_ITM"));
        const Field& fName = items.fieldByName(QStringLiteral("ITM"));
        const Field& fRef = items.fieldByName(QStringLiteral("ID_REF"));
        const Field& fDir = items.fieldByName(QStringLiteral("C"));
        // Identifiers are unique, so a lookup table finds the same parent a search of the nodes
        // added so far would, without walking the tree once per row.
        QHash<int, QTreeWidgetItem*> added;
        for (int level = 0; level <= 2; ++level) {
            items.setFilter(QStringLiteral("Lev='%1'").arg(level));
            for (items.first(); !items.eof(); items.next()) {
                if (!storedShownIn(fDir.asString(), expense ? ItemDirection::Expense : ItemDirection::Income))
                    continue;
                const int id = int(fId.asInteger());
                QTreeWidgetItem* parent = nullptr;
                if (level > 0) {
                    if (fRef.isNull())
                        continue;
                    parent = added.value(int(fRef.asInteger()));
                    // A parent missing from this tree takes its whole branch with it.
                    if (!parent || nodeLevel(parent) != level - 1)
                        continue;
                }
                QTreeWidgetItem* node = makeNode(fName.asString(), id);
                if (parent)
                    parent->addChild(node);
                else
                    tree->addTopLevelItem(node);
                added.insert(id, node);
            }
        }
        tree->sortItems(0, Qt::AscendingOrder);
    } catch (...) {
        restore();
        throw;
    }
    restore();
}

QTreeWidgetItem* TCategoryPane::FindCategoryNode(QTreeWidget* tree, int id, const QString& name)
{
    if (!tree)
        return nullptr;
    if (id > -10) {
        for (QTreeWidgetItemIterator it(tree); *it; ++it)
            if (nodeId(*it) == id)
                return *it;
        return nullptr;
    }
    if ((id != -10 && id != -11) || name.isEmpty())
        return nullptr;
    const QString wanted = Ledger::categoryNameKey(name);
    for (QTreeWidgetItemIterator it(tree); *it; ++it) {
        if (Ledger::categoryNameKey((*it)->text(0)) == wanted) {
            if (id == -11)
                tree->setCurrentItem(*it);
            return *it;
        }
    }
    return nullptr;
}

void TCategoryPane::EmptyTrees()
{
    TvCt->clear();
    TvDt->clear();
}

QTreeWidget* TCategoryPane::shownTree() const { return currentWidget() == ShDt ? TvDt : TvCt; }

void TCategoryPane::showPage(bool expense) { setCurrentWidget(expense ? ShCt : ShDt); }

void TCategoryPane::setCommandEnabled(const QString& name, QAction* popup, bool on)
{
    if (QAction* a = m_menu.value(name))
        a->setEnabled(on);
    if (popup)
        popup->setEnabled(on);
}

void TCategoryPane::TvCtChange(QTreeWidgetItem* node)
{
    const int id = node ? nodeId(node) : 0;
    // The transfer item and other built-in items (negative ids) can be neither parents nor deleted.
    const bool newChild = node && nodeLevel(node) <= 1 && id >= 0;
    const bool removable = node && node->childCount() == 0 && id >= 0;
    const bool editable = node != nullptr;

    setCommandEnabled(QStringLiteral("mCategoryNew"), mpCategoryNew, true);
    setCommandEnabled(QStringLiteral("mCategoryFind"), mpCategoryFind, true);
    setCommandEnabled(QStringLiteral("mCategoryNewChild"), mpCategoryNewChild, newChild);
    setCommandEnabled(QStringLiteral("mCategoryDelete"), mpCategoryDelete, removable);
    setCommandEnabled(QStringLiteral("mCategoryEdit"), mpCategoryEdit, editable);
    setCommandEnabled(QStringLiteral("mCategoryMove"), mpCategoryMove, editable);
    QAction* edit = m_menu.value(QStringLiteral("mCategoryEdit"));
    const bool view = (edit ? edit->isEnabled() : editable) && accountSelected();
    setCommandEnabled(QStringLiteral("mCategoryView"), mpCategoryView, view);

    if (node) {
        QTreeWidget* tree = node->treeWidget();
        if (tree && tree->currentItem() != node)
            tree->setCurrentItem(node);
    }
}

QTreeWidget* TCategoryPane::treeHolding(const QWidget* widget) const
{
    if (!widget)
        return nullptr;
    for (QTreeWidget* tree : {TvCt, TvDt})
        if (widget == tree || tree->isAncestorOf(widget))
            return tree;
    return nullptr;
}

void TCategoryPane::focusMoved(QWidget* now)
{
    // Losing the focus to another window or to a popup menu is not leaving the tree: the focus
    // comes straight back to it.
    if (!now || now->window()->windowType() == Qt::Popup)
        return;
    QTreeWidget* tree = treeHolding(now);
    if (tree == m_focusTree)
        return;
    if (QTreeWidget* left = m_focusTree) {
        QTreeWidgetItem* current = left->currentItem();
        if (current && left->isPersistentEditorOpen(current))
            left->closePersistentEditor(current);
        emit splitterColour(palette().color(QPalette::Button));
    }
    m_focusTree = tree;
    if (tree)
        emit splitterColour(Navy);
}

QAction* TCategoryPane::popupActionFor(const QKeyEvent* event) const
{
    const QKeySequence pressed(QKeyCombination(event->modifiers() & ~Qt::KeypadModifier, Qt::Key(event->key())));
    for (QAction* a : PmCat->actions())
        if (!a->isSeparator() && a->isEnabled() && !a->shortcut().isEmpty() && a->shortcut() == pressed)
            return a;
    return nullptr;
}

bool TCategoryPane::eventFilter(QObject* watched, QEvent* event)
{
    QTreeWidget* tree = nullptr;
    bool onViewport = false;
    for (QTreeWidget* t : {TvCt, TvDt}) {
        if (watched == t)
            tree = t;
        else if (watched == t->viewport()) {
            tree = t;
            onViewport = true;
        }
    }
    if (!tree)
        return QStackedWidget::eventFilter(watched, event);

    switch (event->type()) {
    case QEvent::ShortcutOverride:
    case QEvent::KeyPress: {
        if (onViewport)
            break;
        auto* key = static_cast<QKeyEvent*>(event);
        // A key an in-place editor let through (Enter that ends a rename) is the editor's, never a
        // command of the tree.
        const QWidget* focus = QApplication::focusWidget();
        if (focus && focus != tree && tree->isAncestorOf(focus)) {
            if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
                event->accept();
                return true;
            }
            break;
        }
        const bool enter = (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)
                           && (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
        // The tree's own commands win over the window's while the tree has the focus, as the
        // popup menu of the focused control comes before the main menu.
        // Enter belongs to the tree whether or not a node is chosen: it never reaches the window.
        QAction* command = enter ? nullptr : popupActionFor(key);
        if (!enter && !command)
            break;
        event->accept();
        if (event->type() == QEvent::KeyPress) {
            if (command)
                command->trigger();
            else if (tree->currentItem())
                emit operationCardRequested();
        }
        return true;
    }
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        if (!onViewport)
            break;
        // Only a node of this very tree moves here; whatever else is dragged in is refused.
        if (static_cast<QDropEvent*>(event)->source() != tree) {
            event->ignore();
            return true;
        }
        // Whatever is dragged over a tree is welcome; what a drop means is decided on the drop.
        auto* drag = static_cast<QDragMoveEvent*>(event);
        drag->setDropAction(Qt::MoveAction);
        drag->accept();
        return true;
    }
    case QEvent::Drop: {
        if (!onViewport)
            break;
        auto* drop = static_cast<QDropEvent*>(event);
        if (drop->source() != tree) {
            drop->ignore();
            return true;
        }
        // The tree never moves nodes by itself: the move goes through the checks and the history.
        drop->setDropAction(Qt::IgnoreAction);
        drop->accept();
        emit nodeDropped(tree, drop->position().toPoint());
        return true;
    }
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (!onViewport || mouse->button() != Qt::RightButton)
            break;
        // The popup must act on the node under the mouse; a press beside the nodes keeps the old one.
        if (QTreeWidgetItem* node = tree->itemAt(mouse->position().toPoint()))
            tree->setCurrentItem(node);
        return true;
    }
    default:
        break;
    }
    return QStackedWidget::eventFilter(watched, event);
}

} // namespace dorv
