#include "Main.h"
#include "LogTexts.h"

#include "Browser.h"
#include "Camera.h"
#include "CodePage.h"
#include "Dialogs.h"
#include "FileOper.h"
#include "IdentitySource.h"
#include "ImageButton.h"
#include "ImgOper.h"
#include "PageLogBudget.h"
#include "PageTitle.h"
#include "QtText.h"
#include "ScreenPixelsAccessible.h"
#include "ShellConfig.h"
#include "Skin.h"
#include "SysOper.h"
#include "Vcx.h"
#include "WindowPlacement.h"

#include <QAccessible>
#include <QApplication>

#include <QFile>
#include <QKeyEvent>
#include <QNativeGestureEvent>
#include <QWheelEvent>
#include <algorithm>
#include <cstdio>
#include <stdexcept>
#include <utility>
#include <vector>

#include <QFrame>
#include <QGuiApplication>
#include <QIcon>
#include <QLabel>
#include <QMouseEvent>
#include <QMovie>
#include <QPointer>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <QVBoxLayout>
#include <malloc.h>

namespace {

QAccessibleInterface* WindowAccessible(const QString& className, QObject* object) {
    if (className == QLatin1String("TFrm_Tavlin") && object != nullptr && object->isWidgetType()) {
        return new ScreenPixelsAccessible(static_cast<QWidget*>(object), QAccessible::Window);
    }
    return nullptr;
}

} // namespace

TFrm_Tavlin::TFrm_Tavlin(Browser& browser, IdentitySource& identity, Dialogs& dialogs,
                         std::string appPath, QWidget* parent)
    : QWidget(parent), m_browser(browser), m_identity(identity), m_dialogs(dialogs),
      m_appPath(std::move(appPath)), m_photoFolder(m_appPath) {
    static const bool accessible = (QAccessible::installFactory(WindowAccessible), true);
    (void)accessible;
    createComponents();
    // ApplicationEvents1: every event of the application passes this window's filter.
    qApp->installEventFilter(this);
    FormCreate();
}

TFrm_Tavlin::~TFrm_Tavlin() {
    qApp->removeEventFilter(this);
    FormDestroy();
}

void TFrm_Tavlin::setVisible(bool visible) {
    if (visible && !m_shown) {
        m_shown = true;
        m_paintHeld = true;
        setUpdatesEnabled(false);
        // Queued: the request is announced from inside the browser's own
        // handling of it, which must be over before the window takes the thread.
        connect(&m_browser, &Browser::documentRequested, this, &TFrm_Tavlin::releaseFirstPaint,
                Qt::QueuedConnection);
        QTimer::singleShot(kFirstPaintHoldMs, this, &TFrm_Tavlin::releaseFirstPaint);
        FormShow();
    }
    QWidget::setVisible(visible);
}

void TFrm_Tavlin::releaseFirstPaint() {
    if (!m_paintHeld) {
        return;
    }
    m_paintHeld = false;
    disconnect(&m_browser, &Browser::documentRequested, this, &TFrm_Tavlin::releaseFirstPaint);
    loadPictures();
    setUpdatesEnabled(true);
    // Whoever set up the PC learns why every Chinese text would be boxes;
    // asked after the first paint, which has loaded the fonts anyway.
    QTimer::singleShot(0, this, [] {
        if (!Skin::HasChineseFont()) {
            const QString advice = Skin::MissingChineseFontAdvice();
            std::fprintf(stderr, "tavlin: %s\n", advice.toLocal8Bit().constData());
            TSysOper::WriteLog(CodePage::FromUtf8(LogTexts::kMissingFont) +
                               QtText::ToCodePage(advice));
        }
    });
}

void TFrm_Tavlin::showRunningCopy(const QByteArray& activationToken) {
    WindowPlacement::ShowMaximised(*this);
    raise();
    WindowPlacement::Activate(*this, activationToken);
}

void TFrm_Tavlin::FormCreate() {
    ReadIdentity();
    // The configuration, read once: the base URL and the browser's settings.
    const ShellConfig::Configuration config = ShellConfig::Load(m_appPath);
    if (!LoadConfig(config)) {
        m_terminationRequested = true;
        return;
    }
    m_browser.setPagePolicy(QUrl(QtText::FromCodePage(BaseUrl).trimmed()), config.browser);
    // A value Tavlin cannot read is replaced by its default (an entry of
    // AllowedOrigins is left out, which narrows the pages): IT reads here why.
    for (const std::string& why : config.unreadable) {
        std::fprintf(stderr, "tavlin: %s\n", why.c_str());
        TSysOper::WriteLog(CodePage::FromUtf8(std::string(LogTexts::kConfigUnreadable) + why));
    }
}

void TFrm_Tavlin::handleBrowserPageFailed(const QString& reason) {
    // A page whose renderer died, hung or never finished is a failed load. The
    // panel comes up over the view as well, or the officer would see neither
    // page nor retry link. Not an outage: nothing is tried again by itself.
    m_outage = false;
    m_retry->stop();
    TSysOper::WriteLog(CodePage::FromUtf8(LogTexts::kPageFailed) + QtText::ToCodePage(reason));
    m_startPending = false;
    applyStates(WindowStates::kPanelUp);
    applyPageKind(PageKind::Failed);
}

void TFrm_Tavlin::handleBrowserLoadFailed(const QString& reason, bool outage) {
    m_startFailureLogged = m_startPending;
    // One line per outage: the tries while the back end stays out of reach
    // add none.
    if (!outage || !m_outage) {
        TSysOper::WriteLog(CodePage::FromUtf8(LogTexts::kPageFailed) + QtText::ToCodePage(reason));
    }
    if (!outage) {
        return;
    }
    if (!m_outage) {
        m_outage = true;
        m_retrySchedule.reset();
    }
    // The start (or whatever failed while its error panel is up) is tried
    // again; a page inside the application is asked again in its place, and
    // only when that cannot send a form again (see repeatFailedLoad): the
    // officer is never moved to the start by itself.
    m_retryStart = m_startPending || !Pnl_Msg->isHidden();
    m_retry->start(m_retrySchedule.next());
}

void TFrm_Tavlin::handleBrowserLoadTimedOut(int seconds, const QString& where) {
    // The start without a byte of an answer is an outage like a refused
    // connection, tried again by itself. An inner page that timed out is the
    // officer's to try again, as any page that did not finish loading.
    if (!m_startPending) {
        handleBrowserPageFailed(
            QStringLiteral("the page did not finish loading within %1 s").arg(seconds));
        return;
    }
    handleBrowserLoadFailed(QStringLiteral("no answer within %1 s at %2").arg(seconds).arg(where),
                            true);
    WebBrowserDocumentComplete(Browser::CompletedPage{});
}

void TFrm_Tavlin::retryAfterOutage() {
    if (!m_retryStart) {
        m_browser.repeatFailedLoad();
        return;
    }
    // Only while the officer still looks at the error panel and its link.
    if (!Pnl_Msg->isHidden() && !Lb_Ref->isHidden()) {
        Lb_RefClick();
    }
}

void TFrm_Tavlin::handleBrowserDocumentKept() {
    // The start asked for never came (the officer chose to stay on the page,
    // or the load was stopped or answered without a document): the page that
    // was shown stays usable, and no loading panel is left over it. With no
    // page shown before, the officer gets the retry link.
    if (!m_startPending) {
        return;
    }
    m_startPending = false;
    if (m_pageShownBeforeStart) {
        applyStates(WindowStates::kPanelDown);
    } else {
        applyPageKind(PageKind::Failed);
    }
}

void TFrm_Tavlin::handleBrowserRefused(const QString& what) {
    TSysOper::WriteLog(CodePage::FromUtf8(LogTexts::kPageRefused) + QtText::ToCodePage(what));
}

void TFrm_Tavlin::handleBrowserPrinted(const QString& line) {
    TSysOper::WriteLog(CodePage::FromUtf8(LogTexts::kPrinted) + QtText::ToCodePage(line));
}

void TFrm_Tavlin::handleBrowserPrintFailed(const QString& line) {
    TSysOper::WriteLog(CodePage::FromUtf8(LogTexts::kPrintFailed) + QtText::ToCodePage(line));
}

void TFrm_Tavlin::FormShow() {
    // The keyboard starts in the page, not on a title button (F6 leads there).
    if (QWidget* view = m_browser.view()) {
        view->setFocus(Qt::OtherFocusReason);
    }
    NavigateToStart();
    Img_Photo->hide();
}

void TFrm_Tavlin::FormDestroy() {
    // Nothing of the system's own to release: the browser's view is a child of
    // this window and goes with it.
}

void TFrm_Tavlin::ReadIdentity() {
    Identity = NormaliseIdentity(m_identity.Read());
    setStatusPanel(0, EnterpriseNumberPanel(Identity.EnterpriseNumber));
    setStatusPanel(3, Identity.EnterpriseName);
}

bool TFrm_Tavlin::LoadConfig(const ShellConfig::Configuration& config) {
    // Whoever started Tavlin from a terminal learns which file it looked for.
    if (!config.refusal.empty()) {
        std::fprintf(stderr, "%s\n", config.refusal.c_str());
    }
    BaseUrl = config.baseUrl;
    switch (config.result) {
    case ShellConfig::LoadResult::MissingFile:
        m_dialogs.warning(this, QString::fromUtf8(ShellConfig::kMissingConfigMessage.data(),
                                                  ShellConfig::kMissingConfigMessage.size()));
        return false;
    case ShellConfig::LoadResult::EmptyUrl:
        if (!config.unreadableEncoding.empty()) {
            TSysOper::WriteLog(
                CodePage::FromUtf8(std::string(LogTexts::kConfigUnreadable) + config.refusal));
        }
        m_dialogs.warning(this, QString::fromUtf8(ShellConfig::kEmptyUrlMessage.data(),
                                                  ShellConfig::kEmptyUrlMessage.size()));
        return false;
    case ShellConfig::LoadResult::Loaded:
        return true;
    }
    return false;
}

void TFrm_Tavlin::NavigateToStart() {
    // Whether a page was shown, for a start that never comes.
    m_pageShownBeforeStart = Pnl_Msg->isHidden();
    applyStates(WindowStates::kLoading);
    m_lastStartUrl = ComposeStartUrl(BaseUrl, Identity, TFileOper::GetVersion());
    m_startPending = true;
    m_startFailureLogged = false;
    m_forgetEarlierPages = true;
    m_browser.navigate(QUrl(QtText::FromCodePage(StartUrlToSend(m_lastStartUrl))));
}

void TFrm_Tavlin::Img_LoginClick() {
    m_retry->stop(); // the officer's own start replaces the next try
    ReadIdentity();
    hideErrorTexts();
    NavigateToStart();
}

void TFrm_Tavlin::Lb_RefClick() {
    m_retry->stop();
    hideErrorTexts();
    NavigateToStart();
}

void TFrm_Tavlin::hideErrorTexts() {
    applyStates(WindowStates::kErrorTextsHidden);
}

void TFrm_Tavlin::Img_CloseClick() {
    close();
}

void TFrm_Tavlin::Img_IndexClick() {
    // The page's own function moves it to its index page; the client
    // navigates nowhere. Only when the page has the function do the pages
    // before the next one go: 首页 that does nothing changes nothing.
    m_browser.runPageScript(QStringLiteral("Func_RedirectIndex()"),
                            [self = QPointer<TFrm_Tavlin>(this)](bool ran) {
                                if (self && ran) {
                                    self->m_forgetEarlierPages = true;
                                }
                            });
}

void TFrm_Tavlin::Img_PhotoClick() {
    try {
        // The camera window and its control live for this one photo: both are
        // gone when this returns, whatever happened, which closes the device.
        if (!m_cameraFactory) {
            throw std::runtime_error("no camera control is set up");
        }
        // The photo is for the document shown now, and for no other.
        m_photoDocument = m_browser.pinDocument();
        const std::unique_ptr<Vcx> vcx = m_cameraFactory();
        TFrm_Camera camera(*vcx, m_dialogs, m_photoFolder, this);
        camera.exec();
        if (camera.PhotoTaken()) {
            ImportPhoto(camera.PhotoPath());
        }
    } catch (const std::exception& e) {
        m_dialogs.errorReport(this, QString::fromUtf8(e.what()));
    }
    m_photoDocument.reset();
    // The camera's frames and the photo's text were megabytes each: hand the
    // freed memory back, so that a day of photos does not leave the process
    // larger and larger.
    malloc_trim(0);
}

void TFrm_Tavlin::ImportPhoto(const QString& path) {
    if (!QFile::exists(path)) {
        return;
    }
    const std::string text = TImgOper::ImageToBase64(path.toStdString());
    if (text.empty()) {
        return; // ImageToBase64 has logged why
    }
    // Chromium will not show a local path in an http page: the picture is
    // served under the program's own scheme, to the pinned document only.
    const Browser::DocumentPin document =
        m_photoDocument ? *m_photoDocument : m_browser.pinDocument();
    m_browser.importPhoto(document, QStringLiteral("Txt_InspectPhotoStr"), text,
                          QStringLiteral("Img_InspectPhoto"), path, [](const ScriptResult& result) {
                              if (!result.ok) {
                                  TSysOper::WriteLog(
                                      CodePage::FromUtf8(LogTexts::kPhotoImportFailed) +
                                      QtText::ToCodePage(result.error));
                              }
                          });
}

void TFrm_Tavlin::WebBrowserDocumentComplete(const Browser::CompletedPage& page) {
    const bool start = m_startPending;
    m_startPending = false;
    m_completedPage = page;
    if (!page.ok) {
        applyPageKind(PageKind::Failed); // a failed load has no title
        return;
    }
    // A document came: the back end is reachable again.
    m_outage = false;
    m_retry->stop();
    // After 登录 and 首页 nothing before can be gone back to: the next person
    // at the PC finds none of the officer's earlier pages.
    if (m_forgetEarlierPages) {
        m_forgetEarlierPages = false;
        m_browser.clearHistory();
    }
    if (!page.error.isEmpty()) {
        // The browser could not read the page: logged, and the window stays as it was.
        TSysOper::WriteLog(CodePage::FromUtf8(LogTexts::kPageFailed) +
                           QtText::ToCodePage(page.error));
        return;
    }
    // No document at all counts as an empty title: a failed load.
    const PageKind kind = ClassifyTitle(QtText::ToCodePage(page.title));
    if (start && kind == PageKind::Failed && !m_startFailureLogged) {
        logStartEndedElsewhere(page);
    }
    applyPageKind(kind);
}

void TFrm_Tavlin::logStartEndedElsewhere(const Browser::CompletedPage& page) {
    // The start led to a page Tavlin does not know (a captive portal, a proxy's
    // or the back end's own error page): support reads where it ended, by
    // origin only (the address's query carries the enterprise's identity).
    const QString origin = page.url
                               .adjusted(QUrl::RemoveUserInfo | QUrl::RemovePath |
                                         QUrl::RemoveQuery | QUrl::RemoveFragment)
                               .toString(QUrl::FullyEncoded);
    TSysOper::WriteLog(
        CodePage::FromUtf8(LogTexts::kPageFailed) +
        QtText::ToCodePage(
            QStringLiteral("the start page ended at %1 with the title '%2', a page Tavlin does "
                           "not know")
                .arg(QString::fromStdString(LogExcerpt(origin.toStdString(), 160)),
                     QString::fromStdString(LogExcerpt(page.title.toStdString(), 80)))));
}
