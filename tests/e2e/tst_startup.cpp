// Tavlin's main window with the real embedded browser against the sample back
// end on 127.0.0.1: what reaches the server, and the page it shows.
#include "CodePage.h"
#include "Dialogs.h"
#include "Fakes.h"
#include "ImageButton.h"
#include "IniIdentitySource.h"
#include "Main.h"
#include "Named.h"
#include "SampleSite.h"
#include "ShellConfig.h"
#include "StrOper.h"
#include "WebEngineBrowser.h"

#include <QLabel>
#include <QProcess>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>

#include <fstream>

class tst_Startup : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void serverReceivesTheComposedStartUrl();
    void lineBreaksOfALongSerialAreDroppedOnTheWay();
    void deadBackEndShowsTheErrorTexts();

private:
    // A program folder with the base URL and the identity.
    std::string makeFolder(QTemporaryDir& dir, const std::string& baseUrl,
                           const std::string& serial);
    QStringList takeRequests() { return m_site.takeRequests(); }

    SampleSite m_site;
    int m_port = 0;
};

void tst_Startup::initTestCase() {
    QVERIFY(m_site.start());
    m_port = m_site.port();
}

std::string tst_Startup::makeFolder(QTemporaryDir& dir, const std::string& baseUrl,
                                    const std::string& serial) {
    const std::string folder = dir.path().toStdString() + "/";
    WriteProgramFolder(folder, baseUrl,
                       "TypeCode=R01\nEnterpriseNumber=4401+/?\nIdentitySerial=" + serial +
                           "\nEnterpriseName=平安 宾馆\nOtherInfo=a&b=c\nLongCode=\n");
    return folder;
}

void tst_Startup::serverReceivesTheComposedStartUrl() {
    QTemporaryDir dir;
    const std::string base = "http://127.0.0.1:" + std::to_string(m_port) + "/inspect";
    const std::string folder = makeFolder(dir, base, "SN-2026-0001");
    WebEngineBrowser browser;
    IniIdentitySource identity(folder);
    FakeDialogs dialogs;
    TFrm_Tavlin window(browser, identity, dialogs, folder);
    QVERIFY(!window.terminationRequested());
    takeRequests();
    window.show();

    const QString expected = QString::fromStdString(window.lastStartUrl().substr(base.size() - 8));
    QVERIFY(
        expected.startsWith(QStringLiteral("/inspect?id=NDQwMSsvPw==&name=%E5%B9%B3%E5%AE%89+")));
    QStringList seen;
    QTRY_VERIFY2_WITH_TIMEOUT((seen += takeRequests()).contains(expected),
                              qPrintable(seen.join(QLatin1Char('\n'))), 30000);
    QCOMPARE(seen.first(), expected); // exactly the composed bytes, nothing re-escaped

    // The entry page leads to the login page: the panel gives way to the page.
    QTRY_VERIFY_WITH_TIMEOUT(Named<QWidget>(window, "Pnl_Msg")->isHidden(), 30000);
    seen += takeRequests();
    QVERIFY(seen.contains(QStringLiteral("/login")));
    QVERIFY(Named<QLabel>(window, "Lb_Base")->isHidden());
    QCOMPARE(StatusPanel(window, 3)->text(), QStringLiteral("平安 宾馆"));
}

void tst_Startup::lineBreaksOfALongSerialAreDroppedOnTheWay() {
    // A serial of 60 bytes: its Base64 text holds CR LF after 76 characters. The
    // composed URL keeps them; the browser drops line breaks from a URL as every
    // browser does, so the server receives the Base64 text without them, which
    // decodes to the same serial.
    QTemporaryDir dir;
    const std::string base = "http://127.0.0.1:" + std::to_string(m_port) + "/inspect";
    const std::string serial(60, 'S');
    const std::string folder = makeFolder(dir, base, serial);
    WebEngineBrowser browser;
    IniIdentitySource identity(folder);
    FakeDialogs dialogs;
    TFrm_Tavlin window(browser, identity, dialogs, folder);
    takeRequests();
    window.show();

    const std::string composed = window.lastStartUrl();
    QVERIFY(composed.find("\r\n") != std::string::npos);
    std::string withoutBreaks = composed.substr(base.size() - 8);
    std::erase(withoutBreaks, '\r');
    std::erase(withoutBreaks, '\n');
    QStringList seen;
    QTRY_VERIFY2_WITH_TIMEOUT(
        (seen += takeRequests()).contains(QString::fromStdString(withoutBreaks)),
        qPrintable(seen.join(QLatin1Char('\n'))), 30000);
    const std::string dog = withoutBreaks.substr(withoutBreaks.find("&dog=") + 5, 80);
    QCOMPARE(TStrOper::DecodeBase64(dog.substr(0, dog.find('&'))), serial);
}

void tst_Startup::deadBackEndShowsTheErrorTexts() {
    QTemporaryDir dir;
    // A port nobody listens on: the load fails.
    const std::string folder = makeFolder(dir, "http://127.0.0.1:9/inspect", "SN");
    WebEngineBrowser browser;
    IniIdentitySource identity(folder);
    FakeDialogs dialogs;
    TFrm_Tavlin window(browser, identity, dialogs, folder);
    window.show();
    QTRY_VERIFY_WITH_TIMEOUT(!Named<ClickableLabel>(window, "Lb_Ref")->isHidden(), 30000);
    QVERIFY(!Named<QWidget>(window, "Pnl_Msg")->isHidden());
    QVERIFY(!Named<QLabel>(window, "Lb_Base")->isHidden());
    QVERIFY(Named<QLabel>(window, "Lb_Msg")->isHidden());
}

int main(int argc, char** argv) {
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    WebEngineBrowser::registerPhotoScheme();
    QApplication app(argc, argv);
    WebEngineBrowser::chooseComposition(); // as the program does
    tst_Startup test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_startup.moc"
