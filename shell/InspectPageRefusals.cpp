// What a page asks of the PC and does not get: each request refused, and
// one line of the page's log budget saying what was refused.
#include "InspectPage.h"

#include <QAuthenticator>
#include <QWebEngineCertificateError>
#include <QWebEngineClientCertificateSelection>
#include <QWebEngineDownloadRequest>
#include <QWebEngineFileSystemAccessRequest>
#include <QWebEngineFullScreenRequest>
#include <QWebEngineNewWindowRequest>
#include <QWebEngineQuotaRequest>
#include <QWebEngineRegisterProtocolHandlerRequest>

namespace {

const char* FeatureName(QWebEnginePage::Feature feature) {
    switch (feature) {
    case QWebEnginePage::Notifications:
        return "notifications";
    case QWebEnginePage::Geolocation:
        return "location";
    case QWebEnginePage::MediaAudioCapture:
        return "microphone";
    case QWebEnginePage::MediaVideoCapture:
        return "camera";
    case QWebEnginePage::MediaAudioVideoCapture:
        return "camera and microphone";
    case QWebEnginePage::MouseLock:
        return "mouse lock";
    case QWebEnginePage::DesktopVideoCapture:
        return "screen capture";
    case QWebEnginePage::DesktopAudioVideoCapture:
        return "screen and sound capture";
    }
    return "an unknown feature";
}

} // namespace

// Downloads: nothing of a page is saved on the PC.
void InspectPage::refuseDownload(QWebEngineDownloadRequest* download) {
    if (download->page() != this) {
        return;
    }
    download->cancel();
    refuse("download",
           QStringLiteral("the page may not save %1 on the PC").arg(Address(download->url())));
}

// Certificate errors are refused, as any careful browser does; support reads
// in the log why the page did not come.
void InspectPage::rejectCertificate(QWebEngineCertificateError error) {
    error.rejectCertificate();
    emit certificateRejected(
        QStringLiteral("certificate error %1 (%2) at %3")
            .arg(static_cast<int>(error.type()))
            .arg(error.description(), Address(error.url().adjusted(QUrl::RemoveQuery))));
}

// No client certificate of the PC is offered to any server.
void InspectPage::refuseClientCertificate(QWebEngineClientCertificateSelection selection) {
    selection.selectNone();
    refuse("client certificate", QStringLiteral("%1 asked for a client certificate; none is given")
                                     .arg(Address(selection.host())));
}

// HTTP sign-in: the web application signs in with its own form, and no
// password box appears over it. (A proxy that asks is answered by
// answerProxy.)
void InspectPage::refuseSignIn(const QUrl& url, QAuthenticator* authenticator) {
    *authenticator = QAuthenticator();
    refuse(
        "sign-in",
        QStringLiteral("%1 asked for a user name and password; none is given").arg(Address(url)));
}

// Camera, microphone, location, notifications, mouse lock, screen capture:
// the page gets none of them.
void InspectPage::refusePermission(const QUrl& origin, QWebEnginePage::Feature feature) {
    setFeaturePermission(origin, feature, QWebEnginePage::PermissionDeniedByUser);
    refuse("permission",
           QStringLiteral("the page may not use %1").arg(QLatin1String(FeatureName(feature))));
}

void InspectPage::refuseFullScreen(QWebEngineFullScreenRequest request) {
    request.reject();
    refuse("full screen", QStringLiteral("the page may not go full screen"));
}

// The PC's files and folders, through the file system access API.
void InspectPage::refuseFiles(QWebEngineFileSystemAccessRequest request) {
    request.reject();
    refuse("files", QStringLiteral("the page may not use files or folders of the PC"));
}

void InspectPage::refuseProtocolHandler(QWebEngineRegisterProtocolHandlerRequest request) {
    request.reject();
    refuse("protocol handler",
           QStringLiteral("the page may not handle %1 addresses").arg(request.scheme()));
}

#if QT_VERSION < QT_VERSION_CHECK(6, 5, 0)
void InspectPage::refuseStorage(QWebEngineQuotaRequest request) {
    request.reject();
    refuse("storage", QStringLiteral("the page may not keep storage on the PC"));
}
#endif

// Windows the page would open (createWindow gives none) stay unopened.
void InspectPage::refuseNewWindow(QWebEngineNewWindowRequest& request) {
    refuse("new window", QStringLiteral("the page may not open a window for %1")
                             .arg(Address(request.requestedUrl())));
}

// The engine's own print request: with printing off, every print; with it
// on, one that went around the page's print() (which asks the shell itself,
// see askToPrint), from a frame the shell cannot tell. The engine's own print
// dialog would offer "print to file", a dialog of the PC's files.
void InspectPage::refusePrint() {
    refuse("print", !m_printToken.isEmpty()
                        ? QStringLiteral("the page may not print except by its print()")
                        : QStringLiteral("the page may not print"));
}

// Only the officer closes Tavlin.
void InspectPage::refuseClose() {
    refuse("close", QStringLiteral("the page may not close the window"));
}
