#pragma once
#include <QString>
#include <QStringList>

namespace dorv {

// The desktop calculators tried, in order of preference.
QStringList CalculatorCandidates();

// Full path of the first candidate found as an executable in the given folders (the system PATH
// when the list is empty), or empty text.
QString FindCalculator(const QStringList& candidates, const QStringList& searchPath);

// Starts the first calculator found, detached from this program, without waiting for it. Returns
// whether one was started; the callers treat a missing calculator as nothing worth a message.
bool StartCalculator(const QStringList& candidates, const QStringList& searchPath);
bool StartCalculator();

} // namespace dorv
