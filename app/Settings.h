#pragma once
#include <QByteArray>
#include <QString>

#include <memory>

class QSettings;

namespace dorv {

// The few choices that survive from one run to the next, under one key of the user's settings
// store: read once at start, written once at a confirmed exit (or the key removed instead).
struct SettingsValues {
    QString recentCatalog;
    int left = 20;
    int top = 1;
    int width = 767;
    int height = 564;
    int wdtItm = 175;
    int selPer = 0;
    bool bak = true;
    bool versions = true;
    bool bar = true;
    QByteArray cols;
};

class Settings final {
public:
    // An empty path means the program's own store, QSettings("Quilbex", "Dorvana"); a path gives an
    // INI file of its own (tests, a portable copy).
    explicit Settings(const QString& iniPath = QString());
    ~Settings();

    // Values that are missing keep their defaults; so does a value of the wrong type, which would
    // otherwise stop every start until someone edited the store by hand.
    SettingsValues load();
    void save(const SettingsValues& values, bool writeRecent);
    // Removes the key with every value; the organisation's key stays.
    void clear();
    bool exists() const;

private:
    std::unique_ptr<QSettings> m_store;
};

} // namespace dorv
