// The browser's operations on the document shown: scripts in the isolated
// world, and putting the photo in.
#include "InspectPage.h"
#include "PageScripts.h"
#include "PhotoSchemeHandler.h"
#include "WebEngineBrowser.h"

#include <QPointer>
#include <QWebEngineScript>

#include <algorithm>

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

Browser::DocumentPin WebEngineBrowser::pinDocument() {
    // The ticket is the document's own id (its time origin), reported by the
    // program's script as the document was created, before any script of the
    // page ran, and checked by the photo's script against what the isolated
    // world reads of the document it lands in, which no page can change:
    // nothing is written into the page, so a document the page moves on to in
    // this instant can never receive the pin.
    m_pinnedOrigin = QUrl(m_documentOrigin);
    return DocumentPin{m_document, m_documentId, m_documentOrigin};
}

void WebEngineBrowser::handleDocumentCreated(const QString& id, const QString& origin) {
    m_page->trace().stage("document");
    // A new top-level document: a photo taken for the last one goes nowhere,
    // and the one given to it is no longer served.
    ++m_document;
    m_answered = true;
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
    const QString script =
        PageScripts::ImportPhoto(pin.ticket, pin.origin, inputId, text, imageId,
                                 imageUrl.toString(QUrl::FullyEncoded), kDocumentGone);
    runIsolated(script, [self = QPointer<WebEngineBrowser>(this),
                         callback = std::move(callback)](const ScriptResult& result) {
        if (self && !result.ok) {
            self->m_photos->forget(); // given to nobody
        }
        callback(result);
    });
}
