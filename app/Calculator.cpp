#include "app/Calculator.h"

#include <QProcess>
#include <QStandardPaths>

namespace dorv {

QStringList CalculatorCandidates()
{
    return {QStringLiteral("gnome-calculator"), QStringLiteral("kcalc"), QStringLiteral("galculator"),
            QStringLiteral("mate-calc"), QStringLiteral("xcalc")};
}

QString FindCalculator(const QStringList& candidates, const QStringList& searchPath)
{
    for (const QString& name : candidates) {
        const QString found = QStandardPaths::findExecutable(name, searchPath);
        if (!found.isEmpty())
            return found;
    }
    return {};
}

bool StartCalculator(const QStringList& candidates, const QStringList& searchPath)
{
    const QString program = FindCalculator(candidates, searchPath);
    return !program.isEmpty() && QProcess::startDetached(program, {});
}

bool StartCalculator() { return StartCalculator(CalculatorCandidates(), {}); }

} // namespace dorv
