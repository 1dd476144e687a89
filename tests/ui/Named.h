// A window's component by its design name (its object name), as a test
// reaches what the officer sees without the window's own members.
#pragma once

#include <QObject>
#include <QString>

template <typename T> T* Named(const QObject& window, const char* name) {
    return window.findChild<T*>(QString::fromLatin1(name));
}

#include <QLabel>

// The main window's status bar panel i (0 to 3).
inline QLabel* StatusPanel(const QObject& window, int i) {
    return window.findChild<QLabel*>(QStringLiteral("StatusPanel%1").arg(i));
}
