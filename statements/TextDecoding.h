#pragma once
#include <QByteArray>
#include <QString>

namespace dorv {

// The text of a statement file. A byte-order mark wins; bytes that are valid UTF-8 and not plain ASCII
// are UTF-8 whatever the file declares, since banks declare one code page and write another; otherwise
// the declared code page ("Windows", "windows-1251", "1251", "DOS", "866", "1252", "ISO-8859-1",
// "latin1"); otherwise the one of Windows-1251, CP866 and Windows-1252 whose letters make words.
// *used (when given) gets the name the window shows: "UTF-8", "UTF-16", "Windows-1251", "CP866",
// "Windows-1252" or "ISO-8859-1".
QString decodeStatementText(const QByteArray& bytes, const QString& declared, QString* used);

} // namespace dorv
