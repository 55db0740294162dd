#pragma once
#include <QObject>
#include <QString>
#include <QtTest>

#include <stdexcept>

// A component of a window found by its name, as the acceptance tests reach it. A missing one fails
// the test with its name and ends the test function there.
template <class T>
T* child(const QObject* root, const QString& name)
{
    T* found = root->findChild<T*>(name);
    if (!found) {
        const QString message =
            QStringLiteral("no %1 named %2 in %3")
                .arg(QString::fromLatin1(T::staticMetaObject.className()), name, root->objectName());
        QTest::qFail(qPrintable(message), __FILE__, __LINE__);
        throw std::runtime_error(message.toStdString());
    }
    return found;
}
