#pragma once
#include <QString>

struct sqlite3;

namespace dorv {

// Russian alphabetical order: letters without regard to case, Ё with Е, Latin before Cyrillic;
// texts that differ only in case or in Ё/Е are then ordered by their characters, so that the order
// is total and two texts are equal only when they are the same.
int ruCompare(QStringView a, QStringView b);
int ruCompareUtf8(const char* a, int na, const char* b, int nb);

constexpr const char* RuCollationName = "RU";
void registerCollation(sqlite3* db);

} // namespace dorv
