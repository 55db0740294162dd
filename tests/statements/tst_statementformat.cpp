#include "statements/StatementFormat.h"

#include <QFile>
#include <QtTest>

using namespace dorv;

Q_DECLARE_METATYPE(dorv::StatementFormat)

class TestStatementFormat : public QObject {
    Q_OBJECT
private slots:
    void realFilesAreKnownByTheirContent_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<StatementFormat>("format");
        QTest::newRow("1C, Windows-1251") << "1c/kilylabs-one_day-cp1251.txt" << StatementFormat::OneC;
        QTest::newRow("1C, minimal") << "1c/odoo-ru-min-example-cp1251.txt" << StatementFormat::OneC;
        QTest::newRow("camt v2") << "camt/genkgo-camt053.v2.minimal.xml" << StatementFormat::Camt;
        QTest::newRow("camt v2 without statements") << "camt/genkgo-camt053.v2.wrong.xml" << StatementFormat::Camt;
        QTest::newRow("camt v8") << "camt/genkgo-camt053.v8.xml" << StatementFormat::Camt;
        QTest::newRow("csv latin1") << "csv/at-ingdiba-soll-haben-latin1.csv" << StatementFormat::Csv;
        QTest::newRow("csv utf8 bom") << "csv/ru-sberbank-utf8bom.csv" << StatementFormat::Csv;
        QTest::newRow("csv preamble") << "csv/nl-knab-creditdebet.csv" << StatementFormat::Csv;
        QTest::newRow("qfx sgml") << "ofx/actual-1252.qfx" << StatementFormat::Ofx;
        QTest::newRow("ofx xml") << "ofx/asgrim-multiple-accounts-xml.ofx" << StatementFormat::Ofx;
        QTest::newRow("ofx blank lines first") << "ofx/ofxparse-empty-tags-v102.ofx" << StatementFormat::Ofx;
        QTest::newRow("ofx without header") << "ofx/ofxparse-fail-date_missing.ofx" << StatementFormat::Ofx;
        QTest::newRow("qif with comments") << "qif/quiffen-test.qif" << StatementFormat::Qif;
        QTest::newRow("qif split") << "qif/quiffen-split.qif" << StatementFormat::Qif;
        QTest::newRow("qif dates in day order") << "qif/oca-test_qif_dmy.qif" << StatementFormat::Qif;
        QTest::newRow("qif with broken dates") << "qif/gnucash-web-baddates.qif" << StatementFormat::Qif;
        QTest::newRow("ofx on one line per entry") << "ofx/jgnash-bank1-commas.ofx" << StatementFormat::Ofx;
        QTest::newRow("ofx tab-indented") << "ofx/ofxparse-checking.ofx" << StatementFormat::Ofx;
        QTest::newRow("ofx broken") << "ofx/libofx-fuzz-null-ptr-deref-1.ofx" << StatementFormat::Ofx;
        QTest::newRow("camt two statements") << "camt/genkgo-camt053.v2.multi.statement.xml" << StatementFormat::Camt;
    }
    void realFilesAreKnownByTheirContent()
    {
        QFETCH(QString, file);
        QFETCH(StatementFormat, format);
        QFile f(QStringLiteral(DORV_SAMPLES_DIR "/") + file);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(detectStatementFormat(f.readAll()), format);
    }

    void binaryAndForeignXmlAreUnknown_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("zip") << QByteArray("PK\x03\x04\x14\x00\x00\x00", 8);
        QTest::newRow("foreign xml") << QByteArray("<?xml version=\"1.0\"?><rss><channel/></rss>");
        QTest::newRow("empty") << QByteArray();
    }
    void binaryAndForeignXmlAreUnknown()
    {
        QFETCH(QByteArray, bytes);
        QCOMPARE(detectStatementFormat(bytes), StatementFormat::Unknown);
    }
};

QTEST_GUILESS_MAIN(TestStatementFormat)
#include "tst_statementformat.moc"
