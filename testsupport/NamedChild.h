#pragma once

#include <QLatin1String>
#include <QObject>
#include <QtGlobal>

// The child of `parent` with the object name `name`. A missing one means the fixture no longer
// matches the window, so the test stops there, naming it, instead of failing later on a null
// pointer.
template <typename T> T *namedChild(const QObject *parent, const char *name)
{
    T *child = parent->findChild<T *>(QLatin1String(name));
    if (!child)
        qFatal("no child %s", name);
    return child;
}
