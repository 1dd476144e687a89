#include "WebEngineBrowser.h"

#include "InspectPage.h"
#include "NetworkFailure.h"
#include "PageRequestGuard.h"
#include "PhotoSchemeHandler.h"
#include "QtText.h"
#include "WebComposition.h"

#include <algorithm>
#include <csignal>
#include <optional>
#include <string>
#include <sys/types.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonValue>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QQuickWindow>
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

// The name of the renderer an OpenGL context of this display gets, or none
// when no context can be made and made current. The context the application
// made for sharing is asked when there is one: making another would load the
// driver's state a second time.
std::optional<std::string> OpenGLRenderer() {
    QOffscreenSurface surface;
    surface.create();
    QOpenGLContext own;
    QOpenGLContext* context = QOpenGLContext::globalShareContext();
    if (context == nullptr || !context->isValid()) {
        context = own.create() ? &own : nullptr;
    }
    if (context == nullptr || !surface.isValid() || !context->makeCurrent(&surface)) {
        return std::nullopt;
    }
    const auto* name = context->functions()->glGetString(GL_RENDERER);
    std::string renderer = name != nullptr ? reinterpret_cast<const char*>(name) : "";
    context->doneCurrent();
    return renderer;
}

} // namespace

void WebEngineBrowser::chooseComposition() {
    if (qEnvironmentVariableIsSet("QT_QUICK_BACKEND") ||
        qEnvironmentVariableIsSet("QSG_RHI_BACKEND")) {
        return; // Qt's own choice, made by whoever set them
    }
    if (ChooseWebComposition(OpenGLRenderer()) == WebComposition::Software) {
        QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
    }
}

namespace {

// Chromium's net::ERR_ABORTED: the navigation ended without a document of its own.
constexpr int kErrorAborted = -3;

bool IsAborted(const QWebEngineLoadingInfo& info) {
    return info.errorDomain() == QWebEngineLoadingInfo::InternalErrorDomain &&
           info.errorCode() == kErrorAborted && !info.isErrorPage();
}

// A value as a script literal: JSON, never pasted text. A lone value is not a
// JSON document, so it is written inside an array and the brackets are cut.
QString Literal(const QJsonValue& value) {
    const QByteArray json = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(json.mid(1, json.size() - 2));
}

// Appends bytes, read as Latin-1 characters, as a JSON string literal, in one
// allocation and one pass: the same literal QJsonDocument would write, without
// its three intermediate copies of a text that can run to megabytes.
void AppendStringLiteral(QString& script, std::string_view bytes) {
    static constexpr char kHex[] = "0123456789abcdef";
    qsizetype extra = 2;
    for (const char c : bytes) {
        const auto u = static_cast<unsigned char>(c);
        extra += (u == '"' || u == '\\' || u == '\r' || u == '\n' || u == '\t') ? 1
                 : (u < 0x20 || u >= 0x7F)                                      ? 5
                                                                                : 0;
    }
    const qsizetype start = script.size();
    script.resize(start + static_cast<qsizetype>(bytes.size()) + extra);
    QChar* out = script.data() + start;
    *out++ = QLatin1Char('"');
    for (const char c : bytes) {
        const auto u = static_cast<unsigned char>(c);
        if (u >= 0x20 && u < 0x7F && u != '"' && u != '\\') {
            *out++ = QLatin1Char(c);
            continue;
        }
        *out++ = QLatin1Char('\\');
        switch (u) {
        case '"':
            *out++ = QLatin1Char('"');
            break;
        case '\\':
            *out++ = QLatin1Char('\\');
            break;
        case '\r':
            *out++ = QLatin1Char('r');
            break;
        case '\n':
            *out++ = QLatin1Char('n');
            break;
        case '\t':
            *out++ = QLatin1Char('t');
            break;
        default:
            *out++ = QLatin1Char('u');
            *out++ = QLatin1Char('0');
            *out++ = QLatin1Char('0');
            *out++ = QLatin1Char(kHex[u >> 4]);
            *out++ = QLatin1Char(kHex[u & 0xF]);
        }
    }
    *out++ = QLatin1Char('"');
}

// A function for the page's isolated world, with the parameters params and
// the statements body: without a document it answers {ok: false,
// noDocument: true}; find(id) gives the element whose id or name is id (the
// first in document order), or null.
QString IsolatedBody(const QString& params, const QString& body) {
    return QStringLiteral("(function (%1) {"
                          "  if (!document || !document.documentElement)"
                          "    return {ok: false, noDocument: true};"
                          "  function find(id) {"
                          "    var all = document.querySelectorAll('[id],[name]');"
                          "    for (var k = 0; k < all.length; ++k)"
                          "      if (all[k].id === id || all[k].getAttribute('name') === id)"
                          "        return all[k];"
                          "    return null;"
                          "  }"
                          "%2})")
        .arg(params, body);
}

// The start of a call of that function: the caller appends the arguments and
// the closing parenthesis.
QString IsolatedFunction(const QString& params, const QString& body) {
    return IsolatedBody(params, body) + QLatin1Char('(');
}

// Reads the document's title and the texts of the elements ids names.
const QString kReadDocument = QStringLiteral("var found = {};"
                                             "for (var i = 0; i < ids.length; ++i) {"
                                             "  var e = find(ids[i]);"
                                             "  if (e) found[ids[i]] = String(e.innerText);"
                                             "}"
                                             "return {ok: true, title: String(document.title),"
                                             "        texts: found};");

const QString kLoadReportName = QStringLiteral("tavlin-load-report");

QString JsonList(const QStringList& items) {
    return QString::fromUtf8(
        QJsonDocument(QJsonArray::fromStringList(items)).toJson(QJsonDocument::Compact));
}

} // namespace

WebEngineBrowser::WebEngineBrowser(QObject* parent)
    : Browser(parent), m_profile(new QWebEngineProfile(this)) {
    // An off-the-record profile: no cookie, storage or cache of the pages is
    // kept on disk, so the next officer on this PC finds nothing of the last.
    m_profile->setHttpCacheType(QWebEngineProfile::MemoryHttpCache);
    m_profile->setPersistentCookiesPolicy(QWebEngineProfile::NoPersistentCookies);
    m_photos = new PhotoSchemeHandler(this);
    m_profile->installUrlSchemeHandler(PhotoSchemeHandler::kScheme, m_photos);
    m_profile->setSpellCheckEnabled(false);
    auto* guard = new PageRequestGuard(m_profile);
    m_profile->setUrlRequestInterceptor(guard);
    connect(guard, &PageRequestGuard::documentRequested, this, &Browser::documentRequested);
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
    m_watchdog.setInterval(kWatchdogIntervalMs);
    connect(&m_watchdog, &QTimer::timeout, this, &WebEngineBrowser::handleWatchdog);
    watchForAWhile();
}

void WebEngineBrowser::setPagePolicy(const QUrl& base,
                                     const ShellConfig::BrowserSettings& settings) {
    QStringList origins;
    for (const std::string& origin : settings.allowedOrigins) {
        origins.append(QtText::FromCodePage(origin));
    }
    m_page->setAllowedOrigins(base, origins, settings.originsLimited);
    m_loadTimeoutMs = settings.loadTimeoutSeconds * 1000;
}

void WebEngineBrowser::setHangTimeout(int milliseconds) {
    m_hangTimeoutMs = milliseconds;
}

void WebEngineBrowser::handleLoadStarted() {
    watchForAWhile();
    // The document shown may leave: the photo given to it is no longer served.
    // A photo taken for it still reaches it while it stays (a load that brings
    // no document: HTTP 204, a refused download).
    m_photos->forget();
    m_navigationStart.stop();
    m_loading = true;
    m_loadTimer.start(m_loadTimeoutMs);
    m_probeSent = false; // a new document answers for itself
}

void WebEngineBrowser::handleLoadingChanged(const QWebEngineLoadingInfo& info) {
    switch (info.status()) {
    case QWebEngineLoadingInfo::LoadStartedStatus:
        return;
    case QWebEngineLoadingInfo::LoadSucceededStatus:
        handleLoadFinished(true);
        return;
    case QWebEngineLoadingInfo::LoadStoppedStatus:
        handleLoadEnded(info);
        return;
    case QWebEngineLoadingInfo::LoadFailedStatus:
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
    const std::string name = NetworkFailure::ErrorName(info.errorString().toStdString());
    const QString reason =
        QStringLiteral("%1 (%2) at %3")
            .arg(QString::fromStdString(LogExcerpt(name, 120)))
            .arg(info.errorCode())
            .arg(QString::fromStdString(LogExcerpt(
                info.url()
                    .adjusted(QUrl::RemoveQuery | QUrl::RemoveFragment | QUrl::RemoveUserInfo)
                    .toString(QUrl::FullyEncoded)
                    .toStdString())));
    if (const std::optional<QString> line = m_page->budgeted("failed load", reason)) {
        emit loadFailed(*line, NetworkFailure::IsOutage(info.errorCode()));
    }
}

void WebEngineBrowser::clearHistory() {
    m_page->history()->clear();
}

QUrl WebEngineBrowser::documentUrl() const {
    return m_page->url();
}

void WebEngineBrowser::endLoad() {
    m_loading = false;
    m_loadTimer.stop();
    m_probeSent = false; // the watchdog asks the document shown afresh
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
        handleLoadFinished(true);
        return;
    }
    // Nothing new came: a navigation stopped before its document, refused (a
    // download), answered without a document (HTTP 204) or superseded. The
    // document shown before stays and keeps working.
    emit documentKept();
}

void WebEngineBrowser::installLoadReport() {
    // Qt WebEngine reports a completion when the page stops loading: a
    // document that moves on from its own load event (location.href = ...)
    // never stops, and would never complete. This script, in the isolated
    // world of every top-level document, reads the document once its load
    // event is over (the page's own load handlers included) and reports it
    // through the console, under a token the page cannot know. Whichever comes
    // first, this report or the end of the load (see handleLoadFinished),
    // claims the document: it completes once, and with the facts read in the
    // same pass, so the window asks the page nothing more. Only http(s)
    // documents report (the browser's own error pages complete as failures),
    // and only at the browser's load event, not at one the page dispatches.
    // Before any of that, and before any script of the page runs, the script
    // says that a new document was made: the page policy counts what the
    // document does from there (see InspectPage::setLoadReportToken).
    QWebEngineScriptCollection& scripts = m_page->scripts();
    for (const QWebEngineScript& old : scripts.find(kLoadReportName)) {
        scripts.remove(old);
    }
    QWebEngineScript script;
    script.setName(kLoadReportName);
    script.setWorldId(QWebEngineScript::ApplicationWorld);
    script.setInjectionPoint(QWebEngineScript::DocumentCreation);
    script.setRunsOnSubFrames(false);
    script.setSourceCode(
        QStringLiteral(
            "(function (token, ids) {"
            "  var read = %1;"
            "  var claimed = false;"
            "  var reportDue = 0;"
            "  window.tavlinClaimDocument = function (atLoadEnd) {"
            "    if (claimed) return {ok: true, claimed: true};"
            "    if (atLoadEnd && Date.now() < reportDue) return {ok: true, pending: true};"
            "    var facts = read(ids);"
            "    claimed = facts.ok;"
            "    return facts;"
            "  };"
            "  var words = crypto.getRandomValues(new Uint32Array(4));"
            "  var id = Array.prototype.map.call(words, function (w) {"
            "    return w.toString(16);"
            "  }).join('-');"
            "  window.tavlinDocumentId = id;"
            "  console.log(token + JSON.stringify({created: true, id: id,"
            "                                     origin: String(location.origin)}));"
            "  if (location.protocol !== 'http:' && location.protocol !== 'https:') return;"
            "  window.addEventListener('load', function (event) {"
            "    if (!event.isTrusted) return;"
            "    reportDue = Date.now() + 1000;"
            "    setTimeout(function () {"
            "      reportDue = 0;"
            "      var facts = window.tavlinClaimDocument(false);"
            "      if (facts.ok && !facts.claimed) console.log(token + JSON.stringify(facts));"
            "    }, 0);"
            "  });"
            "})(%2, %3);")
            .arg(IsolatedBody(QStringLiteral("ids"), kReadDocument), Literal(m_loadReportToken),
                 JsonList(m_completionIds)));
    scripts.insert(script);
}

void WebEngineBrowser::installNoDragOut() {
    // Nothing is dragged out of a page, from any frame: a picture dragged
    // onto the desktop or a file manager would become a file of the page's
    // bytes with a name the page chose. The program's listener is the first
    // on the window (made before any script of the page), in the isolated
    // world, so the page can neither see nor undo it.
    QWebEngineScript script;
    script.setName(QStringLiteral("tavlin-no-drag-out"));
    script.setWorldId(QWebEngineScript::ApplicationWorld);
    script.setInjectionPoint(QWebEngineScript::DocumentCreation);
    script.setRunsOnSubFrames(true);
    script.setSourceCode(QStringLiteral("window.addEventListener('dragstart', function (event) {"
                                        "  event.preventDefault();"
                                        "}, true);"));
    m_page->scripts().insert(script);
}

void WebEngineBrowser::setCompletionReads(const QStringList& ids) {
    m_completionIds = ids;
    installLoadReport();
}

void WebEngineBrowser::resetZoom() {
    // Zoom stays at 100 %, whatever the last page did.
    if (m_page->zoomFactor() != 1.0) {
        m_page->setZoomFactor(1.0);
    }
}

void WebEngineBrowser::handleLoadFinished(bool ok) {
    endLoad();
    if (!ok) {
        resetZoom();
        emit documentComplete(false);
        return;
    }
    // The document completes here unless its load report came first, or
    // another document arrives before the answer. A navigation that only
    // starts (and may be refused) leaves this one shown, and its answer valid.
    claimAtLoadEnd(++m_arrived);
}

void WebEngineBrowser::claimAtLoadEnd(quint64 document) {
    runIsolated(IsolatedFunction({}, QStringLiteral("if (typeof window.tavlinClaimDocument !== "
                                                    "'function') return {ok: true, unread: true};"
                                                    "return window.tavlinClaimDocument(true);")) +
                    QLatin1Char(')'),
                [self = QPointer<WebEngineBrowser>(this), document](const ScriptResult& result) {
                    if (!self || self->m_arrived != document) {
                        return; // a newer document completes for itself
                    }
                    if (result.ok && result.values.value(QStringLiteral("claimed")).toBool()) {
                        return; // completed by its load report
                    }
                    if (result.ok && result.values.value(QStringLiteral("pending")).toBool()) {
                        // The load event was just dispatched and its report
                        // reads the document after the page's own load
                        // handlers and timers of that moment: asked again
                        // shortly, when the report has claimed it (or, if the
                        // page kept it from coming, claimed here).
                        QTimer::singleShot(kClaimRetryMs, self.data(), [self, document] {
                            if (self) {
                                self->claimAtLoadEnd(document);
                            }
                        });
                        return;
                    }
                    self->resetZoom();
                    // Not read (no document, or one the script was not put
                    // into): the window asks the page itself.
                    const bool read =
                        result.ok && !result.values.value(QStringLiteral("unread")).toBool();
                    self->completeWith(read ? &result.values : nullptr);
                });
}

void WebEngineBrowser::handleDocumentLoaded(const QVariantMap& facts) {
    ++m_arrived;
    m_navigationStart.stop();
    endLoad();
    resetZoom();
    completeWith(&facts);
}

void WebEngineBrowser::completeWith(const QVariantMap* facts) {
    watchForAWhile();
    m_completing = facts;
    emit documentComplete(true);
    m_completing = nullptr;
}

void WebEngineBrowser::handleLoadTimeout() {
    emit pageFailed(
        QStringLiteral("the page did not finish loading within %1 s").arg(m_loadTimeoutMs / 1000));
    m_stoppedByShell = true;
    m_page->triggerAction(QWebEnginePage::Stop);
}

void WebEngineBrowser::watchForAWhile() {
    m_watchSince.start();
    if (!m_watchdog.isActive()) {
        m_watchdog.start();
    }
}

void WebEngineBrowser::noteOfficerInput() {
    watchForAWhile();
}

void WebEngineBrowser::handleWatchdog() {
    // Nothing has happened for a while and no probe waits for its answer:
    // the watchdog rests until the next load, operation or input. A page that
    // stops answering meanwhile is found as soon as the officer uses it.
    if (!m_probeSent && m_watchSince.elapsed() > m_watchWindowMs) {
        m_watchdog.stop();
        return;
    }
    // While a page dialog waits for the officer, the page's scripts wait too;
    // while a page loads, its time limit watches it.
    if (m_loading || m_page->dialogOpen() || m_page->renderProcessPid() <= 0) {
        m_probeSent = false;
        return;
    }
    if (!m_probeSent) {
        m_probeSent = true;
        m_probeTimer.start();
        const unsigned probe = ++m_probe;
        m_page->runJavaScript(QStringLiteral("1"), QWebEngineScript::ApplicationWorld,
                              [self = QPointer<WebEngineBrowser>(this), probe](const QVariant&) {
                                  if (self && probe == self->m_probe) {
                                      self->m_probeSent = false;
                                  }
                              });
        return;
    }
    if (m_probeTimer.elapsed() > m_hangTimeoutMs) {
        // The page runs a script that never ends: its render process is ended
        // and the page handled as failed, with the retry link.
        const qint64 pid = m_page->renderProcessPid();
        m_probeSent = false;
        ++m_probe;
        // The failure is reported once the process is gone: a retry before
        // that would be lost with it.
        m_endedForHang = true;
        ::kill(static_cast<pid_t>(pid), SIGKILL);
    }
}

void WebEngineBrowser::handleRenderProcessTerminated(
    QWebEnginePage::RenderProcessTerminationStatus status, int exitCode) {
    ++m_document; // the document went with its process
    m_documentId.clear();
    ++m_arrived;
    m_photos->forget();
    m_stoppedByShell = false;
    endLoad();
    if (m_endedForHang) {
        m_endedForHang = false;
        emit pageFailed(
            QStringLiteral("the page answered no script for %1 s; its render process was ended")
                .arg(m_hangTimeoutMs / 1000));
        return;
    }
    if (status == QWebEnginePage::NormalTerminationStatus) {
        return;
    }
    emit pageFailed(QStringLiteral("render process ended (status %1, exit code %2)")
                        .arg(static_cast<int>(status))
                        .arg(exitCode));
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
    watchForAWhile();
    m_navigationStart.start(kNavigationStartMs);
    m_page->load(url);
}

void WebEngineBrowser::runIsolated(const QString& script, Callback callback) {
    m_page->runJavaScript(script, QWebEngineScript::ApplicationWorld,
                          [callback = std::move(callback)](const QVariant& value) {
                              ScriptResult result;
                              const QVariantMap map = value.toMap();
                              if (map.isEmpty()) {
                                  result.error = QStringLiteral("the page gave no answer");
                              } else if (map.value(QStringLiteral("noDocument")).toBool()) {
                                  result = ScriptResult::NoDocument();
                              } else {
                                  result.ok = map.value(QStringLiteral("ok")).toBool();
                                  result.error = map.value(QStringLiteral("error")).toString();
                                  result.values = map;
                              }
                              callback(result);
                          });
}

void WebEngineBrowser::readTitle(Callback callback) {
    if (m_completing != nullptr) {
        ScriptResult result;
        result.ok = true;
        result.values.insert(QStringLiteral("title"),
                             m_completing->value(QStringLiteral("title")).toString());
        callback(result);
        return;
    }
    // document.title, not QWebEnginePage::title(), which gives the URL for a page without one.
    runIsolated(IsolatedFunction(QStringLiteral("ids"), kReadDocument) + QStringLiteral("[])"),
                std::move(callback));
}

void WebEngineBrowser::readElementTexts(const QStringList& ids, Callback callback) {
    const bool read = std::all_of(
        ids.begin(), ids.end(), [this](const QString& id) { return m_completionIds.contains(id); });
    if (m_completing != nullptr && read) {
        const QVariantMap texts = m_completing->value(QStringLiteral("texts")).toMap();
        ScriptResult result;
        result.ok = true;
        for (const QString& id : ids) {
            if (texts.contains(id)) {
                result.values.insert(id, texts.value(id).toString());
            }
        }
        callback(result);
        return;
    }
    runIsolated(IsolatedFunction(QStringLiteral("ids"), kReadDocument) + JsonList(ids) +
                    QLatin1Char(')'),
                [callback = std::move(callback)](const ScriptResult& raw) {
                    ScriptResult result = raw;
                    if (result.ok) {
                        result.values = raw.values.value(QStringLiteral("texts")).toMap();
                    }
                    callback(result);
                });
}

Browser::DocumentPin WebEngineBrowser::pinDocument() {
    // The ticket is the document's own id, made by the program's script in
    // its isolated world as it was created (the page's scripts cannot read
    // it) and reported before any script of the page ran: nothing is written
    // into the page, so a document the page moves on to in this instant can
    // never receive the pin.
    m_pinnedOrigin = m_documentOrigin;
    return DocumentPin{m_document, m_documentId};
}

void WebEngineBrowser::handleDocumentCreated(const QString& id, const QUrl& origin) {
    // A new top-level document: a photo taken for the last one goes nowhere,
    // and the one given to it is no longer served.
    ++m_document;
    m_documentId = id;
    m_documentOrigin = origin;
    m_photos->forget();
}

void WebEngineBrowser::importPhoto(const DocumentPin& pin, const QString& inputId,
                                   const std::string& text, const QString& imageId,
                                   const QString& path, Callback callback) {
    if (pin.document != m_document) {
        callback(ScriptResult{false, kDocumentGone, {}});
        return;
    }
    // For the pinned document, and for nothing after it.
    const QUrl imageUrl = m_photos->serve(path, m_pinnedOrigin);
    // The ticket is checked first and both lookups come before any write, so
    // another document, or a failure, leaves every page untouched.
    const QString head =
        IsolatedFunction(
            QStringLiteral("ticket, inputId, imageId, imageUrl, gone, text"),
            QStringLiteral("if (!ticket || window.tavlinDocumentId !== ticket)"
                           "  return {ok: false, error: gone};"
                           "var input = find(inputId);"
                           "if (input && !(input instanceof HTMLInputElement))"
                           "  return {ok: false, error: inputId + ' is not an input element'};"
                           "var image = find(imageId);"
                           "if (image && !(image instanceof HTMLImageElement))"
                           "  return {ok: false, error: imageId + ' is not an image element'};"
                           "if (input) input.value = text;"
                           "if (image) { image.src = ''; image.src = imageUrl; }"
                           "return {ok: true, input: !!input, image: !!image};")) +
        QStringLiteral("%1, %2, %3, %4, %5, ")
            .arg(Literal(pin.ticket), Literal(inputId), Literal(imageId),
                 Literal(imageUrl.toString(QUrl::FullyEncoded)), Literal(kDocumentGone));
    // The photo text is megabytes long: its literal is written straight into the script.
    QString script = head;
    AppendStringLiteral(script, text);
    script += QLatin1Char(')');
    runIsolated(script, [self = QPointer<WebEngineBrowser>(this),
                         callback = std::move(callback)](const ScriptResult& result) {
        if (self && !result.ok) {
            self->m_photos->forget(); // given to nobody
        }
        callback(result);
    });
}

void WebEngineBrowser::runPageScript(const QString& code) {
    watchForAWhile(); // the page's own function may never return
    m_page->runJavaScript(QStringLiteral("try { %1 } catch (e) {}").arg(code),
                          QWebEngineScript::MainWorld);
}
