#include "CategoryEditor.h"

#include "CategoryTree.h"
#include "book/Ledger.h"
#include "card/DorvCard.h"
#include "data/DbError.h"
#include "data/DorvDm.h"
#include "util/Prompts.h"
#include "util/Swallowed.h"
#include "widgets/DbControls.h"
#include "widgets/ErrorGuard.h"

#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <QVBoxLayout>

namespace dorv {

namespace {

const QString Taken = QStringLiteral("Такая статья уже есть!");

// The path of an operation booked on a node: the identifiers from the root down, empty below.
using Path = CategoryPath;

Path pathOf(const QTreeWidgetItem* node)
{
    Path p;
    const int depth = TCategoryPane::nodeLevel(node);
    const QTreeWidgetItem* at = node;
    for (int i = depth; i >= 0 && at; --i, at = at->parent())
        p.level[i] = qint64(TCategoryPane::nodeId(at));
    return p;
}

} // namespace

TCategoryEditor::TCategoryEditor(TCategoryPane& pane, Services& host) : QObject(&pane), m_pane(pane), m_host(host)
{
    setObjectName(QStringLiteral("CategoryEditor"));
    Prompts& prompts = *m_host.prompts;
    for (const char* name : {"mCategoryNew", "mCategoryNewChild", "mCategoryEdit", "mpCategoryNew",
                             "mpCategoryNewChild", "mpCategoryEdit"}) {
        QAction* a = pane.command(QString::fromLatin1(name));
        connectGuarded(a, &QAction::triggered, this, prompts, [this, a] { mCategoryNewClick(a); });
    }
    for (const char* name : {"mCategoryDelete", "mpCategoryDelete"})
        connectGuarded(pane.command(QString::fromLatin1(name)), &QAction::triggered, this, prompts,
                       [this] { mCategoryDeleteClick(); });
    for (const char* name : {"mCategoryFind", "mpCategoryFind"})
        connectGuarded(pane.command(QString::fromLatin1(name)), &QAction::triggered, this, prompts,
                       [this] { mCategoryFindClick(); });
    for (const char* name : {"mCategoryMove", "mpCategoryMove"})
        connectGuarded(pane.command(QString::fromLatin1(name)), &QAction::triggered, this, prompts,
                       [this] { mCategoryMoveClick(); });
    connectGuarded(&pane, &TCategoryPane::nodeRenamed, this, prompts,
                   [this](QTreeWidgetItem* node, QString text) { TvCtEdited(node, text); });
    connectGuarded(&pane, &TCategoryPane::nodeDropped, this, prompts,
                   [this](QTreeWidget* tree, const QPoint& at) { TvCtDragDrop(tree, at); });
}

TCategoryEditor::~TCategoryEditor() = default;

// ---- the card's page ----

void TCategoryEditor::installPage(TFormCard& card)
{
    if (LabCat)
        return;
    QWidget* page = card.pageWidget(CardPage::Category);
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(10, 8, 10, 4);
    LabCat = new QLabel(page);
    LabCat->setObjectName(QStringLiteral("LabCat"));
    DBECat = new TDbEdit(QStringLiteral("DBECat"), page);
    DBECat->bind(m_host.dm->Tb_Items, QStringLiteral("ITM"));
    DBRg = new QGroupBox(page);
    DBRg->setObjectName(QStringLiteral("DBRg"));
    auto* choices = new QVBoxLayout(DBRg);
    DBRgFirst = new QRadioButton(DBRg);
    DBRgFirst->setObjectName(QStringLiteral("DBRgFirst"));
    DBRgBoth = new QRadioButton(QStringLiteral("везде"), DBRg);
    DBRgBoth->setObjectName(QStringLiteral("DBRgBoth"));
    choices->addWidget(DBRgFirst);
    choices->addWidget(DBRgBoth);
    layout->addWidget(LabCat);
    layout->addWidget(DBECat);
    layout->addWidget(DBRg);
    layout->addStretch(1);
    connect(DBECat, &QLineEdit::textChanged, this, [this] { DBECatChange(); });
    connectGuarded(DBRgFirst, &QRadioButton::clicked, this, *m_host.prompts, [this] {
        setDirection(m_tree == m_pane.incomeTree() ? ItemDirection::Income : ItemDirection::Expense);
    });
    connectGuarded(DBRgBoth, &QRadioButton::clicked, this, *m_host.prompts,
                   [this] { setDirection(ItemDirection::Both); });
    card.setPage(5, this);
}

void TCategoryEditor::setDirection(ItemDirection direction)
{
    Table& items = *m_host.dm->Tb_Items;
    if (!items.editing())
        items.edit();
    items.fieldByName(QStringLiteral("C")).setValue(toStored(direction));
}

QTreeWidget* TCategoryEditor::cardTree() const
{
    if (m_host.expenseMode())
        return m_pane.expenseTree();
    if (m_host.incomeMode())
        return m_pane.incomeTree();
    return nullptr;
}

QTreeWidget* TCategoryEditor::focusedTree() const
{
    for (QTreeWidget* tree : {m_pane.expenseTree(), m_pane.incomeTree()})
        if (tree->hasFocus())
            return tree;
    return nullptr;
}

QTreeWidget* TCategoryEditor::otherTree(QTreeWidget* tree) const
{
    return tree == m_pane.expenseTree() ? m_pane.incomeTree() : m_pane.expenseTree();
}

void TCategoryEditor::mCategoryNewClick(QAction* sender)
{
    OpenCategoryCard(CardMode(sender->property("tag").toInt()));
}

void TCategoryEditor::OpenCategoryCard(CardMode action)
{
    TFormCard* card = m_host.card();
    installPage(*card);
    CardRequest& req = card->request();
    req.CardPage = CardPage::Category;
    req.CardMode = action;
    m_action = action;
    m_tree = cardTree();
    if (!m_tree) {
        req.CardPage = CardPage::CalendarOrPassword;
        req.CardMode = CardMode::Idle;
        return;
    }
    m_node = m_tree->currentItem();
    if (m_node && m_tree->isPersistentEditorOpen(m_node))
        m_tree->closePersistentEditor(m_node);
    m_tree->setFocus();
    Table& items = *m_host.dm->Tb_Items;
    // The name check looks through both trees whole; filling one walks the table, which must not
    // happen while the new item is being inserted (the walk would store it).
    for (QTreeWidget* t : {m_pane.expenseTree(), m_pane.incomeTree()})
        m_pane.FillCategoryTree(t);
    if (action == CardMode::Edit && m_node)
        items.locate(QStringLiteral("ID_ITM"), qint64(TCategoryPane::nodeId(m_node)));
    try {
        if (m_host.prompts->runModal(card) != QDialog::Accepted && items.editing())
            items.cancel();
    } catch (...) {
        // An error while the card is open ends the card without a word.
        try {
            items.cancel();
        } catch (...) {
            // The card's failure was told; a cancel that fails leaves a row that is never posted.
            noteSwallowed("cancelling the category card");
        }
    }
    // The category page is done with; later changes of the items are not its business.
    req.CardPage = CardPage::CalendarOrPassword;
    m_node = nullptr;
    m_tree = nullptr;
}

bool TCategoryEditor::hasBranches(qint64 id)
{
    // Children of the other direction are missing from this tree, but they are children all the same.
    Query& q = *m_host.dm->Qtemp;
    q.close();
    q.setSql({QStringLiteral("Select count(*) from tb_items where id_ref='%1'").arg(id)});
    q.open();
    const qint64 count = q.field(0)->asInteger();
    q.close();
    return count > 0;
}

void TCategoryEditor::PrepareCategoryPage()
{
    TFormCard& card = *m_host.card();
    card.showPageWidget(card.pageWidget(CardPage::Category));
    const bool income = m_tree == m_pane.incomeTree();
    DBRgFirst->setText(income ? QStringLiteral("приход") : QStringLiteral("расход"));
    static const char* const prefixes[] = {"", "Добавление статьи ", "Ответвление статьи ", "Изменение статьи "};
    card.setWindowTitle(QString::fromUtf8(prefixes[qBound(0, int(m_action), 3)]) + DBRgFirst->text()
                        + QStringLiteral("а"));
    const int level = m_node ? TCategoryPane::nodeLevel(m_node) : 0;
    static const char* const levels[] = {"Категория:", "Группа:", "Предмет:"};
    LabCat->setText(QString::fromUtf8(levels[qBound(0, level, 2)]));
    DBRg->setVisible(!(m_action == CardMode::Edit && m_node && TCategoryPane::nodeId(m_node) < 0));
    Table& items = *m_host.dm->Tb_Items;
    if (m_action == CardMode::New || m_action == CardMode::NewBranch)
        items.insert();
    DBECat->showValue();
    const bool both = itemDirectionFromStored(items.fieldByName(QStringLiteral("C")).asString()) == ItemDirection::Both;
    DBRgBoth->setChecked(both);
    DBRgFirst->setChecked(!both);
    DBECatChange();
    DBECat->setFocus();
}

void TCategoryEditor::DBECatChange()
{
    TFormCard* card = m_host.card();
    if (card->request().CardPage == CardPage::Category && card->shows(card->pageWidget(CardPage::Category)))
        card->setOkEnabled(!DBECat->text().isEmpty());
}

QTreeWidgetItem* TCategoryEditor::findName(const QString& name)
{
    for (QTreeWidget* tree : {m_pane.expenseTree(), m_pane.incomeTree()}) {
        m_pane.FillCategoryTree(tree);
        if (QTreeWidgetItem* found = m_pane.FindCategoryNode(tree, -10, name))
            return found;
    }
    return nullptr;
}

bool TCategoryEditor::categoryOk()
{
    DBECat->writeValue();
    const QString name = DBECat->text().trimmed();
    if (name.isEmpty())
        return false;
    // Every tree is searched whole, and the other tree may be an empty cache: both are full then.
    bool taken = false;
    for (QTreeWidget* tree : {m_pane.expenseTree(), m_pane.incomeTree()}) {
        if (const QTreeWidgetItem* found = m_pane.FindCategoryNode(tree, -10, name))
            taken = taken || m_action != CardMode::Edit || !m_node
                    || TCategoryPane::nodeId(found) != TCategoryPane::nodeId(m_node);
    }
    if (taken) {
        m_host.prompts->inform(Taken);
        DBECat->setFocus();
        return false;
    }
    SaveCategory();
    return false; // SaveCategory closes the card itself
}

void TCategoryEditor::SaveCategory()
{
    TFormCard& card = *m_host.card();
    TDm& dm = *m_host.dm;
    Table& items = *dm.Tb_Items;
    QTreeWidgetItem* s = m_node;
    const bool adding = m_action == CardMode::New || m_action == CardMode::NewBranch;
    if (!adding && !s) {
        card.done(QDialog::Rejected);
        return;
    }
    // The card's values: the name typed and the direction chosen, which the card's row holds.
    const QString name = DBECat->text();
    const QString direction = items.fieldByName(QStringLiteral("C")).asString();
    CategoryResult stored;
    try {
        Ledger ledger(*items.database());
        if (adding) {
            CategoryDraft draft;
            draft.name = name;
            draft.direction = direction;
            // Beside the node: under its parent; a branch: under the node itself.
            if (const QTreeWidgetItem* parent = !s ? nullptr : m_action == CardMode::New ? s->parent() : s)
                draft.parent = qint64(TCategoryPane::nodeId(parent));
            stored = ledger.addCategory(draft);
        } else {
            stored = ledger.renameCategory(TCategoryPane::nodeId(s), name, direction);
        }
    } catch (...) {
        // What the ledger refuses (a name the file cannot hold) is said, and stays in the card to
        // be corrected; the card's row is kept for it.
        const QString message = messageOf(std::current_exception());
        if (!message.isEmpty())
            m_host.prompts->error(message);
        DBECat->setFocus();
        return;
    }
    // The ledger stored the item: the card's row is given up and the table reads the item back.
    items.cancel();
    dm.DataSaved = false;
    if (adding)
        dm.IdCounters[size_t(items.tag())] = int(stored.item); // the last identifier handed out
    items.refresh();
    items.locate(QStringLiteral("ID_ITM"), stored.item);

    const int id = int(stored.item);
    m_tree->setUpdatesEnabled(false);
    QTreeWidgetItem* chosen = s;
    if (adding) {
        chosen = TCategoryPane::makeNode(stored.name, id);
        QTreeWidgetItem* parent = m_action == CardMode::New ? (s ? s->parent() : nullptr) : s;
        if (parent)
            parent->addChild(chosen);
        else
            m_tree->addTopLevelItem(chosen);
    } else if (s->text(0) != stored.name) {
        TCategoryPane::renameNode(s, stored.name);
        refreshHistory();
    }
    m_tree->sortItems(0, Qt::AscendingOrder);
    m_tree->setUpdatesEnabled(true);
    if (chosen)
        m_tree->setCurrentItem(chosen);
    if (id != -1)
        otherTree(m_tree)->clear();
    card.done(QDialog::Accepted);
}

void TCategoryEditor::refreshHistory()
{
    Table& hist = *m_host.dm->Tb_Hist;
    if (hist.active())
        hist.refresh();
}

void TCategoryEditor::TvCtEdited(QTreeWidgetItem* node, QString& text)
{
    text = text.trimmed();
    if (text.isEmpty() || text == node->text(0)) {
        text = node->text(0);
        return;
    }
    QTreeWidget* tree = node->treeWidget();
    if (findName(text)) {
        m_host.prompts->inform(Taken);
        text = node->text(0);
        return;
    }
    TDm& dm = *m_host.dm;
    Table& items = *dm.Tb_Items;
    const int id = TCategoryPane::nodeId(node);
    if (!items.locate(QStringLiteral("ID_ITM"), qint64(id))) {
        text = node->text(0);
        return;
    }
    try {
        text = Ledger(*items.database()).renameCategory(id, text).name;
    } catch (...) {
        text = node->text(0);
        throw;
    }
    dm.DataSaved = false;
    items.refresh();
    items.locate(QStringLiteral("ID_ITM"), qint64(id));
    TCategoryPane::renameNode(node, text);
    if (tree)
        tree->sortItems(0, Qt::AscendingOrder);
    refreshHistory();
    if (id >= 0 && tree)
        otherTree(tree)->clear();
}

void TCategoryEditor::mCategoryDeleteClick()
{
    QTreeWidget* tree = focusedTree();
    if (!tree)
        return;
    QTreeWidgetItem* node = tree->currentItem();
    if (!node || node->childCount() > 0 || TCategoryPane::nodeId(node) < 0 || hasBranches(TCategoryPane::nodeId(node)))
        return;
    if (!m_host.prompts->confirm(QStringLiteral("Удалить статью?")))
        return;
    TDm& dm = *m_host.dm;
    Table& items = *dm.Tb_Items;
    if (!items.locate(QStringLiteral("ID_ITM"), qint64(TCategoryPane::nodeId(node))))
        return;
    const Path p = pathOf(node);
    Ledger ledger(*items.database());
    const qint64 count = ledger.rowsOn(p);
    if (count != 0) {
        m_host.prompts->inform(QStringLiteral("Удаление невозможно! - %1 связей в истории").arg(count));
        return;
    }
    ledger.deleteCategory(TCategoryPane::nodeId(node), p);
    dm.DataSaved = false;
    items.refresh();
    delete node;
    otherTree(tree)->clear();
}

void TCategoryEditor::mCategoryFindClick()
{
    QString name;
    if (!m_host.prompts->inputText(QStringLiteral("Поиск"), QStringLiteral("Введите искомую статью:"), &name))
        return;
    if (name.isEmpty())
        return;
    if (QTreeWidget* tree = cardTree())
        m_pane.FindCategoryNode(tree, -11, name);
}

// ---- moving ----

void TCategoryEditor::MoveCategory(QTreeWidgetItem* moved, QTreeWidgetItem* target, Attach mode)
{
    if (!moved || !target || moved == target)
        return;
    Prompts& prompts = *m_host.prompts;
    if (moved->childCount() > 0 || hasBranches(TCategoryPane::nodeId(moved))) {
        prompts.inform(QStringLiteral("Перемещаемая статья не должна иметь ответвлений!"));
        return;
    }
    if (TCategoryPane::nodeId(moved) == -1 || TCategoryPane::nodeId(target) == -1) {
        prompts.inform(QStringLiteral("Перемещения, связанные с зелёной статьёй, не поддерживаются!"));
        return;
    }
    const int targetLevel = TCategoryPane::nodeLevel(target);
    if (mode == Attach::Child && targetLevel == 2) {
        prompts.inform(QStringLiteral("Невозможно переместить статью на более правый уровень!"));
        return;
    }
    if (mode == Attach::Sibling && TCategoryPane::nodeLevel(moved) == 0 && targetLevel == 0) {
        prompts.inform(QStringLiteral("Нет смысла в перемещении!"));
        return;
    }
    TDm& dm = *m_host.dm;
    Table& items = *dm.Tb_Items;
    const qint64 id = TCategoryPane::nodeId(moved);
    if (!items.locate(QStringLiteral("ID_ITM"), id))
        return;
    if (itemDirectionFromStored(items.fieldByName(QStringLiteral("C")).asString()) == ItemDirection::Both) {
        prompts.inform(QStringLiteral("Перемещаемая статья не должна быть приходно-расходной"));
        return;
    }
    if (!prompts.confirm(QStringLiteral("Изменить место расположения статьи ?")))
        return;

    const Path before = pathOf(moved);
    QTreeWidgetItem* parent = mode == Attach::Child ? target : target->parent();
    Path after = parent ? pathOf(parent) : Path();
    const int level = parent ? TCategoryPane::nodeLevel(parent) + 1 : 0;
    after.level[level] = id;

    // The ledger moves the item and the history's paths in one change; the tables read both again.
    Table& hist = *dm.Tb_Hist;
    try {
        Ledger(*items.database())
            .moveCategory(id, parent ? QVariant(qint64(TCategoryPane::nodeId(parent))) : QVariant(), level, before,
                          after);
        dm.DataSaved = false;
    } catch (...) {
        try {
            items.refresh();
        } catch (...) {
            // The failure that brought us here is the one to tell; the tables are read again
            // when next shown.
            noteSwallowed("reading the items again after a failed move");
        }
        throw;
    }
    items.refresh();
    items.locate(QStringLiteral("ID_ITM"), id);
    dm.DataSaved = false;

    QTreeWidget* tree = moved->treeWidget();
    if (mode == Attach::Child) {
        // The new node stays last among its siblings until the tree is next sorted.
        QTreeWidgetItem* node = TCategoryPane::makeNode(moved->text(0), int(id));
        tree->setSortingEnabled(false);
        target->addChild(node);
        delete moved;
        tree->setCurrentItem(node);
    } else {
        QTreeWidgetItem* from = moved->parent();
        if (from)
            from->takeChild(from->indexOfChild(moved));
        else
            tree->takeTopLevelItem(tree->indexOfTopLevelItem(moved));
        if (parent)
            parent->addChild(moved);
        else
            tree->addTopLevelItem(moved);
        tree->setSortingEnabled(true);
        tree->sortItems(0, Qt::AscendingOrder);
        tree->setCurrentItem(moved);
    }
    if (hist.active())
        hist.refresh();
}

void TCategoryEditor::mCategoryMoveClick()
{
    QTreeWidget* tree = focusedTree();
    if (!tree)
        return;
    QTreeWidgetItem* moved = tree->currentItem();
    int nodes = 0;
    for (QTreeWidgetItemIterator it(tree); *it && nodes < 2; ++it)
        ++nodes;
    if (!moved || nodes < 2)
        return;
    QString name;
    if (!m_host.prompts->inputText(QStringLiteral("Введите статью -> адресат"),
                                   QStringLiteral("(при отсутствии - перенос на 1-й уровень)"), &name))
        return;
    if (!name.isEmpty()) {
        if (QTreeWidgetItem* target = m_pane.FindCategoryNode(tree, -10, name))
            MoveCategory(moved, target, Attach::Child);
        else
            m_host.prompts->inform(QStringLiteral("Цель не найдена!"));
        return;
    }
    if (TCategoryPane::nodeLevel(moved) == 0)
        return;
    for (QTreeWidgetItemIterator it(tree); *it; ++it) {
        if (TCategoryPane::nodeLevel(*it) == 0 && TCategoryPane::nodeId(*it) != -1) {
            MoveCategory(moved, *it, Attach::Sibling);
            return;
        }
    }
}

void TCategoryEditor::TvCtDragDrop(QTreeWidget* tree, const QPoint& at)
{
    if (!tree->hasFocus())
        return;
    QTreeWidgetItem* moved = tree->currentItem();
    QTreeWidgetItem* target = tree->itemAt(at);
    if (!moved || !target)
        return;
    // Right of the node's text (or outside the rows) makes a child; on the text, a sibling.
    const QRect row = tree->visualItemRect(target);
    const int textEnd = row.left() + tree->fontMetrics().horizontalAdvance(target->text(0)) + 6;
    const bool child = at.x() > textEnd || at.x() > tree->viewport()->width() || at.y() > row.bottom();
    MoveCategory(moved, target, child ? Attach::Child : Attach::Sibling);
}

} // namespace dorv
