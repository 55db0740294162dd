#include "card/DorvCard.h"

#include "data/DbError.h"
#include "data/DorvDm.h"
#include "util/Clock.h"
#include "util/DateScale.h"
#include "util/PasswordStrength.h"
#include "util/Prompts.h"
#include "util/Swallowed.h"
#include "widgets/ErrorGuard.h"

#include <QAction>
#include <QCalendarWidget>
#include <QChildEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace dorv {

namespace {

// The sizes the card takes: as built, for the date and password pages, and after every close
// (the pages that open next expect to start from it).
constexpr QSize BuiltSize(232, 238);
constexpr QSize SmallPageSize(215, 245);
constexpr QSize RestSize(240, 265);
constexpr QPoint RestPosition(255, 40);

// The calendar covers every date a day number can name and the year box can reach.
const QDate FirstDate(1, 1, 1);
const QDate LastDate(9999, 12, 31);

QWidget* makePage(const QString& name, QStackedWidget* stack)
{
    auto* page = new QWidget(stack);
    page->setObjectName(name);
    stack->addWidget(page);
    return page;
}

} // namespace

TFormCard::TFormCard(CardRequest& request, Prompts& prompts, TDm* dm, QWidget* parent)
    : QDialog(parent), m_request(request), m_prompts(prompts), m_dm(dm)
{
    setObjectName(QStringLiteral("TFormCard"));
    setSizeGripEnabled(false);

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);
    // The pages and their owners size the card themselves, often below what the calendar would
    // ask for; the layout must not push the window back up.
    outer->setSizeConstraint(QLayout::SetNoConstraint);

    PgCard = new QStackedWidget(this);
    PgCard->setObjectName(QStringLiteral("PgCard"));
    ShHist = makePage(QStringLiteral("ShHist"), PgCard);
    ShTrans = makePage(QStringLiteral("ShTrans"), PgCard);
    ShCat = makePage(QStringLiteral("ShCat"), PgCard);
    ShAcTab = makePage(QStringLiteral("ShAcTab"), PgCard);
    ShCal = makePage(QStringLiteral("ShCal"), PgCard);
    ShPas = makePage(QStringLiteral("ShPas"), PgCard);
    outer->addWidget(PgCard, 1);

    PanOk = new QFrame(this);
    PanOk->setObjectName(QStringLiteral("PanOk"));
    auto* buttons = new QHBoxLayout(PanOk);
    buttons->setContentsMargins(6, 6, 6, 6);
    ButOk = new QPushButton(QStringLiteral("OK"), PanOk);
    ButOk->setObjectName(QStringLiteral("ButOk"));
    ButOk->setDefault(true);
    BitBtn2 = new QPushButton(QStringLiteral("Отмена"), PanOk);
    BitBtn2->setObjectName(QStringLiteral("BitBtn2"));
    buttons->addStretch(1);
    buttons->addWidget(ButOk);
    buttons->addWidget(BitBtn2);
    outer->addWidget(PanOk);
    connectGuarded(ButOk, &QPushButton::clicked, this, m_prompts, [this] { ButOkClick(); });
    connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);

    // The password is masked with "$" rather than the style's bullet; Qt offers no other
    // per-widget way to choose the mask character than the style sheet.
    EdPas = new QLineEdit(ShPas);
    EdPas->setObjectName(QStringLiteral("EdPas"));
    EdPas->setGeometry(18, 58, 163, 24);
    QFont pasFont(QStringLiteral("Courier New"));
    pasFont.setPixelSize(13);
    pasFont.setBold(true);
    EdPas->setFont(pasFont);
    QPalette pasPalette = EdPas->palette();
    pasPalette.setColor(QPalette::Text, QColor(0, 128, 0));
    EdPas->setPalette(pasPalette);
    EdPas->setMaxLength(20);
    EdPas->setStyleSheet(QStringLiteral("QLineEdit { lineedit-password-character: 36; }"));
    EdPas->setEchoMode(QLineEdit::Password);
    // Said while the password is typed; it asks nothing and blocks nothing.
    LabPasStrength = new QLabel(ShPas);
    LabPasStrength->setObjectName(QStringLiteral("LabPasStrength"));
    LabPasStrength->setGeometry(18, 88, 180, 48);
    LabPasStrength->setWordWrap(true);
    LabPasStrength->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    connect(EdPas, &QLineEdit::textChanged, this, [this](const QString& text) {
        const PasswordStrength strength = PasswordStrength::of(text);
        LabPasStrength->setText(strength.text);
        QPalette p = LabPasStrength->palette();
        p.setColor(QPalette::WindowText, strength.weak ? QColor(Qt::red) : palette().color(QPalette::WindowText));
        LabPasStrength->setPalette(p);
    });

    auto* calLayout = new QVBoxLayout(ShCal);
    calLayout->setContentsMargins(0, 0, 0, 0);
    Dt = new QCalendarWidget(ShCal);
    Dt->setLocale(QLocale(QLocale::Russian, QLocale::Russia));
    Dt->setObjectName(QStringLiteral("Dt"));
    Dt->setDateRange(FirstDate, LastDate);
    Dt->setSelectedDate(Clock::today());
    calLayout->addWidget(Dt);
    // Enter or a double click on a day chooses it, as OK does.
    connectGuarded(Dt, &QCalendarWidget::activated, this, m_prompts, [this] { ButOkClick(); });

    Pmdate = new QMenu(this);
    Pmdate->setObjectName(QStringLiteral("Pmdate"));
    mpYear = Pmdate->addAction(QStringLiteral("Изменить &год..."));
    mpYear->setObjectName(QStringLiteral("mpYear"));
    mpToday = Pmdate->addAction(QStringLiteral("К &сегодняшнему дню"));
    mpToday->setObjectName(QStringLiteral("mpToday"));
    connectGuarded(mpYear, &QAction::triggered, this, m_prompts, [this] { mpYearClick(); });
    connectGuarded(mpToday, &QAction::triggered, this, m_prompts, [this] { mpTodayClick(); });
    Dt->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(Dt, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { Pmdate->popup(Dt->mapToGlobal(at)); });

    resize(BuiltSize);
    previewKeysOf(this);
}

QWidget* TFormCard::pageWidget(CardPage page) const
{
    switch (page) {
    case CardPage::Expense:
    case CardPage::Income:
        return ShHist;
    case CardPage::Transfer:
        return ShTrans;
    case CardPage::Accounts:
        return ShAcTab;
    case CardPage::Category:
        return ShCat;
    case CardPage::CalendarOrPassword:
        break;
    }
    return nullptr;
}

void TFormCard::showPageWidget(QWidget* page) { PgCard->setCurrentWidget(page); }

bool TFormCard::shows(const QWidget* page) const { return PgCard->currentWidget() == page; }

void TFormCard::setOkEnabled(bool on) { ButOk->setEnabled(on); }

QString TFormCard::passwordText() const { return EdPas->text(); }

void TFormCard::setPasswordText(const QString& text) { EdPas->setText(text); }

TFormCard::~TFormCard() = default;

void TFormCard::previewKeysOf(QObject* object)
{
    object->installEventFilter(this);
    for (QObject* child : object->findChildren<QObject*>())
        if (child->isWidgetType())
            child->installEventFilter(this);
}

bool TFormCard::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::ChildAdded: {
        // The owners of the other pages add their controls later; F9 must reach past them too.
        QObject* child = static_cast<QChildEvent*>(event)->child();
        if (child->isWidgetType())
            previewKeysOf(child);
        break;
    }
    case QEvent::KeyPress: {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_F9) {
            emit calculatorRequested();
            return true;
        }
        // Ctrl+Enter is OK that asks for the next card: a receipt is booked line after line.
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)
            && key->modifiers().testFlag(Qt::ControlModifier) && PanOk->isVisible()) {
            m_next = true;
            runGuarded(m_prompts, [this] { ButOkClick(); });
            // A card the checks kept open asks for nothing next.
            if (isVisible())
                m_next = false;
            return true;
        }
        break;
    }
    default:
        break;
    }
    return QDialog::eventFilter(watched, event);
}

void TFormCard::setPage(int cardPage, TCardPage* page) { m_pages.insert(cardPage, page); }

void TFormCard::setSizeableBorder(bool on)
{
    m_sizeable = on;
    setSizeGripEnabled(on);
}

void TFormCard::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // Coming back from a minimised main window is not a new showing of the card. A page that
    // cannot be prepared is reported and the card closes as cancelled; nothing escapes the show.
    if (!event->spontaneous() && !runGuarded(m_prompts, [this] { FormShow(); }))
        QMetaObject::invokeMethod(
            this, [this] { reject(); }, Qt::QueuedConnection);
}

void TFormCard::FormShow()
{
    m_next = false;
    if (int(m_request.CardPage) >= 1 && int(m_request.CardPage) <= 5) {
        if (TCardPage* page = m_pages.value(int(m_request.CardPage)))
            page->showPage();
    } else {
        ShowCalendarOrPasswordPage();
    }
    // The page owners resize the card while preparing; the page's controls follow the new size.
    if (QWidget* page = PgCard->currentWidget()) {
        if (QLayout* l = page->layout())
            l->activate();
        page->updateGeometry();
    }
}

void TFormCard::ShowCalendarOrPasswordPage()
{
    if (m_sizeable)
        ShowCalendarPage();
    else
        ShowPasswordPage();
}

void TFormCard::ShowCalendarPage()
{
    resize(SmallPageSize);
    PgCard->setCurrentWidget(ShCal);
    setWindowTitle(QStringLiteral("Календарь...чик"));
    Dt->setFocus();
}

void TFormCard::ShowPasswordPage()
{
    resize(SmallPageSize);
    PgCard->setCurrentWidget(ShPas);
    setWindowTitle(passwordCaption.isEmpty() ? QStringLiteral("Введите пароль:") : passwordCaption);
    EdPas->setFocus();
}

void TFormCard::ButOkClick()
{
    // Taking the focus away makes the control being edited hand over its text first.
    ButOk->setFocus();
    TCardPage* page = m_pages.value(int(m_request.CardPage));
    if (!page || page->pageOk())
        done(QDialog::Accepted);
}

void TFormCard::done(int result)
{
    QDialog::done(result);
    FormClose();
}

void TFormCard::FormClose()
{
    if (m_dm) {
        try {
            m_dm->Qtrans->cancel();
            m_dm->Qtrans->close();
        } catch (const DbError&) {
        } catch (const DbAbort&) {
        }
    }
    ButOk->setEnabled(true);
    QList<TCardPage*> told;
    for (TCardPage* page : std::as_const(m_pages)) {
        if (!told.contains(page))
            page->cardClosed();
        told << page;
    }
    // Every page starts from the same place and size, whatever the last one made of the card.
    resize(RestSize);
    move(RestPosition);
}

void TFormCard::fitToPage()
{
    QWidget* page = PgCard->currentWidget();
    QLayout* pageLayout = page ? page->layout() : nullptr;
    if (!pageLayout)
        return;
    // A control just shown or hidden has not told the layout yet.
    pageLayout->invalidate();
    const QMargins m = layout()->contentsMargins();
    const int width = pageLayout->minimumSize().width() + m.left() + m.right();
    const int height = pageLayout->sizeHint().height() + PanOk->sizeHint().height() + qMax(0, layout()->spacing())
                       + m.top() + m.bottom();
    resize(qMax(RestSize.width(), width), qMax(RestSize.height(), height));
}

void TFormCard::mpYearClick()
{
    const QDate shown = Dt->selectedDate();
    const QString before = QString::number(shown.year());
    QString text = before;
    if (!m_prompts.inputText(QStringLiteral("Быстрая смена года"), QStringLiteral("Введите год:"), &text))
        return;
    if (text.isEmpty() || text == before)
        return;
    bool isNumber = false;
    const int year = text.trimmed().toInt(&isNumber);
    if (!isNumber || year == shown.year())
        return;
    // 29 February in a common year and years the calendar cannot show leave the date as it is.
    if (year < FirstDate.year() || year > LastDate.year() || !QDate::isValid(year, shown.month(), shown.day()))
        return;
    Dt->setSelectedDate(QDate(year, shown.month(), shown.day()));
}

void TFormCard::mpTodayClick() { Dt->setSelectedDate(Clock::today()); }

int TFormCard::PickDate(int initialDay)
{
    int picked = 0;
    try {
        setSizeableBorder(true);
        m_request.CardPage = CardPage::CalendarOrPassword;
        bool ready = true;
        if (initialDay > 0) {
            const QDate start = dateOfDay(initialDay);
            ready = start.isValid() && start >= Dt->minimumDate() && start <= Dt->maximumDate();
            if (ready)
                Dt->setSelectedDate(start);
        }
        if (ready && m_prompts.runModal(this) == QDialog::Accepted)
            picked = dayNumber(Dt->selectedDate());
    } catch (...) {
        // The picker answers 0 when anything fails, as when it is cancelled: no date is changed.
        noteSwallowed("picking a date");
        picked = 0;
    }
    setSizeableBorder(false);
    return picked;
}

void TFormCard::BindDatabaseName(const QString& folder)
{
    for (Dataset* d : ownedDatasets)
        d->setDatabaseName(folder);
}

} // namespace dorv
