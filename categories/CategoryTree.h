#pragma once
#include <QColor>
#include <QHash>
#include <QPointer>
#include <QStackedWidget>
#include <QStyledItemDelegate>

class QAction;
class QKeyEvent;
class QMenu;
class QTreeWidget;
class QTreeWidgetItem;

namespace dorv {

class TDm;

// Paints the category nodes: the transfer item stands out in green, and a selected node is shown on
// the plain window colour rather than the highlight, so the tree reads the same focused or not.
class TCategoryDelegate final : public QStyledItemDelegate {
    Q_OBJECT
public:
    TCategoryDelegate(const QColor& selectedBackground, QObject* parent = nullptr);

    static QColor nodeTextColour(int id, const QPalette& palette);
    // Public so that the chosen colours can be checked without painting.
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;

private:
    QColor m_selectedBackground;
};

// The category pane: the expense tree and the income tree on pages without tabs; the direction
// switch of the main window decides which page is shown.
class TCategoryPane final : public QStackedWidget {
    Q_OBJECT
public:
    TCategoryPane(TDm& dm, QWidget* parent = nullptr);
    ~TCategoryPane() override;

    // The two trees, for the windows that act on their nodes.
    QTreeWidget* expenseTree() const { return TvCt; }
    QTreeWidget* incomeTree() const { return TvDt; }
    // A command of the pane, menu item (mCategory...) or popup item (mpCategory...), by its name.
    QAction* command(const QString& name) const;
    // The main menu's items in their order; a null entry stands for a separator.
    QList<QAction*> menuItems() const;

    // Other main menu items whose states follow the current node, by object name, in place of
    // the pane's own.
    void setMenuActions(const QHash<QString, QAction*>& byName);
    QHash<QString, QAction*> popupActions() const;

    // Builds a tree from the category table once; a tree that already has nodes is left alone.
    void FillCategoryTree(QTreeWidget* tree);
    // id > -10: the first node carrying that id, in display order. -10: the first node named so, with
    // Latin letters compared without case. -11: as -10, and the node becomes the current one.
    QTreeWidgetItem* FindCategoryNode(QTreeWidget* tree, int id, const QString& name);
    void EmptyTrees();
    QTreeWidget* shownTree() const;
    void showPage(bool expense);
    // Brings the command states in line with the node (which may be null).
    void TvCtChange(QTreeWidgetItem* node);

    // A node that keeps its place among its siblings in alphabetical order.
    static QTreeWidgetItem* makeNode(const QString& name, int id);
    // Gives a node a new name without it counting as an in-place rename.
    static void renameNode(QTreeWidgetItem* node, const QString& name);
    static int nodeId(const QTreeWidgetItem* node);
    static int nodeLevel(const QTreeWidgetItem* node);

signals:
    // The colour of the splitter beside the pane: navy while a tree has the focus.
    void splitterColour(const QColor& colour);
    // Enter on a node.
    void operationCardRequested();
    // The end of an in-place rename of a node to the text typed; the node shows its stored name
    // until the rename is stored.
    void nodeRenamed(QTreeWidgetItem* node, const QString& text);
    // A node was dropped on a tree, at a point of its viewport.
    void nodeDropped(QTreeWidget* tree, const QPoint& at);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Components, by their names (objectName); tests find them by these.
    QWidget* ShCt;
    QWidget* ShDt;
    QTreeWidget* TvCt; // expense
    QTreeWidget* TvDt; // income
    QMenu* PmCat;
    QAction* mpCategoryNew;
    QAction* mpCategoryNewChild;
    QAction* mpCategoryEdit;
    QAction* mpCategoryDelete;
    QAction* mpCategoryFind;
    QAction* mpCategoryView;
    QAction* mpCategoryMove;
    // The same commands for the main menu (its "Статья" menu), owned here with the popup's.
    QAction* mCategoryNew;
    QAction* mCategoryNewChild;
    QAction* mCategoryEdit;
    QAction* mCategoryDelete;
    QAction* mCategoryFind;
    QAction* mCategoryView;
    QAction* mCategoryMove;

    QTreeWidget* makeTree(QWidget* page, const QString& name);
    QAction* makePopupAction(const QString& name, const QString& text, const QKeySequence& key, int tag);
    QTreeWidget* treeHolding(const QWidget* widget) const;
    QAction* popupActionFor(const QKeyEvent* event) const;
    void focusMoved(QWidget* now);
    void setCommandEnabled(const QString& name, QAction* popup, bool on);
    void itemRenamed(QTreeWidgetItem* node);
    // An account row is current: the statement needs one.
    bool accountSelected() const;

    TDm& m_dm;
    QHash<QString, QPointer<QAction>> m_menu;
    QPointer<QTreeWidget> m_focusTree;
};

} // namespace dorv
