// The test's own print system (print-system.sh) as a child of a test: a CUPS
// scheduler on a port of its own with one IPP Everywhere printer,
// "tavlin-test", that keeps the documents it receives.
#pragma once

#include <QDir>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

class PrintSystem {
public:
    bool start() {
        if (!m_dir.isValid()) {
            return false;
        }
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(QStringLiteral(TAVLIN_SOURCE_DIR "/tests/e2e/print-system.sh"),
                        {m_dir.path()});
        QByteArray out;
        while (!out.contains('\n') && m_process.waitForReadyRead(60000)) {
            out += m_process.readAllStandardOutput();
        }
        if (!out.startsWith("READY ")) {
            return false;
        }
        m_server = QStringLiteral("127.0.0.1:%1").arg(out.mid(6).trimmed().toInt());
        return true;
    }
    ~PrintSystem() {
        m_process.terminate();
        if (!m_process.waitForFinished(10000)) {
            m_process.kill();
            m_process.waitForFinished();
        }
    }

    // The value of CUPS_SERVER that leads to it.
    QString server() const { return m_server; }
    // The documents the printer has received, oldest first.
    QStringList documents() const {
        QStringList paths;
        const QDir out(m_dir.filePath(QStringLiteral("out")));
        for (const QString& name : out.entryList(QDir::Files, QDir::Name)) {
            paths.append(out.filePath(name));
        }
        return paths;
    }
    // Takes the documents received so far away, so that a case counts its own.
    void clear() {
        for (const QString& path : documents()) {
            QFile::remove(path);
        }
    }

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    QString m_server;
};
