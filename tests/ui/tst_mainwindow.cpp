// The main window's logic with a scripted browser: loading state, start URL,
// configuration failures, page kinds, officer panels, retry and login.
#include "CodePage.h"
#include "Fakes.h"
#include "FileOper.h"
#include "ImageButton.h"
#include "ImgOper.h"
#include "Main.h"
#include "Named.h"

#include <QAccessible>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QMouseEvent>
#include <QMovie>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <fstream>

namespace {

QString Shown(const QWidget* w) {
    return w->isHidden() ? QStringLiteral("hidden") : QStringLiteral("shown");
}

} // namespace

class tst_MainWindow : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void loadingStateAndStartUrlOnShow();
    void missingConfigurationEndsTheStart();
    void firstPaintWaitsForTheStartRequestOnly();
    void emptyAddressEndsTheStart();
    void loadingPictureMovesOnlyWhileShown();
    void pageKinds_data();
    void pageKinds();
    void pageStatesAreHeldBriefly();
    void officerPanels();
    void officerPanelsArePlainTextOnOneLine();
    void officerIdWithoutNameWritesNothing();
    void retryLinkHidesTheErrorAndLoadsAgain();
    void loginReadsTheIdentityAgain();
    void homeRunsThePageFunction();
    void homeThatDoesNothingKeepsTheHistory();
    void outagesTryTheStartOrTheFailedPageInItsPlace();
    void aStartWithoutAnAnswerIsAnOutage();
    void doubleClickActsOnce();
    void titleButtonsAreButtonsToAssistiveTechnology();
    void hoverSwapsExactlyThatFace();
    void rightButtonNeverReachesThePage();
    void failuresAreLoggedWithTheirPrefixes();
    void importPhotoWritesOnlyWhatItCan();

private:
    std::unique_ptr<TFrm_Tavlin> makeWindow();
    void writeConfig(const std::string& iniContent);

    std::unique_ptr<QTemporaryDir> m_dir;
    FakeBrowser m_browser;
    FakeDialogs m_dialogs;
    FakeIdentity m_identity;
};

void tst_MainWindow::init() {
    m_dir = std::make_unique<QTemporaryDir>();
    QDir(m_dir->path()).mkdir(QStringLiteral("InspectConfig"));
    // http://127.0.0.1:9/inspect
    writeConfig("[URL]\r\nURL=aHR0cDovLzEyNy4wLjAuMTo5L2luc3BlY3Q=\r\n");
    m_browser.navigated.clear();
    m_browser.pageScripts.clear();
    m_browser.pageScriptsRun = true;
    m_browser.historyClears = 0;
    m_browser.failedLoadRepeatable = true;
    m_browser.failedLoadRepeats = 0;
    m_browser.hasDocument = true;
    m_browser.onTheProcessor = false;
    m_browser.elements.clear();
    m_dialogs.warnings.clear();
    m_identity.reads = 0;
    m_identity.identity =
        EnterpriseIdentity{" R02 ", "0001", "SN-1", "", "front desk", "ABC1234567890XYZ"};
}

void tst_MainWindow::cleanup() {
    m_dir.reset();
}

void tst_MainWindow::writeConfig(const std::string& iniContent) {
    WriteFile(m_dir->path() + QStringLiteral("/InspectConfig/Config.ini"), iniContent);
}

std::unique_ptr<TFrm_Tavlin> tst_MainWindow::makeWindow() {
    return std::make_unique<TFrm_Tavlin>(m_browser, m_identity, m_dialogs,
                                         m_dir->path().toStdString() + "/");
}

void tst_MainWindow::loadingStateAndStartUrlOnShow() {
    auto window = makeWindow();
    QVERIFY(!window->terminationRequested());
    QVERIFY(m_browser.navigated.isEmpty()); // nothing before the window shows
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));

    QCOMPARE(m_browser.navigated.size(), 1);
    const std::string expected = "http://127.0.0.1:9/inspect?id=MTIzNDU2Nzg5MA==&name=%E6%97%A0"
                                 "&type=UjAx&dog=U04tMQ==&other=front+desk&version=" +
                                 TFileOper::GetVersion();
    QCOMPARE(window->lastStartUrl(), expected);
    QCOMPARE(m_browser.navigated.first(), QUrl(QString::fromStdString(expected)));

    QCOMPARE(Shown(Named<QWidget>(*window, "Pnl_Msg")), QStringLiteral("shown"));
    QCOMPARE(Shown(Named<QLabel>(*window, "Lb_Msg")), QStringLiteral("shown"));
    QCOMPARE(Shown(Named<QLabel>(*window, "Img_Gif")), QStringLiteral("shown"));
    QCOMPARE(Shown(Named<ImageButton>(*window, "Img_Photo")), QStringLiteral("hidden"));
    QCOMPARE(Shown(Named<QLabel>(*window, "Lb_Base")), QStringLiteral("hidden"));
    QCOMPARE(Named<QLabel>(*window, "Lb_Msg")->text(),
             QStringLiteral("正在努力加载页面,请稍候......"));
    QCOMPARE(StatusPanel(*window, 0)->text(), QStringLiteral("企业编号：【1234567890】"));
    QCOMPARE(StatusPanel(*window, 3)->text(), QStringLiteral("无"));
    QCOMPARE(window->windowTitle(), QStringLiteral("Tavlin"));
    QCOMPARE(Named<QWidget>(*window, "Pnl_Msg")->property("tag").toInt(), 9999);
}

void tst_MainWindow::firstPaintWaitsForTheStartRequestOnly() {
    // The request goes out: the pictures are decoded and the window paints,
    // from the event loop once the browser's handling of the request is over.
    auto window = makeWindow();
    window->show();
    QVERIFY(!window->updatesEnabled());
    QVERIFY(Named<QLabel>(*window, "Img_Title")->pixmap().isNull());
    emit m_browser.documentRequested();
    QVERIFY(!window->updatesEnabled());
    QCoreApplication::sendPostedEvents(window.get(), QEvent::MetaCall); // not the hold's timer
    QVERIFY(window->updatesEnabled());
    QVERIFY(!Named<QLabel>(*window, "Img_Title")->pixmap().isNull());
    // With its pictures, the program's icon in every size of the desktop's.
    QCOMPARE(window->windowIcon().availableSizes().size(), 7);
    QCOMPARE(window->windowIcon().availableSizes().last(), QSize(256, 256));
    // A later request changes nothing about painting.
    emit m_browser.documentRequested();
    QVERIFY(window->updatesEnabled());

    // No request ever goes out (a back end that cannot be reached never gets
    // that far on some systems): the window paints all the same, soon.
    auto silent = makeWindow();
    QElapsedTimer shown;
    shown.start();
    silent->show();
    QVERIFY(!silent->updatesEnabled());
    QTRY_VERIFY_WITH_TIMEOUT(silent->updatesEnabled(), 5000);
    QVERIFY(shown.elapsed() >= TFrm_Tavlin::kFirstPaintHoldMs - 20); // timers may end 5 % early
}

void tst_MainWindow::loadingPictureMovesOnlyWhileShown() {
    auto window = makeWindow();
    window->show();
    emit m_browser.documentRequested();
    QCoreApplication::sendPostedEvents(window.get(), QEvent::MetaCall);
    const QMovie* movie = Named<QLabel>(*window, "Img_Gif")->movie();
    QVERIFY(movie != nullptr);
    QCOMPARE(movie->state(), QMovie::Running); // the loading panel shows it
    m_browser.complete(QStringLiteral("首页"));
    QCOMPARE(movie->state(), QMovie::Paused); // the page covers nothing: it waits
    m_browser.fail();
    QCOMPARE(movie->state(), QMovie::Paused); // the error texts, without the picture
    emit Named<ClickableLabel>(*window, "Lb_Ref")->clicked();
    QCOMPARE(movie->state(), QMovie::Running); // loading again
}

void tst_MainWindow::missingConfigurationEndsTheStart() {
    QFile::remove(m_dir->path() + QStringLiteral("/InspectConfig/Config.ini"));
    auto window = makeWindow();
    QVERIFY(window->terminationRequested());
    QCOMPARE(m_dialogs.warnings, QStringList{QStringLiteral("配置文件不存在,无法启动软件")});
}

void tst_MainWindow::emptyAddressEndsTheStart() {
    writeConfig("[URL]\r\nOther=1\r\n");
    auto window = makeWindow();
    QVERIFY(window->terminationRequested());
    QCOMPARE(m_dialogs.warnings, QStringList{QStringLiteral("读取网络地址为空,无法启动软件")});
}

void tst_MainWindow::pageKinds_data() {
    QTest::addColumn<QString>("title");
    QTest::addColumn<bool>("hasDocument");
    QTest::addColumn<QString>("panel");   // Pnl_Msg
    QTest::addColumn<QString>("photo");   // Img_Photo
    QTest::addColumn<QString>("index");   // Img_Index
    QTest::addColumn<QString>("error");   // Lb_Base, Lb_Ref, Lb_cs, Img_back
    QTest::addColumn<QString>("loading"); // Lb_Msg, Img_Gif

    QTest::newRow("login page") << "民警登录" << true << "hidden"
                                << "hidden"
                                << "hidden"
                                << "hidden"
                                << "shown";
    QTest::newRow("login wins over list") << "登录列表" << true << "hidden"
                                          << "hidden"
                                          << "hidden"
                                          << "hidden"
                                          << "shown";
    QTest::newRow("home page") << "首页" << true << "hidden"
                               << "hidden"
                               << "shown"
                               << "hidden"
                               << "shown";
    QTest::newRow("detail wins over list") << "列表详情" << true << "hidden"
                                           << "hidden"
                                           << "shown"
                                           << "hidden"
                                           << "shown";
    QTest::newRow("list keeps the panel") << "检查记录列表" << true << "shown"
                                          << "hidden"
                                          << "shown"
                                          << "hidden"
                                          << "shown";
    QTest::newRow("photo page by keyword") << "照片" << true << "hidden"
                                           << "shown"
                                           << "shown"
                                           << "hidden"
                                           << "shown";
    QTest::newRow("photo page exact title with blanks")
        << "  企业监督检查信息添加 " << true << "hidden"
        << "shown"
        << "shown"
        << "hidden"
        << "shown";
    QTest::newRow("exact title with more is a failure")
        << "企业监督检查信息添加2" << true << "shown"
        << "hidden"
        << "hidden"
        << "shown"
        << "hidden";
    QTest::newRow("empty title is a failure") << "" << true << "shown"
                                              << "hidden"
                                              << "hidden"
                                              << "shown"
                                              << "hidden";
    QTest::newRow("no document is a failure") << "首页" << false << "shown"
                                              << "hidden"
                                              << "hidden"
                                              << "shown"
                                              << "hidden";
}

void tst_MainWindow::pageKinds() {
    QFETCH(QString, title);
    QFETCH(bool, hasDocument);
    auto window = makeWindow();
    window->show();
    m_browser.hasDocument = hasDocument;
    m_browser.complete(title);
    QTEST(Shown(Named<QWidget>(*window, "Pnl_Msg")), "panel");
    QTEST(Shown(Named<ImageButton>(*window, "Img_Photo")), "photo");
    QTEST(Shown(Named<ImageButton>(*window, "Img_Index")), "index");
    for (QWidget* w : {static_cast<QWidget*>(Named<QLabel>(*window, "Lb_Base")),
                       static_cast<QWidget*>(Named<ClickableLabel>(*window, "Lb_Ref")),
                       static_cast<QWidget*>(Named<QLabel>(*window, "Lb_cs")),
                       static_cast<QWidget*>(Named<QLabel>(*window, "Img_back"))}) {
        QTEST(Shown(w), "error");
    }
    QTEST(Shown(Named<QLabel>(*window, "Lb_Msg")), "loading");
    QTEST(Shown(Named<QLabel>(*window, "Img_Gif")), "loading");
    QCOMPARE(Shown(Named<ImageButton>(*window, "Img_Login")), QStringLiteral("shown"));
    QCOMPARE(Shown(Named<ImageButton>(*window, "Img_Close")), QStringLiteral("shown"));
}

namespace {
// Counts the times a widget is shown or hidden.
class ShowHideCounter : public QObject {
public:
    int count = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        count += event->type() == QEvent::Show || event->type() == QEvent::Hide;
        return false;
    }
};
} // namespace

void tst_MainWindow::pageStatesAreHeldBriefly() {
    m_browser.onTheProcessor = true;
    auto window = makeWindow();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    auto* photo = Named<ImageButton>(*window, "Img_Photo");
    auto* panel = Named<QWidget>(*window, "Pnl_Msg");
    auto* hold = Named<QTimer>(*window, "pageStatesHold");
    ShowHideCounter photoChanges;
    photo->installEventFilter(&photoChanges);
    const auto draw = [&] {
        QEvent update(QEvent::UpdateRequest);
        QCoreApplication::sendEvent(window.get(), &update);
    };

    // Held: the window drawing meanwhile (a frame of the page) does not end
    // the hold; its end applies them.
    m_browser.complete(QStringLiteral("照片"));
    QCOMPARE(Shown(photo), QStringLiteral("hidden"));
    QVERIFY(hold->isActive());
    draw();
    QCOMPARE(Shown(photo), QStringLiteral("hidden"));
    QTRY_COMPARE_WITH_TIMEOUT(Shown(photo), QStringLiteral("shown"), 2000);
    QCOMPARE(Shown(panel), QStringLiteral("hidden"));
    QCOMPARE(photoChanges.count, 1);

    // A page whose states are on the screen already starts no hold.
    m_browser.complete(QStringLiteral("照片"));
    QVERIFY(!hold->isActive());

    // A page gone within the hold: its states never change a widget.
    m_browser.complete(QStringLiteral("首页"));
    m_browser.complete(QStringLiteral("照片"));
    QTRY_VERIFY_WITH_TIMEOUT(!hold->isActive(), 2000);
    QCOMPARE(Shown(photo), QStringLiteral("shown"));
    QCOMPARE(photoChanges.count, 1);

    // A change made meanwhile comes after the held ones: 登录 pressed before
    // the login page's states were applied leaves the loading panel up.
    m_browser.fail();
    m_browser.complete(QStringLiteral("民警登录"));
    emit Named<ImageButton>(*window, "Img_Login")->clicked();
    QVERIFY(!hold->isActive());
    QCOMPARE(Shown(panel), QStringLiteral("shown"));
    QCOMPARE(Shown(Named<QLabel>(*window, "Img_Gif")), QStringLiteral("shown"));
    QCOMPARE(Shown(Named<ImageButton>(*window, "Img_Index")), QStringLiteral("hidden"));
}

void tst_MainWindow::officerPanelsArePlainTextOnOneLine() {
    auto window = makeWindow();
    window->show();
    const QString markup = QStringLiteral("<b style=\"color:red;font-size:40px\">张三</b>"
                                          "<img src=\"file:///etc/hostname\">");
    m_browser.elements = {{QStringLiteral("Lbl_PoliceId"), QStringLiteral("1001")},
                          {QStringLiteral("Lbl_PoliceName"), markup},
                          {QStringLiteral("Lbl_PoliceOrgId"),
                           QString(200, QLatin1Char('x')) + QStringLiteral("\u2028伪造条目")}};
    m_browser.complete(QStringLiteral("首页"));
    QLabel* officer = StatusPanel(*window, 1);
    QCOMPARE(officer->textFormat(), Qt::PlainText);
    QVERIFY(officer->text().contains(QStringLiteral("<b style=")));
    // Capped, on one line, its end marked.
    QLabel* organisation = StatusPanel(*window, 2);
    QCOMPARE(organisation->text().size(), 60);
    QVERIFY(organisation->text().endsWith(QChar(0x2026)));
    for (QLabel* label : {officer, organisation}) {
        QCOMPARE(label->textFormat(), Qt::PlainText);
        for (const QChar c : label->text()) {
            QVERIFY(c.unicode() >= 0x20 && c.category() != QChar::Separator_Line);
        }
    }
}

void tst_MainWindow::officerPanels() {
    auto window = makeWindow();
    window->show();
    m_browser.elements = {{QStringLiteral("Lbl_PoliceId"), QStringLiteral("1001")},
                          {QStringLiteral("Lbl_PoliceName"), QStringLiteral(" AB\n")},
                          {QStringLiteral("Lbl_PoliceOrgId"), QStringLiteral("2002")}};
    m_browser.complete(QStringLiteral("首页"));
    // One line: the page's line break is a blank.
    QCOMPARE(StatusPanel(*window, 1)->text(), QStringLiteral("警员信息：【1001- AB 】"));
    QCOMPARE(StatusPanel(*window, 2)->text(), QStringLiteral("所属机构：【2002】"));

    // A page without the labels keeps the previous officer.
    m_browser.elements.clear();
    m_browser.complete(QStringLiteral("检查记录详情"));
    QCOMPARE(StatusPanel(*window, 1)->text(), QStringLiteral("警员信息：【1001- AB 】"));

    // The organisation alone.
    m_browser.elements = {{QStringLiteral("Lbl_PoliceOrgId"), QString()}};
    m_browser.complete(QStringLiteral("检查记录列表"));
    QCOMPARE(StatusPanel(*window, 1)->text(), QStringLiteral("警员信息：【1001- AB 】"));
    QCOMPARE(StatusPanel(*window, 2)->text(), QStringLiteral("所属机构：【】"));

    // The login page empties both.
    m_browser.complete(QStringLiteral("民警登录"));
    QCOMPARE(StatusPanel(*window, 1)->text(), QString());
    QCOMPARE(StatusPanel(*window, 2)->text(), QString());
}

void tst_MainWindow::officerIdWithoutNameWritesNothing() {
    auto window = makeWindow();
    window->show();
    m_browser.elements = {{QStringLiteral("Lbl_PoliceId"), QStringLiteral("1001")},
                          {QStringLiteral("Lbl_PoliceOrgId"), QStringLiteral("2002")}};
    m_browser.complete(QStringLiteral("首页"));
    QCOMPARE(StatusPanel(*window, 1)->text(), QString());
    QCOMPARE(StatusPanel(*window, 2)->text(), QString());
}

void tst_MainWindow::retryLinkHidesTheErrorAndLoadsAgain() {
    auto window = makeWindow();
    window->show();
    m_browser.fail();
    QCOMPARE(Shown(Named<ClickableLabel>(*window, "Lb_Ref")), QStringLiteral("shown"));
    QCOMPARE(Named<ClickableLabel>(*window, "Lb_Ref")->text(), QStringLiteral("刷新"));
    QCOMPARE(Named<QLabel>(*window, "Lb_Base")->text(), QStringLiteral("加载页面出错!请点击"));
    QCOMPARE(Named<QLabel>(*window, "Lb_cs")->text(), QStringLiteral("重试!"));

    QTest::mouseClick(Named<ClickableLabel>(*window, "Lb_Ref"), Qt::LeftButton);
    for (QWidget* w : {static_cast<QWidget*>(Named<QLabel>(*window, "Lb_Base")),
                       static_cast<QWidget*>(Named<ClickableLabel>(*window, "Lb_Ref")),
                       static_cast<QWidget*>(Named<QLabel>(*window, "Lb_cs")),
                       static_cast<QWidget*>(Named<QLabel>(*window, "Img_back"))}) {
        QCOMPARE(Shown(w), QStringLiteral("hidden"));
    }
    QCOMPARE(Shown(Named<QLabel>(*window, "Lb_Msg")), QStringLiteral("shown"));
    QCOMPARE(Shown(Named<QLabel>(*window, "Img_Gif")), QStringLiteral("shown"));
    QCOMPARE(m_browser.navigated.size(), 2);
    QCOMPARE(m_identity.reads, 1); // the retry does not read the identity again
}

void tst_MainWindow::loginReadsTheIdentityAgain() {
    auto window = makeWindow();
    window->show();
    m_browser.fail();
    m_identity.identity.EnterpriseNumber = "0002";
    m_identity.identity.TypeCode = "R01";
    emit Named<ImageButton>(*window, "Img_Login")->clicked();
    QCOMPARE(m_identity.reads, 2);
    QCOMPARE(Shown(Named<QLabel>(*window, "Lb_Base")), QStringLiteral("hidden"));
    QCOMPARE(m_browser.navigated.size(), 2);
    QVERIFY(window->lastStartUrl().find("?id=MDAwMg==&") != std::string::npos);
    QCOMPARE(StatusPanel(*window, 0)->text(), QStringLiteral("企业编号：【0002】"));
}

void tst_MainWindow::doubleClickActsOnce() {
    auto window = makeWindow();
    window->show();
    const int before = static_cast<int>(m_browser.navigated.size());
    // A double click as the platform delivers it: a click, then the double
    // click event and its release.
    QTest::mouseClick(Named<ImageButton>(*window, "Img_Login"), Qt::LeftButton);
    QTest::mouseDClick(Named<ImageButton>(*window, "Img_Login"), Qt::LeftButton);
    QCOMPARE(static_cast<int>(m_browser.navigated.size()), before + 1);
    QTest::mouseClick(Named<ImageButton>(*window, "Img_Index"), Qt::LeftButton);
    QTest::mouseDClick(Named<ImageButton>(*window, "Img_Index"), Qt::LeftButton);
    QCOMPARE(m_browser.pageScripts, QStringList{QStringLiteral("Func_RedirectIndex()")});
    // Two separate clicks are two actions.
    QTest::mouseClick(Named<ImageButton>(*window, "Img_Index"), Qt::LeftButton);
    QTest::mouseClick(Named<ImageButton>(*window, "Img_Index"), Qt::LeftButton);
    QCOMPARE(m_browser.pageScripts.size(), 3);
    // A press outside that ends inside is no click.
    QTest::mouseRelease(Named<ImageButton>(*window, "Img_Index"), Qt::LeftButton);
    QCOMPARE(m_browser.pageScripts.size(), 3);
}

void tst_MainWindow::titleButtonsAreButtonsToAssistiveTechnology() {
    auto window = makeWindow();
    window->show();
    const std::pair<ImageButton*, QString> buttons[] = {
        {Named<ImageButton>(*window, "Img_Photo"), QStringLiteral("拍照")},
        {Named<ImageButton>(*window, "Img_Index"), QStringLiteral("首页")},
        {Named<ImageButton>(*window, "Img_Login"), QStringLiteral("登录")},
        {Named<ImageButton>(*window, "Img_Close"), QStringLiteral("关闭")}};
    for (const auto& [button, name] : buttons) {
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(button);
        QVERIFY(accessible != nullptr);
        QCOMPARE(accessible->role(), QAccessible::Button);
        QCOMPARE(accessible->text(QAccessible::Name), name);
        QVERIFY(accessible->state().focusable);
        QVERIFY(accessible->actionInterface() != nullptr);
        // Pressable while shown; a hidden button offers nothing.
        QCOMPARE(accessible->actionInterface()->actionNames().contains(
                     QAccessibleActionInterface::pressAction()),
                 button->isVisible());
    }
    // Pressed through its action, a button does what a click does.
    const auto before = m_browser.navigated.size();
    QAccessible::queryAccessibleInterface(Named<ImageButton>(*window, "Img_Login"))
        ->actionInterface()
        ->doAction(QAccessibleActionInterface::pressAction());
    QCOMPARE(m_browser.navigated.size(), before + 1);
    // A hidden or disabled button does nothing, also through its action.
    auto* home = Named<ImageButton>(*window, "Img_Index");
    home->hide();
    QAccessible::queryAccessibleInterface(home)->actionInterface()->doAction(
        QAccessibleActionInterface::pressAction());
    home->show();
    home->setEnabled(false);
    QAccessible::queryAccessibleInterface(home)->actionInterface()->doAction(
        QAccessibleActionInterface::pressAction());
    QVERIFY(m_browser.pageScripts.isEmpty());
    home->setEnabled(true);
    QAccessible::queryAccessibleInterface(home)->actionInterface()->doAction(
        QAccessibleActionInterface::pressAction());
    QCOMPARE(m_browser.pageScripts, QStringList{QStringLiteral("Func_RedirectIndex()")});
}

void tst_MainWindow::homeRunsThePageFunction() {
    auto window = makeWindow();
    emit Named<ImageButton>(*window, "Img_Index")->clicked();
    QCOMPARE(m_browser.pageScripts, QStringList{QStringLiteral("Func_RedirectIndex()")});
}

void tst_MainWindow::homeThatDoesNothingKeepsTheHistory() {
    auto window = makeWindow();
    window->show();
    m_browser.complete(QStringLiteral("首页"));
    QCOMPARE(m_browser.historyClears, 1); // after the start
    // A page without Func_RedirectIndex: 首页 does nothing, and the next page
    // the officer opens can still go back.
    m_browser.pageScriptsRun = false;
    emit Named<ImageButton>(*window, "Img_Index")->clicked();
    m_browser.complete(QStringLiteral("详情"));
    QCOMPARE(m_browser.historyClears, 1);
    // With the function, the pages before its index page are forgotten.
    m_browser.pageScriptsRun = true;
    emit Named<ImageButton>(*window, "Img_Index")->clicked();
    m_browser.complete(QStringLiteral("首页"));
    QCOMPARE(m_browser.historyClears, 2);
    m_browser.complete(QStringLiteral("详情"));
    QCOMPARE(m_browser.historyClears, 2);
}

// Fires the window's try after an outage now, as its wait would.
static bool FireOutageRetry(TFrm_Tavlin& window) {
    auto* retry = window.findChild<QTimer*>(QStringLiteral("outageRetry"));
    if (retry == nullptr || !retry->isActive()) {
        return false;
    }
    retry->start(0);
    return QTest::qWaitFor([retry] { return !retry->isActive(); }, 5000);
}

void tst_MainWindow::outagesTryTheStartOrTheFailedPageInItsPlace() {
    const auto failures = [] { return LogMessages().count(QStringLiteral("加载页面失败")); };
    const qsizetype before = failures();
    auto window = makeWindow();
    window->show();
    // The start fails for an outage: it is tried again by itself.
    emit m_browser.loadFailed(QStringLiteral("ERR_CONNECTION_REFUSED"), true);
    m_browser.fail();
    QVERIFY(FireOutageRetry(*window));
    QCOMPARE(m_browser.navigated.size(), 2);
    QCOMPARE(m_browser.failedLoadRepeats, 0);
    // The start came; then a page inside the application fails for an outage.
    m_browser.complete(QStringLiteral("首页"));
    QCOMPARE(Shown(Named<QWidget>(*window, "Pnl_Msg")), QStringLiteral("hidden"));
    emit m_browser.loadFailed(QStringLiteral("ERR_CONNECTION_REFUSED"), true);
    m_browser.fail();
    // The officer stays where the page was: the panel stays down, the start
    // is not asked for, the failed page is asked again in its place.
    QVERIFY(FireOutageRetry(*window));
    QCOMPARE(m_browser.navigated.size(), 2);
    QCOMPARE(m_browser.failedLoadRepeats, 1);
    QCOMPARE(Shown(Named<QWidget>(*window, "Pnl_Msg")), QStringLiteral("hidden"));
    // Still out: tried again later, one log line for the whole outage.
    emit m_browser.loadFailed(QStringLiteral("ERR_CONNECTION_REFUSED"), true);
    m_browser.fail();
    QVERIFY(FireOutageRetry(*window));
    QCOMPARE(m_browser.failedLoadRepeats, 2);
    QCOMPARE(failures() - before, 2); // the start's and this one
    // A form sent that failed is not sent again: nothing to ask for.
    m_browser.complete(QStringLiteral("详情"));
    m_browser.failedLoadRepeatable = false;
    emit m_browser.loadFailed(QStringLiteral("ERR_CONNECTION_RESET"), true);
    m_browser.fail();
    QVERIFY(FireOutageRetry(*window));
    QCOMPARE(m_browser.navigated.size(), 2);
    QCOMPARE(m_browser.failedLoadRepeats, 2);
}

void tst_MainWindow::aStartWithoutAnAnswerIsAnOutage() {
    auto window = makeWindow();
    window->show();
    emit m_browser.loadTimedOut(30, QStringLiteral("http://127.0.0.1:9/inspect"));
    QCOMPARE(Shown(Named<ClickableLabel>(*window, "Lb_Ref")), QStringLiteral("shown"));
    QVERIFY(LogMessages().contains(
        QStringLiteral("加载页面失败，错误：no answer within 30 s at http://127.0.0.1:9/inspect")));
    QVERIFY(FireOutageRetry(*window));
    QCOMPARE(m_browser.navigated.size(), 2);
    // An inner page without an answer is the officer's to try again.
    m_browser.complete(QStringLiteral("首页"));
    emit m_browser.loadTimedOut(30, QStringLiteral("http://127.0.0.1:9/a"));
    QVERIFY(LogMessages().contains(
        QStringLiteral("加载页面失败，错误：the page did not finish loading within 30 s")));
    QCOMPARE(Shown(Named<QWidget>(*window, "Pnl_Msg")), QStringLiteral("shown"));
    QCOMPARE(Shown(Named<ClickableLabel>(*window, "Lb_Ref")), QStringLiteral("shown"));
    QVERIFY(!FireOutageRetry(*window));
    QCOMPARE(m_browser.navigated.size(), 2);
}

void tst_MainWindow::hoverSwapsExactlyThatFace() {
    auto window = makeWindow();
    window->show();
    const std::array<ImageButton*, 4> buttons = {
        Named<ImageButton>(*window, "Img_Photo"), Named<ImageButton>(*window, "Img_Close"),
        Named<ImageButton>(*window, "Img_Index"), Named<ImageButton>(*window, "Img_Login")};
    for (std::size_t i = 0; i < buttons.size(); ++i) {
        emit buttons[i]->entered();
        for (std::size_t k = 0; k < buttons.size(); ++k) {
            const QImage face = buttons[k]->pixmap().toImage();
            const QImage expected = window->titleFaces()[2 * k + (k == i ? 1 : 0)].toImage();
            QCOMPARE(face, expected);
        }
        emit buttons[i]->left();
        QCOMPARE(buttons[i]->pixmap().toImage(), window->titleFaces()[2 * i].toImage());
    }
}

namespace {

// Counts the mouse presses that reach it, by button.
class PressCounter : public QWidget {
public:
    using QWidget::QWidget;
    int right = 0;
    int left = 0;

protected:
    void mousePressEvent(QMouseEvent* event) override {
        (event->button() == Qt::RightButton ? right : left) += 1;
    }
    void mouseDoubleClickEvent(QMouseEvent* event) override { mousePressEvent(event); }
};

} // namespace

void tst_MainWindow::rightButtonNeverReachesThePage() {
    auto window = makeWindow();
    // A widget deep inside the browser's view, as the page's own widget is.
    auto* inner = new PressCounter(new QWidget(m_browser.view()));
    inner->resize(50, 50);
    // And one elsewhere in the window.
    auto* outside = new PressCounter(Named<QStatusBar>(*window, "StatusBar"));
    outside->resize(50, 15);
    Named<QWidget>(*window, "Pnl_Msg")->hide();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    inner->parentWidget()->show();
    inner->show();
    outside->show();

    QTest::mousePress(inner, Qt::RightButton);
    QTest::mouseRelease(inner, Qt::RightButton);
    QTest::mouseDClick(inner, Qt::RightButton);
    QCOMPARE(inner->right, 0);
    QTest::mousePress(inner, Qt::LeftButton);
    QCOMPARE(inner->left, 1);

    QTest::mousePress(outside, Qt::RightButton);
    QCOMPARE(outside->right, 1);

    QMouseEvent press(QEvent::MouseButtonPress, QPointF(1, 1), QPointF(1, 1), Qt::RightButton,
                      Qt::RightButton, Qt::NoModifier);
    QVERIFY(window->ApplicationEvents1Message(m_browser.view(), &press));
    QVERIFY(!window->ApplicationEvents1Message(Named<QStatusBar>(*window, "StatusBar"), &press));
}

void tst_MainWindow::failuresAreLoggedWithTheirPrefixes() {
    ClearLog();
    auto window = makeWindow();
    window->show();

    // A title the browser could not read: one line, and the window keeps its state.
    m_browser.completeUnread(QStringLiteral("the page gave no answer"));
    QCOMPARE(Shown(Named<QLabel>(*window, "Lb_Base")), QStringLiteral("hidden"));
    QCOMPARE(Shown(Named<QLabel>(*window, "Lb_Msg")), QStringLiteral("shown"));
    QVERIFY2(LogText().contains(
                 QStringLiteral("-----MAIN: 加载页面失败，错误：the page gave no answer\r\n")),
             qPrintable(LogText()));

    // The id label without the name label.
    m_browser.elements = {{QStringLiteral("Lbl_PoliceId"), QStringLiteral("1001")}};
    m_browser.complete(QStringLiteral("首页"));
    QVERIFY(LogText().contains(
        QStringLiteral("-----MAIN: 获取登录的警员信息失败,错误:Lbl_PoliceName not found\r\n")));

    // A render process that dies: logged, and the panel comes up with the retry link.
    QCOMPARE(Shown(Named<QWidget>(*window, "Pnl_Msg")), QStringLiteral("hidden"));
    emit m_browser.pageFailed(QStringLiteral("render process ended (status 2, exit code 9)"));
    QCOMPARE(Shown(Named<QWidget>(*window, "Pnl_Msg")), QStringLiteral("shown"));
    QCOMPARE(Shown(Named<ClickableLabel>(*window, "Lb_Ref")), QStringLiteral("shown"));
    QCOMPARE(Shown(Named<QLabel>(*window, "Lb_Msg")), QStringLiteral("hidden"));
    QVERIFY(LogText().contains(QStringLiteral(
        "-----MAIN: 加载页面失败，错误：render process ended (status 2, exit code 9)\r\n")));
    QCOMPARE(LogText().count(QLatin1Char('\n')), 3);
    ClearLog();
}

void tst_MainWindow::importPhotoWritesOnlyWhatItCan() {
    ClearLog();
    auto window = makeWindow();
    // No file: nothing written, nothing logged.
    window->ImportPhoto(m_dir->path() + QStringLiteral("/USB_Temp.jpg"));
    QVERIFY(m_browser.photoWrites.isEmpty());
    QCOMPARE(LogText(), QString());

    // A photo: its Base64 text, and the file for the picture.
    const QString photo = m_dir->path() + QStringLiteral("/USB_Temp.jpg");
    WriteFile(photo, std::string(100, '\xAB'));
    window->ImportPhoto(photo);
    window->ImportPhoto(photo);
    QCOMPARE(m_browser.photoWrites.size(), 2);
    QCOMPARE(m_browser.photoWrites[0].inputId, QStringLiteral("Txt_InspectPhotoStr"));
    QCOMPARE(m_browser.photoWrites[0].imageId, QStringLiteral("Img_InspectPhoto"));
    QCOMPARE(m_browser.photoWrites[0].text.toStdString(),
             TImgOper::ImageToBase64(photo.toStdString()));
    QCOMPARE(m_browser.photoWrites[0].path, photo);
    QCOMPARE(LogText(), QString());

    // The page refuses: one line with the import's prefix.
    m_browser.photoResult = ScriptResult::NoDocument();
    window->ImportPhoto(photo);
    QVERIFY2(LogText().contains(QStringLiteral("-----MAIN: 导入照片时失败,错误:no document\r\n")),
             qPrintable(LogText()));
    QCOMPARE(LogText().count(QLatin1Char('\n')), 1);
    m_browser.photoResult = ScriptResult{true, {}, {}};
    ClearLog();

    // A file that cannot be read: ImageToBase64's own line, and the page untouched.
    const QString unreadable = m_dir->path() + QStringLiteral("/folder.jpg");
    QDir().mkdir(unreadable);
    const auto writes = m_browser.photoWrites.size();
    window->ImportPhoto(unreadable);
    QCOMPARE(m_browser.photoWrites.size(), writes);
    QVERIFY(LogText().contains(QStringLiteral("Base64编码图片时失败,图片名称:") + unreadable));
    QVERIFY(!LogText().contains(QStringLiteral("导入照片时失败")));
    ClearLog();
}

QTEST_MAIN(tst_MainWindow)
#include "tst_mainwindow.moc"
