#pragma once
#include "card/DorvCard.h"
#include "data/Meanings.h"
#include "widgets/Services.h"

#include <QObject>
#include <QPoint>

class QAction;
class QGroupBox;
class QLabel;
class QRadioButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace dorv {

class Prompts;
class TCategoryPane;
class TDbEdit;
class TDm;
class TFormCard;

// Adding, branching, renaming, deleting, finding and moving the items of the category trees: the
// category page of the card, the in-place rename and the drops between nodes of a tree. The ledger
// stores each change in one transaction (a move: the item's place and the paths of the history);
// the editor builds its values from the controls and shows what was stored.
class TCategoryEditor final : public QObject, private TCardPage {
    Q_OBJECT
public:
    TCategoryEditor(TCategoryPane& pane, Services& host);
    ~TCategoryEditor() override;

    enum class Attach { Child, Sibling };

    void mCategoryNewClick(QAction* sender);
    void OpenCategoryCard(CardMode action);
    void PrepareCategoryPage();
    void DBECatChange();
    // The OK check of the category page: the name must be new; then the item is stored.
    bool categoryOk();
    void SaveCategory();
    // The end of an in-place rename; text may be set back to the node's old name.
    void TvCtEdited(QTreeWidgetItem* node, QString& text);
    void mCategoryDeleteClick();
    void mCategoryFindClick();
    void MoveCategory(QTreeWidgetItem* moved, QTreeWidgetItem* target, Attach mode);
    void mCategoryMoveClick();
    // A node dropped on a tree at a point of its viewport.
    void TvCtDragDrop(QTreeWidget* tree, const QPoint& at);

private:
    // The card's category page, made the first time the card is there; tests find
    // its components by their names (objectName).
    QLabel* LabCat = nullptr;
    TDbEdit* DBECat = nullptr;
    QGroupBox* DBRg = nullptr;
    QRadioButton* DBRgFirst = nullptr; // "расход" or "приход"
    QRadioButton* DBRgBoth = nullptr;  // "везде"

    void showPage() override { PrepareCategoryPage(); }
    bool pageOk() override { return categoryOk(); }
    void installPage(TFormCard& card);
    QTreeWidget* cardTree() const;
    QTreeWidget* focusedTree() const;
    QTreeWidget* otherTree(QTreeWidget* tree) const;
    // Both trees hold all their items before a name is looked for.
    QTreeWidgetItem* findName(const QString& name);
    void setDirection(ItemDirection direction);
    void refreshHistory();
    bool hasBranches(qint64 id);

    TCategoryPane& m_pane;
    Services& m_host;
    CardMode m_action = CardMode::Idle;
    QTreeWidget* m_tree = nullptr;
    QTreeWidgetItem* m_node = nullptr;
};

} // namespace dorv
