#include "data/DbError.h"
#include "data/FilterExpr.h"
#include "util/DateScale.h"

#include <QHash>
#include <QtTest>

#include <sqlite3.h>

using namespace dorv;

namespace {

// Matches names without regard to case and answers with the column's own spelling, as a table does.
FilterResolver resolverOver(const QList<FilterColumn>& columns)
{
    QHash<QString, FilterColumn> byName;
    for (const FilterColumn& c : columns)
        byName.insert(c.column.toLower(), c);
    return [byName](const QString& name) -> std::optional<FilterColumn> {
        const auto it = byName.constFind(name.toLower());
        if (it == byName.constEnd())
            return std::nullopt;
        return *it;
    };
}

FilterResolver sampleResolver()
{
    return resolverOver({{QStringLiteral("Lev"), FieldType::SmallInt},
                         {QStringLiteral("id_Account"), FieldType::SmallInt},
                         {QStringLiteral("id_person"), FieldType::SmallInt},
                         {QStringLiteral("Dy"), FieldType::SmallInt},
                         {QStringLiteral("Mn"), FieldType::SmallInt},
                         {QStringLiteral("c"), FieldType::Text},
                         {QStringLiteral("Name"), FieldType::Text},
                         {QStringLiteral("Имя"), FieldType::Text},
                         {QStringLiteral("date_remind"), FieldType::Date},
                         {QStringLiteral("Stamp"), FieldType::DateTime},
                         {QStringLiteral("Sum"), FieldType::Float}});
}

qint64 day(int y, int m, int d) { return dayNumber(QDate(y, m, d)); }

qint64 at(int y, int m, int d, int hh, int mm, int ss)
{
    return day(y, m, d) * MsPerDay + QTime(hh, mm, ss).msecsSinceStartOfDay();
}

// Type and value both matter: the binding code chooses the SQLite storage class by type.
QString describe(const QVariantList& list)
{
    QStringList parts;
    for (const QVariant& v : list)
        parts << QStringLiteral("%1:%2").arg(QString::fromLatin1(v.typeName()), v.toString());
    return parts.join(QLatin1String(", "));
}

QList<int> selectIds(sqlite3* db, const SqlCondition& cond)
{
    const QByteArray sql = "SELECT id FROM t WHERE " + cond.sql.toUtf8() + " ORDER BY id";
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, sql.constData(), -1, &st, nullptr) != SQLITE_OK) {
        qWarning("prepare failed: %s (%s)", sqlite3_errmsg(db), sql.constData());
        return {-1};
    }
    int i = 1;
    for (const QVariant& p : cond.params) {
        if (p.typeId() == QMetaType::LongLong)
            sqlite3_bind_int64(st, i, p.toLongLong());
        else if (p.typeId() == QMetaType::Double)
            sqlite3_bind_double(st, i, p.toDouble());
        else
            sqlite3_bind_text(st, i, p.toString().toUtf8().constData(), -1, SQLITE_TRANSIENT);
        ++i;
    }
    QList<int> ids;
    while (sqlite3_step(st) == SQLITE_ROW)
        ids << sqlite3_column_int(st, 0);
    sqlite3_finalize(st);
    return ids;
}

} // namespace

class TestFilterExpr : public QObject {
    Q_OBJECT

private slots:
    void translatesValidFilters_data();
    void translatesValidFilters();
    void rejectsInvalidFilters_data();
    void rejectsInvalidFilters();
    void selectsRowsInSqlite_data();
    void selectsRowsInSqlite();
};

void TestFilterExpr::translatesValidFilters_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QVariantList>("params");

    const QVariantList none;
    auto n = [](qint64 v) { return QVariant(v); };
    auto s = [](const char* v) { return QVariant(QString::fromUtf8(v)); };

    QTest::newRow("blank") << "  \t "
                           << "" << none;
    QTest::newRow("quoted small int") << "Lev='0'"
                                      << R"(("Lev" = ?))" << QVariantList{n(0)};
    QTest::newRow("not equal also matches null")
        << "id_Account<>'3'"
        << R"(("id_Account" <> ? OR "id_Account" IS NULL))" << QVariantList{n(3)};
    QTest::newRow("equals null") << "id_person=null"
                                 << R"(("id_person" IS NULL))" << none;
    QTest::newRow("not equal null, any case") << "id_person <> NuLL"
                                              << R"(("id_person" IS NOT NULL))" << none;
    QTest::newRow("resolver spelling is used") << "lEV='12'"
                                               << R"(("Lev" = ?))" << QVariantList{n(12)};
    QTest::newRow("or of parenthesised ands")
        << "(Dy='9' and Mn='12') or (Dy='10' and Mn='12')"
        << R"(((("Dy" = ?) AND ("Mn" = ?)) OR (("Dy" = ?) AND ("Mn" = ?))))" << QVariantList{n(9), n(12), n(10), n(12)};
    QTest::newRow("date, text and small int")
        << "(date_remind<='09.12.2026' and c='1') or (dy='9' and c='2')"
        << R"(((("date_remind" <= ?) AND ("c" = ?)) OR (("Dy" = ?) AND ("c" = ?))))"
        << QVariantList{n(day(2026, 12, 9)), s("1"), n(9), s("2")};
    QTest::newRow("and binds tighter than or")
        << "Lev=1 or Dy=2 and Mn=3"
        << R"((("Lev" = ?) OR (("Dy" = ?) AND ("Mn" = ?))))" << QVariantList{n(1), n(2), n(3)};
    QTest::newRow("parentheses override precedence")
        << "(Lev=1 or Dy=2) and Mn=3"
        << R"(((("Lev" = ?) OR ("Dy" = ?)) AND ("Mn" = ?)))" << QVariantList{n(1), n(2), n(3)};
    QTest::newRow("not binds tighter than and")
        << "not Lev=1 and Dy=2"
        << R"(((("Lev" = ?) IS NOT TRUE) AND ("Dy" = ?)))" << QVariantList{n(1), n(2)};
    QTest::newRow("not of a group") << "NOT (Lev=1 OR Dy>2)"
                                    << R"(((("Lev" = ?) OR ("Dy" > ?)) IS NOT TRUE))" << QVariantList{n(1), n(2)};
    QTest::newRow("keywords in any case, free whitespace")
        << "  ( Lev >= -3 )AnD(Dy<32767)oR Mn <= '+4' "
        << R"(((("Lev" >= ?) AND ("Dy" < ?)) OR ("Mn" <= ?)))" << QVariantList{n(-3), n(32767), n(4)};
    QTest::newRow("small int limits") << "Lev>-32768 and Lev<'32767'"
                                      << R"((("Lev" > ?) AND ("Lev" < ?)))" << QVariantList{n(-32768), n(32767)};
    QTest::newRow("float with comma, dot and unquoted")
        << "Sum>'1,5' and Sum<=2.25 and Sum<>'-3'"
        << R"((("Sum" > ?) AND ("Sum" <= ?) AND ("Sum" <> ? OR "Sum" IS NULL)))" << QVariantList{1.5, 2.25, -3.0};
    QTest::newRow("doubled quote and kept spaces")
        << "Name='O''Brien' or Name=' a ' or Name=''"
        << R"((("Name" = ?) OR ("Name" = ?) OR ("Name" = ?)))" << QVariantList{s("O'Brien"), s(" a "), s("")};
    QTest::newRow("unquoted number for text") << "c=1"
                                              << R"(("c" = ?))" << QVariantList{s("1")};
    QTest::newRow("operators inside a literal are text") << "c='a and b=(1)'"
                                                         << R"(("c" = ?))" << QVariantList{s("a and b=(1)")};
    QTest::newRow("bracketed and cyrillic names") << "[Имя]='Петя' or имя='Вася' or [ date_remind ]>'1.1.26'"
                                                  << R"((("Имя" = ?) OR ("Имя" = ?) OR ("date_remind" > ?)))"
                                                  << QVariantList{s("Петя"), s("Вася"), n(day(2026, 1, 1))};
    QTest::newRow("moments: date, minutes, seconds")
        << "Stamp>='09.12.2026' and Stamp<'09.12.2026 14:30' and Stamp<>'31.12.2026 23:59:59'"
        << R"((("Stamp" >= ?) AND ("Stamp" < ?) AND ("Stamp" <> ? OR "Stamp" IS NULL)))"
        << QVariantList{n(at(2026, 12, 9, 0, 0, 0)), n(at(2026, 12, 9, 14, 30, 0)), n(at(2026, 12, 31, 23, 59, 59))};
}

void TestFilterExpr::translatesValidFilters()
{
    QFETCH(QString, text);
    QFETCH(QString, sql);
    QFETCH(QVariantList, params);

    try {
        const SqlCondition cond = translateFilter(text, sampleResolver());
        QCOMPARE(cond.sql, sql);
        QCOMPARE(describe(cond.params), describe(params));
    } catch (const DbError& e) {
        QFAIL(qPrintable(e.message()));
    }
}

void TestFilterExpr::rejectsInvalidFilters_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("fragment"); // what the message must say about the fault

    QTest::newRow("unclosed parenthesis") << "(Lev='1'"
                                          << "не хватает закрывающей скобки";
    QTest::newRow("extra closing parenthesis") << "Lev='1')"
                                               << "лишняя закрывающая скобка";
    QTest::newRow("empty parentheses") << "()"
                                       << "ожидается имя поля";
    QTest::newRow("missing value at end") << "Lev="
                                          << "в конце текста";
    QTest::newRow("missing value before and") << "Lev= and c='1'"
                                              << "ожидается значение";
    QTest::newRow("field as value") << "Lev=Dy"
                                    << "ожидается значение";
    QTest::newRow("missing operator") << "Lev '1'"
                                      << "ожидается знак сравнения";
    QTest::newRow("value on the left") << "'1'=Lev"
                                       << "ожидается имя поля";
    QTest::newRow("dangling and") << "Lev='1' and"
                                  << "ожидается имя поля";
    QTest::newRow("unknown field, with position") << "Lev=1 or Nope='1'"
                                                  << "нет поля «Nope» (позиция 10)";
    QTest::newRow("less than null") << "Lev<null"
                                    << "null";
    QTest::newRow("impossible date") << "date_remind='31.02.2026'"
                                     << "датой";
    QTest::newRow("impossible time") << "Stamp='09.12.2026 25:00'"
                                     << "датой";
    QTest::newRow("unterminated quote") << "c='abc"
                                        << "не закрыта кавычка";
    QTest::newRow("quote closed by doubled quote only") << "c='abc''"
                                                        << "не закрыта кавычка";
    QTest::newRow("unclosed bracket") << "[Lev='1'"
                                      << "квадратная скобка";
    QTest::newRow("trailing garbage") << "Lev='1' xyz"
                                      << "«xyz»";
    QTest::newRow("bad character") << "Lev='1' & c='2'"
                                   << "недопустимый символ «&»";
    QTest::newRow("small int over range") << "Lev='32768'"
                                          << "вне пределов";
    QTest::newRow("small int under range") << "Lev=-32769"
                                           << "вне пределов";
    QTest::newRow("small int beyond 64 bits") << "Lev=99999999999999999999999"
                                              << "вне пределов";
    QTest::newRow("fraction for small int") << "Lev='1.5'"
                                            << "целым числом";
    QTest::newRow("empty literal for small int") << "Lev=''"
                                                 << "целым числом";
    QTest::newRow("word for float") << "Sum='abc'"
                                    << "числом";
    QTest::newRow("infinite float") << "Sum='1e999'"
                                    << "числом";
    QTest::newRow("number glued to letters") << "Lev=12ab"
                                             << "число";
}

void TestFilterExpr::rejectsInvalidFilters()
{
    QFETCH(QString, text);
    QFETCH(QString, fragment);

    try {
        const SqlCondition cond = translateFilter(text, sampleResolver());
        QFAIL(qPrintable(QStringLiteral("accepted as: ") + cond.sql));
    } catch (const DbError& e) {
        QVERIFY2(e.message().contains(u'«' + text + u'»'), qPrintable(e.message()));
        QVERIFY2(e.message().contains(fragment), qPrintable(e.message()));
    }
}

void TestFilterExpr::selectsRowsInSqlite_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QList<int>>("ids");

    QTest::newRow("equals") << "lev=2" << QList<int>{2};
    QTest::newRow("not equal takes the null row") << "lev<>2" << QList<int>{1, 3, 4};
    QTest::newRow("equals null") << "lev=null" << QList<int>{4};
    QTest::newRow("not equal null") << "lev<>null" << QList<int>{1, 2, 3};
    QTest::newRow("ordering skips null") << "lev<3" << QList<int>{1, 2};
    QTest::newRow("date up to and including") << "d<='09.12.2026'" << QList<int>{1, 2};
    QTest::newRow("not of equals takes null") << "not lev=2" << QList<int>{1, 3, 4};
    QTest::newRow("not of ordering takes null") << "not lev<3" << QList<int>{3, 4};
    QTest::newRow("not of an and with a null inside") << "not (c='a' and lev=1)" << QList<int>{2, 3, 4};
    QTest::newRow("doubled quote") << "c='b''c'" << QList<int>{2};
    QTest::newRow("mixed and/or") << "(lev=1 and c='a') or d>'09.12.2026'" << QList<int>{1, 3};
    QTest::newRow("moment on the minute") << "m>='09.12.2026 14:30' and m<'09.12.2026 14:31'" << QList<int>{2};
}

void TestFilterExpr::selectsRowsInSqlite()
{
    QFETCH(QString, text);
    QFETCH(QList<int>, ids);

    sqlite3* db = nullptr;
    QCOMPARE(sqlite3_open(":memory:", &db), SQLITE_OK);
    const QByteArray setup =
        "CREATE TABLE t(id INTEGER, lev SMALLINT, c VARCHAR(10), d DATE, m TIMESTAMP);"
        "INSERT INTO t VALUES(1, 1, 'a', "
        + QByteArray::number(day(2026, 12, 1)) + ", NULL);" + "INSERT INTO t VALUES(2, 2, 'b''c', "
        + QByteArray::number(day(2026, 12, 9)) + ", " + QByteArray::number(at(2026, 12, 9, 14, 30, 15)) + ");"
        + "INSERT INTO t VALUES(3, 3, NULL, " + QByteArray::number(day(2026, 12, 10)) + ", "
        + QByteArray::number(at(2026, 12, 9, 14, 31, 0)) + ");" + "INSERT INTO t VALUES(4, NULL, 'a', NULL, NULL);";
    const int rc = sqlite3_exec(db, setup.constData(), nullptr, nullptr, nullptr);

    const FilterResolver resolve = resolverOver({{QStringLiteral("lev"), FieldType::SmallInt},
                                                 {QStringLiteral("c"), FieldType::Text},
                                                 {QStringLiteral("d"), FieldType::Date},
                                                 {QStringLiteral("m"), FieldType::DateTime}});
    QList<int> got;
    try {
        got = selectIds(db, translateFilter(text, resolve));
    } catch (const DbError& e) {
        sqlite3_close(db);
        QFAIL(qPrintable(e.message()));
    }
    sqlite3_close(db);
    QCOMPARE(rc, SQLITE_OK);
    QCOMPARE(got, ids);
}

QTEST_GUILESS_MAIN(TestFilterExpr)
#include "tst_filterexpr.moc"
