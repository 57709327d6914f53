#pragma once

#include "FileList.h"

#include <QObject>

// Finds a page's control by its object name; a missing control ends the test at once.
template <typename T> T* control(const QObject* parent, const char* name) {
    T* found = parent->findChild<T*>(QLatin1String(name));
    if (!found)
        qFatal("no control %s", name);
    return found;
}

template <typename T> T* control(const QObject& parent, const char* name) {
    return control<T>(&parent, name);
}

// The paths a file list holds, top to bottom.
inline QStringList listedPaths(const FileList& list) {
    QStringList paths;
    for (int i = 1; i <= list.Count(); ++i)
        paths << list.PathAt(i);
    return paths;
}
