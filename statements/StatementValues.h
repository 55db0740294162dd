#pragma once
#include "Statement.h"

#include <QChar>
#include <QString>

namespace dorv {

// Amounts and dates as banks write them, read without going through a float.

// A signed amount in ten-thousandths from texts like "1 234,56", "1.234,56", "1'234.56", "-,01",
// "+12", "12-", "(12.00)". `decimal` is the usual decimal separator of the file ('.' or ','); a
// separator met once and not followed by exactly three digits is the decimal one whatever it is,
// the other is taken for thousands. Spaces, no-break spaces and apostrophes group thousands. Returns
// false for anything else (a currency sign, letters, two signs, an empty text, beyond MaxAmount).
bool parseStatementAmount(const QString& text, QChar decimal, qint64* units);

// The shape of the dates of a file: the order of day, month and year, the separator and whether a
// time follows. Format texts are "dd.MM.yyyy", "dd.MM.yy", "yyyy-MM-dd", "dd/MM/yyyy",
// "MM/dd/yyyy", "dd-MM-yyyy", "yyyy/MM/dd", each optionally followed by " HH:mm" or " HH:mm:ss".
struct DateShape {
    DateOrder order = DateOrder::DayMonthYear;
    QChar separator = u'.';
    int yearDigits = 4;
    QString time; // "", "HH:mm" or "HH:mm:ss"

    QString format() const;
    static bool fromFormat(const QString& format, DateShape* shape);
};

enum class DateRead { Ok, NotADate, Nonexistent };

// Reads a date of the given shape, a time after it ignored; the day and month may have one digit and
// a four-digit year is accepted where two are expected (and the other way round, years below 50
// being 20xx). Nonexistent for a well-formed date that is no day of the calendar (31.02.2020).
DateRead readStatementDate(const QString& text, const DateShape& shape, int* day);

// The shape a single date text has, when it has one; the order of day and month is a guess for
// "01/04/2020" (day first) and settled for "13/04/2020", see dayMonthSettled.
bool guessDateShape(const QString& text, DateShape* shape, bool* dayMonthSettled);

} // namespace dorv
