#pragma once
#include <QString>
#include <QStringView>

#include <optional>

namespace dorv {

// What the program's small numbers and marks mean, as types. The windows, the booking core and the
// data module speak in these; the tables keep their marks ("1", "2", "-", "+", "0"), and the two
// meet only in toStored and the fromStored functions below.

// Which page the card shows. Anything else than the named pages is the calendar or the password
// page, whichever the card's border asks for; the main window's int CardPage may hold such a value.
enum class CardPage { CalendarOrPassword = 0, Expense = 1, Income = 2, Transfer = 3, Accounts = 4, Category = 5 };

// How the card's opener uses it: a new operation or item, a new branch under an item (categories
// only), or a change of what stands there; Idle between two cards.
enum class CardMode { Idle = 0, New = 1, NewBranch = 2, Edit = 3 };

// The pages of the main window, in the order of the view buttons' tags.
enum class View { Money = 0, People = 1, Firms = 2, Diary = 3 };

// A history row is counted in the balances (real) or only shown until it is realised (planned).
enum class OperationKind { Real, Planned };

// Which tree a category item shows in: the expense tree, the income tree, or both.
enum class ItemDirection { Expense, Income, Both };

inline QString toStored(OperationKind kind)
{
    return kind == OperationKind::Real ? QStringLiteral("1") : QStringLiteral("2");
}

// "1" is real and every mark above it planned, as the period sums and the realising have always read
// the column; anything else (no mark, "0", a blank) is no kind at all and is refused. A row with such a
// mark is counted nowhere as real: its callers treat a refusal as "not real".
inline std::optional<OperationKind> operationKindFromStored(QStringView stored)
{
    if (stored == u"1")
        return OperationKind::Real;
    if (stored > u"1")
        return OperationKind::Planned;
    return std::nullopt;
}

// Real only when the stored mark says so: what every total and the balance keeping count.
inline bool storedReal(QStringView stored) { return operationKindFromStored(stored) == OperationKind::Real; }

// Planned only when the stored mark says so: what can be realised.
inline bool storedPlanned(QStringView stored) { return operationKindFromStored(stored) == OperationKind::Planned; }

inline QString toStored(ItemDirection direction)
{
    switch (direction) {
    case ItemDirection::Expense:
        return QStringLiteral("-");
    case ItemDirection::Income:
        return QStringLiteral("+");
    case ItemDirection::Both:
        break;
    }
    return QStringLiteral("0");
}

// The marks "-", "+" and "0"; anything else is refused. The trees show an item with an unknown mark in
// both directions, as they show "0": only "+" keeps an item out of the expense tree and "-" out of the
// income tree.
inline std::optional<ItemDirection> itemDirectionFromStored(QStringView stored)
{
    if (stored == u"-")
        return ItemDirection::Expense;
    if (stored == u"+")
        return ItemDirection::Income;
    if (stored == u"0")
        return ItemDirection::Both;
    return std::nullopt;
}

// Whether an item with this stored mark shows in the expense (or the income) tree.
inline bool storedShownIn(QStringView stored, ItemDirection tree)
{
    const std::optional<ItemDirection> d = itemDirectionFromStored(stored);
    return d != (tree == ItemDirection::Expense ? ItemDirection::Income : ItemDirection::Expense);
}

} // namespace dorv
