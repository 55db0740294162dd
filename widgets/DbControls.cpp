#include "DbControls.h"

#include "ErrorGuard.h"
#include "data/Dataset.h"
#include "data/DbError.h"
#include "util/AmountSum.h"
#include "util/Money.h"
#include "util/Swallowed.h"

#include <QAbstractItemView>
#include <QCompleter>
#include <QKeyEvent>
#include <QMetaMethod>
#include <QStringListModel>

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
    qint64 units = 0;
    if (m_sums && f->type() == FieldType::Float && evaluateSum(typed, &units)) {
        f->setValue(fromTenThousandths(units));
        setModified(false);
        return;
    }
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
    // A name typed and not taken gives way to what the field holds.
    if (isEditable() && currentText() != (at >= 0 ? itemText(at) : QString()))
        setEditText(at >= 0 ? itemText(at) : QString());
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

void TDbLookupCombo::allowTyping(std::function<QVariant(const QString&)> addName)
{
    m_addName = std::move(addName);
    setEditable(true);
    // Typing never adds to the list by itself: what the list holds is what the data holds.
    setInsertPolicy(QComboBox::NoInsert);
    m_completions = new QStringListModel(this);
    m_completer = new QCompleter(m_completions, this);
    m_completer->setObjectName(objectName() + QStringLiteral("Completer"));
    // The list is already narrowed to the names matched from any word, not only from the first.
    m_completer->setCompletionMode(QCompleter::UnfilteredPopupCompletion);
    m_completer->setCaseSensitivity(Qt::CaseInsensitive);
    setCompleter(m_completer);
    connect(lineEdit(), &QLineEdit::textEdited, this, [this](const QString& typed) { complete(typed); });
    connect(m_completer, qOverload<const QString&>(&QCompleter::activated), this,
            [this](const QString& text) { pickText(text); });
    showValue();
}

QStringList TDbLookupCombo::completionsOf(const QString& typed) const
{
    QStringList found;
    const QString wanted = typed.trimmed();
    if (wanted.isEmpty())
        return found;
    for (int i = 0; i < count(); ++i) {
        const QString name = itemText(i);
        for (qsizetype at = 0; at < name.size(); ++at) {
            const bool wordStart = name.at(at).isLetterOrNumber() && (at == 0 || !name.at(at - 1).isLetterOrNumber());
            if (wordStart && QStringView(name).mid(at).startsWith(wanted, Qt::CaseInsensitive)) {
                found << name;
                break;
            }
        }
    }
    return found;
}

void TDbLookupCombo::complete(const QString& typed)
{
    if (!m_completer)
        return;
    const QStringList found = completionsOf(typed);
    m_completions->setStringList(found);
    if (found.isEmpty())
        m_completer->popup()->hide();
    else
        m_completer->complete();
}

void TDbLookupCombo::pickText(const QString& text)
{
    const int at = findText(text, Qt::MatchFixedString);
    if (at < 0)
        return;
    try {
        const QSignalBlocker quiet(this);
        setCurrentIndex(at);
        pick(at);
    } catch (...) {
        // Refused by the data: the listener says why.
        emit pickFailed(messageOf(std::current_exception()));
        showValue();
    }
}

bool TDbLookupCombo::commitTyped()
{
    if (!isEditable() || !m_target || !m_target->active())
        return true;
    const QString typed = currentText().trimmed();
    // Nothing typed, or the name shown: the key stays as it is (Delete empties it).
    if (typed.isEmpty() || (currentIndex() >= 0 && itemText(currentIndex()) == currentText())) {
        showValue();
        return true;
    }
    if (findText(typed, Qt::MatchFixedString) >= 0) {
        pickText(typed);
        return true;
    }
    const QVariant key = m_addName ? m_addName(typed) : QVariant();
    if (!key.isValid()) {
        showValue();
        return false;
    }
    reload();
    for (int i = 0; i < count(); ++i)
        if (itemData(i).toLongLong() == key.toLongLong()) {
            pickText(itemText(i));
            return true;
        }
    return false;
}

void TDbLookupCombo::keyPressEvent(QKeyEvent* event)
{
    // Enter takes a typed name here; it does not close the window around the list as well.
    if (isEditable() && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
        && event->modifiers() == Qt::NoModifier) {
        event->accept();
        commitTyped();
        return;
    }
    if (event->key() == Qt::Key_Delete && isSignalConnected(QMetaMethod::fromSignal(&TDbLookupCombo::deletePressed))) {
        event->accept();
        emit deletePressed();
        showValue();
        return;
    }
    QComboBox::keyPressEvent(event);
}

} // namespace dorv
