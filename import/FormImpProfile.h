#pragma once
#include "statements/CsvProfile.h"

#include <QDialog>

#include <optional>

class QComboBox;
class QSpinBox;
class QTableWidget;

namespace dorv {

class Database;
class Prompts;
struct StatementSource;

// The column mapping of a CSV statement ("Настройка импорта CSV"): which column is the date, the
// amount or the income and expense, the direction, the description, the counterparty and the bank's
// operation number, how dates and decimals are written and how many lines come before the header.
// What it settles is remembered under the header's shape for the next statement of that bank.
class TFormImpProfile final : public QDialog {
    Q_OBJECT
public:
    TFormImpProfile(Prompts& prompts, const StatementSource& source, QWidget* parent = nullptr);

    CsvProfile profile() const { return m_profile; }
    void ButImpProfileOkClick();

    // The profile remembered for a header's shape, when there is one.
    static std::optional<CsvProfile> recall(Database& db, const QString& key);
    static void remember(Database& db, const CsvProfile& profile);
    // Every kept profile: the header's shape and the stored settings.
    static QList<std::pair<QString, QString>> stored(Database& db);

private:
    void fillFromProfile();
    CsvProfile fromControls() const;
    void showPreview();

    Prompts& m_prompts;
    const StatementSource& m_source;
    CsvProfile m_profile;
    QStringList m_header;
    QList<QStringList> m_samples;

    QTableWidget* m_preview = nullptr;
    QSpinBox* m_skip = nullptr;
    QComboBox *m_date = nullptr, *m_amount = nullptr, *m_credit = nullptr, *m_debit = nullptr, *m_direction = nullptr,
              *m_text = nullptr, *m_party = nullptr, *m_number = nullptr, *m_dateFormat = nullptr, *m_decimal = nullptr;
};

} // namespace dorv
