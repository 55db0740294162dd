#include "DiaryView.h"

#include "ContactGrid.h"
#include "data/DorvDm.h"
#include "data/TableModel.h"
#include "util/Prompts.h"
#include "widgets/DbGrid.h"
#include "widgets/ErrorGuard.h"

#include <QAction>
#include <QActionGroup>
#include <QButtonGroup>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QRadioButton>
#include <QToolButton>
#include <QVBoxLayout>

namespace dorv {

namespace {
const char* const PositionProperty = "position";
const char* const ModeCaptions[] = {"Не напоминать", "Начиная с даты", "Ежемесячно"};
} // namespace

TDiaryView::TDiaryView(Services& host, QWidget* parent) : QWidget(parent), m_host(host)
{
    setObjectName(QStringLiteral("DiaryView"));
    TDm& dm = *m_host.dm;
    Prompts& prompts = *m_host.prompts;
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    QHBoxLayout* strip = nullptr;
    PanDiary = makePagePanel(QStringLiteral("PanDiary"), this, &strip);
    strip->setSpacing(6);
    ButLogFilt = makeFilterButton(QStringLiteral("ButLogFilt"), QStringLiteral("На сегодня"),
                                  QStringLiteral("Дела на сегодня..."), PanDiary);
    strip->addWidget(ButLogFilt);

    DBRgLog = new QGroupBox(PanDiary);
    DBRgLog->setObjectName(QStringLiteral("DBRgLog"));
    DBRgLog->setToolTip(QStringLiteral("Вид напоминания"));
    DBRgLog->setFlat(true);
    QFont arial(QStringLiteral("Arial"));
    arial.setPointSize(font().pointSize() > 0 ? font().pointSize() : 9);
    DBRgLog->setFont(arial);
    auto* radios = new QHBoxLayout(DBRgLog);
    radios->setContentsMargins(4, 0, 4, 0);
    m_modes = new QButtonGroup(this);
    m_modes->setExclusive(true);
    for (int i = 0; i < 3; ++i) {
        auto* r = new QRadioButton(QString::fromUtf8(ModeCaptions[i]), DBRgLog);
        r->setObjectName(QStringLiteral("DBRgLog%1").arg(i));
        radios->addWidget(r);
        m_modes->addButton(r, i);
        DBRgLogItems[i] = r;
    }
    strip->addWidget(DBRgLog);
    LabDiary = makePanelCaption(QStringLiteral("LabDiary"), QStringLiteral("Дневник-памятка  :  сделать, напомнить..."),
                                PanDiary);
    strip->addWidget(LabDiary, 1);
    layout->addWidget(PanDiary);

    DBGLog = makeContactGrid(QStringLiteral("DBGLog"), 5, *dm.Tb_Log,
                             {QStringLiteral("Date_Remind"), QStringLiteral("Note"), QStringLiteral("Person"),
                              QStringLiteral("Firm"), QStringLiteral("Date_Create")},
                             prompts, this);
    TableModel* model = DBGLog->gridModel();
    // The reminder date is typed (dd.mm.yyyy) or picked with the cell's button.
    model->setColumnReadOnly(4);
    DBGLog->setEllipsisColumn(0);
    connectGuarded(DBGLog, &TDbGrid::editButtonClicked, this, prompts, [this] { DBGLogEditButtonClick(); });
    DBGLog->setPickColumn(
        2, [this] { return pickListOf(*m_host.dm->Tb_Person, QStringLiteral("Id_Person"), QStringLiteral("Name")); });
    DBGLog->setPickColumn(
        3, [this] { return pickListOf(*m_host.dm->Tb_Firm, QStringLiteral("Id_Firm"), QStringLiteral("Firm")); });
    DBGLog->columnBackground.insert(4, palette().color(QPalette::Button));
    fitContactColumns(*DBGLog, {{QStringLiteral("Date_Remind"), 80}, {QStringLiteral("Date_Create"), 125}});
    connect(DBGLog, &TDbGrid::aboutToTryKeyAction, this, [this] { PmLogPopup(); });
    connect(DBGLog, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        if (m_host.dm->Tb_Log->active())
            PmLog->popup(DBGLog->viewport()->mapToGlobal(at));
    });
    layout->addWidget(DBGLog, 1);
    buildPopup();

    connectGuarded(ButLogFilt, &QToolButton::clicked, this, prompts, [this] { ButLogFiltClick(); });
    connectGuarded(m_modes, &QButtonGroup::idClicked, this, prompts, [this](int id) { DBRgLogClick(id); });
    Table* log = dm.Tb_Log;
    auto follow = [this] {
        showMode();
        PmLogPopup();
    };
    connect(log, &Dataset::stateChanged, this, follow);
    connect(log, &Dataset::currentRowChanged, this, follow);
    connect(log, &Dataset::rowsReset, this, follow);
    connect(log, &Dataset::dataChanged, this, follow);
    follow();
}

void TDiaryView::buildPopup()
{
    PmLog = new QMenu(this);
    PmLog->setObjectName(QStringLiteral("PmLog"));
    m_modeItems = new QActionGroup(this);
    m_modeItems->setExclusive(true);
    auto item = [this](const char* name, const QString& caption, const QKeySequence& key,
                       const std::function<void(QAction*)>& handler) {
        auto* a = new QAction(caption, this);
        a->setObjectName(QString::fromLatin1(name));
        a->setProperty(PositionProperty, int(PmLog->actions().size()));
        PmLog->addAction(a);
        if (!key.isEmpty()) {
            a->setShortcut(key);
            DBGLog->addKeyAction(a);
        }
        connectGuarded(a, &QAction::triggered, this, *m_host.prompts, [a, handler] { handler(a); });
        return a;
    };
    auto onClick = [this](QAction* a) { mpLogNewClick(a); };
    mpLogNew = item("mpLogNew", QStringLiteral("&Добавить запись  Ins"), {}, onClick);
    mpLogDel = item("mpLogDel", QStringLiteral("&Удалить запись    Ctrl+Del"), {}, onClick);
    mpLogEditDate = item("mpLogEditDate", QStringLiteral("&Изменить дату"), QKeySequence(Qt::Key_F11),
                         [this](QAction*) { DBGLogEditButtonClick(); });
    PmLog->addSeparator();
    mpLogNon = item("mpLogNon", QStringLiteral("&Не напоминать"), QKeySequence(Qt::Key_F7), onClick);
    mpLogDate = item("mpLogDate", QStringLiteral("На&поминать с указанной Даты и до отмены"), QKeySequence(Qt::Key_F8),
                     onClick);
    mpLogMonth = item("mpLogMonth", QStringLiteral("Напоминать &ежемесячно указанного числа"), QKeySequence(Qt::Key_F9),
                      onClick);
    for (QAction* a : {mpLogNon, mpLogDate, mpLogMonth}) {
        a->setCheckable(true);
        m_modeItems->addAction(a);
    }
    mpLogNon->setChecked(true);
    PmLog->addSeparator();
    mpLogFindPerson = item("mpLogFindPerson", QStringLiteral("Найти &человека"), QKeySequence(Qt::Key_F3),
                           [this](QAction*) { mpLogFindPersonClick(); });
    mpLogFindFirm = item("mpLogFindFirm", QStringLiteral("Найти &фирму"), QKeySequence(Qt::Key_F4),
                         [this](QAction*) { mpLogFindFirmClick(); });
    connect(PmLog, &QMenu::aboutToShow, this, [this] { PmLogPopup(); });
}

void TDiaryView::PmLogPopup()
{
    if (!PmLog)
        return;
    const Table& t = *m_host.dm->Tb_Log;
    const bool rows = t.active() && (!t.isEmpty() || t.state() == DatasetState::Insert);
    if (!rows) {
        mpLogNon->setChecked(true);
    } else {
        const QString c = t.fieldByName(QStringLiteral("C")).asString();
        QAction* const items[] = {mpLogNon, mpLogDate, mpLogMonth};
        const int mode = c.size() == 1 ? c.at(0).unicode() - '0' : -1;
        if (mode >= 0 && mode <= 2)
            items[mode]->setChecked(true);
    }
    mpLogNew->setEnabled(true);
    for (QAction* a : {mpLogDel, mpLogEditDate, mpLogNon, mpLogDate, mpLogMonth})
        a->setEnabled(rows);
    const Field* person = t.active() ? t.findField(QStringLiteral("Id_Person")) : nullptr;
    const Field* firm = t.active() ? t.findField(QStringLiteral("Id_firm")) : nullptr;
    mpLogFindPerson->setEnabled(rows && person && !person->isNull());
    mpLogFindFirm->setEnabled(rows && firm && !firm->isNull());
}

void TDiaryView::showMode()
{
    const Table& t = *m_host.dm->Tb_Log;
    const bool rows = t.active() && (!t.isEmpty() || t.state() == DatasetState::Insert);
    DBRgLog->setEnabled(rows);
    const QString c = rows ? t.fieldByName(QStringLiteral("C")).asString() : QString();
    const int mode = c.size() == 1 ? c.at(0).unicode() - '0' : -1;
    m_showing = true;
    if (mode >= 0 && mode <= 2) {
        DBRgLogItems[mode]->setChecked(true);
    } else {
        // No entry or an unknown mode: no item is chosen.
        m_modes->setExclusive(false);
        for (QRadioButton* r : DBRgLogItems)
            r->setChecked(false);
        m_modes->setExclusive(true);
    }
    m_showing = false;
}

void TDiaryView::setMode(int mode)
{
    Table& t = *m_host.dm->Tb_Log;
    if (!t.active() || (t.isEmpty() && t.state() != DatasetState::Insert))
        return;
    if (t.state() != DatasetState::Insert && t.state() != DatasetState::Edit)
        t.edit();
    t.fieldByName(QStringLiteral("C")).setAsString(QString::number(mode));
}

void TDiaryView::DBRgLogClick(int mode)
{
    if (m_showing)
        return;
    try {
        setMode(mode);
    } catch (...) {
        showMode();
        throw;
    }
}

void TDiaryView::mpLogNewClick(QAction* sender)
{
    Table& t = *m_host.dm->Tb_Log;
    if (!t.active())
        return;
    const int position = sender->property(PositionProperty).toInt();
    switch (position) {
    case 0:
        t.insert();
        DBGLog->setFocus();
        break;
    case 1:
        if (t.isEmpty() && t.state() != DatasetState::Insert)
            return;
        if (!m_host.prompts->confirm(QStringLiteral("Удалить запись в дневнике ?")))
            return;
        // An entry not yet written is simply given up.
        if (t.state() == DatasetState::Insert)
            t.cancel();
        else
            t.deleteRecord();
        break;
    case 4:
    case 5:
    case 6:
        if (t.isEmpty() && t.state() != DatasetState::Insert)
            return;
        sender->setChecked(true);
        setMode(position - 4);
        break;
    default:
        break;
    }
}

void TDiaryView::DBGLogEditButtonClick()
{
    EditDateField(*m_host.dm->Tb_Log, QStringLiteral("Date_Remind"), [this](int day) { return m_host.pickDate(day); });
    DBGLog->setFocus();
}

void TDiaryView::mpLogFindPersonClick()
{
    const Table& t = *m_host.dm->Tb_Log;
    if (!t.active())
        return;
    const QVariant id = t.fieldByName(QStringLiteral("Id_Person")).value();
    if (id.isValid())
        emit openPerson(id);
}

void TDiaryView::mpLogFindFirmClick()
{
    const Table& t = *m_host.dm->Tb_Log;
    if (!t.active())
        return;
    const QVariant id = t.fieldByName(QStringLiteral("Id_firm")).value();
    if (id.isValid())
        emit openFirm(id);
}

void TDiaryView::releaseFilterButton() { ButLogFilt->setChecked(false); }

void TDiaryView::ButLogFiltClick()
{
    Table& t = *m_host.dm->Tb_Log;
    if (t.active())
        t.setFiltered(ButLogFilt->isChecked());
    if (ButLogFilt->isChecked() && m_host.currentView() == View::Diary)
        emit diaryTasksSeen();
}

} // namespace dorv
