// How the browser knows that a top-level document has completed, and what
// it is: the load report each document sends after its load event, the claim
// at the main frame's load end, and the value documentComplete carries.
#include "InspectPage.h"
#include "PageScripts.h"
#include "WebEngineBrowser.h"

#include <QPointer>
#include <QTimer>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>

void WebEngineBrowser::installLoadReport() {
    // Qt WebEngine reports a completion when the page stops loading: a
    // document that moves on from its own load event (location.href = ...)
    // never stops, and would never complete. This script, put into every
    // top-level document as it is created, reads the document once its load
    // event is over (the page's own load handlers included) and reports it
    // through the console, under a token the page cannot know. It runs in the
    // page's own world, with what it needs taken before any script of the
    // page runs (see PageScripts::LoadReport): an isolated world made for
    // every document would cost each navigation the making of a script
    // context before the page is parsed. Whichever comes first, this report
    // or the claim at the end of the load (see handleLoadFinished), completes
    // the document, once, and with the facts read in the same pass, so the
    // window asks the page nothing more. Only http(s)
    // documents report (the browser's own error pages complete as failures),
    // and only at the browser's load event, not at one the page dispatches.
    // Before any of that, and before any script of the page runs, the script
    // says that a new document was made: the page policy counts what the
    // document does from there (see InspectPage::setLoadReportToken).
    QWebEngineScriptCollection& scripts = m_page->scripts();
    for (const QWebEngineScript& old : scripts.find(PageScripts::kLoadReportName)) {
        scripts.remove(old);
    }
    QWebEngineScript script;
    script.setName(PageScripts::kLoadReportName);
    script.setWorldId(QWebEngineScript::MainWorld);
    script.setInjectionPoint(QWebEngineScript::DocumentCreation);
    script.setRunsOnSubFrames(false);
    script.setSourceCode(PageScripts::LoadReport(m_loadReportToken, m_completionIds));
    scripts.insert(script);
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

void WebEngineBrowser::handleLoadFinished(bool ok, bool stopped) {
    endLoad();
    if (!ok) {
        resetZoom();
        emit documentComplete(CompletedPage{});
        return;
    }
    // The document completes here unless its load report came first, or
    // another document arrives before the answer. A navigation that only
    // starts (and may be refused) leaves this one shown, and its answer valid.
    // One that reported its load event already is not asked: the script
    // round trip would only hold up the renderer while the page moves on.
    const auto arrival = m_completion.loadEnded(m_documentId.toStdString());
    if (!arrival) {
        return;
    }
    // An http(s) document that said it was made, and whose load ran to its
    // end, reaches its load event, and its report cannot be kept from coming:
    // it is awaited, not asked for. Asking would make the isolated world in
    // this document, and the engine then makes it again in every document
    // that follows in the window, before it is parsed. Should the report not
    // come all the same, the document is read here.
    const bool reportComes = !stopped && !m_documentId.isEmpty() &&
                             (m_documentOrigin.startsWith(QLatin1String("http://")) ||
                              m_documentOrigin.startsWith(QLatin1String("https://")));
    if (!reportComes) {
        claimAtLoadEnd(*arrival, m_documentId);
        return;
    }
    QTimer::singleShot(
        kReportWaitMs, this,
        [self = QPointer<WebEngineBrowser>(this), arrival = *arrival, documentId = m_documentId] {
            // Not once a newer document was made: it completes for itself.
            if (self && self->m_completion.isCurrent(arrival) && self->m_documentId == documentId) {
                self->m_completion.claimCompleted(documentId.toStdString());
                self->resetZoom();
                self->completeByReading(arrival);
            }
        });
}

void WebEngineBrowser::claimAtLoadEnd(DocumentCompletion::Arrival arrival,
                                      const QString& documentId) {
    // The claim names the document it is for: a claim asked again after the
    // page has moved on must not take the next document's completion (its
    // load report would then find it claimed, and it would never complete).
    runIsolated(
        PageScripts::ClaimAtLoadEnd(documentId, m_completionIds),
        [self = QPointer<WebEngineBrowser>(this), arrival, documentId](const ScriptResult& result) {
            if (!self) {
                return;
            }
            using Answer = DocumentCompletion::Answer;
            const auto said = [&result](const char* key) {
                return result.values.value(QLatin1String(key)).toBool();
            };
            const Answer answer = !result.ok              ? Answer::Failed
                                  : said("otherDocument") ? Answer::OtherDocument
                                  : said("claimed")       ? Answer::Claimed
                                  : said("pending")       ? Answer::Pending
                                  : said("unread")        ? Answer::Unread
                                                          : Answer::Read;
            switch (self->m_completion.claimAnswered(arrival, answer)) {
            case DocumentCompletion::Step::Nothing:
                return;
            case DocumentCompletion::Step::AskAgain:
                // The load event was just dispatched and its report reads the
                // document after the page's own load handlers and timers of that
                // moment: asked again shortly, when the report has claimed it (or,
                // if the page kept it from coming, claimed here).
                QTimer::singleShot(kClaimRetryMs, self.data(), [self, arrival, documentId] {
                    if (self && self->m_completion.isCurrent(arrival)) {
                        self->claimAtLoadEnd(arrival, documentId);
                    }
                });
                return;
            case DocumentCompletion::Step::Complete:
                self->m_completion.claimCompleted(documentId.toStdString());
                self->resetZoom();
                self->completeWith(result);
                return;
            case DocumentCompletion::Step::CompleteByReading:
                self->m_completion.claimCompleted(documentId.toStdString());
                self->resetZoom();
                self->completeByReading(arrival);
                return;
            }
        });
}

void WebEngineBrowser::completeByReading(DocumentCompletion::Arrival arrival) {
    // No script of the program's read it (no document, or one the script was
    // not put into): read here, as the load report would have.
    runIsolated(PageScripts::ReadDocument(m_completionIds),
                [self = QPointer<WebEngineBrowser>(this), arrival](const ScriptResult& result) {
                    if (self && self->m_completion.isCurrent(arrival)) {
                        self->completeWith(result);
                    }
                });
}

void WebEngineBrowser::handleDocumentLoaded(const QVariantMap& facts) {
    m_page->trace().stage("loaded");
    if (!m_completion.reported(m_documentId.toStdString())) {
        return; // completed by the claim at its load end
    }
    m_navigationStart.stop();
    endLoad();
    resetZoom();
    completeWith(ScriptResult{true, {}, facts});
}

void WebEngineBrowser::completeWith(const ScriptResult& facts) {
    watchForAWhile();
    CompletedPage page;
    page.ok = true;
    if (facts.ok) {
        page.title = facts.values.value(QStringLiteral("title")).toString();
        page.texts = facts.values.value(QStringLiteral("texts")).toMap();
        page.url = m_page->url();
        page.origin = m_documentOrigin;
    } else if (!facts.noDocument) {
        page.error =
            facts.error.isEmpty() ? QStringLiteral("the page gave no answer") : facts.error;
    }
    m_page->trace().timed("shown", [this, &page] { emit documentComplete(page); });
}
