#include "BookCheckCommand.h"

#include "MoneyView.h"
#include "book/BookCheck.h"
#include "data/Database.h"
#include "data/DbError.h"
#include "data/DorvDm.h"
#include "data/Fields.h"
#include "data/OpeningBalances.h"
#include "data/Transaction.h"
#include "util/Money.h"
#include "util/Prompts.h"
#include "widgets/ErrorGuard.h"

#include <QAction>

namespace dorv {

namespace {
// A list longer than this is cut: nobody reads a thousand lines in a message box.
constexpr int ShownBreaches = 30;
} // namespace

QString TBookCheckCommand::accountNameOf(qint64 account) const
{
    Statement st =
        m_dm.Tb_Hist->database()->prepare(QStringLiteral("SELECT Account FROM TB_ACCOUNT WHERE Id_Account=?"));
    st.bind(1, account);
    return st.step() ? st.column(0).toString() : QString();
}

TBookCheckCommand::TBookCheckCommand(TMoneyView& view, TDm& dm, Prompts& prompts)
    : QObject(&view), m_view(view), m_dm(dm), m_prompts(prompts)
{
    setObjectName(QStringLiteral("BookCheck"));
    mCheck = new QAction(QStringLiteral("Проверка данных..."), this);
    mCheck->setObjectName(QStringLiteral("mCheck"));
    connectGuarded(mCheck, &QAction::triggered, this, m_prompts, [this] { mCheckClick(); });
}

void TBookCheckCommand::mCheckClick()
{
    Table& acc = *m_dm.Tb_Account;
    if (!acc.active())
        return;
    // What the user sees is what is checked: a pending edit is written first.
    for (Table* t : m_dm.tables())
        if (t->active())
            t->flush();
    // A pending edit written just now is a change of its own, never part of a repair.
    m_dm.endChange();
    Database& db = *m_dm.Tb_Hist->database();
    const QList<BookBreach> found = CheckBook(db);
    if (found.isEmpty()) {
        m_prompts.inform(QStringLiteral("Нарушений не найдено."));
        return;
    }
    QStringList lines;
    for (qsizetype i = 0; i < found.size() && i < ShownBreaches; ++i)
        lines << found[i].text;
    if (found.size() > ShownBreaches)
        lines << QStringLiteral("… и ещё %1.").arg(found.size() - ShownBreaches);
    m_prompts.inform(
        QStringLiteral("Найдено нарушений: %1\n\n%2").arg(found.size()).arg(lines.join(QLatin1Char('\n'))));

    const QVariant current = acc.fieldByName(AccountField::IdAccount).value();
    for (const BookBreach& b : found) {
        if (b.kind != BookBreach::Kind::Balance)
            continue;
        qint64 difference = 0;
        if (__builtin_sub_overflow(b.stored, b.fromRows, &difference))
            continue; // said in the list above; no repair can count it exactly
        const Prompts::Answer answer = m_prompts.confirmOrCancel(
            b.text
            + QStringLiteral("\nВзять остаток из операций (%1) — Да;\nоставить %2 и записать разницу %3 в начальный "
                             "остаток — Нет;\nничего не менять — Отмена?")
                  .arg(formatMoney(fromTenThousandths(b.fromRows)), formatMoney(fromTenThousandths(b.stored)),
                       formatMoney(fromTenThousandths(difference))));
        if (answer == Prompts::Answer::Cancel)
            continue;
        Transaction change(db);
        if (answer == Prompts::Answer::Yes) {
            if (!acc.locate(AccountField::IdAccount, b.account))
                continue;
            acc.edit();
            acc.fieldByName(AccountField::Rest).setValue(fromTenThousandths(b.fromRows));
            acc.post();
        } else {
            qint64 opening = 0;
            if (!checkedAdd(OpeningBalances::read(db).value(b.account), difference, &opening))
                throw DbError(QStringLiteral("Начальный остаток вышел бы за пределы чисел, которые программа "
                                             "считает точно"));
            OpeningBalances::set(db, b.account, opening);
        }
        change.commit();
        m_dm.DataSaved = false;
        m_dm.nameChange(QStringLiteral("исправление остатка счёта «%1»").arg(accountNameOf(b.account)));
        m_dm.endChange();
    }
    acc.locate(AccountField::IdAccount, current);
    m_view.UpdateTotals(true, 0);
}

} // namespace dorv
