// Processes of the guard tests: one running under a chosen name (as the
// hotel-industry program would), and whether a process still runs.
#pragma once

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTest>

// Whether the process runs; an ended one not yet reaped (a zombie) does not.
inline bool Running(qint64 pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly)) {
        return false;
    }
    const QByteArray line = stat.readAll();
    const qsizetype close = line.lastIndexOf(')');
    return close > 0 && close + 2 < line.size() && line.at(close + 2) != 'Z';
}

// A process that runs `seconds` under the given start name, not a child of
// ours; its id, once its name is in place.
inline qint64 StartNamed(const QString& name, int seconds = 30) {
    QProcess shell;
    shell.start(QStringLiteral("bash"),
                {QStringLiteral("-c"),
                 QStringLiteral("(exec -a \"$0\" sleep %1) >/dev/null 2>&1 & echo $!").arg(seconds),
                 name});
    shell.waitForFinished();
    const qint64 pid = shell.readAllStandardOutput().trimmed().toLongLong();
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 10000) {
        QFile cmdline(QStringLiteral("/proc/%1/cmdline").arg(pid));
        if (cmdline.open(QIODevice::ReadOnly) && cmdline.readAll().startsWith(name.toLocal8Bit())) {
            break;
        }
        QTest::qWait(10);
    }
    return pid;
}
