// The embedded browser over Qt WebEngine, with the page policy the shell needs
// (InspectPage), the photo served to its document only (PhotoSchemeHandler),
// the program's resources out of pages' reach (PageRequestGuard), downloads
// refused, a load that never ends stopped, and a page that never yields its
// render process ended.
#pragma once

#include "Browser.h"
#include "DocumentCompletion.h"
#include "RendererWatchdog.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QTimer>
#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>

class PhotoSchemeHandler;
class QWebEnginePage;
class QWebEngineView;
class QWebEngineProfile;
class InspectPage;

class WebEngineBrowser : public Browser {
    Q_OBJECT
public:
    explicit WebEngineBrowser(QObject* parent = nullptr);
    ~WebEngineBrowser() override;

    // The page, for tests that look into it.
    QWebEnginePage* page() const;

    // The scheme that serves the photo file. Call once, before the application object exists.
    static void registerPhotoScheme();

    // Decides how web views are composed into their windows (see
    // WebComposition.h) from the OpenGL this display offers, unless Qt's own
    // QT_QUICK_BACKEND or QSG_RHI_BACKEND says (with QSG_RHI_BACKEND, whether
    // its OpenGL runs on the processor is noted). Call once, after the
    // application object and before the first view.
    static void chooseComposition();

    // The view has no parent of its own: the window that shows it takes it
    // as a child and so owns it; a view never shown is deleted with this.
    QWidget* createView(QWidget* parent) override;
    QWidget* view() override;
    void navigate(const QUrl& url) override;
    void setCompletionReads(const QStringList& ids) override;
    DocumentPin pinDocument() override;
    void importPhoto(const DocumentPin& pin, const QString& inputId, const std::string& text,
                     const QString& imageId, const QString& path, Callback callback) override;
    using Browser::runPageScript;
    void runPageScript(const QString& code, std::function<void(bool ran)> ran) override;
    void noteOfficerInput() override;
    bool composesOnTheProcessor() const override;
    void clearHistory() override;
    void setPagePolicy(const QUrl& base, const ShellConfig::BrowserSettings& settings) override;
    bool repeatFailedLoad() override;

    // How long a page may leave a script unanswered before its render process
    // is ended (10 s; tests make it shorter).
    void setHangTimeout(int milliseconds);
    // How long the watchdog goes on after the last reason to watch (30 s;
    // tests make it shorter), and whether it runs now.
    void setWatchWindow(int milliseconds) { m_watchdog->setWatchWindow(milliseconds); }
    bool watching() const { return m_watchdog->watching(); }

private:
    void handleLoadStarted();
    void handleLoadingChanged(const QWebEngineLoadingInfo& info);
    // The main frame's load ended (stopped: by the page's window.stop(), while
    // its document was loading).
    void handleLoadFinished(bool ok, bool stopped = false);
    // Claims the document whose load ended (arrival: as the completion
    // counted it; documentId: the id it reported as it was created) unless
    // its load report claims it first.
    void claimAtLoadEnd(DocumentCompletion::Arrival arrival, const QString& documentId);
    static constexpr int kClaimRetryMs = 100;
    // How long a document's load report is awaited after its load ended
    // (its own script sends it a second after its load event at the latest).
    static constexpr int kReportWaitMs = 1500;
    // The program's script reported the document shown at its load event,
    // with its title and texts.
    void handleDocumentLoaded(const QVariantMap& facts);
    // A new top-level document was made, with the id and origin its script gave.
    void handleDocumentCreated(const QString& id, const QString& origin);
    // A new document completed: emits documentComplete with what was read of
    // it (facts: ok, title and texts, as the document reading script gives them).
    void completeWith(const ScriptResult& facts);
    // A document claimed without what it is: read now, and completed with it
    // unless a newer document arrived meanwhile.
    void completeByReading(DocumentCompletion::Arrival arrival);
    // The script that reads a completed document, put into every top-level
    // document as it is created.
    void installLoadReport();
    // The script that keeps anything from being dragged out of a page.
    void installNoDragOut();
    void installPrintCall(bool printing);
    // Ends the render process of a page that keeps opening dialogs over the
    // shell's navigation; the navigation is then asked again.
    void endPageHoldingNavigation();
    void resetZoom();
    // The load watch ends: not loading, no load limit, no probe outstanding.
    void endLoad();
    // A load that ended without completing: stopped, or aborted.
    void handleLoadEnded(const QWebEngineLoadingInfo& info);
    // Says why a top-level load failed (loadFailed), within the page's log budget.
    void reportLoadFailure(const QWebEngineLoadingInfo& info);
    void handleLoadTimeout();
    // Something happened on the page: the watchdog watches for a while. While
    // nothing happens it does not run at all (no timer, no probe), so an idle
    // page costs what it costs in a bare browser.
    void watchForAWhile();
    void handleRenderProcessTerminated(QWebEnginePage::RenderProcessTerminationStatus status,
                                       int exitCode);

    // Runs one script in the isolated world and turns its {ok, error, ...} into a ScriptResult.
    void runIsolated(const QString& script, Callback callback);

    QWebEngineProfile* m_profile = nullptr;
    QPointer<QWebEngineView> m_view;
    InspectPage* m_page = nullptr;
    PhotoSchemeHandler* m_photos = nullptr;
    QTimer m_loadTimer;
    bool m_loading = false;        // a top-level load runs
    bool m_stoppedByShell = false; // the load limit stopped the load: already reported
    bool m_answered = false;       // the top-level load running has brought a document
    QUrl m_requestedGet;           // the last top-level request, when it was a plain GET
    QUrl m_repeatable;             // the failed page shown, when it may be asked again
    // A navigation was asked for and has not started: the page's unload
    // handler may cancel it without a question (Chromium asks only once per
    // use of the page), which nothing else reports.
    static constexpr int kNavigationStartMs = 3000;
    QTimer m_navigationStart;
    // The top-level document shown: counted up whenever a new one is made or
    // the shown one goes with its process; its id and origin as it said them.
    quint64 m_document = 0;
    QString m_documentId;
    QString m_documentOrigin; // location.origin, as the document said it
    // Whether the document that arrived last has completed (its load ended or
    // it reported its load event, or it went with its process): an answer
    // about a document that arrived before is then out of date.
    DocumentCompletion m_completion;
    QUrl m_pinnedOrigin; // the address of the document pinned last
    // The load report's token and the ids it reads.
    QString m_loadReportToken;
    QStringList m_completionIds;
    int m_loadTimeoutMs = 30000;
    QUrl m_navigateTarget;                  // the shell's last navigation
    QUrl m_navigateAfterEnd;                // asked again once the page's process has ended
    bool m_endedLoadToCome = false;         // the ended process's load will say it failed
    RendererWatchdog* m_watchdog = nullptr; // the renderer still answers
};
