// The real tavlin printing on an X display with a window manager, to a print
// system of the test's own: the officer answers the print dialog with the
// keyboard and the title buttons with the mouse, as at the enterprise, and
// what reaches the printer is read back as text.
#include "PrintSystem.h"
#include "SampleSite.h"
#include "XDesktop.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

const QString kPrintDialog = QStringLiteral("打印");

// A document's text as pdftotext reads it.
QString PdfText(const QString& path) {
    QProcess reader;
    reader.start(QStringLiteral("pdftotext"),
                 {QStringLiteral("-enc"), QStringLiteral("UTF-8"), path, QStringLiteral("-")});
    reader.waitForFinished(30000);
    return QString::fromUtf8(reader.readAllStandardOutput());
}

} // namespace

class tst_Print : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void aPrintReachesThePrinterOncePerPressAndCancelPrintsNothing();
    void aPrintLoopLeavesLoginAndCloseToTheOfficer();
    void aFrameOfAnotherOriginCannotPrint();
    void printingOffRefusesWithOneLogLine();

private:
    // Starts Tavlin in a program folder of its own whose start page is path,
    // with the options given to tavlin-config write.
    QProcess* startTavlin(const QString& path, const QStringList& options = {});
    // The log of the running case's program folder, in UTF-8.
    QString log();
    bool sawBeacon(const QString& what);
    // Clicks the main window at the place of a title button (x of its centre).
    void clickTitleButton(int x);

    PrintSystem m_print;
    SampleSite m_site;
    std::unique_ptr<QTemporaryDir> m_work;
    QString m_folder;
    QProcess* m_tavlin = nullptr;
    QString m_window;
    QStringList m_requests;
};

void tst_Print::initTestCase() {
    QVERIFY2(m_print.start(), "the test's print system did not start");
    QVERIFY(m_site.start({QStringLiteral("--hostile")}));
}

void tst_Print::init() {
    m_work = std::make_unique<QTemporaryDir>();
    QVERIFY(m_work->isValid());
    m_print.clear();
    m_site.takeRequests();
    m_requests.clear();
}

void tst_Print::cleanup() {
    if (m_tavlin != nullptr) {
        m_tavlin->kill();
        m_tavlin->waitForFinished();
        delete m_tavlin;
        m_tavlin = nullptr;
    }
    m_work.reset();
}

QProcess* tst_Print::startTavlin(const QString& path, const QStringList& options) {
    m_folder = m_work->filePath(QStringLiteral("tavlin"));
    QDir().mkpath(m_folder);
    QDir().mkpath(m_work->filePath(QStringLiteral("home")));
    QDir().mkpath(m_work->filePath(QStringLiteral("runtime")));
    QFile::setPermissions(m_work->filePath(QStringLiteral("runtime")),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QFile::copy(QStringLiteral(TAVLIN_BIN_DIR "/tavlin"), m_folder + QStringLiteral("/tavlin"));
    QProcess config;
    config.start(QStringLiteral(TAVLIN_BIN_DIR "/tavlin-config"),
                 QStringList{QStringLiteral("write"), m_folder, QStringLiteral("--url"),
                             m_site.base() + path, QStringLiteral("--number"),
                             QStringLiteral("4401000001")} +
                     options);
    config.waitForFinished();
    m_tavlin = new QProcess;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("CUPS_SERVER"), m_print.server());
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_work->filePath(QStringLiteral("runtime")));
    env.insert(QStringLiteral("HOME"), m_work->filePath(QStringLiteral("home")));
    m_tavlin->setProcessEnvironment(env);
    m_tavlin->setWorkingDirectory(m_folder);
    m_tavlin->start(m_folder + QStringLiteral("/tavlin"));
    m_window = WaitForWindow(m_tavlin->processId(), QStringLiteral("Tavlin"));
    return m_tavlin;
}

QString tst_Print::log() {
    QProcess view;
    view.start(QStringLiteral(TAVLIN_BIN_DIR "/tavlin-logview"),
               {QStringLiteral("--utf8"), QStringLiteral("--folder"), m_folder});
    view.waitForFinished(10000);
    return QString::fromUtf8(view.readAllStandardOutput());
}

bool tst_Print::sawBeacon(const QString& what) {
    m_requests += m_site.takeRequests();
    return !m_requests.filter(QStringLiteral("/beacon?") + what + QLatin1Char('&')).isEmpty();
}

void tst_Print::clickTitleButton(int x) {
    XDoTool({QStringLiteral("mousemove"), QStringLiteral("--window"), m_window, QString::number(x),
             QStringLiteral("33")});
    XDoTool({QStringLiteral("click"), QStringLiteral("1")});
}

void tst_Print::aPrintReachesThePrinterOncePerPressAndCancelPrintsNothing() {
    // The record prints itself twice: the officer cancels the first dialog
    // and prints from the second.
    startTavlin(QStringLiteral("/print/record/2"));
    QVERIFY(!m_window.isEmpty());
    QString dialog = WaitForWindow(m_tavlin->processId(), kPrintDialog);
    QVERIFY2(!dialog.isEmpty(), "no print dialog");
    Screenshot(QStringLiteral("print-dialog"));
    XDoTool({QStringLiteral("windowactivate"), QStringLiteral("--sync"), dialog});
    XDoTool({QStringLiteral("key"), QStringLiteral("Escape")});
    QTRY_VERIFY_WITH_TIMEOUT(sawBeacon(QStringLiteral("print-returned-1")), 30000);
    dialog = WaitForWindow(m_tavlin->processId(), kPrintDialog);
    QVERIFY2(!dialog.isEmpty(), "no second print dialog");
    XDoTool({QStringLiteral("windowactivate"), QStringLiteral("--sync"), dialog});
    XDoTool({QStringLiteral("key"), QStringLiteral("Return")});
    QTRY_VERIFY_WITH_TIMEOUT(sawBeacon(QStringLiteral("print-returned-2")), 30000);
    QTRY_VERIFY_WITH_TIMEOUT(log().contains(QStringLiteral("打印网页:")), 60000);
    QTRY_COMPARE_WITH_TIMEOUT(m_print.documents().size(), 1, 60000);

    // The page as laid out for print: its text as text, its print styles.
    const QString text = PdfText(m_print.documents().constFirst());
    QVERIFY2(text.contains(QStringLiteral("治安检查记录")) &&
                 text.contains(QStringLiteral("被检查单位：平安旅馆")),
             qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("民警签字")), qPrintable(text));
    QVERIFY2(!text.contains(QStringLiteral("屏幕上的按钮区")), qPrintable(text));

    // One line for the one page printed: the printer and the count, nothing
    // of the page or its address.
    const QString written = log();
    QCOMPARE(written.count(QStringLiteral("打印网页:")), 1);
    QVERIFY2(written.contains(QStringLiteral("打印网页:打印机 tavlin-test，1 页，1 份")),
             qPrintable(written));
    QVERIFY(!written.contains(QStringLiteral("平安旅馆")));
    QVERIFY(!written.contains(QStringLiteral("print/record")));
    // The cancelled dialog sent nothing: the one job is the only one.
    QCOMPARE(m_print.documents().size(), 1);
}

void tst_Print::aPrintLoopLeavesLoginAndCloseToTheOfficer() {
    // The start page prints for ever, and again at every load.
    startTavlin(QStringLiteral("/print/loop"));
    QVERIFY(!m_window.isEmpty());
    QVERIFY2(!WaitForWindow(m_tavlin->processId(), kPrintDialog).isEmpty(), "no print dialog");
    QTRY_VERIFY2_WITH_TIMEOUT(sawBeacon(QStringLiteral("loop-ready")),
                              qPrintable(m_requests.join(u' ')), 30000);
    // 登录 asks for the start again, over the open dialog, which goes.
    m_requests.clear();
    clickTitleButton(874);
    QTRY_VERIFY_WITH_TIMEOUT(sawBeacon(QStringLiteral("loop-ready")), 30000);
    QVERIFY2(!WaitForWindow(m_tavlin->processId(), kPrintDialog).isEmpty(),
             "the start again did not print");
    // 关闭 ends Tavlin while the page's dialog is open.
    clickTitleButton(960);
    QVERIFY2(m_tavlin->waitForFinished(30000), "关闭 did not end Tavlin");
    QCOMPARE(m_tavlin->exitCode(), 0);
    QVERIFY(m_print.documents().isEmpty());
}

void tst_Print::aFrameOfAnotherOriginCannotPrint() {
    // The frame (localhost, where the page is 127.0.0.1) prints at its load;
    // then the page prints itself, which the officer cancels.
    startTavlin(QStringLiteral("/print/framed/%1").arg(m_site.port()));
    QVERIFY(!m_window.isEmpty());
    QTRY_VERIFY_WITH_TIMEOUT(sawBeacon(QStringLiteral("frame-returned")), 60000);
    QVERIFY2(!ShownWindowTitles(m_tavlin->processId()).contains(kPrintDialog),
             "a print dialog opened for the frame");
    QTRY_VERIFY_WITH_TIMEOUT(log().contains(QStringLiteral("may not print the page")), 10000);
    QVERIFY2(log().contains(QStringLiteral("a frame of http://localhost:")), qPrintable(log()));
    // The page's own print still asks the officer.
    QTRY_VERIFY_WITH_TIMEOUT(sawBeacon(QStringLiteral("top-prints")), 30000);
    const QString dialog = WaitForWindow(m_tavlin->processId(), kPrintDialog);
    QVERIFY2(!dialog.isEmpty(), "the page's own print asked nothing");
    XDoTool({QStringLiteral("windowactivate"), QStringLiteral("--sync"), dialog});
    XDoTool({QStringLiteral("key"), QStringLiteral("Escape")});
    QTRY_VERIFY_WITH_TIMEOUT(sawBeacon(QStringLiteral("top-returned")), 30000);
    QVERIFY(m_print.documents().isEmpty());
}

void tst_Print::printingOffRefusesWithOneLogLine() {
    startTavlin(QStringLiteral("/print/record/3"),
                {QStringLiteral("--printing"), QStringLiteral("off")});
    QVERIFY(!m_window.isEmpty());
    QTRY_VERIFY_WITH_TIMEOUT(sawBeacon(QStringLiteral("print-returned-3")), 60000);
    QVERIFY(!ShownWindowTitles(m_tavlin->processId()).contains(kPrintDialog));
    // Three refusals of one kind in one document: one line.
    QTRY_VERIFY_WITH_TIMEOUT(log().contains(QStringLiteral("the page may not print")), 10000);
    QCOMPARE(log().count(QStringLiteral("may not print")), 1);
    QVERIFY(m_print.documents().isEmpty());

    QProcess check;
    check.start(QStringLiteral(TAVLIN_BIN_DIR "/tavlin-config"),
                {QStringLiteral("check"), m_folder});
    check.waitForFinished();
    QVERIFY(check.readAllStandardOutput().contains("printing:   off"));
}

QTEST_GUILESS_MAIN(tst_Print)
#include "tst_print.moc"
