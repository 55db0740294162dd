#include "Collation.h"

#include <sqlite3.h>

namespace dorv {

namespace {

char32_t fold(char32_t c)
{
    if (c >= U'A' && c <= U'Z')
        return c + 32;
    if (c >= 0x0410 && c <= 0x042F) // А..Я
        return c + 0x20;
    if (c == 0x0401 || c == 0x0451) // Ё ё sort with е
        return 0x0435;
    if (c >= 0x0400 && c <= 0x040F)
        return c + 0x50;
    return c;
}

// Places ё right after е in the tie-break so that "ель" < "ёлка" < "ето" holds on both passes.
char32_t tieKey(char32_t c)
{
    if (c == 0x0451)
        return 0x0435 * 2 + 1;
    if (c == 0x0401)
        return 0x0415 * 2 + 1;
    return c * 2;
}

struct Utf8Reader {
    const unsigned char* p;
    const unsigned char* end;
    bool atEnd() const { return p >= end; }
    char32_t next()
    {
        unsigned c = *p++;
        if (c < 0x80)
            return c;
        int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
        char32_t v = c & (0x3F >> extra);
        while (extra-- > 0 && p < end)
            v = (v << 6) | (*p++ & 0x3F);
        return v;
    }
};

struct Utf16Reader {
    const QChar* p;
    const QChar* end;
    bool atEnd() const { return p >= end; }
    char32_t next() { return (p++)->unicode(); }
};

template <typename Reader>
int compareWith(Reader a, Reader b)
{
    Reader a2 = a, b2 = b;
    while (!a.atEnd() && !b.atEnd()) {
        const char32_t x = fold(a.next()), y = fold(b.next());
        if (x != y)
            return x < y ? -1 : 1;
    }
    if (!a.atEnd() || !b.atEnd())
        return a.atEnd() ? -1 : 1;
    while (!a2.atEnd() && !b2.atEnd()) {
        const char32_t x = tieKey(a2.next()), y = tieKey(b2.next());
        if (x != y)
            return x < y ? -1 : 1;
    }
    return 0;
}

int collate(void*, int na, const void* a, int nb, const void* b)
{
    return ruCompareUtf8(static_cast<const char*>(a), na, static_cast<const char*>(b), nb);
}

} // namespace

int ruCompare(QStringView a, QStringView b)
{
    return compareWith(Utf16Reader{a.data(), a.data() + a.size()}, Utf16Reader{b.data(), b.data() + b.size()});
}

int ruCompareUtf8(const char* a, int na, const char* b, int nb)
{
    auto ua = reinterpret_cast<const unsigned char*>(a);
    auto ub = reinterpret_cast<const unsigned char*>(b);
    return compareWith(Utf8Reader{ua, ua + na}, Utf8Reader{ub, ub + nb});
}

void registerCollation(sqlite3* db) { sqlite3_create_collation(db, RuCollationName, SQLITE_UTF8, nullptr, &collate); }

} // namespace dorv
