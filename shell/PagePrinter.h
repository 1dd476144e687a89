// A page printed as the officer chose in a print dialog of the PC's printers:
// the page laid out by the engine for print (its print styles, its text as
// text) and sent to the print system from memory. Nothing of it is written to
// a file, and the dialog offers no file.
#pragma once

#include <QObject>
#include <QPointer>
#include <QStringList>

#include <functional>
#include <memory>

class QPrintDialog;
class QPrinter;
class QWebEnginePage;

class PagePrinter : public QObject {
    Q_OBJECT
public:
    // What the officer reads when the PC has no printer to print to.
    static const QString kNoPrinterMessage;

    PagePrinter(QWebEnginePage& page, QObject* parent);

    // The printers of the PC, as its print system lists them.
    static QStringList Printers();
    // Sets dialog up for the page: printers only (no file), copies, pages,
    // two-sided and colour; the PC's default printer chosen.
    static void Prepare(QPrintDialog& dialog);
    // Whether what the officer chose in the dialog prints to a printer of
    // the PC and to nothing else.
    static bool ToAPrinter(const QPrinter& printer);

    // Lays the page out as printer says and sends it, when stillTheDocument
    // says that the document asked for is still the one shown once it is
    // laid out. Answers with printed or failed.
    void print(std::shared_ptr<QPrinter> printer, std::function<bool()> stillTheDocument);

signals:
    // A page reached the print system: the line for the log (the printer,
    // the number of pages and copies; nothing of the page itself).
    void printed(const QString& line);
    // A page did not print: the line for the log, and what the officer reads.
    void failed(const QString& line, const QString& message);

private:
    void send(const QByteArray& pdf, const std::shared_ptr<QPrinter>& printer);
    QWebEnginePage& m_page;
};
