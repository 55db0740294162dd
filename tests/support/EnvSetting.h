#pragma once
#include <QByteArray>
#include <QtGlobal>

// Sets an environment variable (or clears it, for a null value) until destroyed.
class EnvSetting {
public:
    EnvSetting(const char* name, const QByteArray& value) : m_name(name), m_had(qEnvironmentVariableIsSet(name))
    {
        m_old = qgetenv(name);
        if (value.isNull())
            qunsetenv(name);
        else
            qputenv(name, value);
    }
    ~EnvSetting()
    {
        if (m_had)
            qputenv(m_name, m_old);
        else
            qunsetenv(m_name);
    }
    EnvSetting(const EnvSetting&) = delete;
    EnvSetting& operator=(const EnvSetting&) = delete;

private:
    const char* m_name;
    bool m_had;
    QByteArray m_old;
};
