#include "InspectPage.h"

#include "ProxyCredentials.h"

#include <QAuthenticator>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLoggingCategory>
#include <QWebEngineCertificateError>
#include <QWebEngineClientCertificateSelection>
#include <QWebEngineDownloadRequest>
#include <QWebEngineFileSystemAccessRequest>
#include <QWebEngineFullScreenRequest>
#include <QWebEngineNewWindowRequest>
#include <QWebEngineProfile>
#include <QWebEngineQuotaRequest>
#include <QWebEngineRegisterProtocolHandlerRequest>
#include <QWebEngineSettings>
#include <cstdlib>

// The page's console on standard error, as "tavlin.page" (bounded).
Q_LOGGING_CATEGORY(lcPage, "tavlin.page")
// Off unless asked for: see NavigationTrace.
Q_LOGGING_CATEGORY(lcNavigation, "tavlin.navigation", QtWarningMsg)

namespace {

// Addresses in log lines are cut to this many bytes: a page decides how long
// they are.
constexpr std::size_t kLoggedAddressBytes = 160;

bool IsHttp(const QUrl& url) {
    const QString scheme = url.scheme().toLower();
    return scheme == QLatin1String("http") || scheme == QLatin1String("https");
}

} // namespace

void InspectPage::ApplySettings(QWebEngineSettings& s) {
    using S = QWebEngineSettings;
    // What the web application needs: its scripts, its pictures, its storage
    // (kept in memory only: the profile is off the record).
    s.setAttribute(S::JavascriptEnabled, true);
    s.setAttribute(S::AutoLoadImages, true);
    s.setAttribute(S::LocalStorageEnabled, true);
    // The officer's keyboard: links take focus, scroll bars show.
    s.setAttribute(S::LinksIncludedInFocusChain, true);
    s.setAttribute(S::ShowScrollBars, true);
    // Failed loads get Chromium's error page under the shell's own panel.
    s.setAttribute(S::ErrorPageEnabled, true);
    // Drawing only, nothing the page can reach through it.
    s.setAttribute(S::Accelerated2dCanvasEnabled, true);
    s.setAttribute(S::PrintElementBackgrounds, true);

    // No new windows; no window raised, moved or made full screen by script.
    s.setAttribute(S::JavascriptCanOpenWindows, false);
    s.setAttribute(S::AllowWindowActivationFromJavaScript, false);
    s.setAttribute(S::FullScreenSupportEnabled, false);
    // The PC's clipboard stays the officer's.
    s.setAttribute(S::JavascriptCanAccessClipboard, false);
    s.setAttribute(S::JavascriptCanPaste, false);
    // No local files, from any page.
    s.setAttribute(S::LocalContentCanAccessFileUrls, false);
    s.setAttribute(S::LocalContentCanAccessRemoteUrls, false);
    // No screen capture, no plugins, no PDF viewer, no WebGL (graphics driver
    // exposure an inspection form does not need).
    s.setAttribute(S::ScreenCaptureEnabled, false);
    s.setAttribute(S::PluginsEnabled, false);
    s.setAttribute(S::PdfViewerEnabled, false);
    s.setAttribute(S::WebGLEnabled, false);
    // Nothing dropped onto the view navigates it.
    s.setAttribute(S::NavigateOnDropEnabled, false);
    // No plain-http content in an https page, no location over plain http.
    s.setAttribute(S::AllowRunningInsecureContent, false);
    s.setAttribute(S::AllowGeolocationOnInsecureOrigins, false);
    // No requests the page did not ask for: link pings, DNS prefetching, icons.
    s.setAttribute(S::HyperlinkAuditingEnabled, false);
    s.setAttribute(S::DnsPrefetchEnabled, false);
    s.setAttribute(S::AutoLoadIconsForPage, false);
    s.setAttribute(S::TouchIconsEnabled, false);
    // WebRTC does not tell the page the PC's local network addresses.
    s.setAttribute(S::WebRTCPublicInterfacesOnly, true);
    // Sound and video start only from the officer's own click.
    s.setAttribute(S::PlaybackRequiresUserGesture, true);
    // Plain browser behaviour, nothing of the PC's.
    s.setAttribute(S::FocusOnNavigationEnabled, false);
    s.setAttribute(S::SpatialNavigationEnabled, false);
    s.setAttribute(S::ScrollAnimatorEnabled, false);
    s.setAttribute(S::XSSAuditingEnabled, false);
    // Addresses of schemes Chromium does not handle itself (mailto:, tel:,
    // any custom one) are never handed to the desktop's launcher, in any
    // frame, clicked or not.
    s.setUnknownUrlSchemePolicy(S::DisallowUnknownUrlSchemes);
}

InspectPage::InspectPage(QWebEngineProfile* profile, QObject* parent)
    : QWebEnginePage(profile, parent) {
    ApplySettings(*settings());
    // Nothing the page does is heard at the enterprise: it needs no sound.
    setAudioMuted(true);
    // What the page asks of the PC, each refused (InspectPageRefusals.cpp).
    connect(profile, &QWebEngineProfile::downloadRequested, this, &InspectPage::refuseDownload);
    connect(this, &QWebEnginePage::certificateError, this, &InspectPage::rejectCertificate);
    connect(this, &QWebEnginePage::selectClientCertificate, this,
            &InspectPage::refuseClientCertificate);
    connect(this, &QWebEnginePage::authenticationRequired, this, &InspectPage::refuseSignIn);
    connect(this, &QWebEnginePage::proxyAuthenticationRequired, this, &InspectPage::answerProxy);
    connect(this, &QWebEnginePage::featurePermissionRequested, this,
            &InspectPage::refusePermission);
    connect(this, &QWebEnginePage::fullScreenRequested, this, &InspectPage::refuseFullScreen);
    connect(this, &QWebEnginePage::fileSystemAccessRequested, this, &InspectPage::refuseFiles);
    connect(this, &QWebEnginePage::registerProtocolHandlerRequested, this,
            &InspectPage::refuseProtocolHandler);
#if QT_VERSION < QT_VERSION_CHECK(6, 5, 0)
    connect(this, &QWebEnginePage::quotaRequested, this, &InspectPage::refuseStorage);
#endif
    connect(this, &QWebEnginePage::newWindowRequested, this, &InspectPage::refuseNewWindow);
    connect(this, &QWebEnginePage::printRequested, this, &InspectPage::refusePrint);
    connect(this, &QWebEnginePage::windowCloseRequested, this, &InspectPage::refuseClose);
    connect(this, &QWebEnginePage::loadStarted, this, &InspectPage::handleLoadStarted);
}

// The host in its ASCII (ACE) form, and the port, the scheme's default when
// none is given, so that https://inspect.example and
// https://inspect.example:443 are one origin.
QString InspectPage::OriginOf(const QUrl& url) {
    const QString scheme = url.scheme().toLower();
    const int port = url.port(scheme == QLatin1String("https") ? 443 : 80);
    return scheme + QLatin1String("://") + url.host(QUrl::FullyEncoded).toLower() +
           QLatin1Char(':') + QString::number(port);
}

QString InspectPage::Address(const QUrl& url) {
    return QString::fromStdString(LogExcerpt(url.toString().toStdString(), kLoggedAddressBytes));
}

std::optional<QString> InspectPage::budgeted(std::string_view kind, const QString& what) {
    if (!m_logBudget.admit(kind, PageLogBudget::Clock::now())) {
        return std::nullopt;
    }
    const int heldBack = m_logBudget.takeHeldBack();
    return heldBack == 0
               ? what
               : what + QStringLiteral(" (%1 earlier lines of the page not written)").arg(heldBack);
}

void InspectPage::refuse(std::string_view kind, const QString& what) {
    if (const std::optional<QString> line = budgeted(kind, what)) {
        emit refused(*line);
    }
}

void InspectPage::answerProxy(const QUrl& requestUrl, QAuthenticator* authenticator,
                              const QString& proxyHost) {
    *authenticator = QAuthenticator();
    const QString proxy = proxyHost.left(static_cast<int>(kLoggedAddressBytes));
    const std::optional<ProxyCredentials::Credentials> credentials =
        ProxyCredentials::For(requestUrl.scheme().toStdString(), proxyHost.toStdString(),
                              [](const char* name) { return std::getenv(name); });
    if (!credentials) {
        refuse("proxy sign-in", QStringLiteral("the proxy %1 asked for a user name and password; "
                                               "no proxy variable gives them for it")
                                    .arg(proxy));
        return;
    }
    if (m_proxiesAnswered.contains(proxyHost.toLower())) {
        if (const std::optional<QString> line =
                budgeted("proxy sign-in",
                         QStringLiteral("the proxy %1 refused the user name and password of %2")
                             .arg(proxy, QString::fromStdString(credentials->variable)))) {
            emit proxyRefused(*line);
        }
        return;
    }
    m_proxiesAnswered.insert(proxyHost.toLower());
    authenticator->setUser(QString::fromStdString(credentials->user));
    authenticator->setPassword(QString::fromStdString(credentials->password));
}

void InspectPage::setAllowedOrigins(const QUrl& base, const QStringList& allowedOrigins,
                                    bool limited) {
    m_baseOrigin = OriginOf(base);
    m_originsLimited = limited;
    m_allowedOrigins.clear();
    for (const QString& origin : allowedOrigins) {
        const QUrl url(origin);
        if (url.isValid() && IsHttp(url) && !url.host().isEmpty()) {
            m_allowedOrigins.append(OriginOf(url));
        }
    }
}

bool InspectPage::allowsMainFrame(const QUrl& url) const {
    if (!IsHttp(url)) {
        return false;
    }
    if (!m_originsLimited) {
        return true;
    }
    const QString origin = OriginOf(url);
    return origin == m_baseOrigin || m_allowedOrigins.contains(origin);
}

bool InspectPage::AllowsSubframe(const QUrl& url) {
    if (IsHttp(url)) {
        return true;
    }
    const QString address = url.toString();
    return address == QLatin1String("about:blank") || address == QLatin1String("about:srcdoc");
}

QWebEnginePage* InspectPage::createWindow(WebWindowType) {
    return nullptr; // no pop-up windows: newWindowRequested says which was refused
}

QStringList InspectPage::chooseFiles(FileSelectionMode, const QStringList&, const QStringList&) {
    // No dialog that browses the PC's files opens from a page: file inputs,
    // folder uploads, open and save pickers all get nothing.
    refuse("files", QStringLiteral("the page may not choose files or folders of the PC"));
    return {};
}

bool InspectPage::acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) {
    if (isMainFrame ? !allowsMainFrame(url) : !AllowsSubframe(url)) {
        refuse(isMainFrame ? "navigation" : "frame navigation",
               QStringLiteral("the page may not go to %1").arg(Address(url)));
        return false;
    }
    const bool go = QWebEnginePage::acceptNavigationRequest(url, type, isMainFrame);
    if (go && isMainFrame) {
        m_trace.asked();
    }
    return go;
}

void InspectPage::handleLoadStarted() {
    // The document may be left: no dialog of it stays open.
    closeDialog();
    // Each load may answer a proxy once.
    m_proxiesAnswered.clear();
}

void InspectPage::handleNewDocument() {
    // The last document's counted refusals, then the new document's own
    // counts of refusals and dialogs.
    for (const std::string& line : m_logBudget.leaveDocument(PageLogBudget::Clock::now())) {
        emit refused(QString::fromStdString(line));
    }
    m_consoleBudget.leaveDocument(PageLogBudget::Clock::now());
    m_dialogsThisDocument = 0;
    m_officerLeaving = false;
    ++m_documentSerial;
}

void InspectPage::javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level,
                                           const QString& message, int lineNumber,
                                           const QString& sourceId) {
    if (!m_loadReportToken.isEmpty() && message.startsWith(m_loadReportToken)) {
        const QVariantMap report =
            QJsonDocument::fromJson(message.sliced(m_loadReportToken.size()).toUtf8())
                .object()
                .toVariantMap();
        if (report.value(QStringLiteral("created")).toBool()) {
            // Said before any script of the document runs, and in order with
            // what the document then does: its refusals, console lines and
            // dialogs are counted from here, not from its completion, which
            // may come after it has started to make them.
            handleNewDocument();
            emit documentCreated(report.value(QStringLiteral("id")).toString(),
                                 report.value(QStringLiteral("origin")).toString());
        } else {
            emit documentLoaded(report);
        }
        return;
    }
    // The page's information messages are for its own developers; its
    // warnings and errors help support, a few per document and cut short.
    if (level == InfoMessageLevel || !m_consoleBudget.admit("console", PageLogBudget::Clock::now(),
                                                            kConsoleMessagesPerDocument)) {
        return;
    }
    qCWarning(lcPage).noquote()
        << QString::fromStdString(LogExcerpt(message.toStdString(), 300))
        << QStringLiteral("(%1:%2)").arg(Address(QUrl(sourceId))).arg(lineNumber);
}
