// The main window following the sample web application with the real browser:
// page kinds, frames, officer panels, Home, the right-button filter, failed
// loads and a render process that dies.
#include "CodePage.h"
#include "Dialogs.h"
#include "Fakes.h"
#include "ImageButton.h"
#include "IniIdentitySource.h"
#include "LiveShell.h"
#include "Main.h"
#include "Named.h"
#include "PageScripts.h"
#include "SampleSite.h"
#include "WebEngineBrowser.h"

#include <QLabel>
#include <QLoggingCategory>
#include <QMap>
#include <QProcess>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTest>
#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>

#include <csignal>

class tst_Pages : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void pageKindsFollowTheTitles();
    void everyDocumentCompletesOnce();
    void navigationTraceOnlyWhenAskedFor();
    void aClaimAtLoadEndTakesOnlyItsOwnDocument();
    void framesInsideAPageChangeNothing();
    void officerPanelsFollowTheLabels();
    void rareCharactersOfNamesAreDrawnInThePage();
    void homeRunsThePagesOwnFunction();
    void rightClicksNeverReachThePage();
    void failedLoadsShowTheRetryLink();
    void pageKindFollowsTheTitleWhateverTheStatus_data();
    void pageKindFollowsTheTitleWhateverTheStatus();
    void abortedNavigationChangesNothing_data();
    void abortedNavigationChangesNothing();
    void windowAndBrowserGoInEitherOrder();
    void deadRenderProcessShowsTheRetryLink();

private:
    void open(const QString& path);
    QStringList requests() { return m_site.takeRequests(); }
    QString panel(std::size_t i) const {
        return StatusPanel(*m_shell->window, static_cast<int>(i))->text();
    }

    SampleSite m_site;
    QString m_base;
    FakeDialogs m_dialogs;
    std::unique_ptr<LiveShell> m_shell;
};

void tst_Pages::initTestCase() {
    QVERIFY(m_site.start());
    m_base = m_site.base();
}

void tst_Pages::init() {
    m_shell = std::make_unique<LiveShell>(m_base, m_dialogs);
    QVERIFY(m_shell->started);
}

void tst_Pages::cleanup() {
    m_shell.reset();
}

void tst_Pages::open(const QString& path) {
    QVERIFY(m_shell->open(path));
}

void tst_Pages::pageKindsFollowTheTitles() {
    open(QStringLiteral("/home"));
    QVERIFY(!Named<ImageButton>(*m_shell->window, "Img_Index")->isHidden());
    QVERIFY(Named<ImageButton>(*m_shell->window, "Img_Photo")->isHidden());
    open(QStringLiteral("/photo"));
    QVERIFY(!Named<ImageButton>(*m_shell->window, "Img_Photo")->isHidden());
    QVERIFY(!Named<ImageButton>(*m_shell->window, "Img_Index")->isHidden());
    open(QStringLiteral("/list"));
    QVERIFY(Named<ImageButton>(*m_shell->window, "Img_Photo")->isHidden());
    QVERIFY(!Named<ImageButton>(*m_shell->window, "Img_Index")->isHidden());
    open(QStringLiteral("/login"));
    QVERIFY(Named<ImageButton>(*m_shell->window, "Img_Index")->isHidden());
    // An unknown title inside the application hides both buttons; the page stays in view.
    open(QStringLiteral("/home"));
    open(QStringLiteral("/notice"));
    QVERIFY(Named<ImageButton>(*m_shell->window, "Img_Index")->isHidden());
    QVERIFY(Named<ImageButton>(*m_shell->window, "Img_Photo")->isHidden());
    QVERIFY(Named<QWidget>(*m_shell->window, "Pnl_Msg")->isHidden());
}

void tst_Pages::everyDocumentCompletesOnce() {
    QSignalSpy completed(m_shell->browser.get(), &Browser::documentComplete);
    // A page that stays completes once, though both its load event and the
    // end of its load announce it.
    open(QStringLiteral("/list"));
    QVERIFY(m_shell->settle());
    QCOMPARE(completed.count(), 1);
    // Pages that move on from their own load event never stop loading in
    // between; each of them completes all the same, once, and the window
    // follows them: 首页, 列表, 详情, then 照片 with its Photo button.
    completed.clear();
    m_shell->browser->navigate(QUrl(m_base + QStringLiteral("/chain/4/0")));
    QTRY_COMPARE_WITH_TIMEOUT(completed.count(), 4, 20000);
    QTRY_COMPARE_WITH_TIMEOUT(m_shell->browser->page()->isLoading(), false, 10000);
    QVERIFY(m_shell->settle());
    QCOMPARE(completed.count(), 4);
    for (const QList<QVariant>& completion : completed) {
        QVERIFY(completion.at(0).value<Browser::CompletedPage>().ok);
    }
    QVERIFY(!Named<ImageButton>(*m_shell->window, "Img_Photo")->isHidden());
    QVERIFY(!Named<ImageButton>(*m_shell->window, "Img_Index")->isHidden());
    QVERIFY(Named<QWidget>(*m_shell->window, "Pnl_Msg")->isHidden());
    QCOMPARE(panel(1), QStringLiteral("警员信息：【110231-张建国】"));
}

namespace {
QStringList g_trace;
void KeepTrace(QtMsgType, const QMessageLogContext& context, const QString& message) {
    if (QByteArray(context.category) == "tavlin.navigation") {
        g_trace.append(message);
    }
}
} // namespace

void tst_Pages::navigationTraceOnlyWhenAskedFor() {
    QSignalSpy completed(m_shell->browser.get(), &Browser::documentComplete);
    g_trace.clear();
    const QtMessageHandler before = qInstallMessageHandler(KeepTrace);
    const auto walk = [&] {
        completed.clear();
        m_shell->browser->navigate(QUrl(m_base + QStringLiteral("/chain/3/0")));
        QTRY_COMPARE_WITH_TIMEOUT(completed.count(), 3, 20000);
    };
    walk(); // off by default
    QVERIFY2(g_trace.isEmpty(), qPrintable(g_trace.join(QLatin1Char('|'))));

    QLoggingCategory::setFilterRules(QStringLiteral("tavlin.navigation.debug=true"));
    walk();
    QLoggingCategory::setFilterRules({});
    qInstallMessageHandler(before);
    // Each page: asked, then its document, its load event and the window's
    // handling (which says its own time too); a later page may be asked for
    // before the last one's load event is reported.
    QStringList stages;
    for (const QString& line : g_trace) {
        const QStringList words = line.split(QLatin1Char(' '));
        QVERIFY2(words.size() >= 2 && words.at(1).toDouble() >= 0, qPrintable(line));
        QCOMPARE(words.size(), words.at(0) == QLatin1String("shown") ? 3 : 2);
        stages.append(words.at(0));
    }
    QCOMPARE(stages.count(QStringLiteral("asked")), 3);
    QCOMPARE(stages.count(QStringLiteral("document")), 3);
    QCOMPARE(stages.count(QStringLiteral("loaded")), 3);
    QCOMPARE(stages.count(QStringLiteral("shown")), 3);
    QCOMPARE(stages.first(), QStringLiteral("asked"));
    QCOMPARE(stages.last(), QStringLiteral("shown"));
    for (qsizetype i = 0, asked = 0, documents = 0; i < stages.size(); ++i) {
        asked += stages.at(i) == QLatin1String("asked");
        documents += stages.at(i) == QLatin1String("document");
        QVERIFY2(documents <= asked, qPrintable(stages.join(QLatin1Char(' '))));
    }
}

void tst_Pages::framesInsideAPageChangeNothing() {
    open(QStringLiteral("/home"));
    QTRY_COMPARE(panel(1), QStringLiteral("警员信息：【110231-张建国】"));
    open(QStringLiteral("/frames"));
    QStringList seen;
    QTRY_VERIFY2_WITH_TIMEOUT((seen += requests()).contains(QStringLiteral("/frame/login")),
                              qPrintable(seen.join(QLatin1Char(' '))), 10000);
    QVERIFY(m_shell->settle());
    // The frame titled 民警登录 did not count as a login page.
    QVERIFY(!Named<ImageButton>(*m_shell->window, "Img_Index")->isHidden());
    QCOMPARE(panel(1), QStringLiteral("警员信息：【110231-张建国】"));
}

void tst_Pages::officerPanelsFollowTheLabels() {
    open(QStringLiteral("/home"));
    QTRY_COMPARE(panel(1), QStringLiteral("警员信息：【110231-张建国】"));
    QCOMPARE(panel(2), QStringLiteral("所属机构：【城关派出所】"));
    open(QStringLiteral("/nolabels"));
    QCOMPARE(panel(1), QStringLiteral("警员信息：【110231-张建国】"));
    open(QStringLiteral("/orgonly"));
    QTRY_COMPARE(panel(2), QStringLiteral("所属机构：【治安大队】"));
    QCOMPARE(panel(1), QStringLiteral("警员信息：【110231-张建国】"));
    open(QStringLiteral("/noname"));
    QCOMPARE(panel(2), QStringLiteral("所属机构：【治安大队】")); // nothing written
    open(QStringLiteral("/login"));
    QCOMPARE(panel(1), QString());
    QCOMPARE(panel(2), QString());
}

void tst_Pages::homeRunsThePagesOwnFunction() {
    open(QStringLiteral("/list"));
    requests();
    emit Named<ImageButton>(*m_shell->window, "Img_Index")->clicked();
    QStringList seen;
    QTRY_VERIFY2_WITH_TIMEOUT((seen += requests()).contains(QStringLiteral("/home?from=index")),
                              qPrintable(seen.join(QLatin1Char(' '))), 10000);
    // A page without the function: nothing happens, nothing breaks.
    open(QStringLiteral("/noindex"));
    requests();
    emit Named<ImageButton>(*m_shell->window, "Img_Index")->clicked();
    // A request the page makes after the index click's script has run.
    m_shell->browser->runPageScript(
        QStringLiteral("new Image().src = '/report?event=marker&t=' + Date.now();"));
    seen.clear();
    QTRY_VERIFY2_WITH_TIMEOUT(
        (seen += requests()).filter(QStringLiteral("/report?event=marker")).size() == 1,
        qPrintable(seen.join(QLatin1Char(' '))), 10000);
    QVERIFY2(seen.filter(QStringLiteral("/home")).isEmpty(),
             qPrintable(seen.join(QLatin1Char(' '))));
}

void tst_Pages::rightClicksNeverReachThePage() {
    open(QStringLiteral("/rightclick"));
    QWidget* view = m_shell->browser->view();
    QVERIFY(QTest::qWaitForWindowExposed(m_shell->window.get()));
    // The page's own input widget is the view's focus proxy, or the view itself.
    QWidget* target = view->focusProxy() != nullptr ? view->focusProxy() : view;
    requests();
    const QPoint inside(200, 200);
    QTest::mouseClick(target, Qt::RightButton, Qt::NoModifier, inside);
    QTest::mouseDClick(target, Qt::RightButton, Qt::NoModifier, inside);
    // A left click does arrive, after them: the page and its reporting work,
    // and nothing of the right button came before it.
    QTest::mouseClick(target, Qt::LeftButton, Qt::NoModifier, inside);
    QStringList seen;
    QTRY_VERIFY2_WITH_TIMEOUT(
        (seen += requests()).contains(QStringLiteral("/report?event=click&button=0")),
        qPrintable(seen.join(QLatin1Char(' '))), 10000);
    for (const QString& report : seen.filter(QStringLiteral("/report?"))) {
        QVERIFY2(report.contains(QStringLiteral("button=0")), qPrintable(report));
    }
    // And the right button outside the page is not touched.
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(1, 1), QPointF(1, 1), Qt::RightButton,
                      Qt::RightButton, Qt::NoModifier);
    QVERIFY(!m_shell->window->ApplicationEvents1Message(
        Named<QStatusBar>(*m_shell->window, "StatusBar"), &press));
}

void tst_Pages::failedLoadsShowTheRetryLink() {
    // The back end answers 500: its page has no known title.
    emit Named<ClickableLabel>(*m_shell->window, "Lb_Ref")
        ->clicked(); // from the loading state, as at the start
    QTRY_VERIFY_WITH_TIMEOUT(Named<QWidget>(*m_shell->window, "Pnl_Msg")->isHidden(), 30000);
    Named<QWidget>(*m_shell->window, "Pnl_Msg")
        ->show(); // the panel is up while loading in the start road
    open(QStringLiteral("/error500"));
    QVERIFY(!Named<ClickableLabel>(*m_shell->window, "Lb_Ref")->isHidden());
    QVERIFY(!Named<QLabel>(*m_shell->window, "Lb_Base")->isHidden());
    QVERIFY(Named<QLabel>(*m_shell->window, "Lb_Msg")->isHidden());
    // The retry link loads the start again and the page comes back.
    QTest::mouseClick(Named<ClickableLabel>(*m_shell->window, "Lb_Ref"), Qt::LeftButton);
    QVERIFY(Named<ClickableLabel>(*m_shell->window, "Lb_Ref")->isHidden());
    QTRY_VERIFY_WITH_TIMEOUT(Named<QWidget>(*m_shell->window, "Pnl_Msg")->isHidden(), 30000);
}

void tst_Pages::pageKindFollowsTheTitleWhateverTheStatus_data() {
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("title");
    QTest::addColumn<bool>("recognised"); // the panel comes down; else the error texts show
    QTest::addColumn<bool>("index");
    QTest::newRow("401 login page") << 401 << QStringLiteral("用户登录") << true << false;
    QTest::newRow("403 home page") << 403 << QStringLiteral("首页") << true << true;
    QTest::newRow("404 detail page") << 404 << QStringLiteral("检查详情") << true << true;
    QTest::newRow("500 photo page") << 500 << QStringLiteral("照片上传") << true << true;
    QTest::newRow("500 without a keyword") << 500 << QStringLiteral("服务器错误") << false << false;
}

void tst_Pages::pageKindFollowsTheTitleWhateverTheStatus() {
    QFETCH(int, status);
    QFETCH(QString, title);
    QFETCH(bool, recognised);
    QFETCH(bool, index);
    // As at the start: the loading panel is up.
    Named<QWidget>(*m_shell->window, "Pnl_Msg")->show();
    Named<QLabel>(*m_shell->window, "Lb_Msg")->show();
    open(QStringLiteral("/status/%1/").arg(status) +
         QString::fromLatin1(QUrl::toPercentEncoding(title)));
    QCOMPARE(Named<QWidget>(*m_shell->window, "Pnl_Msg")->isHidden(), recognised);
    QCOMPARE(Named<ClickableLabel>(*m_shell->window, "Lb_Ref")->isHidden(), recognised);
    QCOMPARE(!Named<ImageButton>(*m_shell->window, "Img_Index")->isHidden(), index);
    if (!recognised) {
        emit Named<ClickableLabel>(*m_shell->window, "Lb_Ref")
            ->clicked(); // back to a page for the next row
        QTRY_VERIFY_WITH_TIMEOUT(Named<QWidget>(*m_shell->window, "Pnl_Msg")->isHidden(), 30000);
    }
}

void tst_Pages::abortedNavigationChangesNothing_data() {
    QTest::addColumn<QString>("script");
    QTest::newRow("answer without content") << QStringLiteral("location.href = '/nocontent';");
    QTest::newRow("refused download") << QStringLiteral("location.href = '/download';");
    QTest::newRow("superseded by another")
        << QStringLiteral("location.href = '/list'; location.href = '/nocontent';");
}

void tst_Pages::abortedNavigationChangesNothing() {
    QFETCH(QString, script);
    open(QStringLiteral("/photo"));
    QVERIFY(!Named<ImageButton>(*m_shell->window, "Img_Photo")->isHidden());
    bool ended = false;
    QObject context;
    connect(m_shell->browser->page(), &QWebEnginePage::loadingChanged, &context,
            [&ended](const QWebEngineLoadingInfo& info) {
                ended = ended || info.status() == QWebEngineLoadingInfo::LoadFailedStatus ||
                        info.status() == QWebEngineLoadingInfo::LoadStoppedStatus;
            });
    QSignalSpy completed(m_shell->browser.get(), &Browser::documentComplete);
    m_shell->browser->runPageScript(script);
    // The navigation has ended (refused, empty or replaced) once a load
    // stopped or failed.
    QTRY_VERIFY_WITH_TIMEOUT(ended, 10000);
    QVERIFY(m_shell->settle());
    QVERIFY(completed.isEmpty());
    // The photo page stays, with its buttons, and no error panel.
    QCOMPARE(m_shell->browser->page()->url().path(), QStringLiteral("/photo"));
    QVERIFY(!Named<ImageButton>(*m_shell->window, "Img_Photo")->isHidden());
    QVERIFY(!Named<ImageButton>(*m_shell->window, "Img_Index")->isHidden());
    QVERIFY(Named<QWidget>(*m_shell->window, "Pnl_Msg")->isHidden());
}

void tst_Pages::windowAndBrowserGoInEitherOrder() {
    for (const bool windowFirst : {true, false}) {
        auto browser = std::make_unique<WebEngineBrowser>();
        IniIdentitySource identity(m_shell->folder());
        FakeDialogs dialogs;
        auto window = std::make_unique<TFrm_Tavlin>(*browser, identity, dialogs, m_shell->folder());
        QSignalSpy done(browser.get(), &Browser::documentComplete);
        window->show();
        QTRY_VERIFY_WITH_TIMEOUT(!done.isEmpty(), 30000);
        // The view is the window's child: Qt's ownership frees it.
        QVERIFY(window->isAncestorOf(browser->view()));
        if (windowFirst) {
            window.reset();
            QVERIFY(browser->view() == nullptr);
            QCoreApplication::processEvents(); // the browser lives on without its view
            browser.reset();
        } else {
            browser.reset();
            window.reset();
        }
    }
}

void tst_Pages::deadRenderProcessShowsTheRetryLink() {
    open(QStringLiteral("/home"));
    // This page's own render process, and no other.
    const qint64 renderer = m_shell->browser->page()->renderProcessPid();
    QVERIFY(renderer > 0);
    QCOMPARE(::kill(static_cast<pid_t>(renderer), SIGKILL), 0);
    QTRY_VERIFY_WITH_TIMEOUT(!Named<ClickableLabel>(*m_shell->window, "Lb_Ref")->isHidden(), 20000);
    QVERIFY(!Named<QWidget>(*m_shell->window, "Pnl_Msg")->isHidden());
    QTest::mouseClick(Named<ClickableLabel>(*m_shell->window, "Lb_Ref"), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(Named<QWidget>(*m_shell->window, "Pnl_Msg")->isHidden(), 30000);
    QVERIFY(Named<ClickableLabel>(*m_shell->window, "Lb_Ref")->isHidden());
}

int main(int argc, char** argv) {
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    WebEngineBrowser::registerPhotoScheme();
    QApplication app(argc, argv);
    WebEngineBrowser::chooseComposition(); // as the program does
    tst_Pages test;
    return QTest::qExec(&test, argc, argv);
}

void tst_Pages::aClaimAtLoadEndTakesOnlyItsOwnDocument() {
    // A claim asked again for the last document after the page has moved on
    // (its load report came while the claim waited) finds another document:
    // it leaves it unclaimed, or that document would never complete.
    QVERIFY(m_shell->open(QStringLiteral("/list")));
    const QString own = m_shell->browser->pinDocument().ticket;
    QVERIFY(!own.isEmpty());
    const QVariantMap other =
        m_shell->evaluate(PageScripts::ClaimAtLoadEnd(QStringLiteral("an-earlier-document")))
            .toMap();
    QVERIFY(other.value(QStringLiteral("otherDocument")).toBool());
    const QVariantMap mine = m_shell->evaluate(PageScripts::ClaimAtLoadEnd(own)).toMap();
    QVERIFY(!mine.value(QStringLiteral("otherDocument")).toBool());
    QVERIFY(mine.value(QStringLiteral("claimed")).toBool()); // by its load report
}

void tst_Pages::rareCharactersOfNamesAreDrawnInThePage() {
    // 𠮷 and 㐀 drawn by the engine with the fonts the package depends on
    // (the page's default sans-serif and serif), compared with an unassigned
    // code point, which is the empty box (or nothing) in every font.
    QVERIFY(m_shell->open(QStringLiteral("/home")));
    const QVariantMap drawn =
        m_shell
            ->evaluate(QStringLiteral(
                "(function () {"
                "  function ink(text, font) {"
                "    var c = document.createElement('canvas'); c.width = 48; c.height = 40;"
                "    var x = c.getContext('2d'); x.font = '32px ' + font;"
                "    x.fillText(text, 4, 32);"
                "    return Array.prototype.join.call(x.getImageData(0, 0, 48, 40).data, '');"
                "  }"
                "  var result = {};"
                "  ['sans-serif', 'serif'].forEach(function (font) {"
                "    var box = ink('\\u0378', font), none = ink('', font);"
                "    result[font] = ['\\ud842\\udfb7', '\\u3400', '\\u5409'].map(function (t) {"
                "      var drawn = ink(t, font);"
                "      return drawn !== box && drawn !== none;"
                "    });"
                "  });"
                "  return result;"
                "})()"))
            .toMap();
    for (const QString& font : {QStringLiteral("sans-serif"), QStringLiteral("serif")}) {
        QCOMPARE(drawn.value(font).toList(), (QVariantList{true, true, true}));
    }
}

#include "tst_pages.moc"
