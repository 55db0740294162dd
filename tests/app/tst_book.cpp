#include "app/DorvMain.h"
#include "data/DorvDm.h"
#include "ledger/MoneyView.h"
#include "support/BookGenerator.h"
#include "support/Child.h"
#include "support/ScratchEnvironment.h"

#include <QAction>
#include <QSettings>
#include <QtTest>

using namespace dorv;

// The generated books the scale figures are measured on are books the program reads as its own.
class TestBook : public QObject {
    Q_OBJECT
private slots:
    void generatedBookOpensWithBalancesThatAgree()
    {
        QTemporaryDir root;
        ScriptedPrompts prompts;
        const MainEnvironment e = scratchEnvironment(root, prompts);
        const QString file = root.filePath("book.den");
        QString error;
        BookShape shape;
        shape.rows = 3000;
        QVERIFY2(makeBook(shape, file, &error), qPrintable(error));
        // The same seed makes the same book.
        const QString again = root.filePath("again.den");
        QVERIFY(makeBook(shape, again, &error));
        QSettings(e.settingsFile, QSettings::IniFormat).setValue("Dorvana/Recent_Catalog", file);
        TFormMain w(e);
        QVERIFY(w.started());
        QCOMPARE(w.dataFile().title(), file);
        TDm& dm = *w.Dm();
        QCOMPARE(dm.Tb_Account->recordCount(), 10);
        QCOMPARE(dm.Tb_Person->recordCount(), 2000);
        QCOMPARE(dm.Tb_Firm->recordCount(), 500);
        QVERIFY(dm.Tb_Items->recordCount() > 300);
        QCOMPARE(dm.Tb_Account->fieldByName("Id_Account").asInteger(), 1); // the remembered one
        // Over the whole period each account's closing balance is its stored balance.
        w.action("mTotal")->trigger();
        qint64 rows = 0, transfers = 0;
        for (int a = 1; a <= 10; ++a) {
            QVERIFY(dm.Tb_Account->locate("Id_Account", a));
            child<dorv::TMoneyView>(&w, "MoneyView")->ApplyPeriod();
            rows += dm.Tb_Hist->recordCount();
            const QString rest = dm.Tb_Account->fieldByName("Rest").displayText();
            QCOMPARE(child<dorv::TMoneyView>(&w, "MoneyView")->panelText(7), rest);
            for (dm.Tb_Hist->first(); !dm.Tb_Hist->eof(); dm.Tb_Hist->next())
                if (dm.Tb_Hist->fieldByName("Level1").asInteger() == -1)
                    ++transfers;
        }
        QCOMPARE(rows, shape.rows);
        QVERIFY(transfers > 0 && transfers % 2 == 0); // both rows of every transfer
        QVERIFY(prompts.messages().isEmpty());
    }
};

QTEST_MAIN(TestBook)
#include "tst_book.moc"
