#pragma once
#include <QList>
#include <QString>
#include <QStringList>

namespace dorv {

// One record of a CSV text: its fields, unquoted, and the line it starts on (1-based).
struct CsvRecord {
    QStringList fields;
    int line = 0;
};

// Splits CSV text into records: quoted fields may hold the separator, line breaks and "" for a quote;
// blank lines are no records. `limit` stops after so many records (-1: all). *openQuoteLine (when
// given) gets the line of a quote still open at the end of the text, a sign of a cut-off file, else 0.
QList<CsvRecord> splitCsvRecords(const QString& text, QChar separator, qsizetype limit = -1,
                                 int* openQuoteLine = nullptr);

} // namespace dorv
