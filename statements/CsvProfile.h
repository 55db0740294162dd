#pragma once
#include <QChar>
#include <QList>
#include <QString>
#include <QStringList>

namespace dorv {

// How one bank's CSV is read: found by sniffCsv, corrected in the mapping window, remembered under
// key() so that the next statement with the same header opens mapped. Column indexes count from 0;
// -1 is "no such column".
struct CsvProfile {
    QString encoding;       // as decodeStatementText names it; empty: found from the bytes
    QChar separator = u';'; // ';', ',' or '\t'
    int skipLines = 0;      // records before the header (or before the first entry without one)
    bool hasHeader = true;
    QStringList header; // the header's texts, normalised (see normaliseCsvHeader)

    int dateColumn = -1;
    QString dateFormat = QStringLiteral("dd.MM.yyyy"); // see DateShape
    QChar decimal = u',';

    // The amount comes in one of three shapes: one signed column; income and expense columns; or an
    // unsigned amount with a direction column whose marks are compared without case.
    int amountColumn = -1;
    int creditColumn = -1; // income
    int debitColumn = -1;  // expense
    int directionColumn = -1;
    QStringList incomeMarks, expenseMarks;

    QList<int> descriptionColumns; // joined in this order
    int counterpartyColumn = -1;
    int counterAccountColumn = -1;
    int bankIdColumn = -1; // the bank's operation number or reference
    int currencyColumn = -1;
    int accountColumn = -1; // the statement's own account or card number
    int statusColumn = -1;
    QStringList pendingMarks; // status texts of rows the bank has not booked yet

    enum class AmountShape { None, Signed, DebitCredit, Direction };
    AmountShape amountShape() const;

    // The header's shape: its normalised texts joined; empty for a file without a header.
    QString key() const;
    QString toText() const;
    // *ok (when given) is false for a text that is no stored profile; the result is then the default.
    static CsvProfile fromText(const QString& text, bool* ok = nullptr);

    static QStringList defaultIncomeMarks();
    static QStringList defaultExpenseMarks();
    static QStringList defaultPendingMarks();
};

// A header text as profiles compare it: lower case, "ё" as "е", no quotes, single spaces.
QString normaliseCsvHeader(const QString& text);

} // namespace dorv
