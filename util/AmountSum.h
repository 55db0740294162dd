#pragma once
#include <QString>
#include <QtGlobal>

namespace dorv {

// A sum typed where an amount belongs ("120+35,5", "3*45", "1000-15%"), worked out exactly in
// ten-thousandths: + - * / and parentheses, a decimal comma or point, and a trailing "-N%" or "+N%"
// of everything before it. Products and quotients are rounded to the ten-thousandth with halves to
// even. False for anything else: no sum, a division by zero, or any step beyond MaxAmount.
bool evaluateSum(const QString& text, qint64* units);

} // namespace dorv
