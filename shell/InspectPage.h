// The page policy of the shell: what a page of the web application may do.
//
// Every capability the embedded browser offers a page is decided here, in one
// place, denied unless an inspection page needs it: the page's settings
// (ApplySettings), the requests the page and its profile make (the
// constructor, InspectPageRefusals.cpp) and the page's own virtual functions
// below. The table "Every capability, decided" of docs/security.md lists the
// same decisions with their reasons.
//
// What a page is refused is written to the log as it happens, bounded by a
// PageLogBudget: once per kind per document, then counted.
#pragma once

#include "NavigationTrace.h"
#include "PageLogBudget.h"

#include <QPointer>
#include <QSet>
#include <QStringList>
#include <QUrl>
#include <QWebEngineCertificateError>
#include <QWebEngineClientCertificateSelection>
#include <QWebEngineFileSystemAccessRequest>
#include <QWebEngineFullScreenRequest>
#include <QWebEngineNewWindowRequest>
#include <QWebEnginePage>
#include <QWebEngineQuotaRequest>
#include <QWebEngineRegisterProtocolHandlerRequest>

#include <QDialog>
#include <QEventLoop>

#include <optional>

class QAuthenticator;
class QWebEngineDownloadRequest;

class QWebEngineSettings;

class InspectPage : public QWebEnginePage {
    Q_OBJECT
public:
    // How many dialogs one document may open before further ones are refused.
    static constexpr int kDialogsPerDocument = 3;
    // Console messages of one document that reach standard error.
    static constexpr int kConsoleMessagesPerDocument = 10;

    InspectPage(QWebEngineProfile* profile, QObject* parent);

    // The settings every page of the shell runs with.
    static void ApplySettings(QWebEngineSettings& settings);

    // The clock of the main frame's navigations (see NavigationTrace).
    const NavigationTrace& trace() const { return m_trace; }

    // The main frame may go to http(s) addresses; when limited, only to
    // those of base's origin and of allowedOrigins (which may be empty: the
    // base's origin alone). An entry that is no origin adds nothing.
    void setAllowedOrigins(const QUrl& base, const QStringList& allowedOrigins, bool limited);

    // The console messages that begin with token come from the program's own
    // script, put into each document before any script of the page, never
    // from the page (which cannot reach the token), with JSON after the
    // token. {"created": true, "id", "origin"} says that a new top-level
    // document was made, before any script of its own ran; any other object
    // that the document shown reached its load event, with what the script
    // read from it.
    void setLoadReportToken(const QString& token) { m_loadReportToken = token; }

    // Printing: when on, a page's print() of the document shown (or of a
    // frame of its origin) asks the officer with a print dialog of the PC's
    // printers; the page's print() reaches the shell as a prompt whose text
    // is token (see PageScripts::PrintCall). Off, or from a frame of another
    // origin, or by any other way, it is refused.
    void setPrinting(bool on, const QString& token);

    // A new document was made (the browser's own error page included): the
    // last one's counted refusals are written, and the counts of refusals,
    // console lines and dialogs start again.
    void handleNewDocument();
    bool allowsMainFrame(const QUrl& url) const;
    // A frame inside the page may show http(s) documents and empty ones.
    static bool AllowsSubframe(const QUrl& url);

    // A page dialog is open: the page's scripts wait for the officer.
    bool dialogOpen() const { return m_dialogLoop != nullptr; }
    // Ends an open page dialog as if the officer had cancelled it.
    void closeDialog();
    // The shell moves the page on (登录, a retry): an open page dialog ends,
    // and the document may open no other one, so that the page, which waits
    // in its dialog, lets the navigation go ahead.
    void officerNavigates();

    // Writes (through refused()) that the page was refused something of kind,
    // within the page's log budget.
    void refuse(std::string_view kind, const QString& what);
    // The line for something of kind the page caused, when the page's log
    // budget admits it (with the count of lines held back before it).
    std::optional<QString> budgeted(std::string_view kind, const QString& what);

signals:
    // Something the page asked for was refused; the text says what (for the
    // log). Bounded: see PageLogBudget.
    void refused(const QString& what);
    // A certificate error was refused; the text says which and where.
    void certificateRejected(const QString& description);
    // A proxy refused the user name and password its variable gives (for the log).
    void proxyRefused(const QString& reason);
    // The officer answered the page's "leave this page?" question with stay:
    // the navigation asked for does not happen.
    void leaveRefused();
    // The document shown reached its load event: facts is what the program's
    // script read from it (see setLoadReportToken).
    void documentLoaded(const QVariantMap& facts);
    // A new top-level document was made: the id the program's script read
    // of it (its time origin), and its origin.
    void documentCreated(const QString& id, const QString& origin);
    // The page asked for a dialog after officerNavigates, before its next
    // document: it keeps the shell's navigation from going ahead.
    void dialogOverNavigation();
    // A page was printed, or did not print: the line for the log.
    void printed(const QString& line);
    void printFailed(const QString& line);

protected:
    QWebEnginePage* createWindow(WebWindowType type) override;
    QStringList chooseFiles(FileSelectionMode mode, const QStringList& oldFiles,
                            const QStringList& acceptedMimeTypes) override;
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override;
    void javaScriptAlert(const QUrl& securityOrigin, const QString& msg) override;
    bool javaScriptConfirm(const QUrl& securityOrigin, const QString& msg) override;
    bool javaScriptPrompt(const QUrl& securityOrigin, const QString& msg,
                          const QString& defaultValue, QString* result) override;
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString& message,
                                  int lineNumber, const QString& sourceId) override;

private:
    NavigationTrace m_trace;
    // Whether one more dialog may open for the current document; says once
    // per document when not.
    bool mayOpenDialog();
    // The browser's "leave this page?" question, asked when the page has an
    // unload handler and a navigation would take it away.
    bool askToLeave(const QString& question);
    // A question with 确定 and 取消; true for 确定.
    bool askOkCancel(const QString& question);
    // Shows dialog without blocking other windows and waits for its answer;
    // true when the officer accepted it.
    bool runDialog(QDialog* dialog);
    void handleLoadStarted();
    // What the page asks of the PC, each refused (InspectPageRefusals.cpp).
    void refuseDownload(QWebEngineDownloadRequest* download);
    void rejectCertificate(QWebEngineCertificateError error);
    void refuseClientCertificate(QWebEngineClientCertificateSelection selection);
    void refuseSignIn(const QUrl& url, QAuthenticator* authenticator);
    void refusePermission(const QUrl& origin, QWebEnginePage::Feature feature);
    void refuseFullScreen(QWebEngineFullScreenRequest request);
    void refuseFiles(QWebEngineFileSystemAccessRequest request);
    void refuseProtocolHandler(QWebEngineRegisterProtocolHandlerRequest request);
#if QT_VERSION < QT_VERSION_CHECK(6, 5, 0)
    void refuseStorage(QWebEngineQuotaRequest request);
#endif
    void refuseNewWindow(QWebEngineNewWindowRequest& request);
    void refusePrint();
    // The page's print() (InspectPagePrint.cpp): the officer's print dialog,
    // then the page to the printer chosen.
    void askToPrint(const QUrl& securityOrigin);
    void tellPrintFailed(const QString& line, const QString& message);
    void refuseClose();
    // An address for the log, cut to a length.
    static QString Address(const QUrl& url);
    // An http(s) address's origin as compared: scheme, ASCII host, port.
    static QString OriginOf(const QUrl& url);
    void answerProxy(const QUrl& requestUrl, QAuthenticator* authenticator,
                     const QString& proxyHost);
    // The window a page dialog belongs to: the browser's.
    QWidget* dialogParent() const;

    QString m_baseOrigin;
    bool m_originsLimited = false;
    QStringList m_allowedOrigins;
    int m_dialogsThisDocument = 0;
    bool m_officerLeaving = false; // see officerNavigates
    QPointer<QEventLoop> m_dialogLoop;
    QPointer<QDialog> m_dialog;
    PageLogBudget m_logBudget;     // refusals, into the log
    PageLogBudget m_consoleBudget; // the page's console, onto standard error
    QString m_loadReportToken;
    QSet<QString> m_proxiesAnswered; // proxies given credentials during this load
    QString m_printToken;            // empty while printing is off
    class PagePrinter* m_printer = nullptr;
    int m_documentSerial = 0; // counts the documents made, for what outlives one
};
