// Hostile and broken pages against the real browser: what an attacker's page
// would observe (a beacon that must not arrive, a window that must close, a
// panel that must show). Each negative check first waits for a beacon the
// page sends after its attempt.
#include "Fakes.h"
#include "ImageButton.h"
#include "LiveShell.h"
#include "Main.h"
#include "SampleSite.h"
#include "WebEngineBrowser.h"

#include <QAbstractButton>
#include <QApplication>
#include <QImage>
#include <QMessageBox>
#include <QMimeData>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineScript>
#include <QWheelEvent>

class tst_Hostile : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void photoIsServedOnlyToItsDocument();
    void dialogLoopNeverLocksTheOfficerOut();
    void closeEndsTavlinWhileAPageDialogIsOpen();
    void mainFrameGoesToHttpOnly_data();
    void mainFrameGoesToHttpOnly();
    void mainFrameStaysWithinTheAllowedOrigins();
    void programResourcesAreOutOfReach();
    void loadThatNeverEndsShowsTheErrorPanel();
    void pageThatNeverYieldsIsEnded();
    void indexFunctionThatNeverReturnsIsEnded();
    void noZoomNoKeyboardMenuNoDrops();
    void certificateErrorIsLoggedWithItsReason();

private:
    void startShell(const std::string& browserSettings = {});
    // Waits until the site has logged a beacon containing what; every beacon
    // seen meanwhile is kept in m_beacons.
    bool waitForBeacon(const QString& what, int timeoutMs = 30000);
    bool sawBeacon(const QString& prefix) const;
    QWidget* pageInput() const;
    // The open page dialog, if any.
    static QMessageBox* pageDialog();

    SampleSite m_site;
    QString m_base;
    QString m_otherOrigin; // the same server under another origin
    FakeDialogs m_dialogs;
    std::unique_ptr<LiveShell> m_shell;
    QStringList m_beacons;
};

void tst_Hostile::initTestCase() {
    QVERIFY(m_site.start({QStringLiteral("--hostile")}));
    m_base = m_site.base();
    m_otherOrigin = QStringLiteral("http://localhost:%1").arg(m_site.port());
}

void tst_Hostile::init() {
    ClearLog();
    m_beacons.clear();
}

void tst_Hostile::cleanup() {
    m_shell.reset();
    m_site.takeRequests();
}

void tst_Hostile::startShell(const std::string& browserSettings) {
    m_shell = std::make_unique<LiveShell>(m_base, m_dialogs, browserSettings);
    QVERIFY(m_shell->started);
    m_shell->browser->setHangTimeout(5000);
    m_site.takeRequests();
}

bool tst_Hostile::waitForBeacon(const QString& what, int timeoutMs) {
    return LiveShell::WaitFor(
        [&] {
            for (const QString& target : m_site.takeRequests()) {
                if (target.startsWith(QStringLiteral("/beacon?"))) {
                    m_beacons.append(QUrl::fromPercentEncoding(target.mid(8).toUtf8()));
                }
            }
            return sawBeacon(what);
        },
        timeoutMs);
}

bool tst_Hostile::sawBeacon(const QString& prefix) const {
    for (const QString& beacon : m_beacons) {
        if (beacon.startsWith(prefix)) {
            return true;
        }
    }
    return false;
}

QWidget* tst_Hostile::pageInput() const {
    QWidget* view = m_shell->browser->view();
    return view->focusProxy() != nullptr ? view->focusProxy() : view;
}

QMessageBox* tst_Hostile::pageDialog() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        auto* box = qobject_cast<QMessageBox*>(widget);
        if (box != nullptr && box->isVisible()) {
            return box;
        }
    }
    return nullptr;
}

void tst_Hostile::photoIsServedOnlyToItsDocument() {
    startShell();
    QVERIFY(m_shell->open(QStringLiteral("/photo")));
    QImage picture(64, 48, QImage::Format_RGB32);
    picture.fill(Qt::darkCyan);
    const QString photo = m_shell->dir.filePath(QStringLiteral("USB_Temp.jpg"));
    QVERIFY(picture.save(photo, "JPEG", 90));
    m_shell->window->ImportPhoto(photo);
    // The page it was given to shows it.
    QTRY_COMPARE_WITH_TIMEOUT(m_shell->browser->page()->url().path(), QStringLiteral("/photo"),
                              10000);
    bool shown = false;
    QVERIFY(LiveShell::WaitFor([&] {
        m_shell->browser->page()->runJavaScript(
            QStringLiteral("document.getElementById('Img_InspectPhoto').naturalWidth"),
            QWebEngineScript::ApplicationWorld,
            [&shown](const QVariant& width) { shown = width.toInt() == 64; });
        QTest::qWait(50);
        return shown;
    }));

    // A page of another site, then a later page of the same site, in the same
    // window: neither gets the photo by any address.
    for (const QString& site : {m_otherOrigin, m_base}) {
        m_beacons.clear();
        QVERIFY(m_shell->openUrl(QUrl(site + QStringLiteral("/hostile/steal-photo"))));
        QVERIFY2(waitForBeacon(QStringLiteral("steal-done")), qPrintable(site));
        QVERIFY2(!sawBeacon(QStringLiteral("stolen")), qPrintable(m_beacons.join(u' ')));
    }
}

void tst_Hostile::dialogLoopNeverLocksTheOfficerOut() {
    startShell();
    // The officer answers every dialog that comes, and reads its caption.
    int answered = 0;
    QStringList captions;
    QTimer officer;
    connect(&officer, &QTimer::timeout, this, [&] {
        if (QMessageBox* box = pageDialog()) {
            captions.append(box->windowTitle() + box->text());
            ++answered;
            box->button(QMessageBox::Ok)->click();
        }
    });
    officer.start(50);
    m_shell->browser->navigate(QUrl(m_base + QStringLiteral("/hostile/alert-loop")));
    QVERIFY(waitForBeacon(QStringLiteral("alerts-start")));
    QTRY_VERIFY_WITH_TIMEOUT(
        LogText().contains(
            QStringLiteral("-----MAIN: 拒绝页面请求,原因:the page opened more than 3 dialogs")),
        20000);
    // The loop now spins without dialogs; the page is ended as one that never
    // yields, and the retry link is offered.
    QTRY_VERIFY_WITH_TIMEOUT(!m_shell->window->Lb_Ref->isHidden(), 30000);
    officer.stop();
    QCOMPARE(answered, 3);
    for (const QString& caption : captions) {
        QVERIFY2(!caption.contains(QStringLiteral("inspect")) &&
                     !caption.contains(QStringLiteral("http")),
                 qPrintable(caption));
        QVERIFY(caption.startsWith(QStringLiteral("网页消息")));
    }
}

void tst_Hostile::closeEndsTavlinWhileAPageDialogIsOpen() {
    startShell();
    // The officer presses Close (a real click) while the page's dialog is up.
    bool pressed = false;
    QTimer officer;
    connect(&officer, &QTimer::timeout, this, [&] {
        if (!pressed && pageDialog() != nullptr) {
            pressed = true;
            QTest::mouseClick(m_shell->window->Img_Close, Qt::LeftButton);
        }
    });
    officer.start(50);
    m_shell->browser->navigate(QUrl(m_base + QStringLiteral("/hostile/alert-loop")));
    QTRY_VERIFY_WITH_TIMEOUT(pressed, 20000);
    QTRY_VERIFY_WITH_TIMEOUT(!m_shell->window->isVisible(), 10000);
    QTRY_VERIFY_WITH_TIMEOUT(pageDialog() == nullptr, 10000);
    officer.stop();
}

void tst_Hostile::mainFrameGoesToHttpOnly_data() {
    QTest::addColumn<QString>("target");
    QTest::addColumn<bool>("logged"); // the browser itself refuses some before the shell sees them
    QTest::newRow("program resource") << QStringLiteral("qrc:/pictures/title.jpg") << true;
    QTest::newRow("photo scheme") << QStringLiteral("tavlin-photo://photo/1.jpg") << true;
    QTest::newRow("local file") << QStringLiteral("file:///etc/hostname") << false;
    QTest::newRow("data address") << QStringLiteral("data:text/html,<p>x</p>") << false;
}

void tst_Hostile::mainFrameGoesToHttpOnly() {
    QFETCH(QString, target);
    QFETCH(bool, logged);
    startShell();
    const QUrl page(m_base + QStringLiteral("/hostile/navigate?to=") +
                    QString::fromLatin1(QUrl::toPercentEncoding(target)));
    QVERIFY(m_shell->openUrl(page));
    QVERIFY(waitForBeacon(QStringLiteral("still-here")));
    QCOMPARE(m_shell->browser->page()->url().path(), QStringLiteral("/hostile/navigate"));
    if (!logged) {
        return;
    }
    QTRY_VERIFY_WITH_TIMEOUT(
        LogMessages().contains(QStringLiteral("拒绝页面请求,原因:the page may not go to")), 10000);
}

void tst_Hostile::mainFrameStaysWithinTheAllowedOrigins() {
    startShell("AllowedOrigins=https://inspect.example\r\n");
    // The base URL's own origin stays allowed.
    QVERIFY(m_shell->open(QStringLiteral("/home")));
    QCOMPARE(m_shell->browser->page()->url().path(), QStringLiteral("/home"));
    const QUrl page(m_base + QStringLiteral("/hostile/navigate?to=") +
                    QString::fromLatin1(QUrl::toPercentEncoding(m_otherOrigin + "/home")));
    QVERIFY(m_shell->openUrl(page));
    QVERIFY(waitForBeacon(QStringLiteral("still-here")));
    QCOMPARE(m_shell->browser->page()->url().host(), QStringLiteral("127.0.0.1"));
    QTRY_VERIFY_WITH_TIMEOUT(
        LogMessages().contains(QStringLiteral("拒绝页面请求,原因:the page may not go to")), 10000);
}

void tst_Hostile::programResourcesAreOutOfReach() {
    startShell();
    QVERIFY(m_shell->open(QStringLiteral("/hostile/own-resources")));
    QVERIFY(waitForBeacon(QStringLiteral("qrc-image-")));
    QVERIFY(waitForBeacon(QStringLiteral("qrc-fetch")));
    QVERIFY2(sawBeacon(QStringLiteral("qrc-image-refused")), qPrintable(m_beacons.join(u' ')));
    QVERIFY2(!sawBeacon(QStringLiteral("qrc-fetched")), qPrintable(m_beacons.join(u' ')));
}

void tst_Hostile::loadThatNeverEndsShowsTheErrorPanel() {
    startShell("LoadTimeout=3\r\n");
    m_shell->browser->navigate(QUrl(m_base + QStringLiteral("/hostile/never-answers?seconds=60")));
    QTRY_VERIFY_WITH_TIMEOUT(!m_shell->window->Lb_Ref->isHidden(), 20000);
    QVERIFY(!m_shell->window->Pnl_Msg->isHidden());
    QVERIFY(LogMessages().contains(
        QStringLiteral("加载页面失败，错误：the page did not finish loading within 3 s")));
}

void tst_Hostile::pageThatNeverYieldsIsEnded() {
    startShell();
    QVERIFY(m_shell->open(QStringLiteral("/hostile/busy")));
    QVERIFY(waitForBeacon(QStringLiteral("busy-start")));
    QTRY_VERIFY_WITH_TIMEOUT(!m_shell->window->Lb_Ref->isHidden(), 30000);
    QVERIFY(!m_shell->window->Pnl_Msg->isHidden());
    QVERIFY(LogMessages().contains(QStringLiteral("answered no script for 5 s")));
    // The retry link brings the application back.
    QTest::mouseClick(m_shell->window->Lb_Ref, Qt::LeftButton);
    QTRY_VERIFY2_WITH_TIMEOUT(m_shell->window->Pnl_Msg->isHidden(), qPrintable(LogMessages()),
                              60000);
}

void tst_Hostile::indexFunctionThatNeverReturnsIsEnded() {
    startShell();
    QVERIFY(m_shell->open(QStringLiteral("/hostile/busy-index")));
    QVERIFY(!m_shell->window->Img_Index->isHidden());
    QTest::mouseClick(m_shell->window->Img_Index, Qt::LeftButton);
    QVERIFY(waitForBeacon(QStringLiteral("index-start")));
    QTRY_VERIFY_WITH_TIMEOUT(!m_shell->window->Lb_Ref->isHidden(), 30000);
}

void tst_Hostile::noZoomNoKeyboardMenuNoDrops() {
    startShell();
    QVERIFY(m_shell->open(QStringLiteral("/hostile/events")));
    QVERIFY(QTest::qWaitForWindowExposed(m_shell->window.get()));
    QWidget* input = pageInput();
    const QPointF inside(200, 200);
    // Ctrl and the wheel.
    QWheelEvent wheel(inside, input->mapToGlobal(inside), QPoint(), QPoint(0, 120), Qt::NoButton,
                      Qt::ControlModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(input, &wheel);
    // The keyboard's context-menu key, and Shift+F10.
    QTest::keyClick(input, Qt::Key_Menu);
    QTest::keyClick(input, Qt::Key_F10, Qt::ShiftModifier);
    // A file dragged onto the page.
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QStringLiteral("/etc/hostname"))});
    QDragEnterEvent enter(inside.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(input, &enter);
    QDropEvent drop(inside, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(input, &drop);
    // A plain key does arrive: the page and its reporting work.
    QTest::keyClick(input, Qt::Key_A);
    QVERIFY(waitForBeacon(QStringLiteral("key-a")));
    QVERIFY2(!sawBeacon(QStringLiteral("contextmenu")), qPrintable(m_beacons.join(u' ')));
    QVERIFY2(!sawBeacon(QStringLiteral("drop")), qPrintable(m_beacons.join(u' ')));
    QVERIFY2(!sawBeacon(QStringLiteral("ctrl-wheel")), qPrintable(m_beacons.join(u' ')));
    QCOMPARE(m_shell->browser->page()->zoomFactor(), 1.0);
    // Zoom set some other way does not survive the next page.
    m_shell->browser->page()->setZoomFactor(2.0);
    m_shell->window->Img_LoginClick();
    QTRY_COMPARE_WITH_TIMEOUT(m_shell->browser->page()->zoomFactor(), 1.0, 20000);
}

void tst_Hostile::certificateErrorIsLoggedWithItsReason() {
    // A back end with a certificate of its own making.
    QTemporaryDir keys;
    QProcess openssl;
    openssl.start(QStringLiteral("openssl"),
                  {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"),
                   QStringLiteral("rsa:2048"), QStringLiteral("-nodes"), QStringLiteral("-days"),
                   QStringLiteral("2"), QStringLiteral("-subj"), QStringLiteral("/CN=127.0.0.1"),
                   QStringLiteral("-keyout"), keys.filePath(QStringLiteral("key.pem")),
                   QStringLiteral("-out"), keys.filePath(QStringLiteral("cert.pem"))});
    QVERIFY(openssl.waitForFinished(60000));
    QCOMPARE(openssl.exitCode(), 0);
    SampleSite tls;
    QVERIFY(tls.start({QStringLiteral("--tls"), keys.filePath(QStringLiteral("cert.pem")),
                       keys.filePath(QStringLiteral("key.pem"))}));
    const QString base = QStringLiteral("https://127.0.0.1:%1").arg(tls.port());
    m_shell = std::make_unique<LiveShell>(base, m_dialogs, std::string(), false);
    // The officer sees the error panel with its retry link; support reads why.
    QTRY_VERIFY_WITH_TIMEOUT(!m_shell->window->Lb_Ref->isHidden(), 30000);
    QTRY_VERIFY_WITH_TIMEOUT(
        LogMessages().contains(QStringLiteral("加载页面失败，错误：certificate error")), 10000);
}

int main(int argc, char** argv) {
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    WebEngineBrowser::registerPhotoScheme();
    QApplication app(argc, argv);
    tst_Hostile test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_hostile.moc"
