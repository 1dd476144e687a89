#include "PageScripts.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace PageScripts {

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
static QString IsolatedBody(const QString& params, const QString& body) {
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
static const QString kReadDocument =
    QStringLiteral("var found = {};"
                   "for (var i = 0; i < ids.length; ++i) {"
                   "  var e = find(ids[i]);"
                   "  if (e) found[ids[i]] = String(e.innerText);"
                   "}"
                   "return {ok: true, title: String(document.title),"
                   "        texts: found};");

static QString JsonList(const QStringList& items) {
    return QString::fromUtf8(
        QJsonDocument(QJsonArray::fromStringList(items)).toJson(QJsonDocument::Compact));
}

QString ReadDocument(const QStringList& ids) {
    return IsolatedFunction(QStringLiteral("ids"), kReadDocument) + JsonList(ids) +
           QLatin1Char(')');
}

// The document's own id: its time origin, the instant its navigation began,
// which no two documents of the window share and no script of the page can
// change, read the same in every world of the document.
static const QString kDocumentId = QStringLiteral("String(performance.timeOrigin)");

QString LoadReport(const QString& token, const QStringList& ids) {
    // In the page's own world, so that no document pays for a world of the
    // program's before its load event. The page's scripts have not run yet:
    // what the report needs later is taken now (the functions and getters),
    // called only through Reflect.apply as taken, and the token lives only in
    // closures the page can never reach. Strict mode keeps the page's
    // functions, if anything reached them, from seeing these as their callers.
    return QStringLiteral(
               "(function (token, ids) {"
               "  'use strict';"
               "  console.log(token + JSON.stringify({created: true, id: %1,"
               "                                     origin: String(location.origin)}));"
               "  if (location.protocol !== 'http:' && location.protocol !== 'https:') return;"
               "  var apply = Reflect.apply, log = console.log, con = console;"
               "  var json = JSON, stringify = JSON.stringify, doc = document;"
               "  function getter(type, name) {"
               "    return Object.getOwnPropertyDescriptor(type.prototype, name).get;"
               "  }"
               "  var all = Document.prototype.querySelectorAll, item = NodeList.prototype.item;"
               "  var count = getter(NodeList, 'length'), elementId = getter(Element, 'id');"
               "  var attribute = Element.prototype.getAttribute;"
               "  var innerText = getter(HTMLElement, 'innerText');"
               "  var title = getter(Document, 'title'), target = getter(Event, 'target');"
               "  var timer = window.setTimeout, win = window, sent = false;"
               "  var backstop = window.scheduler && Scheduler.prototype.postTask;"
               "  var scheduler = window.scheduler, later = Object.create(null);"
               "  later.delay = 1000;"
               "  function quote(text) { return apply(stringify, json, [text]); }"
               "  function find(name) {"
               "    var list = apply(all, doc, ['[id],[name]']), n = apply(count, list, []);"
               "    for (var k = 0; k < n; ++k) {"
               "      var e = apply(item, list, [k]);"
               "      var named = apply(attribute, e, ['name']);"
               "      if (apply(elementId, e, []) === name || named === name) return e;"
               "    }"
               "    return null;"
               "  }"
               "  function text(e) {"
               "    try { return '' + apply(innerText, e, []); }"
               "    catch (notHtml) { return 'undefined'; }"
               "  }"
               "  function report() {"
               "    if (sent) return;"
               "    sent = true;"
               "    try {"
               "      var texts = '';"
               "      for (var i = 0; i < ids.length; ++i) {"
               "        var e = find(ids[i]);"
               "        if (e) texts += (texts ? ',' : '') + quote(ids[i]) + ':' + quote(text(e));"
               "      }"
               "      var titled = quote('' + apply(title, doc, []));"
               "      apply(log, con, [token + '{\"ok\":true,\"title\":' + titled +"
               "                       ',\"texts\":{' + texts + '}}']);"
               "    } catch (failed) {}"
               "  }"
               // The first listener of the window's load event, in its capture
               // phase: no listener of the page's runs before it, so none can
               // keep it from running. The report reads the document after
               // the page's load handlers and the timers they set; should the
               // page clear the report's timer, a task of the program's own,
               // which the page cannot cancel, sends it a second later.
               "  window.addEventListener('load', function (event) {"
               "    if (!event.isTrusted || apply(target, event, []) !== doc) return;"
               "    apply(timer, win, [report, 0]);"
               "    if (backstop) apply(backstop, scheduler, [report, later]);"
               "  }, true);"
               "})(%2, %3);")
        .arg(kDocumentId, Literal(token), JsonList(ids));
}

QString ClaimAtLoadEnd(const QString& documentId, const QStringList& ids) {
    // The load report cannot be kept from running once the document's load
    // event is over (see LoadReport): from then on it has the document.
    return IsolatedFunction(
               QStringLiteral("id, ids"),
               QStringLiteral(
                   "if (id === '') return {ok: true, unread: true};"
                   "if (%1 !== id) return {ok: true, otherDocument: true};"
                   "var timing = performance.getEntriesByType('navigation')[0];"
                   "if ((location.protocol === 'http:' || location.protocol === 'https:')"
                   "    && timing && timing.loadEventEnd > 0) {"
                   "  if (window.scheduler) return {ok: true, claimed: true};"
                   // Without the task that cannot be cancelled, a
                   // page that clears the report's timer keeps it
                   // from coming: due for a second, then read here.
                   "  if (performance.now() - timing.loadEventEnd < 1000)"
                   "    return {ok: true, pending: true};"
                   "}")
                       .arg(kDocumentId) +
                   kReadDocument) +
           Literal(documentId) + QStringLiteral(", ") + JsonList(ids) + QLatin1Char(')');
}

QString NoDragOut() {
    // The page's first listener of every drag, taken with the function that
    // cancels it before any script of the page ran.
    return QStringLiteral("(function () {"
                          "  'use strict';"
                          "  var apply = Reflect.apply, cancel = Event.prototype.preventDefault;"
                          "  window.addEventListener('dragstart', function (event) {"
                          "    apply(cancel, event, []);"
                          "  }, true);"
                          "})();");
}

QString PrintCall(const QString& token) {
    // The page's own print() asks the shell, by a prompt whose text is token:
    // the engine tells the shell which frame's origin asks, and the page's
    // scripts wait for the officer's answer, as the browser's print() makes
    // them wait. Called while the document is loading, it asks once the load
    // is over, as the browser's does. The prompt is the one of the document's
    // creation, whatever the page does to window.prompt later.
    return QStringLiteral("(function () {"
                          "  var ask = window.prompt, token = %1;"
                          "  function print() {"
                          "    if (document.readyState !== 'complete') {"
                          "      window.addEventListener('load', function () {"
                          "        ask.call(window, token);"
                          "      }, {once: true});"
                          "      return;"
                          "    }"
                          "    ask.call(window, token);"
                          "  }"
                          "  Object.defineProperty(window, 'print', {value: print, writable: true,"
                          "                                          configurable: true});"
                          "})();")
        .arg(Literal(token));
}

QString ImportPhoto(const QString& ticket, const QString& origin, const QString& inputId,
                    const std::string& text, const QString& imageId, const QString& imageUrl,
                    const QString& gone) {
    // The ticket and the origin are checked first and both lookups come
    // before any write, so another document, or a failure, leaves every page
    // untouched. The origin is a second lock, checked by the document itself:
    // a script that lands in a document of another origin writes nothing
    // even if the ticket were known there.
    const QString head =
        IsolatedFunction(
            QStringLiteral("ticket, origin, inputId, imageId, imageUrl, gone, text"),
            QStringLiteral("if (!ticket || %1 !== ticket ||"
                           "    String(location.origin) !== origin)"
                           "  return {ok: false, error: gone};"
                           "var input = find(inputId);"
                           "if (input && !(input instanceof HTMLInputElement))"
                           "  return {ok: false, error: inputId + ' is not an input element'};"
                           "var image = find(imageId);"
                           "if (image && !(image instanceof HTMLImageElement))"
                           "  return {ok: false, error: imageId + ' is not an image element'};"
                           "if (input) input.value = text;"
                           "if (image) { image.src = ''; image.src = imageUrl; }"
                           "return {ok: true, input: !!input, image: !!image};")
                .arg(kDocumentId)) +
        QStringLiteral("%1, %2, %3, %4, %5, %6, ")
            .arg(Literal(ticket), Literal(origin), Literal(inputId), Literal(imageId),
                 Literal(imageUrl), Literal(gone));
    // The photo text is megabytes long: its literal is written straight into the script.
    QString script = head;
    AppendStringLiteral(script, text);
    script += QLatin1Char(')');
    return script;
}

} // namespace PageScripts
