#pragma once
#include "data/Database.h"
#include "data/Table.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

// A working folder with a small history and person table, made through the engine's own schema
// statements so that the tests exercise the same DDL a new database gets.
struct EngineFixture {
    QTemporaryDir dir;
    QString folder() const { return dir.path(); }

    static void declareHist(dorv::Table& t)
    {
        using dorv::FieldType;
        t.addField("Id_Account", FieldType::SmallInt).setRequired(true);
        t.addField("Date_Real", FieldType::Date).setLabel("Дата");
        t.addField("Date_Create", FieldType::DateTime).setRequired(true);
        t.addField("Kind", FieldType::Text, 1);
        t.addField("Dt", FieldType::Float).setLabel("Приход").setDisplayFormat("0.00");
        t.addField("Ct", FieldType::Float).setLabel("Расход").setDisplayFormat("0.00");
        t.addField("ID_Firm", FieldType::SmallInt).setVisible(false);
        t.setPrimaryKey({"Id_Account", "Date_Real", "Date_Create", "Kind"});
        t.addIndex("acc_date", {"Id_Account", "Date_Create", "Kind"});
    }
    static void declarePerson(dorv::Table& t)
    {
        using dorv::FieldType;
        t.addField("Id_Person", FieldType::SmallInt).setRequired(true);
        t.addField("Name", FieldType::Text, 30).setRequired(true).setLabel("Фамилия И.О.");
        t.addField("Phone", FieldType::Text, 15).setLabel("Телефон");
        t.setPrimaryKey({"Id_Person"});
        t.addIndex("Z_PERSON", {"Name"});
    }
    static void declareFirm(dorv::Table& t)
    {
        using dorv::FieldType;
        t.addField("Id_Firm", FieldType::SmallInt).setRequired(true);
        t.addField("Firm", FieldType::Text, 30).setRequired(true);
        t.setPrimaryKey({"Id_Firm"});
    }

    // Creates the tables; rows as (account, day, stamp, kind, dt, ct).
    void create()
    {
        auto db = dorv::Database::acquire(folder());
        dorv::Table h("Tb_Hist", "TB_HIST"), p("Tb_Person", "TB_PERSON"), f("Tb_Firm", "TB_FIRM");
        declareHist(h);
        declarePerson(p);
        declareFirm(f);
        for (dorv::Table* t : {&h, &p, &f})
            for (const QString& s : t->createStatements())
                db->exec(s);
    }
    // Notes long enough that each row fills a page of the file of its own, ordered by their key.
    static void declareNote(dorv::Table& t)
    {
        using dorv::FieldType;
        t.addField("Id_Note", FieldType::SmallInt).setRequired(true).setLabel("Номер");
        t.addField("Txt", FieldType::Text, 3000).setLabel("Текст");
        t.setPrimaryKey({"Id_Note"});
    }
    static QString noteText(int id) { return QString("NOTE-%1|").arg(id, 4, 10, QChar('0')).leftJustified(3000, '.'); }

    // Makes notes 1..count and then overwrites the page of the file that holds note `damaged` with
    // garbage, as a failing disk would: the key index still lists the row, but reading it fails.
    // The database must not be open anywhere when this is called.
    void createDamagedNotes(int count, int damaged)
    {
        {
            auto db = dorv::Database::acquire(folder());
            dorv::Table n("Tb_Note", "TB_NOTE");
            declareNote(n);
            for (const QString& s : n.createStatements())
                db->exec(s);
            for (int id = 1; id <= count; ++id) {
                dorv::Statement st = db->prepare("INSERT INTO TB_NOTE (Id_Note, Txt) VALUES (?,?)");
                st.bindAll({id, noteText(id)});
                st.step();
            }
        }
        QVERIFY(!dorv::Database::isOpen(folder()));
        QFile file(folder() + "/" + dorv::Database::FileName);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QByteArray bytes = file.readAll();
        const qsizetype at = bytes.indexOf(noteText(damaged).left(10).toLatin1());
        QVERIFY(at > 0);
        QVERIFY(bytes.indexOf(noteText(damaged).left(10).toLatin1(), at + 1) < 0);
        // The page size sits big-endian at offset 16 of the file header.
        const int pageSize = (quint8(bytes[16]) << 8) | quint8(bytes[17]);
        QVERIFY(pageSize >= 512);
        const qsizetype page = at / pageSize;
        QVERIFY(page > 0); // never the header page
        bytes.replace(page * pageSize, pageSize, QByteArray(pageSize, '\xA5'));
        QVERIFY(file.seek(0));
        QCOMPARE(file.write(bytes), bytes.size());
    }

    void addHist(int acc, int day, qint64 stamp, const QString& kind, QVariant dt, QVariant ct, QVariant firm = {})
    {
        auto db = dorv::Database::acquire(folder());
        dorv::Statement st = db->prepare("INSERT INTO TB_HIST (Id_Account,Date_Real,Date_Create,Kind,Dt,Ct,ID_Firm) "
                                         "VALUES (?,?,?,?,?,?,?)");
        st.bindAll({acc, day, stamp, kind, dt, ct, firm});
        st.step();
    }
};
