#pragma once
#include "StepNames.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QTimer>
#include <QVariantMap>

#include <memory>

namespace dorv {

class ChangeRecorder;
class Database;

// The row an undo or a redo touched, to be shown to the user.
struct TouchedRow {
    QString table;      // upper case; empty: no one row
    QVariantMap values; // by upper-case column name: as the row now is, or as it was when gone
    bool present = false;
};

// What an undo or a redo did.
struct JournalOutcome {
    bool done = false;
    QString what; // the step's name
    QString why;  // why it was not done (empty: there was nothing to do)
    TouchedRow touched;
};

// The steps of the open data that can be undone and redone. A step is what one user command
// changed: everything written from the moment the outermost handler of the command starts until
// it returns, nested handlers and modal windows included. What is written outside any command (an
// edit in a grid posted as the user moves on) is a step of its own, closed on the next return to
// the event loop. The session extension records each step's rows exactly as they changed, so an
// undo puts them back as they were, or, when the data has since changed under them in a way the
// step did not make, changes nothing and says why.
class Journal final : public QObject {
    Q_OBJECT
public:
    explicit Journal(QObject* parent = nullptr);
    ~Journal() override;

    // Starts recording on the connection of the data just opened, with no steps.
    void attach(std::shared_ptr<Database> db);
    // Stops recording and forgets every step (the data is being closed); lets go of the connection.
    void detach();
    bool attached() const { return m_recorder != nullptr; }

    // The outermost handler of a user command starts and returns; the step closes at its return.
    void commandStarted();
    void commandEnded();
    // Takes what was written since the last step as a step of its own, unless nothing changed or
    // a transaction is still open. A new step drops the steps that were undone.
    void closeStep();
    // Names the step being made, where its rows alone could not tell what it was.
    void nameStep(const QString& what);

    bool canUndo() const { return !m_undo.isEmpty(); }
    bool canRedo() const { return !m_redo.isEmpty(); }
    QString undoName() const;
    QString redoName() const;
    int undoCount() const { return int(m_undo.size()); }
    int redoCount() const { return int(m_redo.size()); }

    // Undoes the last step, or redoes the last step undone, in one transaction of the database;
    // pending writes are closed as a step first. A conflict changes nothing and says why; other
    // failures raise DbError and change nothing either.
    JournalOutcome undo();
    JournalOutcome redo();

    // Columns the program writes as its own state, not as a change of the user's: recorded by no
    // step, and an undo applies over whatever they hold.
    static const QSet<QString>& quietColumns();

signals:
    void stepsChanged();
    // Writes made outside any command could not be taken as a step.
    void failed(const QString& message);

private:
    struct Step {
        QByteArray changes;
        StepSummary summary;
    };
    JournalOutcome move(bool back);
    QVariantMap currentRow(const QString& table, const QVariantMap& key) const;
    void rowWritten();
    void idle();

    std::unique_ptr<ChangeRecorder> m_recorder;
    QList<Step> m_undo, m_redo;
    QString m_hint;
    int m_depth = 0;
    QTimer m_idle;
};

} // namespace dorv
