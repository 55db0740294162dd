#pragma once
#include <QString>

namespace dorv {

// The fields of the history and accounts tables as the data module declares them. Fields are found
// without regard to letter case, so these serve every look-up; the stored names never change.
// They are for use inside functions: no static object may be built from them.

namespace HistField {
inline const QString IdAccount = QStringLiteral("Id_Account");
inline const QString DateReal = QStringLiteral("Date_Real");
inline const QString DateCreate = QStringLiteral("Date_Create");
// "1" real, above it planned: see Meanings.h.
inline const QString Kind = QStringLiteral("Kind");
// Income and expense: exactly one of them is above zero.
inline const QString Dt = QStringLiteral("Dt");
inline const QString Ct = QStringLiteral("Ct");
// A price, or a transfer's rate.
inline const QString Price = QStringLiteral("Price");
// The path: the category items from the first level down; -1 in Level1 is a transfer.
inline const QString Level1 = QStringLiteral("Level1");
inline const QString Level2 = QStringLiteral("Level2");
inline const QString Level3 = QStringLiteral("Level3");
inline const QString IdPerson = QStringLiteral("ID_Person");
inline const QString IdFirm = QStringLiteral("ID_Firm");
// A transfer's other account: the target on the sending row, the source on the receiving row.
inline const QString RefAccount = QStringLiteral("Ref_Account");
// Looked up: the names of the path's items, the person, the firm and the other account.
inline const QString Category = QStringLiteral("Category");
inline const QString Item = QStringLiteral("Item");
inline const QString Article = QStringLiteral("Article");
inline const QString Person = QStringLiteral("Person");
inline const QString Firm = QStringLiteral("Firm");
inline const QString RefAcc = QStringLiteral("Ref_Acc");
} // namespace HistField

namespace AccountField {
inline const QString IdAccount = QStringLiteral("Id_Account");
inline const QString Account = QStringLiteral("Account");
inline const QString Currency = QStringLiteral("Currency");
// The balance.
inline const QString Rest = QStringLiteral("Rest");
// "L" on the account that was current when the data was last flushed.
inline const QString Mark = QStringLiteral("C");
} // namespace AccountField

} // namespace dorv
