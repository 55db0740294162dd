#include "Settings.h"

#include <QSettings>

namespace dorv {

namespace {
constexpr const char* Group = "Dorvana";

void readInt(QSettings& s, const char* name, int* target)
{
    if (!s.contains(QLatin1String(name)))
        return;
    bool ok = false;
    const int v = s.value(QLatin1String(name)).toInt(&ok);
    if (ok)
        *target = v;
}

void readBool(QSettings& s, const char* name, bool* target)
{
    int v = *target ? 1 : 0;
    readInt(s, name, &v);
    *target = v != 0;
}
} // namespace

Settings::Settings(const QString& iniPath)
    : m_store(iniPath.isEmpty() ? std::make_unique<QSettings>(QStringLiteral("Quilbex"), QStringLiteral("Dorvana"))
                                : std::make_unique<QSettings>(iniPath, QSettings::IniFormat))
{
}

Settings::~Settings() = default;

SettingsValues Settings::load()
{
    SettingsValues v;
    QSettings& s = *m_store;
    s.beginGroup(QLatin1String(Group));
    v.recentCatalog = s.value(QStringLiteral("Recent_Catalog")).toString();
    readInt(s, "Left", &v.left);
    readInt(s, "Top", &v.top);
    readInt(s, "Width", &v.width);
    readInt(s, "Height", &v.height);
    readInt(s, "Wdt_Itm", &v.wdtItm);
    readInt(s, "Sel_Per", &v.selPer);
    readBool(s, "Bak", &v.bak);
    readBool(s, "Versions", &v.versions);
    readBool(s, "Bar", &v.bar);
    v.cols = s.value(QStringLiteral("Cols")).toByteArray();
    s.endGroup();
    return v;
}

void Settings::save(const SettingsValues& v, bool writeRecent)
{
    QSettings& s = *m_store;
    s.beginGroup(QLatin1String(Group));
    if (writeRecent)
        s.setValue(QStringLiteral("Recent_Catalog"), v.recentCatalog);
    s.setValue(QStringLiteral("Left"), v.left);
    s.setValue(QStringLiteral("Top"), v.top);
    s.setValue(QStringLiteral("Width"), v.width);
    s.setValue(QStringLiteral("Height"), v.height);
    s.setValue(QStringLiteral("Wdt_Itm"), v.wdtItm);
    s.setValue(QStringLiteral("Sel_Per"), v.selPer);
    s.setValue(QStringLiteral("Bak"), v.bak ? 1 : 0);
    s.setValue(QStringLiteral("Versions"), v.versions ? 1 : 0);
    s.setValue(QStringLiteral("Bar"), v.bar ? 1 : 0);
    if (!v.cols.isEmpty())
        s.setValue(QStringLiteral("Cols"), v.cols);
    s.endGroup();
    s.sync();
}

void Settings::clear()
{
    m_store->remove(QLatin1String(Group));
    m_store->sync();
}

bool Settings::exists() const { return m_store->childGroups().contains(QLatin1String(Group)); }

} // namespace dorv
