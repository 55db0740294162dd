#include "Dataset.h"

#include "DataSource.h"
#include "Database.h"
#include "DbError.h"
#include "util/Swallowed.h"
#include "util/Win1251.h"

#include <algorithm>
#include <exception>
#include <optional>

namespace dorv {

namespace {
constexpr int CacheLimit = 4096;

struct BusyGuard {
    explicit BusyGuard(bool& target) : flag(target), was(target) { target = true; }
    ~BusyGuard() { flag = was; }
    bool& flag;
    bool was;
};

QString quoted(const QString& name) { return QLatin1Char('"') + name + QLatin1Char('"'); }

// Runs a step of the clean-up after a failure; the first failure is the one the caller reports,
// so a later one must not take its place or cut the clean-up short.
template <class Step>
void quietly(Step step) noexcept
{
    try {
        step();
    } catch (...) {
        // A clean-up step after a failure already on its way: that failure is the one to tell.
        noteSwallowed("a quiet clean-up step");
    }
}
} // namespace

Dataset::Dataset(const QString& name, QObject* parent) : QObject(parent), m_name(name) { setObjectName(name); }

Dataset::~Dataset()
{
    for (DataSource* s : m_sources)
        s->datasetGone();
}

void Dataset::setDatabaseName(const QString& folder)
{
    if (active() && folder != m_folder)
        throw DbError(QStringLiteral("Нельзя сменить базу данных открытой таблицы %1").arg(m_name));
    m_folder = folder;
}

Field& Dataset::addFieldOfKind(const QString& name, FieldType type, int size, FieldKind kind)
{
    if (active())
        throw DbError(QStringLiteral("Нельзя добавить поле %1 в открытую таблицу %2").arg(name, m_name));
    m_all.push_back(std::make_unique<Field>(this, name, type, size, kind));
    rebuildFieldList();
    return *m_all.back();
}

Field& Dataset::addField(const QString& name, FieldType type, int size)
{
    return addFieldOfKind(name, type, size, FieldKind::Data);
}

Field& Dataset::addLookupField(const QString& name, int size, const QString& keyField, const QString& lookupTable,
                               const QString& lookupKey, const QString& resultField)
{
    return addFieldOfKind(name, FieldType::Text, size, FieldKind::Lookup)
        .setLookup(keyField, lookupTable, lookupKey, resultField);
}

Field& Dataset::addCalculatedField(const QString& name, FieldType type, int size)
{
    return addFieldOfKind(name, type, size, FieldKind::Calculated);
}

void Dataset::rebuildFieldList()
{
    m_fields.clear();
    for (const auto& f : m_all) {
        if (!f->present())
            continue;
        f->setIndex(int(m_fields.size()));
        m_fields.push_back(f.get());
    }
}

void Dataset::removeAllFields()
{
    m_fields.clear();
    emit fieldsChanged();
    m_all.clear();
}

Field* Dataset::findField(const QString& name) const
{
    for (Field* f : m_fields)
        if (f->name().compare(name, Qt::CaseInsensitive) == 0)
            return f;
    return nullptr;
}

Field& Dataset::fieldByName(const QString& name) const
{
    if (Field* f = findField(name))
        return *f;
    throw DbError(QStringLiteral("%1: поле «%2» не найдено").arg(m_name, name));
}

void Dataset::connectDatabase()
{
    if (m_folder.isEmpty())
        throw DbError(QStringLiteral("%1: не указана папка базы данных").arg(m_name));
    m_db = Database::acquire(m_folder);
}

void Dataset::releaseDatabase() { m_db.reset(); }

void Dataset::checkActive() const
{
    if (!active())
        throw DbError(QStringLiteral("Операция невозможна: таблица %1 закрыта").arg(m_name));
}

// ---- open and close ----

void Dataset::open()
{
    if (active())
        return;
    try {
        connectDatabase();
        openStorage();
        m_handles = loadHandles();
    } catch (...) {
        m_handles.clear();
        closeStorage();
        releaseDatabase();
        throw;
    }
    m_cache.clear();
    m_cur = m_handles.empty() ? -1 : 0;
    m_bof = true;
    m_eof = m_handles.empty();
    m_state = DatasetState::Browse;
    // A first row that cannot be read leaves the dataset open on it with empty fields, so that the
    // other rows stay within reach; the error goes to the caller once the views know the state.
    const std::exception_ptr failure = tryLoadCurrent();
    if (m_disableCount == 0)
        emit rowsReset();
    notifyState();
    notifyData(nullptr);
    if (failure)
        std::rethrow_exception(failure);
    if (afterOpen)
        afterOpen(*this);
    if (afterScroll)
        afterScroll(*this);
}

void Dataset::close()
{
    if (!active())
        return;
    if (editing())
        cancel();
    if (beforeClose)
        beforeClose(*this);
    closeStorage();
    releaseDatabase();
    m_handles.clear();
    m_cache.clear();
    m_current.clear();
    m_edit.clear();
    m_cur = -1;
    m_eof = m_bof = true;
    m_state = DatasetState::Inactive;
    if (m_disableCount == 0)
        emit rowsReset();
    notifyState();
    notifyData(nullptr);
    if (afterClose)
        afterClose(*this);
}

// ---- rows ----

Record Dataset::completeRecord(qint64 handle)
{
    Record r(fieldCount());
    if (!fetchRecord(handle, r))
        return Record(fieldCount());
    fillDerived(r);
    return r;
}

void Dataset::fillDerived(Record& r)
{
    bool hasCalc = false;
    for (Field* f : m_fields) {
        if (f->kind() == FieldKind::Calculated) {
            hasCalc = true;
            r[f->index()] = QVariant();
            continue;
        }
        if (f->kind() != FieldKind::Lookup)
            continue;
        QVariant result;
        const Field* key = findField(f->keyFieldName());
        const QVariant keyValue = key ? r.value(key->index()) : QVariant();
        if (keyValue.isValid() && m_db) {
            Statement st =
                m_db->prepare(QStringLiteral("SELECT %1 FROM %2 WHERE %3=? LIMIT 1")
                                  .arg(quoted(f->lookupResult()), quoted(f->lookupTable()), quoted(f->lookupKey())));
            st.bind(1, keyValue);
            if (st.step()) {
                result = st.column(0);
                if (result.isValid())
                    result = result.toString().left(f->size());
            }
        }
        r[f->index()] = result;
    }
    if (hasCalc && onCalcFields) {
        Record* saved = m_calcRecord;
        m_calcRecord = &r;
        try {
            onCalcFields(*this);
        } catch (...) {
            m_calcRecord = saved;
            throw;
        }
        m_calcRecord = saved;
    }
}

Record Dataset::recordAt(int row)
{
    if (row < 0 || row >= recordCount())
        return Record(fieldCount());
    if (row == m_cur && m_state == DatasetState::Edit)
        return m_edit;
    const qint64 h = m_handles[size_t(row)];
    auto it = m_cache.constFind(h);
    if (it != m_cache.constEnd())
        return *it;
    if (m_cache.size() >= CacheLimit)
        m_cache.clear();
    Record r = completeRecord(h);
    m_cache.insert(h, r);
    return r;
}

void Dataset::loadCurrent()
{
    // Emptied first: should the row fail to read, the previous row's values must not stay behind
    // for an edit to write over this one.
    m_current = Record(fieldCount());
    m_currentLoaded = false;
    if (m_cur >= 0 && m_cur < recordCount())
        m_current = recordAt(m_cur);
    m_currentLoaded = true;
}

std::exception_ptr Dataset::tryLoadCurrent()
{
    try {
        loadCurrent();
    } catch (...) {
        return std::current_exception();
    }
    return nullptr;
}

int Dataset::positionOf(qint64 handle) const
{
    for (size_t i = 0; i < m_handles.size(); ++i)
        if (m_handles[i] == handle)
            return int(i);
    return -1;
}

void Dataset::reloadHandles(qint64 keepHandle)
{
    const int oldRow = m_cur;
    m_handles = loadHandles();
    m_cache.clear();
    int row = keepHandle >= 0 ? positionOf(keepHandle) : -1;
    if (row < 0)
        row = m_handles.empty() ? -1 : (keepHandle == FirstRow ? 0 : qBound(0, oldRow, recordCount() - 1));
    m_cur = row;
    m_bof = m_cur <= 0;
    m_eof = m_handles.empty();
    if (m_disableCount == 0)
        emit rowsReset();
    scrolled();
}

void Dataset::refresh()
{
    checkActive();
    checkBrowseMode();
    reloadHandles(bookmark());
}

// ---- navigation ----

void Dataset::scrolled()
{
    // The cursor stands on the new row even when it cannot be read: the views follow it, its fields
    // are empty, and the caller learns why; the row's event waits for a row that was read.
    const std::exception_ptr failure = tryLoadCurrent();
    if (m_disableCount == 0)
        emit currentRowChanged(m_cur);
    notifyData(nullptr);
    if (failure)
        std::rethrow_exception(failure);
    if (afterScroll)
        afterScroll(*this);
}

void Dataset::setCurrentRow(int row)
{
    checkActive();
    // A view following the row list while a post or delete rearranges it must not move the cursor
    // (nor post once more from inside the post).
    if (m_busy || m_handles.empty())
        return;
    row = qBound(0, row, recordCount() - 1);
    if (row == m_cur && m_state != DatasetState::Insert)
        return;
    checkBrowseMode();
    if (m_handles.empty())
        return;
    row = qBound(0, row, recordCount() - 1);
    m_bof = m_eof = false;
    if (row == m_cur)
        return;
    m_cur = row;
    scrolled();
}

void Dataset::first()
{
    checkActive();
    checkBrowseMode();
    m_bof = true;
    m_eof = m_handles.empty();
    const int row = m_handles.empty() ? -1 : 0;
    if (row != m_cur) {
        m_cur = row;
        scrolled();
    }
}

void Dataset::last()
{
    checkActive();
    checkBrowseMode();
    m_eof = true;
    m_bof = m_handles.empty();
    const int row = recordCount() - 1;
    if (row != m_cur) {
        m_cur = row;
        scrolled();
    }
}

int Dataset::moveBy(int distance)
{
    checkActive();
    checkBrowseMode();
    if (m_handles.empty()) {
        m_bof = m_eof = true;
        return 0;
    }
    const int target = qBound(0, m_cur + distance, recordCount() - 1);
    const int moved = target - m_cur;
    m_eof = distance > 0 && moved < distance;
    m_bof = distance < 0 && moved > distance;
    if (moved != 0) {
        m_cur = target;
        scrolled();
    }
    return moved;
}

void Dataset::next() { moveBy(1); }

void Dataset::prior() { moveBy(-1); }

qint64 Dataset::bookmark() const { return m_cur >= 0 && m_cur < recordCount() ? m_handles[size_t(m_cur)] : -1; }

qint64 Dataset::bookmarkAt(int row) const { return row >= 0 && row < recordCount() ? m_handles[size_t(row)] : -1; }

bool Dataset::bookmarkValid(qint64 bookmark) const { return bookmark >= 0 && positionOf(bookmark) >= 0; }

bool Dataset::gotoBookmark(qint64 bookmark)
{
    checkActive();
    checkBrowseMode();
    const int row = bookmark >= 0 ? positionOf(bookmark) : -1;
    if (row < 0)
        return false;
    m_bof = m_eof = false;
    if (row != m_cur) {
        m_cur = row;
        scrolled();
    }
    return true;
}

bool Dataset::locate(const QString& fieldName, const QVariant& value)
{
    checkActive();
    checkBrowseMode();
    const Field& f = fieldByName(fieldName);
    const QVariant wanted = normalizeValue(f.type(), value, f.label());
    for (int row = 0; row < recordCount(); ++row) {
        const QVariant v = recordAt(row).value(f.index());
        if (v.isValid() == wanted.isValid() && (!v.isValid() || compareValues(v, wanted) == 0)) {
            setCurrentRow(row);
            return true;
        }
    }
    return false;
}

// ---- editing ----

QVariant Dataset::fieldValue(const Field& field) const
{
    const int i = field.index();
    if (m_calcRecord)
        return m_calcRecord->value(i);
    if (editing())
        return m_edit.value(i);
    return m_current.value(i);
}

void Dataset::setFieldValue(const Field& field, const QVariant& value)
{
    if (m_calcRecord) {
        if (field.kind() != FieldKind::Calculated)
            throw DbError(QStringLiteral("Поле «%1» нельзя менять при расчёте").arg(field.label()));
        (*m_calcRecord)[field.index()] = value;
        return;
    }
    if (!editing())
        throw DbError(QStringLiteral("Таблица %1 не в режиме правки").arg(m_name));
    if (field.kind() == FieldKind::Lookup)
        throw DbError(QStringLiteral("Поле «%1» только для чтения").arg(field.label()));
    m_edit[field.index()] = value;
    if (field.isData())
        fillDerived(m_edit);
    if (m_state == DatasetState::Edit && m_disableCount == 0)
        emit rowUpdated(m_cur);
    notifyData(const_cast<Field*>(&field));
}

void Dataset::setState(DatasetState state)
{
    if (m_state == state)
        return;
    m_state = state;
    notifyState();
}

void Dataset::insert()
{
    checkActive();
    checkBrowseMode();
    if (beforeInsert)
        beforeInsert(*this);
    m_edit = Record(fieldCount());
    for (Field* f : m_fields)
        if (f->isData() && f->defaultValue().isValid())
            m_edit[f->index()] = normalizeValue(f->type(), f->defaultValue(), f->label());
    setState(DatasetState::Insert);
    try {
        if (onNewRecord)
            onNewRecord(*this);
        fillDerived(m_edit);
    } catch (...) {
        m_edit.clear();
        setState(DatasetState::Browse);
        throw;
    }
    notifyData(nullptr);
    if (afterInsert)
        afterInsert(*this);
}

void Dataset::edit()
{
    checkActive();
    if (editing())
        return;
    if (m_handles.empty()) {
        insert();
        return;
    }
    // A row whose stored values could not be read cannot be edited: its before-image is unknown,
    // and posting the empty buffer would blank it. Reading it again raises the reason.
    if (!m_currentLoaded)
        loadCurrent();
    if (beforeEdit)
        beforeEdit(*this);
    m_edit = m_current;
    setState(DatasetState::Edit);
    if (afterEdit)
        afterEdit(*this);
}

void Dataset::checkTexts(const Record& r) const
{
    for (Field* f : m_fields) {
        if (!f->isData() || f->type() != FieldType::Text)
            continue;
        const QVariant v = r.value(f->index());
        if (!v.isValid())
            continue;
        const QString s = v.toString();
        if (f->size() > 0 && s.size() > f->size())
            throw DbError(QStringLiteral("Поле «%1»: текст длиннее %2 символов").arg(f->label()).arg(f->size()));
        // A text field holds one line of printable text: a tab or a line break would break the grids,
        // the reports and the filters built from it, although the code page could hold them.
        if (std::any_of(s.cbegin(), s.cend(), [](QChar c) { return c.unicode() < 0x20 || c.unicode() == 0x7F; }))
            throw DbError(QStringLiteral("Поле «%1»: недопустимый управляющий символ").arg(f->label()));
        const qsizetype bad = firstNonWin1251(s);
        if (bad >= 0)
            throw DbError(QStringLiteral("Поле «%1»: символ «%2» не может быть сохранён")
                              .arg(f->label(), s.mid(bad, s.at(bad).isHighSurrogate() ? 2 : 1)));
    }
}

void Dataset::post()
{
    checkActive();
    // A view that reacts to the rows moving may ask again while this very record is being written.
    if (!editing() || m_busy)
        return;
    if (beforePost)
        beforePost(*this);
    for (Field* f : m_fields)
        if (f->isData() && f->required() && !m_edit.value(f->index()).isValid())
            throw DbError(QStringLiteral("Field '%1' must have a value").arg(f->label()));
    checkTexts(m_edit);

    const bool inserting = m_state == DatasetState::Insert;
    const int oldRow = m_cur;
    std::optional<BusyGuard> busy(std::in_place, m_busy);
    // A write that fails leaves the record being edited, so that it can be corrected and posted again.
    qint64 handle;
    if (inserting) {
        handle = insertRecord(m_edit);
    } else {
        handle = m_handles[size_t(m_cur)];
        updateRecord(handle, m_current, m_edit);
    }
    // The row is written; from here on the view follows it. Whatever fails now must not leave the
    // record pending, or the next post would store it a second time.
    try {
        dropCached(handle);
        const Record stored = completeRecord(handle);
        if (!inserting) {
            m_cur = -1;
            removeHandle(oldRow);
        }
        const int place = placeOf(handle, stored, inserting ? -1 : oldRow);
        if (place >= 0) {
            m_cache.insert(handle, stored);
            m_cur = -1; // the views read the old rows while the new one is inserted
            insertHandle(place, handle);
            m_cur = place;
        } else {
            m_cur = m_handles.empty() ? -1 : qBound(0, oldRow, recordCount() - 1);
        }
        busy.reset();
        m_edit.clear();
        m_eof = m_handles.empty();
        m_bof = m_cur <= 0;
        m_state = DatasetState::Browse;
        loadCurrent();
        notifyState();
        if (m_disableCount == 0)
            emit currentRowChanged(m_cur);
        notifyData(nullptr);
        if (afterPost)
            afterPost(*this);
    } catch (...) {
        busy.reset();
        recoverAfterWrite(handle, -1, oldRow);
        throw;
    }
}

void Dataset::cancel()
{
    if (!editing())
        return;
    if (beforeCancel)
        beforeCancel(*this);
    const bool wasEdit = m_state == DatasetState::Edit;
    m_edit.clear();
    setState(DatasetState::Browse);
    if (wasEdit && m_disableCount == 0)
        emit rowUpdated(m_cur);
    notifyData(nullptr);
    if (afterCancel)
        afterCancel(*this);
}

void Dataset::deleteRecord()
{
    checkActive();
    if (m_state == DatasetState::Insert) {
        cancel();
        return;
    }
    if (m_handles.empty() || m_cur < 0)
        throw DbError(QStringLiteral("Нет записи для удаления (%1)").arg(m_name));
    if (m_state == DatasetState::Edit)
        cancel();
    if (beforeDelete)
        beforeDelete(*this);
    std::optional<BusyGuard> busy(std::in_place, m_busy);
    const qint64 handle = m_handles[size_t(m_cur)];
    const int row = m_cur;
    deleteStoredRecord(handle);
    // The row is gone from the file; a failure from here on must not leave it in the view.
    try {
        dropCached(handle);
        m_cur = -1; // the views read the remaining rows while this one goes
        removeHandle(row);
        busy.reset();
        m_cur = m_handles.empty() ? -1 : qMin(row, recordCount() - 1);
        m_eof = m_handles.empty();
        m_bof = m_cur <= 0;
        loadCurrent();
        if (m_disableCount == 0)
            emit currentRowChanged(m_cur);
        notifyData(nullptr);
        if (afterDelete)
            afterDelete(*this);
    } catch (...) {
        busy.reset();
        recoverAfterWrite(-1, handle, row);
        throw;
    }
}

// A post or delete reached the file, but what followed it failed half-way (a lookup, a calculated
// field, a view, an after-event): the rows and the cursor may be anywhere between before and after.
// Browsing the rows as stored again is the one state that is certainly right, and it keeps a second
// post from storing the record twice.
void Dataset::recoverAfterWrite(qint64 written, qint64 removed, int nearRow)
{
    if (!active())
        return; // a handler closed the dataset
    m_edit.clear();
    m_state = DatasetState::Browse;
    try {
        m_handles = loadHandles();
    } catch (...) {
        // The rows cannot be listed again: mend the list at hand so that it matches the file. The
        // write's own failure, which brought us here, is the one the caller raises.
        noteSwallowed("listing the rows again after a write");
        if (removed >= 0)
            std::erase(m_handles, removed);
        if (written >= 0 && positionOf(written) < 0)
            m_handles.insert(m_handles.begin() + qBound(0, nearRow, recordCount()), written);
    }
    m_cache.clear();
    int row = written >= 0 ? positionOf(written) : -1;
    if (row < 0)
        row = m_handles.empty() ? -1 : qBound(0, nearRow, recordCount() - 1);
    m_cur = row;
    m_bof = m_cur <= 0;
    m_eof = m_handles.empty();
    quietly([this] { loadCurrent(); });
    if (m_disableCount == 0) {
        quietly([this] { emit rowsReset(); });
        quietly([this] { emit currentRowChanged(m_cur); });
    }
    quietly([this] { notifyState(); });
    quietly([this] { notifyData(nullptr); });
}

void Dataset::insertHandle(int row, qint64 handle)
{
    if (m_disableCount == 0)
        emit rowAboutToBeInserted(row);
    m_handles.insert(m_handles.begin() + row, handle);
    if (m_disableCount == 0)
        emit rowInserted(row);
}

void Dataset::removeHandle(int row)
{
    if (m_disableCount == 0)
        emit rowAboutToBeRemoved(row);
    m_handles.erase(m_handles.begin() + row);
    if (m_disableCount == 0)
        emit rowRemoved(row);
}

void Dataset::checkBrowseMode()
{
    if (editing())
        post();
}

int Dataset::placeOf(qint64, const Record&, int oldPosition) { return oldPosition >= 0 ? oldPosition : recordCount(); }

// ---- notifications ----

void Dataset::disableControls() { ++m_disableCount; }

void Dataset::enableControls()
{
    if (m_disableCount == 0)
        return;
    if (--m_disableCount > 0)
        return;
    emit rowsReset();
    emit currentRowChanged(m_cur);
    notifyState();
    notifyData(nullptr);
}

void Dataset::attach(DataSource* source) { m_sources.push_back(source); }

void Dataset::detach(DataSource* source) { std::erase(m_sources, source); }

void Dataset::notifyState()
{
    if (m_disableCount > 0)
        return;
    emit stateChanged();
    const auto sources = m_sources;
    for (DataSource* s : sources)
        s->stateChange();
}

void Dataset::notifyData(Field* field)
{
    if (m_disableCount > 0)
        return;
    emit dataChanged(field);
    const auto sources = m_sources;
    for (DataSource* s : sources)
        s->dataChange(field);
}

} // namespace dorv
