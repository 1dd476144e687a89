// What the main window asks of the embedded browser. The production
// implementation is WebEngineBrowser; window tests use a scripted fake.
//
// Page operations are asynchronous: each runs one script and hands its result
// to the callback on the main thread. A result is {ok, error, values}: when ok
// is false, error says what failed in words fit for the log.
#pragma once

#include "ShellConfig.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <QVariantMap>
#include <QtGlobal>

#include <functional>
#include <string>

class QWidget;

struct ScriptResult {
    bool ok = false;
    QString error;
    QVariantMap values;
    // The browser held no document to run in (error is then "no document").
    bool noDocument = false;

    static ScriptResult NoDocument();
};

class Browser : public QObject {
    Q_OBJECT
public:
    using Callback = std::function<void(const ScriptResult&)>;

    // The error of a page operation when the browser holds no document.
    static inline const QString kNoDocument = QStringLiteral("no document");
    // The error of importPhoto when the document the photo was taken for has left.
    static inline const QString kDocumentGone =
        QStringLiteral("the page the photo was taken for is gone; the photo was put into no page");

    explicit Browser(QObject* parent = nullptr) : QObject(parent) {}
    ~Browser() override = default;

    // Makes the widget that shows the page, a child of parent from its
    // creation: the window that shows it owns it.
    virtual QWidget* createView(QWidget* parent) = 0;
    // That widget, once made and while it lives; null otherwise.
    virtual QWidget* view() = 0;

    // Starts loading url without waiting; the outcome arrives as documentComplete.
    virtual void navigate(const QUrl& url) = 0;

    // The ids of the elements whose rendered texts each completed document
    // carries (CompletedPage::texts): the officer's labels.
    virtual void setCompletionReads(const QStringList& ids) = 0;

    // A completed top-level document, as read when it completed.
    struct CompletedPage {
        bool ok = false; // false: the load failed, and nothing else is set
        QString error;   // the document could not be read: why (nothing else is set)
        QString title;   // document.title; empty without a document (as a failed load)
        // The rendered text of the first element whose id (or name) is each
        // of the completion's ids; an id is absent when no such element exists.
        QVariantMap texts;
        QUrl url;       // the document's address
        QString origin; // the document's origin, as it said it
    };

    // The document shown now, marked for a photo taken for it.
    struct DocumentPin {
        quint64 document = 0; // which top-level document, counted by the browser
        QString ticket;       // that document's own id, as it said it when it was made
        QString origin;       // the document's origin, as it said it
    };
    virtual DocumentPin pinDocument() = 0;

    // Puts the photo into the pinned document, and into no other: looks up
    // the input element inputId and the image element imageId, then writes
    // text (ASCII: the photo's Base64 text) into the input's value and sets
    // the image's source first to the empty text, then to an address under
    // which that document alone can load the file at path (new for every
    // photo, forgotten when the document starts to leave). A missing element
    // is skipped; one of another kind fails the operation before anything is
    // written. When the pinned document is gone, nothing is written anywhere
    // and the operation fails.
    virtual void importPhoto(const DocumentPin& pin, const QString& inputId,
                             const std::string& text, const QString& imageId, const QString& path,
                             Callback callback) = 0;

    // The officer used the page (a button, a key, the wheel): a browser that
    // watches for a page that stopped answering watches for a while.
    virtual void noteOfficerInput() {}

    // Asks again for the page whose load failed and is shown now, when it was
    // a plain GET (never a form sent); false when there is no such page.
    virtual bool repeatFailedLoad() { return false; }

    // Forgets the pages before the one shown: none can be gone back to.
    virtual void clearHistory() {}

    // Whether every change of the window's own widgets composes the whole
    // window again, web view included, on the processor: OpenGL through a
    // software rasteriser.
    virtual bool composesOnTheProcessor() const { return false; }

    // Runs code in the page's own script world; every error is dropped. ran
    // (when given) hears whether the code ran to its end without an error (a
    // function the page does not define is an error).
    virtual void runPageScript(const QString& code, std::function<void(bool ran)> ran) = 0;
    void runPageScript(const QString& code) { runPageScript(code, {}); }

    // The configuration's browser settings, whole: where the main frame may
    // go (http(s) only; with allowed origins, only to base's origin and
    // theirs) and how long a page may take to load.
    virtual void setPagePolicy(const QUrl& base, const ShellConfig::BrowserSettings& settings) = 0;

signals:
    // The top-level document finished loading (frames do not count), with
    // what it is; page.ok is false when it failed.
    void documentComplete(const Browser::CompletedPage& page);
    // A top-level document's request passed the browser's own checks and goes
    // to the network now.
    void documentRequested();
    // The page failed beyond a load error: its render process died or stopped
    // answering, its load did not finish in time, or its certificate was
    // refused. reason says which, for the log.
    void pageFailed(const QString& reason);
    // A top-level load brought not a byte of an answer within the load limit
    // of seconds (the line drops packets, or the back end went silent) and
    // was stopped: the document shown before stays. where is the address
    // without its query, for the log.
    void loadTimedOut(int seconds, const QString& where);
    // A top-level load failed without a document of the back end's (the
    // failed documentComplete that follows shows it), or a proxy refused the
    // credentials it was given. reason says why, with the address without its
    // query, for the log; outage is true when the back end could not be
    // reached for now (no connection, no address, a cut connection), so
    // that trying again later may succeed. Bounded like refused.
    void loadFailed(const QString& reason, bool outage);
    // A top-level navigation ended without a new document: it was stopped,
    // answered without one (HTTP 204, a refused download) or the officer
    // chose to stay on the page. The document shown before stays.
    void documentKept();
    // The page asked for something it may not have (a navigation, one dialog
    // too many); the page stays as it was. what says which, for the log.
    void refused(const QString& what);
    // The page printed, or its print failed: the line for the log (the
    // printer and the number of pages, nothing of the page).
    void printed(const QString& line);
    void printFailed(const QString& line);
};

// For the completion's signal in queued connections and signal spies.
Q_DECLARE_METATYPE(Browser::CompletedPage)

inline ScriptResult ScriptResult::NoDocument() {
    return ScriptResult{false, Browser::kNoDocument, {}, true};
}
