// A page's print(): the officer decides in a print dialog of the PC's
// printers, and the page reaches the printer chosen and nothing else.
#include "InspectPage.h"

#include "PagePrinter.h"

#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QTimer>

void InspectPage::setPrinting(bool on, const QString& token) {
    m_printToken = on ? token : QString();
    if (on && m_printer == nullptr) {
        m_printer = new PagePrinter(*this, this);
        connect(m_printer, &PagePrinter::printed, this, &InspectPage::printed);
        connect(m_printer, &PagePrinter::failed, this, &InspectPage::tellPrintFailed);
    }
}

void InspectPage::askToPrint(const QUrl& securityOrigin) {
    // Only the document shown, or a frame of its own origin, prints: a frame
    // of another origin is another site's.
    if (OriginOf(securityOrigin) != OriginOf(url())) {
        refuse("print",
               QStringLiteral("a frame of %1 may not print the page").arg(Address(securityOrigin)));
        return;
    }
    // One dialog at a time, a few a document: a page that prints in a loop
    // or at every load leaves the officer the window's buttons.
    if (!mayOpenDialog()) {
        return;
    }
    if (PagePrinter::Printers().isEmpty()) {
        emit printFailed(QStringLiteral("the PC's print system lists no printer"));
        QMessageBox box(QMessageBox::Warning, QStringLiteral("打印"),
                        PagePrinter::kNoPrinterMessage, QMessageBox::Ok, dialogParent());
        runDialog(&box);
        return;
    }
    auto printer = std::make_shared<QPrinter>(QPrinter::HighResolution);
    QPrintDialog dialog(printer.get(), dialogParent());
    PagePrinter::Prepare(dialog);
    if (!runDialog(&dialog)) {
        return; // cancelled, or closed with the page or the window
    }
    if (!PagePrinter::ToAPrinter(*printer)) {
        refuse("print", QStringLiteral("the print dialog chose no printer of the PC"));
        return;
    }
    // Laid out once the page's print() has returned: the page's scripts
    // wait for the officer's answer, not for the printer.
    const int document = m_documentSerial;
    QTimer::singleShot(0, m_printer, [this, printer, document] {
        m_printer->print(printer, [this, document] { return document == m_documentSerial; });
    });
}

void InspectPage::tellPrintFailed(const QString& line, const QString& message) {
    emit printFailed(line);
    auto* box = new QMessageBox(QMessageBox::Warning, QStringLiteral("打印"), message,
                                QMessageBox::Ok, dialogParent());
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::NonModal);
    box->show();
}
