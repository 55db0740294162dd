#pragma once
#include "data/Dataset.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPointer>
#include <QStringList>

#include <functional>

class QCompleter;
class QStringListModel;

namespace dorv {

// An edit field bound to a field of a dataset: it shows the field and, when left (or when OK takes
// the focus), writes what was typed. A number that cannot be read is written as no value, so that
// the checks of the card see an empty amount and say so.
class TDbEdit final : public QLineEdit {
    Q_OBJECT
public:
    explicit TDbEdit(const QString& name, QWidget* parent = nullptr);

    void bind(Dataset* dataset, const QString& fieldName);
    const QString& fieldName() const { return m_field; }
    Dataset* dataset() const { return m_dataset; }
    // Shows the field's value as it is now.
    void showValue();
    // Writes the text into the field, starting an edit of the dataset when none runs.
    void writeValue();
    // A number field that also takes a typed sum ("120+35,5"), written as what it comes to.
    void setTakesSums(bool on) { m_sums = on; }

protected:
    void focusOutEvent(QFocusEvent* event) override;

private:
    QPointer<Dataset> m_dataset;
    QString m_field;
    QMetaObject::Connection m_follow;
    bool m_sums = false;
};

// A pick list bound to a key field of one dataset, offering the rows of another: the user picks a
// row, the key is written. Delete empties the key when deleting is allowed.
class TDbLookupCombo final : public QComboBox {
    Q_OBJECT
public:
    explicit TDbLookupCombo(const QString& name, QWidget* parent = nullptr);

    void bind(Dataset* target, const QString& keyField);
    void setList(Dataset* list, const QString& listKey, const QStringList& shownFields);
    // Reads the list's rows again and shows the target's key among them.
    void reload();
    void showValue();

    // Lets the user type a name: the list offers the items that have a word starting with what was
    // typed (case ignored). A name that is no item is handed to addName, which gives back the key
    // of the row it added (nothing when none was added); that row is then picked.
    void allowTyping(std::function<QVariant(const QString&)> addName);
    // Takes what was typed: the item of that name is picked, or the name is offered to addName.
    // False when a typed name ended up picking nothing.
    bool commitTyped();
    // The items a typed text completes to, in the list's order.
    QStringList completionsOf(const QString& typed) const;

signals:
    // The key of the row the user picked is written; then this is told.
    void keyPicked(const QVariant& key);
    // Delete was pressed (the key is then to be emptied by whoever listens); the key is taken from
    // the list only while someone listens.
    void deletePressed();
    // A pick that the data refused: the message is to be shown.
    void pickFailed(const QString& message);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void pick(int index);
    void complete(const QString& typed);
    void pickText(const QString& text);

    QPointer<Dataset> m_target;
    QString m_key;
    QPointer<Dataset> m_list;
    QString m_listKey;
    QStringList m_shown;
    QMetaObject::Connection m_follow;
    std::function<QVariant(const QString&)> m_addName;
    QCompleter* m_completer = nullptr;
    QStringListModel* m_completions = nullptr;
};

} // namespace dorv
