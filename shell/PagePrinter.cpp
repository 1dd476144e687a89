#include "PagePrinter.h"

#include "CupsJob.h"

#include <QPageLayout>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QThread>
#include <QWebEnginePage>

const QString PagePrinter::kNoPrinterMessage =
    QStringLiteral("这台电脑没有可以使用的打印机，无法打印。请联系管理员添加打印机。");

namespace {

// The print system's job title: the same for every page, so that the queue,
// which every user of the PC may list, tells nothing of the page.
constexpr const char* kJobTitle = "Tavlin 网页";

CupsJob::Sides SidesOf(QPrinter::DuplexMode duplex) {
    switch (duplex) {
    case QPrinter::DuplexLongSide:
    case QPrinter::DuplexAuto:
        return CupsJob::Sides::LongEdge;
    case QPrinter::DuplexShortSide:
        return CupsJob::Sides::ShortEdge;
    case QPrinter::DuplexNone:
        break;
    }
    return CupsJob::Sides::OneSided;
}

} // namespace

PagePrinter::PagePrinter(QWebEnginePage& page, QObject* parent) : QObject(parent), m_page(page) {}

QStringList PagePrinter::Printers() {
    return QPrinterInfo::availablePrinterNames();
}

void PagePrinter::Prepare(QPrintDialog& dialog) {
    QPrinter& printer = *dialog.printer();
    printer.setOutputFormat(QPrinter::NativeFormat);
    printer.setOutputFileName(QString());
    const QString preferred = QPrinterInfo::defaultPrinterName();
    printer.setPrinterName(preferred.isEmpty() ? Printers().value(0) : preferred);
    printer.setDocName(QString::fromUtf8(kJobTitle));
    // No "print to file" among the printers, hence no file name field and
    // no file dialog; no selection or current page, which a page has not.
    dialog.setOption(QAbstractPrintDialog::PrintToFile, false);
    dialog.setOption(QAbstractPrintDialog::PrintSelection, false);
    dialog.setOption(QAbstractPrintDialog::PrintCurrentPage, false);
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, true);
    dialog.setOption(QAbstractPrintDialog::PrintCollateCopies, true);
    dialog.setOption(QAbstractPrintDialog::PrintShowPageSize, true);
}

bool PagePrinter::ToAPrinter(const QPrinter& printer) {
    return printer.outputFormat() == QPrinter::NativeFormat && printer.outputFileName().isEmpty() &&
           Printers().contains(printer.printerName());
}

void PagePrinter::print(std::shared_ptr<QPrinter> printer, std::function<bool()> stillTheDocument) {
    QPointer<PagePrinter> self(this);
    m_page.printToPdf(
        [self, printer, stillTheDocument](const QByteArray& pdf) {
            if (!self) {
                return;
            }
            if (!stillTheDocument()) {
                emit self->failed(
                    QStringLiteral("the page moved on before it was laid out for "
                                   "print; nothing was printed"),
                    QStringLiteral("网页已经变化，没有打印。请在要打印的网页上重新打印。"));
            } else if (pdf.isEmpty()) {
                emit self->failed(
                    QStringLiteral("the browser could not lay the page out for print"),
                    QStringLiteral("网页无法排版打印，没有打印。"));
            } else {
                self->send(pdf, printer);
            }
        },
        printer->pageLayout(), printer->pageRanges());
}

void PagePrinter::send(const QByteArray& pdf, const std::shared_ptr<QPrinter>& printer) {
    const std::string name = printer->printerName().toStdString();
    const CupsJob::Settings settings{printer->copyCount(), printer->collateCopies(),
                                     SidesOf(printer->duplex()),
                                     printer->colorMode() == QPrinter::GrayScale};
    const int pages = CupsJob::PdfPageCount(std::string_view(pdf.constData(), pdf.size()));
    auto result = std::make_shared<CupsJob::Result>();
    // The print server may be slow or away: the window does not wait for it.
    QThread* sender = QThread::create([pdf, name, settings, result] {
        *result = CupsJob::SendPdf(name, kJobTitle, std::string_view(pdf.constData(), pdf.size()),
                                   settings);
    });
    const QString printerName = printer->printerName();
    connect(sender, &QThread::finished, this, [this, result, printerName, pages, settings] {
        if (result->sent) {
            emit printed(
                QStringLiteral("打印机 %1，%2 页，%3 份，作业 %4")
                    .arg(printerName, pages > 0 ? QString::number(pages) : QStringLiteral("?"))
                    .arg(settings.copies)
                    .arg(result->job));
        } else {
            const QString reason = QString::fromStdString(result->reason);
            emit failed(QStringLiteral("%1 (printer %2)").arg(reason, printerName),
                        QStringLiteral("打印失败：%1").arg(reason));
        }
    });
    connect(sender, &QThread::finished, sender, &QObject::deleteLater);
    sender->start();
}
