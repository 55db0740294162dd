#include "app/VersionInfo.h"

#include <QCoreApplication>
#include <QFile>

#include <string_view>

#ifndef DORV_VERSION
#error "DORV_VERSION must be defined by the build"
#endif

namespace dorv {

namespace {

// The program's version as it lies in the executable, where GetFileVersion finds it again: Linux
// binaries have no version resource to put it in. "used" keeps it even though no code reads it.
// The text must stay in step with markerText() below.
[[gnu::used]] const char kStamp[] = "\x01"
                                    "DorvVersionInfo:" DORV_VERSION "\x01";

constexpr char kDelimiter = '\x01';

// The searched-for marker is put together at run time: were it another literal, the binary would
// carry it twice and the search could stop at this copy instead of the stamp.
QByteArray markerText()
{
    QByteArray marker(1, kDelimiter);
    marker += "Dorv";
    marker += "Version";
    marker += "Info:";
    return marker;
}

// Reads "a.b.c.d" followed by the closing delimiter; each part fits the 16 bits a file version
// gives it.
bool parseNumbers(std::string_view text, quint32 parts[4])
{
    std::size_t pos = 0;
    for (int i = 0; i < 4; ++i) {
        const std::size_t start = pos;
        quint32 value = 0;
        while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9' && pos - start < 5) {
            value = value * 10 + quint32(text[pos] - '0');
            ++pos;
        }
        if (pos == start || value > 0xFFFF)
            return false;
        parts[i] = value;
        const char expected = i < 3 ? '.' : kDelimiter;
        if (pos >= text.size() || text[pos] != expected)
            return false;
        ++pos;
    }
    return true;
}

} // namespace

QByteArray VersionStamp(const QString& version) { return markerText() + version.toLatin1() + kDelimiter; }

bool GetFileVersion(const QString& path, QString* versionText, quint32* versionNumber)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    // Program files run to tens of megabytes; mapping spares reading them whole.
    QByteArray contents;
    std::string_view data;
    if (const qint64 size = file.size(); size > 0) {
        if (const uchar* mapped = file.map(0, size))
            data = std::string_view(reinterpret_cast<const char*>(mapped), std::size_t(size));
    }
    if (data.empty()) {
        contents = file.readAll();
        data = std::string_view(contents.constData(), std::size_t(contents.size()));
    }

    const QByteArray markerBytes = markerText();
    const std::string_view marker(markerBytes.constData(), std::size_t(markerBytes.size()));
    // A stray copy of the marker elsewhere in the file must not hide the real stamp after it.
    for (std::size_t at = data.find(marker); at != std::string_view::npos; at = data.find(marker, at + 1)) {
        quint32 parts[4];
        if (!parseNumbers(data.substr(at + marker.size(), 32), parts))
            continue;
        if (versionText)
            *versionText = QStringLiteral("%1.%2").arg(parts[0]).arg(parts[1]);
        if (versionNumber)
            *versionNumber = (parts[0] << 16) | parts[1];
        return true;
    }
    return false;
}

QString ProgramFilePath() { return QCoreApplication::applicationFilePath(); }

} // namespace dorv
