#include "DbControls.h"

#include "ErrorGuard.h"
#include "data/Dataset.h"
#include "data/DbError.h"
#include "util/Swallowed.h"

#include <QKeyEvent>
#include <QMetaMethod>

namespace dorv {

TDbEdit::TDbEdit(const QString& name, QWidget* parent) : QLineEdit(parent) { setObjectName(name); }

void TDbEdit::bind(Dataset* dataset, const QString& fieldName)
{
    disconnect(m_follow);
    m_dataset = dataset;
    m_field = fieldName;
    if (dataset)
        m_follow = connect(dataset, &Dataset::dataChanged, this, [this](Field* changed) {
            // What the user is typing is not overwritten by its own echo.
            if (hasFocus() && isModified())
                return;
            if (!changed || changed->name().compare(m_field, Qt::CaseInsensitive) == 0)
                showValue();
        });
    showValue();
}

void TDbEdit::showValue()
{
    const Field* f = m_dataset && m_dataset->active() ? m_dataset->findField(m_field) : nullptr;
    setText(f ? f->displayText() : QString());
    setModified(false);
    if (f && f->type() == FieldType::Text && f->size() > 0)
        setMaxLength(f->size());
}

void TDbEdit::writeValue()
{
    if (!m_dataset || !m_dataset->active() || isReadOnly())
        return;
    Field* f = m_dataset->findField(m_field);
    // Taken first: starting the edit shows the record anew, and with it the field's old value.
    const QString typed = text().trimmed();
    if (!f || f->readOnly() || text() == f->displayText())
        return;
    if (!m_dataset->editing())
        m_dataset->edit();
    try {
        f->setAsString(typed);
    } catch (const DbError&) {
        // Letters where a number belongs: no amount at all, which the checks report.
        if (f->type() == FieldType::Text)
            throw;
        f->clear();
    }
    setModified(false);
}

void TDbEdit::focusOutEvent(QFocusEvent* event)
{
    QLineEdit::focusOutEvent(event);
    // Leaving the field hands over what was typed to an edit that is going on; it never starts one
    // (a card closed with Esc loses the focus only after its row was given up).
    if (!isModified() || !m_dataset || !m_dataset->editing() || !window()->isVisible())
        return;
    try {
        writeValue();
    } catch (...) {
        // A text the field refuses stays in the edit; the post reports it.
        noteSwallowed("handing over the typed text");
    }
}

TDbLookupCombo::TDbLookupCombo(const QString& name, QWidget* parent) : QComboBox(parent)
{
    setObjectName(name);
    setEditable(false);
    connect(this, &QComboBox::activated, this, [this](int index) {
        try {
            pick(index);
        } catch (...) {
            // Refused by the data: the listener says why.
            emit pickFailed(messageOf(std::current_exception()));
        }
    });
}

void TDbLookupCombo::bind(Dataset* target, const QString& keyField)
{
    disconnect(m_follow);
    m_target = target;
    m_key = keyField;
    if (target)
        m_follow = connect(target, &Dataset::dataChanged, this, [this](Field* changed) {
            if (!changed || changed->name().compare(m_key, Qt::CaseInsensitive) == 0)
                showValue();
        });
    showValue();
}

void TDbLookupCombo::setList(Dataset* list, const QString& listKey, const QStringList& shownFields)
{
    m_list = list;
    m_listKey = listKey;
    m_shown = shownFields;
    reload();
}

void TDbLookupCombo::reload()
{
    const QSignalBlocker quiet(this);
    clear();
    if (m_list && m_list->active()) {
        const Field* key = m_list->findField(m_listKey);
        QList<const Field*> shown;
        for (const QString& name : std::as_const(m_shown))
            if (const Field* f = m_list->findField(name))
                shown << f;
        for (int row = 0; key && row < m_list->recordCount(); ++row) {
            const Record r = m_list->recordAt(row);
            QStringList parts;
            for (const Field* f : shown)
                parts << f->formatValue(r.value(f->index()));
            addItem(parts.join(QStringLiteral("  ")), r.value(key->index()));
        }
    }
    showValue();
}

void TDbLookupCombo::showValue()
{
    const Field* f = m_target && m_target->active() ? m_target->findField(m_key) : nullptr;
    const QVariant v = f ? f->value() : QVariant();
    int at = -1;
    for (int i = 0; v.isValid() && i < count(); ++i)
        if (itemData(i).toLongLong() == v.toLongLong())
            at = i;
    const QSignalBlocker quiet(this);
    setCurrentIndex(at);
}

void TDbLookupCombo::pick(int index)
{
    if (!m_target || !m_target->active() || index < 0)
        return;
    Field* f = m_target->findField(m_key);
    if (!f)
        return;
    const QVariant key = itemData(index);
    if (!m_target->editing())
        m_target->edit();
    f->setValue(key);
    emit keyPicked(key);
}

void TDbLookupCombo::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Delete && isSignalConnected(QMetaMethod::fromSignal(&TDbLookupCombo::deletePressed))) {
        event->accept();
        emit deletePressed();
        showValue();
        return;
    }
    QComboBox::keyPressEvent(event);
}

} // namespace dorv
