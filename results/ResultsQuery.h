#pragma once
#include <QString>
#include <QStringList>
#include <QVariant>

namespace dorv {

// The dimensions a result can be grouped by.
enum class Dimension { What = 0, Who = 1, Where = 2 };

// The drill-down state of the results window: where the user stands and what was captured from
// the rows on the way there.
struct ResultsState {
    int DrillStep = 1; // 1..4
    Dimension Dimension1 = Dimension::What, Dimension2 = Dimension::What, Dimension3 = Dimension::What;
    Dimension GroupBy = Dimension::What;
    int ItemLevel = 0;  // 0 first, 1 second (the corresponding account inside the transfer item), 2 third
    int SideFilter = 0; // 0 none, 1 the person, 2 the firm
    qint64 Level1Id = 0, Level2Id = 0, PersonId = 0, FirmId = 0;
    QString Level1Name, Level2Name, PersonName, FirmName;
};

// The choices of the window's controls that the query reads.
struct ResultsChoices {
    int kind = 0;            // 0 real, 1 planned, 2 all
    int sort = 0;            // 0 by name, 1 by income, 2 by expense
    bool limitDebit = false; // only groups whose income sum is above the limit
    bool limitCredit = false;
    qint64 limitValue = 0;
};

// What the drill state shows: the caption, the dimension button set down (none: as it was), whether
// the dimension buttons are enabled (none: as they were) and whether drilling down is possible.
struct DrillView {
    QString caption;
    int pressed = -1;          // a Dimension, or -1
    int dimensionButtons = -1; // 1 enabled, 0 disabled, -1 as they were
    bool down = false;
    bool up = false;
};

// Derives the grouping, the category level and the side filter from the step and the dimensions
// chosen on the way; at step 1 the later dimensions start again from "what".
DrillView UpdateDrillState(ResultsState& state);

// The seven lines of the grouped query for the state and the choices.
QStringList RebuildResultsText(const ResultsState& state, const ResultsChoices& choices);
// The title of the result grid's first column.
QString firstColumnTitle(const ResultsState& state);

// Takes the current result row's group into the state; a null id counts as 0, a null name as empty.
void captureRow(ResultsState& state, const QVariant& id, const QVariant& name);
// Whether drilling down stays possible on the captured row.
bool downAfterCapture(const ResultsState& state, bool downByStep, bool rowHasData);

// The filter of the statement of the current result row (id: the row's id, null for the empty
// group); kind as in the query.
QString DetailFilterText(const ResultsState& state, const QVariant& id, int kind);

} // namespace dorv
