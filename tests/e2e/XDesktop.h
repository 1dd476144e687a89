// The real program's windows on the test's X display, seen and used as an
// officer would: through the window manager, xdotool and the screen.
#pragma once

#include <QElapsedTimer>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTest>

// Runs xdotool; its standard output, or an empty text when it failed.
inline QString XDoTool(const QStringList& arguments) {
    QProcess tool;
    tool.start(QStringLiteral("xdotool"), arguments);
    if (!tool.waitForFinished(10000) || tool.exitStatus() != QProcess::NormalExit ||
        tool.exitCode() != 0) {
        return {};
    }
    return QString::fromUtf8(tool.readAllStandardOutput()).trimmed();
}

// The titles of the process's windows that are shown now.
inline QStringList ShownWindowTitles(qint64 pid) {
    QStringList titles;
    const QString ids = XDoTool({QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                 QStringLiteral("--pid"), QString::number(pid)});
    for (const QString& id : ids.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        titles.append(XDoTool({QStringLiteral("getwindowname"), id}));
    }
    return titles;
}

inline QString ShownWindowId(qint64 pid, const QString& title) {
    const QString ids = XDoTool({QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                 QStringLiteral("--pid"), QString::number(pid)});
    for (const QString& id : ids.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        if (XDoTool({QStringLiteral("getwindowname"), id}) == title) {
            return id;
        }
    }
    return {};
}

// Waits until the process shows a window with this title; its id, or empty.
inline QString WaitForWindow(qint64 pid, const QString& title, int timeoutMs = 60000) {
    // Asked every 100 ms: each asking starts xdotool.
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < timeoutMs) {
        if (const QString id = ShownWindowId(pid, title); !id.isEmpty()) {
            return id;
        }
        QTest::qWait(100);
    }
    return {};
}

// With TAVLIN_SCREENSHOTS set (make demo saves them), keeps a picture of the
// whole display as it is once the page had time to paint.
inline void Screenshot(const QString& name) {
    const QString folder = qEnvironmentVariable("TAVLIN_SCREENSHOTS");
    if (folder.isEmpty()) {
        return;
    }
    QTest::qWait(1500);
    QProcess::execute(QStringLiteral("import"),
                      {QStringLiteral("-window"), QStringLiteral("root"),
                       folder + QLatin1Char('/') + name + QStringLiteral(".png")});
}
