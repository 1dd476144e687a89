#include "WebEngineBrowser.h"

#include "InspectPage.h"
#include "NetworkFailure.h"
#include "PageRequestGuard.h"
#include "PageScripts.h"
#include "PhotoSchemeHandler.h"
#include "QtText.h"
#include "RendererWatchdog.h"

#include <algorithm>
#include <csignal>
#include <optional>
#include <string>
#include <utility>

#include <QFile>
#include <QLocale>
#include <QWebEngineCertificateError>
#include <QWebEngineHistory>
#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineUrlRequestJob>
#include <QWebEngineUrlScheme>
#include <QWebEngineUrlSchemeHandler>
#include <QWebEngineView>

void WebEngineBrowser::registerPhotoScheme() {
    QWebEngineUrlScheme scheme(PhotoSchemeHandler::kScheme);
    scheme.setSyntax(QWebEngineUrlScheme::Syntax::Host);
    scheme.setFlags(QWebEngineUrlScheme::SecureScheme | QWebEngineUrlScheme::CorsEnabled);
    QWebEngineUrlScheme::registerScheme(scheme);
}

namespace {

// Chromium's net::ERR_ABORTED: the navigation ended without a document of its own.
constexpr int kErrorAborted = -3;

bool IsAborted(const QWebEngineLoadingInfo& info) {
    return info.errorDomain() == QWebEngineLoadingInfo::InternalErrorDomain &&
           info.errorCode() == kErrorAborted && !info.isErrorPage();
}

// The engine speaks Chinese on every PC, as the Windows client's browser did
// on Chinese Windows, whatever the system's locale: its own pages and
// messages (error pages, form validation, pickers) follow the application's
// default locale when the engine starts, and every request asks for Chinese
// first (navigator.language follows it).
QWebEngineProfile* ChineseProfile(QObject* parent) {
    QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::SimplifiedHanScript, QLocale::China));
    auto* profile = new QWebEngineProfile(parent);
    profile->setHttpAcceptLanguage(QStringLiteral("zh-CN,zh;q=0.9"));
    return profile;
}

} // namespace

WebEngineBrowser::WebEngineBrowser(QObject* parent)
    : Browser(parent), m_profile(ChineseProfile(this)) {
    // An off-the-record profile: no cookie, storage or cache of the pages is
    // kept on disk, so the next officer on this PC finds nothing of the last.
    m_profile->setHttpCacheType(QWebEngineProfile::MemoryHttpCache);
    m_profile->setPersistentCookiesPolicy(QWebEngineProfile::NoPersistentCookies);
    m_photos = new PhotoSchemeHandler(this);
    m_profile->installUrlSchemeHandler(PhotoSchemeHandler::kScheme, m_photos);
    m_profile->setSpellCheckEnabled(false);
    auto* guard = new PageRequestGuard(m_profile);
    m_profile->setUrlRequestInterceptor(guard);
    connect(guard, &PageRequestGuard::documentRequested, this,
            [this](const QUrl& url, bool plainGet) {
                // A page whose load fails may be asked again only when asking
                // again cannot repeat what the officer did (a form sent).
                m_requestedGet = plainGet ? url : QUrl();
                emit documentRequested();
            });
    connect(guard, &PageRequestGuard::refused, this,
            [this](const QString& what) { m_page->refuse("service worker", what); });

    // The page belongs to the browser, the view to the window that shows it
    // (see createView): either may go first. The page decides what a page may do.
    m_page = new InspectPage(m_profile, this);
    // Each top-level document reports its own load event: see installLoadReport.
    m_loadReportToken = QStringLiteral("tavlin-load-%1 ").arg(PhotoSchemeHandler::RandomToken());
    m_page->setLoadReportToken(m_loadReportToken);
    connect(m_page, &InspectPage::documentLoaded, this, &WebEngineBrowser::handleDocumentLoaded);
    connect(m_page, &InspectPage::documentCreated, this, &WebEngineBrowser::handleDocumentCreated);
    installLoadReport();
    installNoDragOut();

    connect(m_page, &QWebEnginePage::loadStarted, this, &WebEngineBrowser::handleLoadStarted);
    // The main frame's loads only: frames inside the page do not count.
    connect(m_page, &QWebEnginePage::loadingChanged, this, &WebEngineBrowser::handleLoadingChanged);
    connect(m_page, &QWebEnginePage::renderProcessTerminated, this,
            &WebEngineBrowser::handleRenderProcessTerminated);
    connect(m_page, &InspectPage::refused, this, &Browser::refused);
    connect(m_page, &InspectPage::dialogOverNavigation, this,
            &WebEngineBrowser::endPageHoldingNavigation);
    connect(m_page, &InspectPage::printed, this, &Browser::printed);
    connect(m_page, &InspectPage::printFailed, this, &Browser::printFailed);
    connect(m_page, &InspectPage::certificateRejected, this, &Browser::pageFailed);
    connect(m_page, &InspectPage::proxyRefused, this,
            [this](const QString& reason) { emit loadFailed(reason, false); });
    connect(m_page, &InspectPage::leaveRefused, this, [this] {
        m_navigationStart.stop();
        emit documentKept();
    });
    m_navigationStart.setSingleShot(true);
    connect(&m_navigationStart, &QTimer::timeout, this, [this] {
        if (m_page->dialogOpen()) {
            m_navigationStart.start(kNavigationStartMs); // the officer is being asked
        } else if (!m_loading) {
            emit documentKept(); // cancelled by the page without a question
        }
    });

    m_loadTimer.setSingleShot(true);
    connect(&m_loadTimer, &QTimer::timeout, this, &WebEngineBrowser::handleLoadTimeout);
    m_watchdog = new RendererWatchdog(
        *m_page, [this] { return !m_loading && !m_page->dialogOpen(); }, this);
}

void WebEngineBrowser::setPagePolicy(const QUrl& base,
                                     const ShellConfig::BrowserSettings& settings) {
    QStringList origins;
    for (const std::string& origin : settings.allowedOrigins) {
        origins.append(QtText::FromCodePage(origin));
    }
    m_page->setAllowedOrigins(base, origins, settings.originsLimited);
    m_loadTimeoutMs = settings.loadTimeoutSeconds * 1000;
    installPrintCall(settings.printing);
}

void WebEngineBrowser::installPrintCall(bool printing) {
    // The page's print() becomes a question to the shell, in the page's own
    // world (the isolated world cannot change the page's functions). What
    // the page does to it only loses it its print: any other way to print
    // reaches the engine's print request, which is refused.
    const QString name = QStringLiteral("tavlin-print");
    QWebEngineScriptCollection& scripts = m_page->scripts();
    for (const QWebEngineScript& old : scripts.find(name)) {
        scripts.remove(old);
    }
    const QString token = QStringLiteral("tavlin-print-%1").arg(PhotoSchemeHandler::RandomToken());
    m_page->setPrinting(printing, token);
    if (!printing) {
        return;
    }
    QWebEngineScript script;
    script.setName(name);
    script.setWorldId(QWebEngineScript::MainWorld);
    script.setInjectionPoint(QWebEngineScript::DocumentCreation);
    script.setRunsOnSubFrames(true);
    script.setSourceCode(PageScripts::PrintCall(token));
    scripts.insert(script);
}

void WebEngineBrowser::setHangTimeout(int milliseconds) {
    m_watchdog->setHangTimeout(milliseconds);
}

void WebEngineBrowser::handleLoadStarted() {
    m_page->trace().stage("started");
    watchForAWhile();
    // The document shown may leave: the photo given to it is no longer served.
    // A photo taken for it still reaches it while it stays (a load that brings
    // no document: HTTP 204, a refused download).
    m_photos->forget();
    m_navigationStart.stop();
    m_loading = true;
    m_answered = false;
    m_repeatable.clear(); // a failed page shown before is left, or asked again
    m_loadTimer.start(m_loadTimeoutMs);
    m_watchdog->forgetQuestion(); // a new document answers for itself
}

void WebEngineBrowser::handleLoadingChanged(const QWebEngineLoadingInfo& info) {
    switch (info.status()) {
    case QWebEngineLoadingInfo::LoadStartedStatus:
        return;
    case QWebEngineLoadingInfo::LoadSucceededStatus:
        m_endedLoadToCome = false;
        handleLoadFinished(true);
        return;
    case QWebEngineLoadingInfo::LoadStoppedStatus:
        handleLoadEnded(info);
        return;
    case QWebEngineLoadingInfo::LoadFailedStatus:
        if (std::exchange(m_endedLoadToCome, false) && info.errorCode() == 0) {
            return; // the load ended with the page's process; another replaced it
        }
        if (info.isErrorPage()) {
            m_page->handleNewDocument(); // the browser's error page is shown
        }
        if (IsAborted(info)) {
            handleLoadEnded(info);
            return;
        }
        // A document the back end sent with an HTTP error status is still a
        // document: its title decides, as for any other. Only a load that
        // brought no document of the back end's (Chromium's error page) failed.
        if (info.errorDomain() == QWebEngineLoadingInfo::HttpStatusCodeDomain &&
            !info.isErrorPage()) {
            handleLoadFinished(true);
            return;
        }
        reportLoadFailure(info);
        handleLoadFinished(false);
        return;
    }
}

void WebEngineBrowser::reportLoadFailure(const QWebEngineLoadingInfo& info) {
    // Support reads why: the engine's error by name and number, and where
    // (without the query, which carries the enterprise's identity).
    // An HTTP error without a body of its own gets the engine's page, whose
    // "error text" is that page's template: the status says what happened.
    const bool http = info.errorDomain() == QWebEngineLoadingInfo::HttpStatusCodeDomain;
    const std::string name = http ? std::string("HTTP error with an empty body")
                                  : NetworkFailure::ErrorName(info.errorString().toStdString());
    const QString reason =
        QStringLiteral("%1 (%2) at %3")
            .arg(QString::fromStdString(LogExcerpt(name, 120)))
            .arg(info.errorCode())
            .arg(QString::fromStdString(LogExcerpt(
                info.url()
                    .adjusted(QUrl::RemoveQuery | QUrl::RemoveFragment | QUrl::RemoveUserInfo)
                    .toString(QUrl::FullyEncoded)
                    .toStdString())));
    // The failed page may be asked again by itself if it was a plain GET of
    // that address (a form sent, even with GET, is the officer's to send).
    m_repeatable =
        m_requestedGet.adjusted(QUrl::RemoveFragment) == info.url().adjusted(QUrl::RemoveFragment)
            ? info.url()
            : QUrl();
    if (const std::optional<QString> line = m_page->budgeted("failed load", reason)) {
        emit loadFailed(*line, NetworkFailure::IsOutage(info.errorCode()));
    }
}

bool WebEngineBrowser::repeatFailedLoad() {
    if (m_repeatable.isEmpty() || m_loading) {
        return false;
    }
    const QUrl url = m_repeatable;
    watchForAWhile();
    m_page->load(url);
    return true;
}

void WebEngineBrowser::clearHistory() {
    m_page->history()->clear();
}

void WebEngineBrowser::endLoad() {
    m_loading = false;
    m_loadTimer.stop();
    m_watchdog->forgetQuestion(); // the document shown is asked afresh
}

void WebEngineBrowser::handleLoadEnded(const QWebEngineLoadingInfo& info) {
    endLoad();
    if (m_stoppedByShell) {
        m_stoppedByShell = false; // the load limit has reported it
        return;
    }
    if (m_page->history()->currentItem().url() == info.url()) {
        // The new document came and was stopped while it loaded (the page's
        // own window.stop()): it is the document shown, and completes as it is.
        handleLoadFinished(true, true);
        return;
    }
    // Nothing new came: a navigation stopped before its document, refused (a
    // download), answered without a document (HTTP 204) or superseded. The
    // document shown before stays and keeps working.
    emit documentKept();
}

void WebEngineBrowser::installNoDragOut() {
    // Nothing is dragged out of a page, from any frame: a picture dragged
    // onto the desktop or a file manager would become a file of the page's
    // bytes with a name the page chose. The program's listener is the first
    // on the window, made before any script of the page with the function
    // that cancels the drag taken at that moment: the page can neither
    // remove it, nor run before it, nor change what it calls. It is in the
    // page's own world so that no frame pays for an isolated world of its own.
    QWebEngineScript script;
    script.setName(QStringLiteral("tavlin-no-drag-out"));
    script.setWorldId(QWebEngineScript::MainWorld);
    script.setInjectionPoint(QWebEngineScript::DocumentCreation);
    script.setRunsOnSubFrames(true);
    script.setSourceCode(PageScripts::NoDragOut());
    m_page->scripts().insert(script);
}

void WebEngineBrowser::handleLoadTimeout() {
    m_stoppedByShell = true;
    const int seconds = m_loadTimeoutMs / 1000;
    if (m_answered) {
        emit pageFailed(QStringLiteral("the page did not finish loading within %1 s").arg(seconds));
    } else {
        // Not a byte of an answer: a line that drops packets, or a back end
        // that took the connection and went silent.
        emit loadTimedOut(seconds, QString::fromStdString(LogExcerpt(
                                       m_page->requestedUrl()
                                           .adjusted(QUrl::RemoveQuery | QUrl::RemoveFragment |
                                                     QUrl::RemoveUserInfo)
                                           .toString(QUrl::FullyEncoded)
                                           .toStdString())));
    }
    m_page->triggerAction(QWebEnginePage::Stop);
}

void WebEngineBrowser::watchForAWhile() {
    m_watchdog->watchForAWhile();
}

void WebEngineBrowser::noteOfficerInput() {
    m_watchdog->watchForAWhile();
}

void WebEngineBrowser::handleRenderProcessTerminated(
    QWebEnginePage::RenderProcessTerminationStatus status, int exitCode) {
    ++m_document; // the document went with its process
    m_documentId.clear();
    m_completion.rendererEnded();
    m_photos->forget();
    m_stoppedByShell = false;
    endLoad();
    if (const QUrl target = std::exchange(m_navigateAfterEnd, QUrl()); target.isValid()) {
        m_page->refuse("dialog", QStringLiteral("the page kept opening dialogs while the officer "
                                                "left it; its render process was ended"));
        navigate(target);
        return;
    }
    if (m_watchdog->takeEndedForHang()) {
        emit pageFailed(
            QStringLiteral("the page answered no script for %1 s; its render process was ended")
                .arg(m_watchdog->hangTimeoutMs() / 1000));
        return;
    }
    if (status == QWebEnginePage::NormalTerminationStatus) {
        return;
    }
    emit pageFailed(QStringLiteral("render process ended (status %1, exit code %2)")
                        .arg(static_cast<int>(status))
                        .arg(exitCode));
}

void WebEngineBrowser::endPageHoldingNavigation() {
    const qint64 pid = m_page->renderProcessPid();
    if (m_navigateAfterEnd.isValid() || !m_navigateTarget.isValid() || pid <= 0) {
        return;
    }
    m_navigateAfterEnd = m_navigateTarget;
    m_endedLoadToCome = true;
    ::kill(static_cast<pid_t>(pid), SIGKILL);
}

WebEngineBrowser::~WebEngineBrowser() {
    // A view still shown lets go of the page first; the page must go before
    // its profile.
    if (m_view) {
        m_view->setPage(nullptr);
    }
    delete m_page;
}

QWidget* WebEngineBrowser::createView(QWidget* parent) {
    auto* view = new QWebEngineView(parent);
    view->setPage(m_page);
    view->setContextMenuPolicy(Qt::NoContextMenu);
    view->setAcceptDrops(false);
    m_view = view;
    return view;
}

QWidget* WebEngineBrowser::view() {
    return m_view;
}

QWebEnginePage* WebEngineBrowser::page() const {
    return m_page;
}

void WebEngineBrowser::navigate(const QUrl& url) {
    m_page->officerNavigates();
    m_navigateTarget = url;
    watchForAWhile();
    m_navigationStart.start(kNavigationStartMs);
    m_page->load(url);
}

void WebEngineBrowser::runPageScript(const QString& code, std::function<void(bool ran)> ran) {
    watchForAWhile(); // the page's own function may never return
    const QString script = QStringLiteral("(function () { try { %1; } catch (e) { return false; }"
                                          " return true; })()")
                               .arg(code);
    if (!ran) {
        m_page->runJavaScript(script, QWebEngineScript::MainWorld);
        return;
    }
    // The answer is a value the page cannot forge: the function's own
    // result is not passed on.
    m_page->runJavaScript(script, QWebEngineScript::MainWorld,
                          [ran = std::move(ran)](const QVariant& value) {
                              ran(value.typeId() == QMetaType::Bool && value.toBool());
                          });
}
