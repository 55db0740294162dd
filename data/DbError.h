#pragma once
#include <QByteArray>
#include <QString>

#include <exception>

namespace dorv {

// The one error the program raises for a refused operation; its message is shown to the user as
// it stands.
class DbError : public std::exception {
public:
    explicit DbError(QString message) : m_message(std::move(message)), m_utf8(m_message.toUtf8()) {}
    const QString& message() const { return m_message; }
    const char* what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_message;
    QByteArray m_utf8;
};

// Raised by a before-event to cancel an operation without a message; whoever catches errors at the
// top of an event swallows it.
class DbAbort : public std::exception {
public:
    const char* what() const noexcept override { return "operation cancelled"; }
};

} // namespace dorv
