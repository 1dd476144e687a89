// The scripts Tavlin runs in the page, one function each: what they read or
// write, and the answers they give. Those run at a document's creation are
// in the page's own world, before any script of the page, and hold what they
// need from that moment; the others run in the isolated world, which the
// page cannot see or change. Every value is written into a script as a JSON
// literal, never as pasted text.
#pragma once

#include <QJsonValue>
#include <QString>
#include <QStringList>

#include <string>
#include <string_view>

namespace PageScripts {

// The name of the load report among the page's scripts.
inline const QString kLoadReportName = QStringLiteral("tavlin-load-report");

// A value as a script literal.
QString Literal(const QJsonValue& value);

// Appends bytes, read as Latin-1 characters, as a JSON string literal.
void AppendStringLiteral(QString& script, std::string_view bytes);

// The start of a call of a function for the isolated world with the
// parameters params and the statements body: without a document it answers
// {ok: false, noDocument: true}; find(id) gives the element whose id or name
// is id (the first in document order), or null. The caller appends the
// arguments and the closing parenthesis.
QString IsolatedFunction(const QString& params, const QString& body);

// Reads the document's title and the texts of the elements ids names:
// {ok: true, title, texts: {id: text}}.
QString ReadDocument(const QStringList& ids);

// Run in every top-level document as it is created, in the page's own world:
// says that a document was made (its id, the same the isolated world reads,
// and its origin) under token through the console, and once its load event
// is over reads it as ReadDocument(ids) does and reports that too.
QString LoadReport(const QString& token, const QStringList& ids);

// Claims the document whose id is documentId at the end of its load, in the
// isolated world: {claimed: true} once its load event is over (its report
// then has it), its facts as ReadDocument(ids) reads them before that,
// {unread: true} when no id is known (no report script ran in it), and
// {otherDocument: true} when another document is shown by now, which is left
// to complete for itself.
QString ClaimAtLoadEnd(const QString& documentId, const QStringList& ids = {});

// Run in every frame's own world as it is created: keeps anything from being
// dragged out of a page.
QString NoDragOut();

// Run in the page's own world of every frame as it is created, when printing
// is on: the page's print() asks the shell (see InspectPage::setPrinting).
QString PrintCall(const QString& token);

// Writes the photo's text into the input inputId and points the image
// imageId at imageUrl, in the document whose id (as LoadReport says it) is
// ticket and whose origin is origin only; otherwise answers {ok: false,
// error: gone}.
QString ImportPhoto(const QString& ticket, const QString& origin, const QString& inputId,
                    const std::string& text, const QString& imageId, const QString& imageUrl,
                    const QString& gone);

} // namespace PageScripts
