// The start-up guards with real processes: a second start, a start after a
// crash, and the hotel-industry program found, ended or left alone.
#include "NamedProcess.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/types.h>

namespace {

const QString kProbe = QStringLiteral(TAVLIN_BIN_DIR "/tavlin-guard-probe");

} // namespace

class tst_Guards : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void secondStartShowsTheFirstAndEnds();
    void copyStartedWhileTheFirstStillStartsIsAnswered();
    void secondStartHandsOnItsLaunchToken_data();
    void secondStartHandsOnItsLaunchToken();
    void commandLineOfTheProgram();
    void startAfterACrashRunsNormally();
    void hotelProgramNames_data();
    void hotelProgramNames();
    void yesEndsTheHotelProgramAndStarts();
    void noEndsTheStartAndNothingElse();

private:
    QProcess* startProbe(const QString& answer, const QProcessEnvironment& extra = {});
    QString waitForLine(QProcess* probe, const QString& prefix, int timeoutMs = 10000);

    // The environment of a started program: a runtime folder of this test's own.
    QProcessEnvironment probeEnvironment() const;
    std::unique_ptr<QTemporaryDir> m_runtime;
    QList<QProcess*> m_probes;
    QList<qint64> m_named;
};

void tst_Guards::init() {
    m_runtime = std::make_unique<QTemporaryDir>();
    QFile::setPermissions(m_runtime->path(),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

void tst_Guards::cleanup() {
    for (QProcess* probe : m_probes) {
        probe->kill();
        probe->waitForFinished();
        delete probe;
    }
    m_probes.clear();
    for (const qint64 pid : m_named) {
        ::kill(static_cast<pid_t>(pid), SIGKILL);
    }
    m_named.clear();
    m_runtime.reset();
}

QProcessEnvironment tst_Guards::probeEnvironment() const {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_runtime->path());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.remove(QStringLiteral("XDG_ACTIVATION_TOKEN"));
    env.remove(QStringLiteral("DESKTOP_STARTUP_ID"));
    return env;
}

QProcess* tst_Guards::startProbe(const QString& answer, const QProcessEnvironment& extra) {
    auto* probe = new QProcess;
    QProcessEnvironment env = probeEnvironment();
    env.insert(extra);
    probe->setProcessEnvironment(env);
    probe->start(kProbe, {answer});
    m_probes.append(probe);
    return probe;
}

QString tst_Guards::waitForLine(QProcess* probe, const QString& prefix, int timeoutMs) {
    // Lines read but not yet asked for stay for the next call.
    QByteArray seen = probe->property("unread").toByteArray();
    QElapsedTimer timer;
    timer.start();
    for (;;) {
        seen += probe->readAllStandardOutput();
        qsizetype start = 0;
        for (qsizetype end = seen.indexOf('\n'); end >= 0; end = seen.indexOf('\n', start)) {
            const QString text = QString::fromUtf8(seen.mid(start, end - start));
            start = end + 1;
            if (text.startsWith(prefix)) {
                probe->setProperty("seen", probe->property("seen").toString() +
                                               QString::fromUtf8(seen.left(start)));
                probe->setProperty("unread", seen.mid(start));
                return text;
            }
        }
        if (timer.elapsed() > timeoutMs ||
            (probe->state() == QProcess::NotRunning && probe->bytesAvailable() == 0)) {
            break;
        }
        probe->waitForReadyRead(100);
    }
    probe->setProperty("seen", probe->property("seen").toString() + QString::fromUtf8(seen));
    probe->setProperty("unread", QByteArray());
    return {};
}

void tst_Guards::secondStartShowsTheFirstAndEnds() {
    QProcess* first = startProbe(QStringLiteral("no"));
    QCOMPARE(waitForLine(first, QStringLiteral("READY")), QStringLiteral("READY listening"));

    QProcess* second = startProbe(QStringLiteral("yes"));
    QVERIFY(second->waitForFinished(10000));
    const QString out = QString::fromUtf8(second->readAllStandardOutput());
    QCOMPARE(out, QStringLiteral("WARNING 企业监督检查系统已经运行...\nALREADY\n"));
    QCOMPARE(second->exitStatus(), QProcess::NormalExit);
    QCOMPARE(second->exitCode(), 0);
    QCOMPARE(waitForLine(first, QStringLiteral("RAISED")), QStringLiteral("RAISED"));
}

void tst_Guards::secondStartHandsOnItsLaunchToken_data() {
    QTest::addColumn<QString>("variable");
    QTest::addColumn<QString>("token");
    QTest::addColumn<QString>("raised");
    const QString wayland = QStringLiteral("XDG_ACTIVATION_TOKEN");
    const QString x11 = QStringLiteral("DESKTOP_STARTUP_ID");
    const QString token = QStringLiteral("2c9e7c1a-8f4d-4b6e-a0d2-5f1e3b7c9d10_TIME81234");
    QTest::newRow("Wayland") << wayland << token << QStringLiteral("RAISED ") + token;
    QTest::newRow("X11") << x11 << QStringLiteral("openbox/tavlin/42-0-pc_TIME99")
                         << QStringLiteral("RAISED openbox/tavlin/42-0-pc_TIME99");
    // What no desktop gives goes without a token; the request still raises.
    QTest::newRow("spaces") << wayland << QStringLiteral("a b") << QStringLiteral("RAISED");
    QTest::newRow("too long") << wayland << QString(256, QLatin1Char('x'))
                              << QStringLiteral("RAISED");
    QTest::newRow("a second line")
        << wayland << QStringLiteral("ok\nraise evil") << QStringLiteral("RAISED");
}

void tst_Guards::secondStartHandsOnItsLaunchToken() {
    QFETCH(QString, variable);
    QFETCH(QString, token);
    QFETCH(QString, raised);
    QProcess* first = startProbe(QStringLiteral("no"));
    QCOMPARE(waitForLine(first, QStringLiteral("READY")), QStringLiteral("READY listening"));
    QProcessEnvironment launched;
    launched.insert(variable, token);
    QProcess* second = startProbe(QStringLiteral("yes"), launched);
    QVERIFY(second->waitForFinished(10000));
    QCOMPARE(second->exitCode(), 0);
    QCOMPARE(waitForLine(first, QStringLiteral("RAISED")), raised);
    // One request, one raise.
    QCOMPARE(waitForLine(first, QStringLiteral("RAISED"), 500), QString());
}

void tst_Guards::copyStartedWhileTheFirstStillStartsIsAnswered() {
    // The first copy's hotel question is open for a while.
    const qint64 pid = StartNamed(QStringLiteral("QORM_Hotel_Main.exe"));
    m_named.append(pid);
    QProcess* first = startProbe(QStringLiteral("slow-yes"));
    QVERIFY(!waitForLine(first, QStringLiteral("QUESTION")).isEmpty());
    QProcess* second = startProbe(QStringLiteral("yes"));
    QVERIFY(second->waitForFinished(10000));
    QCOMPARE(QString::fromUtf8(second->readAllStandardOutput()),
             QStringLiteral("WARNING 企业监督检查系统已经运行...\nALREADY\n"));
    // The request waits for the window, and is then carried out.
    QCOMPARE(waitForLine(first, QStringLiteral("READY")), QStringLiteral("READY listening"));
    QCOMPARE(waitForLine(first, QStringLiteral("RAISED")), QStringLiteral("RAISED"));
}

void tst_Guards::commandLineOfTheProgram() {
    // --help and --version print and end at once, before any guard or window.
    const QString tavlin = QStringLiteral(TAVLIN_BIN_DIR "/tavlin");
    QProcess help;
    help.setProcessEnvironment(probeEnvironment());
    help.start(tavlin, {QStringLiteral("--help")});
    QVERIFY(help.waitForFinished(10000));
    QCOMPARE(help.exitCode(), 0);
    QVERIFY(help.readAllStandardOutput().startsWith("Usage: tavlin [--help | --version]"));
    QProcess version;
    version.setProcessEnvironment(probeEnvironment());
    version.start(tavlin, {QStringLiteral("--version")});
    QVERIFY(version.waitForFinished(10000));
    QCOMPARE(version.exitCode(), 0);
    QVERIFY(QRegularExpression(QStringLiteral("^\\d+\\.\\d+\\.\\d+\\.\\d+\\n$"))
                .match(QString::fromLatin1(version.readAllStandardOutput()))
                .hasMatch());
    // An unknown option is named, status 2, and nothing starts.
    QProcess unknown;
    unknown.setProcessEnvironment(probeEnvironment());
    unknown.start(tavlin, {QStringLiteral("--kiosk")});
    QVERIFY(unknown.waitForFinished(10000));
    QCOMPARE(unknown.exitCode(), 2);
    QVERIFY(unknown.readAllStandardError().contains("unknown option '--kiosk'"));
    QVERIFY(!QFile::exists(m_runtime->filePath(QStringLiteral("Tavlin"))));
}

void tst_Guards::startAfterACrashRunsNormally() {
    QProcess* first = startProbe(QStringLiteral("no"));
    QCOMPARE(waitForLine(first, QStringLiteral("READY")), QStringLiteral("READY listening"));
    first->kill(); // SIGKILL: no clean-up of any kind
    QVERIFY(first->waitForFinished());

    QProcess* next = startProbe(QStringLiteral("no"));
    QCOMPARE(waitForLine(next, QStringLiteral("READY")), QStringLiteral("READY listening"));
    // And it is the running copy now.
    QProcess* another = startProbe(QStringLiteral("no"));
    QCOMPARE(waitForLine(another, QStringLiteral("ALREADY")), QStringLiteral("ALREADY"));
}

void tst_Guards::hotelProgramNames_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("found");
    QTest::newRow("mixed case .exe") << QStringLiteral("QORM_Hotel_Main.exe") << true;
    QTest::newRow("lower case with more") << QStringLiteral("qorm_hotel_main2") << true;
    QTest::newRow("Wine path") << QStringLiteral("C:\\Hotel\\QORM_HOTEL_MAIN_X.EXE") << true;
    QTest::newRow("one letter short") << QStringLiteral("QORM_Hotel_Mai.exe") << false;
}

void tst_Guards::hotelProgramNames() {
    QFETCH(QString, name);
    QFETCH(bool, found);
    const qint64 pid = StartNamed(name);
    m_named.append(pid);
    QVERIFY(Running(pid));
    QProcess* probe = startProbe(QStringLiteral("yes"));
    QVERIFY(!waitForLine(probe, QStringLiteral("READY")).isEmpty());
    const bool asked = probe->property("seen").toString().contains(QStringLiteral("QUESTION"));
    QCOMPARE(asked, found);
    QTRY_COMPARE_WITH_TIMEOUT(Running(pid), !found, 5000);
}

void tst_Guards::yesEndsTheHotelProgramAndStarts() {
    const qint64 pid = StartNamed(QStringLiteral("QORM_Hotel_Main.exe"));
    m_named.append(pid);
    QProcess* probe = startProbe(QStringLiteral("yes"));
    QCOMPARE(waitForLine(probe, QStringLiteral("QUESTION")),
             QStringLiteral("QUESTION 本软件和【旅馆业软件】不能同时运行,是否继续运行?"
                            "继续将关闭【旅馆业软件】"));
    QCOMPARE(waitForLine(probe, QStringLiteral("READY")), QStringLiteral("READY listening"));
    QVERIFY(!Running(pid));
}

void tst_Guards::noEndsTheStartAndNothingElse() {
    const qint64 pid = StartNamed(QStringLiteral("QORM_Hotel_Main.exe"));
    m_named.append(pid);
    QProcess* probe = startProbe(QStringLiteral("no"));
    QVERIFY(probe->waitForFinished(10000));
    const QString out = QString::fromUtf8(probe->readAllStandardOutput());
    QVERIFY2(out.endsWith(QStringLiteral("STOPPED\n")), qPrintable(out));
    QCOMPARE(probe->exitCode(), 0);
    QVERIFY(Running(pid));
}

QTEST_GUILESS_MAIN(tst_Guards)
#include "tst_guards.moc"
