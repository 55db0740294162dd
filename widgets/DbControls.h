#pragma once
#include "data/Dataset.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPointer>
#include <QStringList>

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

protected:
    void focusOutEvent(QFocusEvent* event) override;

private:
    QPointer<Dataset> m_dataset;
    QString m_field;
    QMetaObject::Connection m_follow;
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

    QPointer<Dataset> m_target;
    QString m_key;
    QPointer<Dataset> m_list;
    QString m_listKey;
    QStringList m_shown;
    QMetaObject::Connection m_follow;
};

} // namespace dorv
