// The sample back end as a child process of an end-to-end test, and a program
// folder pointing at it.
#pragma once

#include "StrOper.h"

#include <QDir>
#include <QProcess>
#include <QStringList>
#include <QTest>

#include <fstream>
#include <string>

class SampleSite {
public:
    // Starts tavlin-sample-site on a free port with the given extra arguments.
    bool start(const QStringList& arguments = {}) {
        m_process.start(QStringLiteral(TAVLIN_BIN_DIR "/tavlin-sample-site"),
                        QStringList{QStringLiteral("--port"), QStringLiteral("0")} + arguments);
        if (!m_process.waitForStarted()) {
            return false;
        }
        QByteArray out;
        while (!out.contains("LISTENING") && m_process.waitForReadyRead(10000)) {
            out += m_process.readAllStandardOutput();
        }
        const QByteArray line = out.mid(out.indexOf("LISTENING"));
        m_port = line.mid(10, line.indexOf('\n') - 10).toInt();
        return m_port > 0;
    }
    ~SampleSite() {
        m_process.kill();
        m_process.waitForFinished();
    }

    int port() const { return m_port; }
    QString base() const { return QStringLiteral("http://127.0.0.1:%1").arg(m_port); }

    // The raw targets of the GET requests logged since the last call; a line
    // still being written stays for the next call.
    QStringList takeRequests() {
        m_output += m_process.readAllStandardOutput();
        QStringList targets;
        const qsizetype end = m_output.lastIndexOf('\n');
        for (const QByteArray& line : m_output.left(end + 1).split('\n')) {
            if (line.startsWith("REQUEST GET ")) {
                targets.append(QString::fromUtf8(line.mid(12)));
            }
        }
        m_output.remove(0, end + 1);
        return targets;
    }

private:
    QProcess m_process;
    QByteArray m_output;
    int m_port = 0;
};

// Writes Config.ini (the base URL, Base64 on one line, and the given INI lines
// of section Browser) and Identity.ini (the given INI lines of section
// Identity) into folder, which ends in '/'.
inline void WriteProgramFolder(const std::string& folder, const std::string& baseUrl,
                               const std::string& identityLines,
                               const std::string& browserLines = {}) {
    QDir().mkpath(QString::fromStdString(folder + "InspectConfig"));
    std::string base64 = TStrOper::EncodeBase64(baseUrl);
    std::erase(base64, '\r');
    std::erase(base64, '\n');
    std::ofstream(folder + "InspectConfig/Config.ini", std::ios::binary)
        << "[URL]\r\nURL=" << base64 << "\r\n"
        << (browserLines.empty() ? std::string() : "[Browser]\r\n" + browserLines);
    std::ofstream(folder + "InspectConfig/Identity.ini", std::ios::binary) << "[Identity]\n"
                                                                           << identityLines;
}
