#pragma once
#include "data/Meanings.h"

#include <QDialog>
#include <QHash>
#include <QList>

class QAction;
class QCalendarWidget;
class QFrame;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QStackedWidget;

namespace dorv {

class Dataset;
class Prompts;
class TDm;

// Which page the card opens on and how; the main window owns it and sets it before showing the card.
struct CardRequest {
    dorv::CardPage CardPage = dorv::CardPage::CalendarOrPassword;
    dorv::CardMode CardMode = dorv::CardMode::Idle;
    bool Realizing = false;
};

// A page of the card that another window owns: prepared each time the card opens on it, asked
// before OK closes it, and told of every close of the card (whatever page it showed).
class TCardPage {
public:
    virtual ~TCardPage() = default;
    virtual void showPage() = 0;
    // True lets OK close the card.
    virtual bool pageOk() { return true; }
    virtual void cardClosed() {}
};

// The one small modal card of the ledger: an operation, an account, a category, the date picker or
// the password. Its pages have no visible tabs; the request decides which one the user sees.
class TFormCard : public QDialog {
    Q_OBJECT
    Q_PROPERTY(qint64 RestDelta MEMBER RestDelta)
    Q_PROPERTY(qint64 ReceivedAmount MEMBER ReceivedAmount)
public:
    TFormCard(CardRequest& request, Prompts& prompts, TDm* dm, QWidget* parent = nullptr);
    ~TFormCard() override;

    CardRequest& request() const { return m_request; }
    Prompts& prompts() const { return m_prompts; }
    TDm* dm() const { return m_dm; }

    // The page that holds a page's controls (the expense and income pages share one), null for the
    // card's own pages; showPageWidget brings one up, shows tells whether it is up.
    QWidget* pageWidget(CardPage page) const;
    void showPageWidget(QWidget* page);
    bool shows(const QWidget* page) const;
    void setOkEnabled(bool on);
    // The text typed on the password page.
    QString passwordText() const;
    void setPasswordText(const QString& text);

    // The money pages' results, in ten-thousandths: the change of the current account's balance
    // and, for a transfer between currencies, the amount the target receives (0: the amount sent).
    qint64 RestDelta = 0;
    qint64 ReceivedAmount = 0;

    // The windows that own the other pages hand them in: 1, 2 and 3 the operation pages, 4 the
    // accounts, 5 the category. A page without an owner shows nothing of its own.
    void setPage(int cardPage, TCardPage* page);

    // The caption of the password page when it asks for something else than the password itself
    // (the repeated new password); empty: "Введите пароль:".
    QString passwordCaption;

    // Tables and queries of the card's own pages; BindDatabaseName points them at the working folder.
    QList<Dataset*> ownedDatasets;

    // A sizeable card is the date picker; the dialog border is everything else.
    void setSizeableBorder(bool on);
    bool sizeableBorder() const { return m_sizeable; }

    // Lets the user pick a date, starting from initialDay when it is above 0 (otherwise from the
    // last date picked); returns the day number, or 0 when cancelled or impossible.
    int PickDate(int initialDay);
    void BindDatabaseName(const QString& folder);
    // Sizes the card to its current page: never smaller than the money pages start from, and tall
    // (and wide) enough that no control of the page gets less than it asks for.
    void fitToPage();

    void FormShow();
    void ButOkClick();
    void ShowCalendarOrPasswordPage();
    void ShowCalendarPage();
    void ShowPasswordPage();
    void mpYearClick();
    void mpTodayClick();

    // True when the card was closed with Ctrl+Enter: OK, and the next new card of the same kind.
    bool nextRequested() const { return m_next; }

    // Every close, whatever the page and the result, goes through here.
    void done(int result) override;

signals:
    // F9, from anywhere in the card: the main window's calculator.
    void calculatorRequested();

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Components, by their names (objectName); tests find them by these.
    QStackedWidget* PgCard;
    QWidget* ShHist;
    QWidget* ShTrans;
    QWidget* ShCat;
    QWidget* ShAcTab;
    QWidget* ShCal;
    QWidget* ShPas;
    QFrame* PanOk;
    QPushButton* ButOk;
    QPushButton* BitBtn2;
    QLineEdit* EdPas;
    // How long a search of every password like the typed one would take; red below a year.
    QLabel* LabPasStrength;
    QCalendarWidget* Dt;
    QMenu* Pmdate;
    QAction* mpYear;
    QAction* mpToday;

    void FormClose();
    // Key preview: the card sees keys before the control that has the focus.
    void previewKeysOf(QObject* object);

    CardRequest& m_request;
    Prompts& m_prompts;
    TDm* m_dm;
    bool m_sizeable = false;
    bool m_next = false;
    QHash<int, TCardPage*> m_pages;
};

} // namespace dorv
