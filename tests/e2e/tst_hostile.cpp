// Hostile and broken pages against the real browser: what an attacker's page
// would observe (a beacon that must not arrive, a window that must close, a
// panel that must show). Each negative check first waits for a beacon the
// page sends after its attempt.
#include "Camera.h"
#include "FakeVcx.h"
#include "Fakes.h"
#include "ImageButton.h"
#include "LiveShell.h"
#include "Main.h"
#include "Named.h"
#include "SampleSite.h"
#include "WebEngineBrowser.h"

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QFileInfo>
#include <QImage>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QMetaMethod>
#include <QMimeData>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWebEngineHistory>
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
    void aPageCannotCompleteItselfEarly();
    void aPageCannotReachTheReportOrStopTheGuard();
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

    void noDialogOfThePCsFilesOpens_data();
    void noDialogOfThePCsFilesOpens();
    void noOtherProgramIsStarted_data();
    void noOtherProgramIsStarted();
    void whatAPageMakesTavlinWriteIsBounded();
    void photoGoesOnlyIntoTheDocumentItWasTakenFor_data();
    void photoGoesOnlyIntoTheDocumentItWasTakenFor();
    void confirmAndPromptAnswerWhatTheOfficerChose_data();
    void confirmAndPromptAnswerWhatTheOfficerChose();
    void leaveQuestionLeavesTheOfficerInControl();
    void stoppedStartPageNeverLeavesTheLoadingPanel_data();
    void stoppedStartPageNeverLeavesTheLoadingPanel();
    void everyCapabilityIsDecided_data();
    void everyCapabilityIsDecided();
    void readmeTableIsCoveredByTheseTests();
    void theMouseGivesThePageNoSelectionNoHistoryNoFile();
    void afterLoginNothingEarlierIsReachable();
    void f6ReachesAPageThatHandlesIt();
    void serviceWorkerNeverAnswersTheStart();
    void aPageThatStopsAnsweringWhileIdleIsEndedWhenUsed();

private:
    void startShell(const std::string& browserSettings = {});
    // Waits until the site has logged a beacon containing what; every beacon
    // seen meanwhile is kept in m_beacons.
    bool waitForBeacon(const QString& what, int timeoutMs = 30000);
    bool sawBeacon(const QString& prefix) const;
    QWidget* pageInput() const;
    // The officer clicks the page at the point local of the view, with the X
    // server's own pointer.
    void officerClicks(QPoint local = QPoint(200, 200)) { officerClicks(nullptr, local); }
    // The officer clicks target (the view when null) at local, or at its middle.
    void officerClicks(QWidget* target, QPoint local = QPoint(-1, -1));
    // The open page dialog, if any.
    static QMessageBox* pageDialog();
    // Runs xdotool with arguments (X input as the officer's devices give it).
    static void XDoTool(const QStringList& arguments);
    // The point local of the view on the screen, as xdotool's arguments.
    QStringList onScreen(QPoint local) const;
    // The site's requests since the last call that are not beacons (beacons
    // go to m_beacons).
    QStringList takeRequests();

    SampleSite m_site;
    QString m_base;
    QString m_otherOrigin; // the same server under another origin
    SampleSite m_sameSite; // another server of the same site (127.0.0.1, another port)
    FakeDialogs m_dialogs;
    std::unique_ptr<LiveShell> m_shell;
    QStringList m_beacons;
    QTemporaryDir m_launcher; // a recording stand-in for the desktop's launcher
};

void tst_Hostile::initTestCase() {
    // Whatever hands an address to the desktop finds this xdg-open first.
    const QString script = m_launcher.filePath(QStringLiteral("xdg-open"));
    WriteFile(script, "#!/bin/sh\necho \"$@\" >> \"$(dirname \"$0\")/launched\"\n");
    QVERIFY(QFile::setPermissions(script, QFileDevice::ReadOwner | QFileDevice::ExeOwner |
                                              QFileDevice::WriteOwner));
    qputenv("PATH", (m_launcher.path() + QLatin1Char(':')).toLocal8Bit() + qgetenv("PATH"));
    // No print server: the PC's own is never asked.
    qputenv("CUPS_SERVER", "127.0.0.1:1");
    QVERIFY(m_site.start({QStringLiteral("--hostile")}));
    m_base = m_site.base();
    m_otherOrigin = QStringLiteral("http://localhost:%1").arg(m_site.port());
    QVERIFY(m_sameSite.start({QStringLiteral("--hostile")}));
}

void tst_Hostile::init() {
    ClearLog();
    m_beacons.clear();
}

void tst_Hostile::cleanup() {
    m_shell.reset();
    m_site.takeRequests();
}

void tst_Hostile::aPageCannotCompleteItselfEarly() {
    startShell();
    QSignalSpy completed(m_shell->browser.get(), &Browser::documentComplete);
    QVERIFY(m_shell->open(QStringLiteral("/hostile/early-load")));
    QTRY_COMPARE_WITH_TIMEOUT(m_shell->browser->page()->isLoading(), false, 10000);
    QVERIFY(m_shell->settle());
    // Its own load event counted for nothing: the document completed once,
    // at its real load, as the list page it is.
    QCOMPARE(completed.count(), 1);
    QVERIFY(Named<ImageButton>(*m_shell->window, "Img_Photo")->isHidden());
    QVERIFY(!Named<ImageButton>(*m_shell->window, "Img_Index")->isHidden());
}

void tst_Hostile::aPageCannotReachTheReportOrStopTheGuard() {
    // The program's script in the page's own world took what it uses before
    // the page's scripts ran: the page's replacements are never called, its
    // listeners run after the program's, and clearing every timer delays the
    // report but cannot keep it from coming.
    startShell();
    QSignalSpy completed(m_shell->browser.get(), &Browser::documentComplete);
    QVERIFY(m_shell->open(QStringLiteral("/hostile/poisoned")));
    QVERIFY(waitForBeacon(QStringLiteral("dragstart-")));
    QVERIFY(m_shell->settle());
    takeRequests();
    const QString seen = m_beacons.join(u' ');
    QVERIFY2(sawBeacon(QStringLiteral("dragstart-true")), qPrintable(seen));
    for (const char* never :
         {"log-tavlin", "stringify-called", "apply-called", "prevent-called", "item-called",
          "query-called", "attribute-called", "title-read", "text-read"}) {
        QVERIFY2(!sawBeacon(QString::fromLatin1(never)), qPrintable(seen));
    }
    // Completed once, as the list page its real title says, with its real label.
    QCOMPARE(completed.count(), 1);
    const auto page = completed.at(0).at(0).value<Browser::CompletedPage>();
    QCOMPARE(page.title, QStringLiteral("列表 - 毒"));
    QCOMPARE(page.texts.value(QStringLiteral("Lbl_PoliceName")).toString(),
             QStringLiteral("poisoned"));
    QVERIFY(Named<ImageButton>(*m_shell->window, "Img_Photo")->isHidden());
    QVERIFY(!Named<ImageButton>(*m_shell->window, "Img_Index")->isHidden());
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
            takeRequests();
            return sawBeacon(what);
        },
        timeoutMs);
}

QStringList tst_Hostile::takeRequests() {
    QStringList others;
    for (const QString& target : m_site.takeRequests() + m_sameSite.takeRequests()) {
        if (target.startsWith(QStringLiteral("/beacon?"))) {
            m_beacons.append(QUrl::fromPercentEncoding(target.mid(8).toUtf8()));
        } else {
            others.append(target);
        }
    }
    return others;
}

void tst_Hostile::XDoTool(const QStringList& arguments) {
    QProcess xdotool;
    xdotool.start(QStringLiteral("xdotool"), arguments);
    QVERIFY(xdotool.waitForFinished(10000));
    QCOMPARE(xdotool.exitCode(), 0);
}

QStringList tst_Hostile::onScreen(QPoint local) const {
    const QPoint global = m_shell->browser->view()->mapToGlobal(local);
    return {QString::number(global.x()), QString::number(global.y())};
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

void tst_Hostile::officerClicks(QWidget* target, QPoint local) {
    QWidget* view = target != nullptr ? target : m_shell->browser->view();
    QVERIFY(QTest::qWaitForWindowExposed(view->window()));
    view->window()->raise();
    view->window()->activateWindow();
    const QPoint global = view->mapToGlobal(local.x() < 0 ? view->rect().center() : local);
    // Requests to one X server are carried out in order: the pointer is
    // there before the button goes down.
    QProcess xdotool;
    xdotool.start(QStringLiteral("xdotool"),
                  {QStringLiteral("mousemove"), QString::number(global.x()),
                   QString::number(global.y()), QStringLiteral("click"), QStringLiteral("1")});
    QVERIFY(xdotool.waitForFinished(10000));
    QCOMPARE(xdotool.exitCode(), 0);
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
    QTRY_VERIFY_WITH_TIMEOUT(!Named<ClickableLabel>(*m_shell->window, "Lb_Ref")->isHidden(), 30000);
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
            QTest::mouseClick(Named<ImageButton>(*m_shell->window, "Img_Close"), Qt::LeftButton);
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
    QTRY_VERIFY_WITH_TIMEOUT(!Named<ClickableLabel>(*m_shell->window, "Lb_Ref")->isHidden(), 20000);
    QVERIFY(!Named<QWidget>(*m_shell->window, "Pnl_Msg")->isHidden());
    QVERIFY(LogMessages().contains(
        QStringLiteral("加载页面失败，错误：the page did not finish loading within 3 s")));
}

void tst_Hostile::pageThatNeverYieldsIsEnded() {
    startShell();
    // The page stops answering 300 ms after it loaded: on a loaded machine
    // that can come before the window's own scripts have answered.
    QVERIFY(m_shell->open(QStringLiteral("/hostile/busy"), false));
    QVERIFY(waitForBeacon(QStringLiteral("busy-start")));
    QTRY_VERIFY_WITH_TIMEOUT(!Named<ClickableLabel>(*m_shell->window, "Lb_Ref")->isHidden(), 30000);
    QVERIFY(!Named<QWidget>(*m_shell->window, "Pnl_Msg")->isHidden());
    QVERIFY(LogMessages().contains(QStringLiteral("answered no script for 5 s")));
    // The retry link brings the application back.
    QTest::mouseClick(Named<ClickableLabel>(*m_shell->window, "Lb_Ref"), Qt::LeftButton);
    QTRY_VERIFY2_WITH_TIMEOUT(Named<QWidget>(*m_shell->window, "Pnl_Msg")->isHidden(),
                              qPrintable(LogMessages()), 60000);
}

void tst_Hostile::indexFunctionThatNeverReturnsIsEnded() {
    startShell();
    QVERIFY(m_shell->open(QStringLiteral("/hostile/busy-index")));
    QVERIFY(!Named<ImageButton>(*m_shell->window, "Img_Index")->isHidden());
    QTest::mouseClick(Named<ImageButton>(*m_shell->window, "Img_Index"), Qt::LeftButton);
    QVERIFY(waitForBeacon(QStringLiteral("index-start")));
    QTRY_VERIFY_WITH_TIMEOUT(!Named<ClickableLabel>(*m_shell->window, "Lb_Ref")->isHidden(), 30000);
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
    emit Named<ImageButton>(*m_shell->window, "Img_Login")->clicked();
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
    QTRY_VERIFY_WITH_TIMEOUT(!Named<ClickableLabel>(*m_shell->window, "Lb_Ref")->isHidden(), 30000);
    QTRY_VERIFY_WITH_TIMEOUT(
        LogMessages().contains(QStringLiteral("加载页面失败，错误：certificate error")), 10000);
}

void tst_Hostile::noDialogOfThePCsFilesOpens_data() {
    QTest::addColumn<QString>("mode");
    QTest::newRow("file input") << QStringLiteral("input");
    QTest::newRow("folder upload") << QStringLiteral("folder");
    QTest::newRow("open picker") << QStringLiteral("open");
    QTest::newRow("save picker") << QStringLiteral("save");
}

void tst_Hostile::noDialogOfThePCsFilesOpens() {
    QFETCH(QString, mode);
    startShell();
    // A file of the officer's that must keep its bytes.
    QTemporaryDir officers;
    const QString kept = officers.filePath(QStringLiteral("kept.txt"));
    WriteFile(kept, "the officer's notes");
    // Should a file dialog appear, the officer confirms the file it offers,
    // as a person in a hurry would.
    QStringList dialogs;
    QTimer officer;
    connect(&officer, &QTimer::timeout, this, [&] {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            auto* dialog = qobject_cast<QFileDialog*>(widget);
            if (dialog == nullptr || !dialog->isVisible()) {
                continue;
            }
            if (!dialogs.isEmpty()) {
                dialog->reject(); // not closed by the answer: the test fails, never hangs
                continue;
            }
            dialogs.append(dialog->windowTitle() + QLatin1Char(' ') + dialog->directory().path());
            dialog->setDirectory(officers.path());
            if (mode != QLatin1String("folder")) {
                dialog->selectFile(QFileInfo(kept).fileName());
            }
            QMetaObject::invokeMethod(dialog, "accept");
        }
    });
    officer.start(50);
    QVERIFY(m_shell->open(QStringLiteral("/hostile/files?do=") + mode));
    QVERIFY(waitForBeacon(QStringLiteral("files-ready")));
    officerClicks();
    QVERIFY2(waitForBeacon(QStringLiteral("file-")), qPrintable(m_beacons.join(u' ')));
    officer.stop();
    QVERIFY2(dialogs.isEmpty(), qPrintable(dialogs.join(u'|')));
    QVERIFY2(sawBeacon(QStringLiteral("file-done-")), qPrintable(m_beacons.join(u' ')));
    QCOMPARE(ReadFileBytes(kept), QByteArray("the officer's notes"));
    QTRY_VERIFY_WITH_TIMEOUT(LogMessages().contains(QStringLiteral("拒绝页面请求,原因:the page may "
                                                                   "not choose files")) ||
                                 LogMessages().contains(QStringLiteral("拒绝页面请求,原因:the page "
                                                                       "may not use files")),
                             10000);
}

void tst_Hostile::noOtherProgramIsStarted_data() {
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("how");
    QTest::newRow("mailto clicked")
        << QStringLiteral("mailto:officer@example.com") << QStringLiteral("click");
    QTest::newRow("custom scheme clicked")
        << QStringLiteral("tavlin-tool://run?x=1") << QStringLiteral("click");
    QTest::newRow("tel by script") << QStringLiteral("tel:110") << QStringLiteral("script");
    QTest::newRow("custom scheme by script")
        << QStringLiteral("steam://run/1") << QStringLiteral("script");
}

void tst_Hostile::noOtherProgramIsStarted() {
    QFETCH(QString, address);
    QFETCH(QString, how);
    const QString record = m_launcher.filePath(QStringLiteral("launched"));
    QFile::remove(record);
    startShell();
    QVERIFY(m_shell->open(QStringLiteral("/hostile/launch?how=") + how + QStringLiteral("&to=") +
                          QString::fromLatin1(QUrl::toPercentEncoding(address))));
    QVERIFY(waitForBeacon(QStringLiteral("frame-ready")));
    if (how == QLatin1String("click")) {
        officerClicks();
    }
    QVERIFY2(waitForBeacon(QStringLiteral("link-clicked")), qPrintable(m_beacons.join(u' ')));
    // The launcher would have been started by now; give a started one the
    // time to write its record before saying it was not.
    QTest::qWait(1000);
    QVERIFY2(!QFile::exists(record), ReadFileBytes(record).constData());
    QVERIFY(m_shell->window->isVisible());
}

void tst_Hostile::whatAPageMakesTavlinWriteIsBounded() {
    startShell();
    // Everything the page's console says on the way, captured as standard error gets it.
    static QByteArray console;
    console.clear();
    const QtMessageHandler previous = qInstallMessageHandler(
        [](QtMsgType, const QMessageLogContext& context, const QString& message) {
            const QByteArray category(context.category != nullptr ? context.category : "");
            if (category == "js" || category == "tavlin.page") {
                console += message.toUtf8() + '\n';
            }
        });
    // The flooding page keeps its renderer busy on a loaded machine: its end
    // is waited for by its beacon, not by script answers.
    QVERIFY(m_shell->open(QStringLiteral("/hostile/flood"), false));
    QVERIFY(waitForBeacon(QStringLiteral("flood-done-"), 60000));
    // The next page: what the flooding one had counted is said in one line.
    QVERIFY(m_shell->open(QStringLiteral("/home")));
    qInstallMessageHandler(previous);
    const QString log = LogMessages();
    const qint64 logBytes = LogText().toUtf8().size();
    QVERIFY2(logBytes < 4096, qPrintable(QString::number(logBytes) + QLatin1Char('\n') + log));
    QCOMPARE(log.count(QStringLiteral("拒绝页面请求,原因:the page may not go to qrc:")), 1);
    QVERIFY2(log.contains(QRegularExpression(
                 QStringLiteral("拒绝页面请求,原因:navigation: [0-9]+ more on that page"))),
             qPrintable(log));
    // 300 console errors of 60 kB each: a few lines, each cut short.
    QVERIFY2(console.size() < 8192, qPrintable(QString::number(console.size())));
    QVERIFY(console.contains("flood 0 aaaa"));
}

void tst_Hostile::photoGoesOnlyIntoTheDocumentItWasTakenFor_data() {
    QTest::addColumn<QString>("move");
    QTest::newRow("another origin") << "other-origin";
    QTest::newRow("another page of the same origin") << "same-origin";
    QTest::newRow("another origin of the same site, as the window opens") << "same-site-at-open";
    QTest::newRow("another origin of the same site, while the window is open") << "same-site";
    QTest::newRow("the same page again, while the window is open") << "reload";
    for (const int ms : {0, 5, 15, 40}) {
        for (const char* move : {"same-site", "other-origin", "reload"}) {
            const QByteArray row =
                QByteArray(move) + ", " + QByteArray::number(ms) + " ms after 拍  照 is pressed";
            QTest::newRow(row.constData()) << QStringLiteral("%1-at-press-%2").arg(move).arg(ms);
        }
    }
    QTest::newRow("a load that brings no document (HTTP 204)") << "no-document";
}

void tst_Hostile::photoGoesOnlyIntoTheDocumentItWasTakenFor() {
    QFETCH(QString, move);
    m_beacons.clear();
    startShell();
    QVERIFY(m_shell->open(QStringLiteral("/photo")));
    QVERIFY(!Named<ImageButton>(*m_shell->window, "Img_Photo")->isHidden());
    m_shell->window->setCameraFactory([] {
        auto vcx = std::make_unique<FakeVcx>();
        vcx->devices = {QStringLiteral("Scripted camera")};
        return vcx;
    });
    // While the camera window is open the page moves on (or, at the same
    // site, starts to move as 拍照 is pressed); then the officer presses 拍  照.
    // "...-at-press-N": the page moves by its own timer N ms after the press.
    const qsizetype atPress = move.indexOf(QLatin1String("-at-press-"));
    const int pressDelay = atPress < 0 ? -1 : move.mid(atPress + 10).toInt();
    if (atPress >= 0) {
        move = move.left(atPress);
    }
    const bool sameSite = move.startsWith(QLatin1String("same-site"));
    const QString trap = (move == QLatin1String("other-origin") ? m_otherOrigin
                          : sameSite                            ? m_sameSite.base()
                                                                : m_base) +
                         QStringLiteral("/hostile/photo-trap");
    if (move == QLatin1String("reload")) {
        // The photo page is the trap itself, and reloads by its own timer.
        QVERIFY(m_shell->open(QStringLiteral("/hostile/photo-trap")));
    }
    const QString away = move == QLatin1String("no-document")
                             ? m_base + QStringLiteral("/beacon?no-document")
                             : trap;
    const QString arrived = move == QLatin1String("no-document") ? QStringLiteral("no-document")
                                                                 : QStringLiteral("trap-ready");
    const auto leave = [&] {
        takeRequests();
        m_beacons.clear(); // what the page said before it moved
        m_shell->browser->page()->runJavaScript(
            move == QLatin1String("reload")
                ? QStringLiteral("setTimeout(function () { location.reload(); }, %1);")
                      .arg(std::max(pressDelay, 10))
                : QStringLiteral("setTimeout(function () { location.href = '%1'; }, %2);")
                      .arg(away)
                      .arg(std::max(pressDelay, 10)),
            QWebEngineScript::MainWorld);
    };
    bool moved = move == QLatin1String("same-site-at-open");
    if (moved) {
        leave();
    }
    bool pressed = false;
    QTimer officer;
    connect(&officer, &QTimer::timeout, this, [&] {
        auto* camera = qobject_cast<TFrm_Camera*>(QApplication::activeModalWidget());
        if (camera == nullptr) {
            return;
        }
        if (pressDelay >= 0 && !pressed) {
            // The page moves on by its own timer just as the officer presses.
            moved = pressed = true;
            leave();
            Named<QPushButton>(*camera, "Btn_Save")->click();
        } else if (!moved) {
            moved = true;
            leave();
        } else if (!pressed && waitForBeacon(arrived, 0) &&
                   !m_shell->browser->page()->isLoading()) {
            pressed = true;
            Named<QPushButton>(*camera, "Btn_Save")->click();
        }
    });
    officer.start(50);
    const CameraWindowLimit giveUp;
    emit Named<ImageButton>(*m_shell->window, "Img_Photo")->clicked();
    officer.stop();
    QVERIFY(pressed);
    if (move == QLatin1String("no-document")) {
        // Nothing new came: the page shown at 拍照 is still there and gets it.
        QVERIFY(m_shell->settle());
        QCOMPARE(m_shell->browser->page()->url().path(), QStringLiteral("/photo"));
        QTRY_VERIFY_WITH_TIMEOUT(
            m_shell->evaluate(QStringLiteral(
                                  "document.getElementById('Txt_InspectPhotoStr').value.length"))
                    .toInt() > 0,
            10000);
        QVERIFY(!LogMessages().contains(QStringLiteral("导入照片时失败")));
        return;
    }
    if (pressDelay >= 0) {
        // The photo may still reach the page it was taken for, as it leaves:
        // the page it goes to must get nothing, whatever the timing.
        QVERIFY(waitForBeacon(QStringLiteral("trap-ready")));
    } else {
        QTRY_VERIFY_WITH_TIMEOUT(
            LogMessages().contains(QStringLiteral("导入照片时失败,错误:") + Browser::kDocumentGone),
            10000);
    }
    QVERIFY(m_shell->settle());
    QCOMPARE(m_shell->browser->page()->url().path(), QStringLiteral("/hostile/photo-trap"));
    QCOMPARE(m_shell
                 ->evaluate(
                     QStringLiteral("document.getElementById('Txt_InspectPhotoStr').value.length"))
                 .toInt(),
             0);
    QCOMPARE(m_shell->evaluate(QStringLiteral("document.getElementById('Img_InspectPhoto').src"))
                 .toString(),
             QString());
    takeRequests();
    if (pressDelay >= 0) {
        // What the page the photo was taken for said as it left is its own:
        // only the reports of the page that came after it count.
        qsizetype arrivedAt = m_beacons.size();
        while (arrivedAt > 0 && !m_beacons[arrivedAt - 1].startsWith(QLatin1String("trap-ready"))) {
            --arrivedAt;
        }
        m_beacons = m_beacons.mid(arrivedAt);
    }
    QVERIFY2(!sawBeacon(QStringLiteral("trap-text")) && !sawBeacon(QStringLiteral("trap-image")),
             qPrintable(m_beacons.join(u' ')));
}

void tst_Hostile::confirmAndPromptAnswerWhatTheOfficerChose_data() {
    QTest::addColumn<bool>("accept");
    QTest::newRow("确定") << true;
    QTest::newRow("取消") << false;
}

void tst_Hostile::confirmAndPromptAnswerWhatTheOfficerChose() {
    QFETCH(bool, accept);
    startShell();
    QTimer officer;
    connect(&officer, &QTimer::timeout, this, [&] {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (!widget->isVisible()) {
                continue;
            }
            if (auto* box = qobject_cast<QMessageBox*>(widget)) {
                box->button(accept ? QMessageBox::Ok : QMessageBox::Cancel)->click();
            } else if (auto* input = qobject_cast<QInputDialog*>(widget)) {
                input->setTextValue(QStringLiteral("签名"));
                accept ? input->accept() : input->reject();
            }
        }
    });
    officer.start(50);
    QVERIFY(m_shell->open(QStringLiteral("/hostile/dialogs")));
    QVERIFY(waitForBeacon(QStringLiteral("dialogs-ready")));
    officerClicks();
    QVERIFY(waitForBeacon(QStringLiteral("prompt-")));
    officer.stop();
    QVERIFY2(sawBeacon(accept ? QStringLiteral("confirm-true") : QStringLiteral("confirm-false")),
             qPrintable(m_beacons.join(u' ')));
    QVERIFY2(sawBeacon(accept ? QStringLiteral("prompt-签名") : QStringLiteral("prompt-null")),
             qPrintable(m_beacons.join(u' ')));
}

void tst_Hostile::leaveQuestionLeavesTheOfficerInControl() {
    startShell();
    TFrm_Tavlin& window = *m_shell->window;
    // The officer's answer to the next question: stay (Cancel) or leave (Ok).
    QMessageBox::StandardButton answer = QMessageBox::Cancel;
    int asked = 0;
    QTimer officer;
    connect(&officer, &QTimer::timeout, this, [&] {
        if (QMessageBox* box = pageDialog()) {
            ++asked;
            box->button(answer)->click();
        }
    });
    officer.start(50);
    const auto openLeavingPage = [&] {
        // Only this page's beacons count: an earlier page's would let the
        // officer act before this page is ready for it.
        m_beacons.clear();
        QVERIFY(m_shell->open(QStringLiteral("/hostile/leave")));
        QVERIFY(waitForBeacon(QStringLiteral("leave-ready")));
        // The page may ask only once the officer has used it. A click that
        // comes before the page takes input is lost: the officer clicks again.
        bool clicked = false;
        for (int attempt = 0; attempt < 5 && !clicked; ++attempt) {
            officerClicks();
            clicked = waitForBeacon(QStringLiteral("leave-clicked"), 5000);
        }
        QVERIFY(clicked);
    };
    openLeavingPage();
    // 登录, answered "stay": the page stays usable, with no loading panel over it.
    m_beacons.clear();
    officerClicks(Named<ImageButton>(window, "Img_Login"));
    QTRY_COMPARE_WITH_TIMEOUT(asked, 1, 20000);
    QTRY_VERIFY_WITH_TIMEOUT(Named<QWidget>(window, "Pnl_Msg")->isHidden(), 10000);
    QCOMPARE(m_shell->browser->page()->url().path(), QStringLiteral("/hostile/leave"));
    answer = QMessageBox::Ok; // from now on the officer leaves
    // 登录 again at once: the browser asks only once per use of the page and
    // now cancels by itself; the page stays usable all the same.
    officerClicks(Named<ImageButton>(window, "Img_Login"),
                  QPoint(15, 15)); // elsewhere: no double click
    QTRY_VERIFY_WITH_TIMEOUT(!Named<QWidget>(window, "Pnl_Msg")->isHidden() || asked == 2, 5000);
    QTRY_VERIFY_WITH_TIMEOUT(Named<QWidget>(window, "Pnl_Msg")->isHidden(), 20000);
    if (asked == 1) {
        // The officer uses the page again: then the question comes back.
        officerClicks();
        QVERIFY(waitForBeacon(QStringLiteral("leave-clicked")));
        officerClicks(Named<ImageButton>(window, "Img_Login"));
        QTRY_COMPARE_WITH_TIMEOUT(asked, 2, 20000);
    }
    // Answered "leave": the start page comes.
    QTRY_COMPARE_WITH_TIMEOUT(asked, 2, 20000);
    QTRY_COMPARE_WITH_TIMEOUT(m_shell->browser->page()->url().path(), QStringLiteral("/login"),
                              20000);
    QCOMPARE(asked, 2);
    // 首页 works after the question too, either answer.
    openLeavingPage();
    officerClicks(Named<ImageButton>(window, "Img_Index"));
    QTRY_COMPARE_WITH_TIMEOUT(m_shell->browser->page()->url().path(), QStringLiteral("/home"),
                              20000);
    // And 关闭 closes Tavlin over a page that would ask.
    openLeavingPage();
    officerClicks(Named<ImageButton>(window, "Img_Close"));
    QTRY_VERIFY_WITH_TIMEOUT(!window.isVisible(), 10000);
    officer.stop();
}

void tst_Hostile::stoppedStartPageNeverLeavesTheLoadingPanel_data() {
    QTest::addColumn<QString>("title");
    QTest::addColumn<bool>("failed");
    QTest::newRow("login page") << QStringLiteral("用户登录") << false;
    QTest::newRow("no keyword") << QStringLiteral("请稍候") << true;
}

void tst_Hostile::stoppedStartPageNeverLeavesTheLoadingPanel() {
    QFETCH(QString, title);
    QFETCH(bool, failed);
    // The start page stops its own load while a picture is still coming.
    m_shell = std::make_unique<LiveShell>(m_base + QStringLiteral("/hostile/stopped/") +
                                              QString::fromLatin1(QUrl::toPercentEncoding(title)),
                                          m_dialogs, std::string(), false);
    QVERIFY(waitForBeacon(QStringLiteral("stopped")));
    TFrm_Tavlin& window = *m_shell->window;
    if (failed) {
        QTRY_VERIFY_WITH_TIMEOUT(!Named<ClickableLabel>(window, "Lb_Ref")->isHidden(), 10000);
        QVERIFY(Named<QLabel>(window, "Lb_Msg")->isHidden());
    } else {
        QTRY_VERIFY_WITH_TIMEOUT(Named<QWidget>(window, "Pnl_Msg")->isHidden(), 10000);
    }
}

void tst_Hostile::everyCapabilityIsDecided_data() {
    // What the page tries, and what it must get: a beacon result-<outcome>,
    // and the log line that says so (empty where Chromium refuses before
    // asking the shell).
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("outcome");
    QTest::addColumn<QString>("logged");
    QTest::newRow("notifications") << "notifications"
                                   << "denied"
                                   << "may not use notifications";
    QTest::newRow("location") << "location"
                              << "denied"
                              << "may not use location";
    // Without a device the browser says NotFoundError before it asks; either
    // way the page gets no stream.
    QTest::newRow("camera") << "camera"
                            << "Not"
                            << "";
    QTest::newRow("microphone") << "microphone"
                                << "Not"
                                << "";
    QTest::newRow("screen") << "screen"
                            << "NotAllowedError"
                            << "";
    QTest::newRow("full-screen") << "full-screen"
                                 << "refused"
                                 << "";
    QTest::newRow("mouse-lock") << "mouse-lock"
                                << "refused"
                                << "may not use mouse lock";
    QTest::newRow("new-window") << "new-window"
                                << "refused"
                                << "may not open a window";
    QTest::newRow("clipboard") << "clipboard"
                               << "NotAllowedError"
                               << "";
    QTest::newRow("paste") << "paste"
                           << "refused"
                           << "";
    QTest::newRow("webgl") << "webgl"
                           << "none"
                           << "";
    // Printing turned off (tst_print and tst_printdialog print).
    QTest::newRow("print") << "print"
                           << "returned"
                           << "may not print";
    QTest::newRow("close") << "close"
                           << "returned"
                           << "";
    QTest::newRow("protocol-handler") << "protocol-handler"
                                      << "asked"
                                      << "";
    QTest::newRow("storage") << "storage"
                             << "refused"
                             << "";
    QTest::newRow("download") << "download"
                              << "asked"
                              << "may not save";
    QTest::newRow("sign-in") << "sign-in"
                             << "loaded"
                             << "asked for a user name and password";
    QTest::newRow("frame-data") << "frame-data"
                                << "refused"
                                << "may not go to data:";
}

void tst_Hostile::everyCapabilityIsDecided() {
    QFETCH(QString, name);
    QFETCH(QString, outcome);
    QFETCH(QString, logged);
    startShell(name == QLatin1String("print") ? "Printing=off\r\n" : "");
    QVERIFY(m_shell->open(QStringLiteral("/hostile/capability?name=") + name));
    QVERIFY(waitForBeacon(QStringLiteral("capability-ready")));
    officerClicks(); // many capabilities need the officer's click first
    QVERIFY2(waitForBeacon(QStringLiteral("result-")), qPrintable(m_beacons.join(u' ')));
    QVERIFY2(sawBeacon(QStringLiteral("result-") + outcome), qPrintable(m_beacons.join(u' ')));
    // The officer keeps the window, whatever the page tried.
    QVERIFY(m_shell->window->isVisible());
    QVERIFY(!m_shell->window->isFullScreen());
    const QWidgetList windows = QApplication::topLevelWidgets();
    QCOMPARE(std::count_if(windows.begin(), windows.end(),
                           [](const QWidget* w) { return w->isVisible() && w->isWindow(); }),
             1);
    QVERIFY(m_shell->browser->page()->isAudioMuted());
    if (!logged.isEmpty()) {
        QTRY_VERIFY2_WITH_TIMEOUT(LogMessages().contains(logged), qPrintable(LogMessages()), 10000);
    }
}

void tst_Hostile::readmeTableIsCoveredByTheseTests() {
    // Every row of the table of what a page may do (docs/security.md) names this
    // test's slot or data row that checks it, or says why a page cannot reach it.
    QFile readme(QStringLiteral(TAVLIN_SOURCE_DIR "/docs/security.md"));
    QVERIFY(readme.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(readme.readAll());
    const qsizetype start = text.indexOf(QStringLiteral("<!-- page-policy-table -->"));
    const qsizetype end = text.indexOf(QStringLiteral("<!-- /page-policy-table -->"));
    QVERIFY(start >= 0 && end > start);
    QStringList testSlots;
    for (int i = metaObject()->methodOffset(); i < metaObject()->methodCount(); ++i) {
        testSlots.append(QString::fromLatin1(metaObject()->method(i).name()));
    }
    int rows = 0;
    for (const QString& line : text.mid(start, end - start).split(QLatin1Char('\n'))) {
        const QStringList cells = line.split(QLatin1Char('|'));
        if (cells.size() < 6 || cells.at(1).trimmed().startsWith(QLatin1String("---")) ||
            cells.at(1).trimmed() == QLatin1String("capability")) {
            continue;
        }
        ++rows;
        const QString checkedBy = cells.at(4).trimmed();
        QVERIFY2(!cells.at(2).trimmed().isEmpty(), qPrintable(line));
        if (checkedBy.startsWith(QLatin1String("not reachable"))) {
            QVERIFY2(checkedBy.size() > 20, qPrintable(line)); // with its reason
            continue;
        }
        // Checked by another test of this folder: `tst_name`: `slot`, ...;
        // several such parts separated by ';' (a part may also be this
        // test's `slot/row`).
        bool elsewhere = true;
        for (const QString& part : checkedBy.split(QLatin1Char(';'))) {
            const QRegularExpressionMatch other =
                QRegularExpression(QStringLiteral("^\\s*`(tst_[a-z]+)`:(.*)$")).match(part);
            if (!other.hasMatch()) {
                elsewhere = false;
                continue;
            }
            QFile source(QStringLiteral(TAVLIN_SOURCE_DIR "/tests/e2e/") + other.captured(1) +
                         QStringLiteral(".cpp"));
            QVERIFY2(source.open(QIODevice::ReadOnly), qPrintable(line));
            const QString code = QString::fromUtf8(source.readAll());
            for (QString otherSlot : other.captured(2).split(QLatin1Char(','))) {
                otherSlot = otherSlot.remove(QLatin1Char('`')).trimmed();
                QVERIFY2(code.contains(QStringLiteral("::%1() {").arg(otherSlot)),
                         qPrintable(line));
            }
        }
        if (elsewhere) {
            continue;
        }
        // `slot` or `slot/row` (the first part, when several).
        const QString slot = checkedBy.section(QLatin1Char(';'), 0, 0)
                                 .section(QLatin1Char('/'), 0, 0)
                                 .remove(QLatin1Char('`'))
                                 .trimmed();
        QVERIFY2(testSlots.contains(slot), qPrintable(line));
    }
    QVERIFY(rows >= 30);
}

void tst_Hostile::theMouseGivesThePageNoSelectionNoHistoryNoFile() {
    startShell();
    QVERIFY(m_shell->open(QStringLiteral("/hostile/pc")));
    QVERIFY(waitForBeacon(QStringLiteral("pc-ready")));
    QVERIFY(QTest::qWaitForWindowExposed(m_shell->window.get()));
    m_shell->window->raise();
    m_shell->window->activateWindow();
    // Whatever was last selected in any program: X11's selection.
    QGuiApplication::clipboard()->setText(QStringLiteral("the officer's own text"),
                                          QClipboard::Selection);
    // The middle button (paste), back and forward, then a plain click.
    for (const char* button : {"2", "8", "9", "1"}) {
        XDoTool(QStringList{QStringLiteral("mousemove")} + onScreen(QPoint(500, 400)) +
                QStringList{QStringLiteral("click"), QString::fromLatin1(button)});
    }
    // The page's picture dragged out, across the page and beyond the window.
    XDoTool(QStringList{QStringLiteral("mousemove")} + onScreen(QPoint(80, 80)) +
            QStringList{QStringLiteral("mousedown"), QStringLiteral("1")});
    for (const QPoint step : {QPoint(100, 100), QPoint(200, 200), QPoint(400, 400)}) {
        XDoTool(QStringList{QStringLiteral("mousemove")} + onScreen(step));
    }
    XDoTool({QStringLiteral("mouseup"), QStringLiteral("1")});
    QVERIFY(waitForBeacon(QStringLiteral("mouse-0")));
    QVERIFY(waitForBeacon(QStringLiteral("dragstart-")));
    QVERIFY(m_shell->settle());
    takeRequests();
    const QString seen = m_beacons.join(u' ');
    QVERIFY2(sawBeacon(QStringLiteral("dragstart-true")), qPrintable(seen)); // cancelled
    for (const char* never : {"mouse-1", "mouse-3", "mouse-4", "aux-", "paste", "input-"}) {
        QVERIFY2(!sawBeacon(QString::fromLatin1(never)), qPrintable(seen));
    }
    QCOMPARE(m_shell->browser->page()->url().path(), QStringLiteral("/hostile/pc"));
}

void tst_Hostile::afterLoginNothingEarlierIsReachable() {
    startShell();
    // The officer opens a guest's record, then presses 登录.
    QVERIFY(m_shell->open(QStringLiteral("/home")));
    QVERIFY(m_shell->open(QStringLiteral("/detail?id=1")));
    QVERIFY(m_shell->browser->page()->history()->canGoBack());
    QSignalSpy completed(m_shell->browser.get(), &Browser::documentComplete);
    emit Named<ImageButton>(*m_shell->window, "Img_Login")->clicked();
    QTRY_VERIFY_WITH_TIMEOUT(!completed.isEmpty() &&
                                 m_shell->browser->page()->url().path() == QStringLiteral("/login"),
                             20000);
    QVERIFY(m_shell->settle());
    QVERIFY(!m_shell->browser->page()->history()->canGoBack());
    // The next person presses the mouse's back button: the login page stays.
    XDoTool(QStringList{QStringLiteral("mousemove")} + onScreen(QPoint(500, 400)) +
            QStringList{QStringLiteral("click"), QStringLiteral("8")});
    QVERIFY(m_shell->settle());
    QCOMPARE(m_shell->browser->page()->url().path(), QStringLiteral("/login"));
    QVERIFY(!m_shell->browser->page()->history()->canGoBack());
}

void tst_Hostile::f6ReachesAPageThatHandlesIt() {
    startShell();
    QVERIFY(m_shell->open(QStringLiteral("/hostile/pc")));
    QVERIFY(waitForBeacon(QStringLiteral("pc-ready")));
    officerClicks(QPoint(500, 400));
    QVERIFY(waitForBeacon(QStringLiteral("mouse-0")));
    XDoTool({QStringLiteral("key"), QStringLiteral("F6")});
    QVERIFY(waitForBeacon(QStringLiteral("f6")));
    QVERIFY(m_shell->settle());
    QWidget* focus = QApplication::focusWidget();
    QVERIFY(focus != nullptr &&
            (focus == m_shell->browser->view() || m_shell->browser->view()->isAncestorOf(focus)));
    // A page that leaves F6 alone: it leads to the title strip.
    QVERIFY(m_shell->open(QStringLiteral("/home")));
    officerClicks(QPoint(500, 400));
    XDoTool({QStringLiteral("key"), QStringLiteral("F6")});
    QTRY_VERIFY_WITH_TIMEOUT(qobject_cast<ImageButton*>(QApplication::focusWidget()) != nullptr,
                             10000);
}

void tst_Hostile::serviceWorkerNeverAnswersTheStart() {
    startShell();
    QVERIFY(m_shell->open(QStringLiteral("/hostile/service-worker")));
    QVERIFY(waitForBeacon(QStringLiteral("sw-")));
    QVERIFY2(!sawBeacon(QStringLiteral("sw-registered")), qPrintable(m_beacons.join(u' ')));
    QTRY_VERIFY_WITH_TIMEOUT(
        LogMessages().contains(QStringLiteral("the page may not install a service worker")), 10000);
    // 登录 reaches the back end, with the start URL.
    takeRequests();
    emit Named<ImageButton>(*m_shell->window, "Img_Login")->clicked();
    QStringList requests;
    QVERIFY(LiveShell::WaitFor([&] {
        requests += takeRequests();
        return !requests.filter(QStringLiteral("/inspect?")).isEmpty();
    }));
    QVERIFY(m_shell->settle());
    takeRequests();
    QVERIFY2(!sawBeacon(QStringLiteral("sw-answered")), qPrintable(m_beacons.join(u' ')));
}

void tst_Hostile::aPageThatStopsAnsweringWhileIdleIsEndedWhenUsed() {
    startShell();
    m_shell->browser->setWatchWindow(2000);
    m_shell->browser->setHangTimeout(3000);
    QVERIFY(m_shell->open(QStringLiteral("/home")));
    // Nothing happens: the watchdog rests (no timer, no probe of the renderer).
    QTRY_VERIFY_WITH_TIMEOUT(!m_shell->browser->watching(), 10000);
    // The page stops answering on its own, unseen; the officer then clicks it.
    m_shell->browser->page()->runJavaScript(
        QStringLiteral("setTimeout(function () { for (;;) {} }, 0);"), QWebEngineScript::MainWorld);
    officerClicks(QPoint(500, 400));
    QTRY_VERIFY_WITH_TIMEOUT(m_shell->browser->watching(), 10000);
    // Its render process is ended and the officer gets the error panel.
    QTRY_VERIFY_WITH_TIMEOUT(!Named<ClickableLabel>(*m_shell->window, "Lb_Ref")->isHidden(), 20000);
    QVERIFY(LogMessages().contains(QStringLiteral("the page answered no script for 3 s")));
}

int main(int argc, char** argv) {
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    WebEngineBrowser::registerPhotoScheme();
    QApplication app(argc, argv);
    WebEngineBrowser::chooseComposition(); // as the program does
    tst_Hostile test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_hostile.moc"
