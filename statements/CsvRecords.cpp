#include "CsvRecords.h"

namespace dorv {

QList<CsvRecord> splitCsvRecords(const QString& text, QChar separator, qsizetype limit, int* openQuoteLine)
{
    QList<CsvRecord> records;
    if (openQuoteLine)
        *openQuoteLine = 0;
    const qsizetype n = text.size();
    qsizetype i = 0;
    int line = 1;
    while (i < n && (limit < 0 || records.size() < limit)) {
        CsvRecord record;
        record.line = line;
        QString field;
        bool atFieldStart = true;
        bool inQuotes = false;
        int quoteLine = 0;
        bool endOfRecord = false;
        while (i < n && !endOfRecord) {
            const QChar c = text[i];
            if (inQuotes) {
                if (c == u'"') {
                    if (i + 1 < n && text[i + 1] == u'"') {
                        field += u'"';
                        i += 2;
                        continue;
                    }
                    inQuotes = false;
                    ++i;
                    continue;
                }
                if (c == u'\n' || (c == u'\r' && !(i + 1 < n && text[i + 1] == u'\n')))
                    ++line;
                field += c;
                ++i;
                continue;
            }
            if (c == u'"' && atFieldStart) {
                inQuotes = true;
                quoteLine = line;
                atFieldStart = false;
                ++i;
                continue;
            }
            if (c == separator) {
                record.fields << field;
                field.clear();
                atFieldStart = true;
                ++i;
                continue;
            }
            if (c == u'\r' || c == u'\n') {
                i += (c == u'\r' && i + 1 < n && text[i + 1] == u'\n') ? 2 : 1;
                ++line;
                endOfRecord = true;
                continue;
            }
            // A quote inside an unquoted field, or text after a closing quote, is kept as written.
            field += c;
            atFieldStart = false;
            ++i;
        }
        if (inQuotes && openQuoteLine)
            *openQuoteLine = quoteLine;
        record.fields << field;
        const bool blank = record.fields.size() == 1 && record.fields[0].trimmed().isEmpty();
        if (!blank)
            records << record;
    }
    return records;
}

} // namespace dorv
