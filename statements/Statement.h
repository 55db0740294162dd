#pragma once
#include <QList>
#include <QString>
#include <QStringList>

#include <stdexcept>

namespace dorv {

// One entry of a bank statement as the bank wrote it, before anything of the book is chosen for it.
struct StatementEntry {
    int date = 0;           // day number (util/DateScale's dayNumber)
    qint64 amount = 0;      // ten-thousandths, never negative; 0 for a notice
    bool income = false;    // money came in (a DT row); otherwise it went out (a CT row)
    QString description;    // the payment's purpose, memo, the bank's text
    QString counterparty;   // the other side's name
    QString counterAccount; // the other side's account number or IBAN, without spaces
    QString bankId;         // FITID, AcctSvcrRef, the 1C document number; empty when none or a placeholder
    QString category;       // a category path the file names ("Еда:Овощи"), QIF only
    QString currency;       // when the entry names its own
    bool pending = false;   // not yet booked by the bank: shown, never booked unasked
    QString note; // why the entry is special ("в обработке", "нулевая сумма"), shown to the user
    int line = 0; // where the entry starts in the file, 1-based

    // The text the user sees and the rules match: the counterparty and the purpose.
    QString text() const
    {
        if (counterparty.isEmpty())
            return description;
        if (description.isEmpty() || description.contains(counterparty))
            return description.isEmpty() ? counterparty : description;
        return counterparty + QStringLiteral(" — ") + description;
    }
};

// The entries of one bank account in a statement, with the balances the bank stated.
struct StatementAccount {
    QString number;   // the account number, IBAN or card as the file names it; empty when it does not
    QString currency; // ISO code ("RUB", "EUR") or the file's own text; empty when not stated
    bool hasOpening = false, hasClosing = false;
    qint64 opening = 0, closing = 0; // ten-thousandths, signed
    QList<StatementEntry> entries;
};

// How a date like 01/04/20 is to be read.
enum class DateOrder { Unknown, DayMonthYear, MonthDayYear, YearMonthDay };

// A whole statement file, read. (Not to be confused with the database's prepared Statement.)
struct BankStatement {
    QString format;                   // what the user sees: "CSV, Windows-1251, разделитель «;»"
    QList<StatementAccount> accounts; // most files hold one
    QStringList notes;                // what was skipped or looks wrong, in the user's words
    // The orders the file's dates allow when it does not settle one; the entries were read with the
    // first, and the reader asks the user and reads again with the chosen one.
    QList<DateOrder> dateOrders;
};

// What the reader is told beyond the bytes.
struct StatementOptions {
    DateOrder dateOrder = DateOrder::Unknown; // chosen by the user when the file did not settle it
};

// A file that is no statement the program can read, with the line where the fault is (0: none).
class StatementError : public std::runtime_error {
public:
    StatementError(const QString& message, int line = 0)
        : std::runtime_error(message.toStdString()), m_message(message), m_line(line)
    {
    }
    QString message() const { return m_message; }
    int line() const { return m_line; }

private:
    QString m_message;
    int m_line;
};

} // namespace dorv
