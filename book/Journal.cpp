#include "Journal.h"

#include "data/ChangeRecorder.h"
#include "data/Database.h"
#include "data/DbError.h"

#include <exception>
#include <utility>

namespace dorv {

namespace {

// The remembered account's mark is rewritten by every save and view switch; it is no change of
// the user's.
const QSet<QString> QuietColumns{QStringLiteral("TB_ACCOUNT.C")};

QString conflictText(const ApplyConflict& c, const QString& row)
{
    switch (c.kind) {
    case ApplyConflict::Kind::Changed:
        return QStringLiteral("с тех пор изменилась запись: %1").arg(row);
    case ApplyConflict::Kind::Missing:
        return QStringLiteral("с тех пор удалена запись: %1").arg(row);
    case ApplyConflict::Kind::Exists:
        return QStringLiteral("уже есть запись: %1").arg(row);
    case ApplyConflict::Kind::Constraint:
        break;
    }
    return row.isEmpty() ? QStringLiteral("изменение нарушило бы связи данных")
                         : QStringLiteral("запись нарушила бы ограничение базы данных: %1").arg(row);
}

} // namespace

Journal::Journal(QObject* parent) : QObject(parent)
{
    setObjectName(QStringLiteral("Journal"));
    m_idle.setSingleShot(true);
    m_idle.setInterval(0);
    connect(&m_idle, &QTimer::timeout, this, [this] { idle(); });
}

Journal::~Journal()
{
    // The recorder lets go of its session before the connection can close.
    m_recorder.reset();
}

const QSet<QString>& Journal::quietColumns() { return QuietColumns; }

void Journal::attach(std::shared_ptr<Database> db)
{
    detach();
    m_recorder = std::make_unique<ChangeRecorder>(std::move(db));
    m_recorder->rowWritten = [this] { rowWritten(); };
    emit stepsChanged();
}

void Journal::detach()
{
    m_idle.stop();
    const bool had = m_recorder || !m_undo.isEmpty() || !m_redo.isEmpty();
    m_recorder.reset();
    m_undo.clear();
    m_redo.clear();
    m_hint.clear();
    if (had)
        emit stepsChanged();
}

void Journal::commandStarted()
{
    // What was written outside any command and not yet taken is a step of its own, never a part
    // of the command that follows.
    if (m_depth++ == 0)
        closeStep();
}

void Journal::commandEnded()
{
    if (m_depth > 0 && --m_depth == 0)
        closeStep();
}

void Journal::nameStep(const QString& what) { m_hint = what; }

void Journal::rowWritten()
{
    // Inside a command the command's end closes the step; outside, the next idle moment does.
    if (m_depth == 0)
        m_idle.start(0);
}

void Journal::idle()
{
    if (m_depth > 0 || !m_recorder)
        return;
    if (m_recorder->inTransaction()) {
        // Taken once the transaction has settled either way.
        m_idle.start(50);
        return;
    }
    // A timer has nobody to throw to: the window says it.
    try {
        closeStep();
    } catch (const std::exception& e) {
        emit failed(QStringLiteral("Изменение не удастся отменить: ") + QString::fromUtf8(e.what()));
    }
}

void Journal::closeStep()
{
    if (!m_recorder) {
        m_hint.clear();
        return;
    }
    if (m_recorder->inTransaction())
        return;
    const QString hint = std::exchange(m_hint, QString());
    if (m_recorder->isEmpty())
        return;
    const QByteArray changes = m_recorder->take();
    if (changes.isEmpty())
        return;
    Step step{changes, {}};
    try {
        const auto rows = m_recorder->read(changes);
        step.summary = summarizeStep(
            *rows, [this](const QString& t, const QVariantMap& k) { return currentRow(t, k); }, hint);
    } catch (const DbError&) {
        // The name only: the step itself is kept and can be undone all the same.
        step.summary.what = hint.isEmpty() ? QStringLiteral("изменение данных") : hint;
    }
    m_undo.append(step);
    m_redo.clear();
    emit stepsChanged();
}

QString Journal::undoName() const { return m_undo.isEmpty() ? QString() : m_undo.last().summary.what; }

QString Journal::redoName() const { return m_redo.isEmpty() ? QString() : m_redo.last().summary.what; }

JournalOutcome Journal::undo() { return move(true); }

JournalOutcome Journal::redo() { return move(false); }

JournalOutcome Journal::move(bool back)
{
    JournalOutcome out;
    if (!m_recorder)
        return out;
    closeStep();
    QList<Step>& from = back ? m_undo : m_redo;
    if (from.isEmpty())
        return out;
    const Step& step = from.last();
    out.what = step.summary.what;
    const QByteArray changes = back ? ChangeRecorder::invert(step.changes) : step.changes;
    if (const auto conflict = m_recorder->apply(changes, QuietColumns)) {
        QString row;
        try {
            row =
                describeRow(conflict->row, [this](const QString& t, const QVariantMap& k) { return currentRow(t, k); });
        } catch (const DbError&) {
            // The reason stands without the row's name.
        }
        out.why = QStringLiteral("Нельзя %1: %2 — %3. Данные не изменены.")
                      .arg(back ? QStringLiteral("отменить") : QStringLiteral("повторить"), out.what,
                           conflictText(*conflict, row));
        return out;
    }
    const StepSummary& s = step.summary;
    out.touched.table = s.table;
    const QVariantMap& now = back ? s.before : s.after;
    const QVariantMap& then = back ? s.after : s.before;
    out.touched.present = !now.isEmpty();
    out.touched.values = now.isEmpty() ? then : now;
    (back ? m_redo : m_undo).append(from.takeLast());
    out.done = true;
    emit stepsChanged();
    return out;
}

QVariantMap Journal::currentRow(const QString& table, const QVariantMap& key) const
{
    if (!m_recorder || key.isEmpty())
        return {};
    QStringList where;
    QVariantList values;
    for (auto it = key.constBegin(); it != key.constEnd(); ++it) {
        where << QStringLiteral("\"%1\"=?").arg(QString(it.key()).remove(QLatin1Char('"')));
        values << it.value();
    }
    Statement st = m_recorder->database().prepareOnce(
        QStringLiteral("SELECT * FROM \"%1\" WHERE %2")
            .arg(QString(table).remove(QLatin1Char('"')), where.join(QStringLiteral(" AND "))));
    st.bindAll(values);
    QVariantMap row;
    if (st.step())
        for (int i = 0; i < st.columnCount(); ++i)
            row.insert(st.columnName(i).toUpper(), st.column(i));
    return row;
}

} // namespace dorv
