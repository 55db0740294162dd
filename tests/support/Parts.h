#pragma once
#include <QObject>
#include <QString>
#include <QtGlobal>

// A named component of a window; a missing one ends the test at once with its name.
template <class T>
T* namedPart(const QObject* window, const QString& name)
{
    T* found = window->findChild<T*>(name);
    if (!found)
        qFatal("no %s in %s", qPrintable(name), qPrintable(window->objectName()));
    return found;
}
