// The print dialog a page's print() opens, in the real window with the real
// browser, looked into widget by widget: it leads to the PC's printers and to
// no file, and without a printer the officer is told so.
#include "Fakes.h"
#include "LiveShell.h"
#include "PagePrinter.h"
#include "PrintSystem.h"
#include "SampleSite.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPushButton>
#include <QScopeGuard>
#include <QTest>
#include <QTimer>

#include <cups/cups.h>

#include <memory>

namespace {

template <typename Dialog> Dialog* ShownDialog() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* dialog = qobject_cast<Dialog*>(widget); dialog && dialog->isVisible()) {
            return dialog;
        }
    }
    return nullptr;
}

// What of the widgets under root could name, choose or write a file: a
// printer entry for a file, a shown and usable file name field or browse
// button, a text that speaks of files.
QStringList FileRoutes(QWidget& root) {
    QStringList routes;
    const auto speaksOfFiles = [](const QString& text) {
        return text.contains(QLatin1String("PDF"), Qt::CaseInsensitive) ||
               text.contains(QLatin1String("file"), Qt::CaseInsensitive) ||
               text.contains(QStringLiteral("文件"));
    };
    for (QComboBox* box : root.findChildren<QComboBox*>()) {
        for (int i = 0; i < box->count(); ++i) {
            if (speaksOfFiles(box->itemText(i))) {
                routes.append(box->objectName() + QLatin1Char(':') + box->itemText(i));
            }
        }
    }
    for (QWidget* widget : root.findChildren<QWidget*>()) {
        if (!widget->isVisibleTo(&root) || !widget->isEnabled()) {
            continue;
        }
        const auto* button = qobject_cast<QAbstractButton*>(widget);
        if (speaksOfFiles(widget->objectName()) ||
            (button != nullptr && speaksOfFiles(button->text()))) {
            routes.append(widget->objectName());
        }
    }
    return routes;
}

} // namespace

class tst_PrintDialog : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void theDialogLeadsToThePrintersAndToNoFile();
    void withoutAPrinterTheOfficerIsToldAndThePageGoesOn();

private:
    bool sawBeacon(const QString& what);

    std::unique_ptr<PrintSystem> m_print;
    SampleSite m_site;
    FakeDialogs m_dialogs;
    QStringList m_requests;
};

void tst_PrintDialog::initTestCase() {
    // The test's own print system: the PC's is never asked.
    m_print = std::make_unique<PrintSystem>();
    QVERIFY2(m_print->start(), "the test's print system did not start");
    cupsSetServer(m_print->server().toLatin1().constData());
    QVERIFY(m_site.start({QStringLiteral("--hostile")}));
}

bool tst_PrintDialog::sawBeacon(const QString& what) {
    m_requests += m_site.takeRequests();
    return !m_requests.filter(QStringLiteral("/beacon?") + what + QLatin1Char('&')).isEmpty();
}

// Runs look on the first shown dialog of its kind, from the event loop: a
// page's dialog holds the page in a loop of its own until it is answered, so
// the test looks at it from inside that loop. False when none came.
template <typename Dialog> bool WhenShown(const std::function<void(Dialog&)>& look) {
    bool seen = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (Dialog* dialog = ShownDialog<Dialog>(); dialog && !seen) {
            seen = true;
            poll.stop();
            look(*dialog);
        }
    });
    poll.start(20);
    return LiveShell::WaitFor([&] { return seen; });
}

void tst_PrintDialog::theDialogLeadsToThePrintersAndToNoFile() {
    LiveShell shell(m_site.base(), m_dialogs);
    QVERIFY(shell.started);
    QStringList printerNames;
    QString chosen;
    QStringList routes;      // in the dialog, its options shown too
    QStringList focusRoutes; // in its focus chain
    QStringList propertyRoutes;
    bool propertiesLooked = false;
    bool fileDialog = false;
    shell.browser->navigate(QUrl(m_site.base() + QStringLiteral("/print/record/1")));
    const bool shown = WhenShown<QPrintDialog>([&](QPrintDialog& dialog) {
        // The PC's printers, the default one chosen, and no file among them.
        if (auto* printers = dialog.findChild<QComboBox*>(QStringLiteral("printers"))) {
            for (int i = 0; i < printers->count(); ++i) {
                printerNames.append(printers->itemText(i));
            }
            chosen = printers->currentText();
        }
        if (auto* options = dialog.findChild<QPushButton*>(QStringLiteral("optionsButton"))) {
            options->click();
        }
        routes = FileRoutes(dialog);
        // Nor by the keyboard: no widget in the focus chain is a file's.
        QWidget* focus = &dialog;
        for (int i = 0; i < 200; ++i) {
            focus = focus->nextInFocusChain();
            if (focus == &dialog) {
                break;
            }
            if (focus->isVisibleTo(&dialog) && focus->focusPolicy() != Qt::NoFocus &&
                focus->objectName().contains(QLatin1String("file"), Qt::CaseInsensitive)) {
                focusRoutes.append(focus->objectName());
            }
        }
        // The printer's properties, opened as the officer would, looked into
        // while they are up.
        if (auto* properties = dialog.findChild<QAbstractButton*>(QStringLiteral("properties"))) {
            QTimer::singleShot(200, &dialog, [&] {
                if (QWidget* modal = QApplication::activeModalWidget(); modal && modal != &dialog) {
                    propertyRoutes = FileRoutes(*modal);
                    propertiesLooked = true;
                    modal->close();
                }
            });
            properties->click();
        }
        fileDialog = ShownDialog<QFileDialog>() != nullptr;
        dialog.reject(); // cancel
    });
    QVERIFY2(shown, "no print dialog");
    QCOMPARE(printerNames, QStringList{QStringLiteral("tavlin-test")});
    QCOMPARE(chosen, QStringLiteral("tavlin-test"));
    QVERIFY2(routes.isEmpty(), qPrintable(routes.join(u' ')));
    QVERIFY2(focusRoutes.isEmpty(), qPrintable(focusRoutes.join(u' ')));
    QVERIFY(propertiesLooked);
    QVERIFY2(propertyRoutes.isEmpty(), qPrintable(propertyRoutes.join(u' ')));
    QVERIFY(!fileDialog);
    // Cancelled: the page goes on, and nothing was printed.
    QVERIFY(LiveShell::WaitFor([&] { return sawBeacon(QStringLiteral("print-returned-1")); }));
    QVERIFY(m_print->documents().isEmpty());
    QVERIFY(!LogMessages().contains(QStringLiteral("打印网页")));
}

void tst_PrintDialog::withoutAPrinterTheOfficerIsToldAndThePageGoesOn() {
    // A print server named where none listens, as on a PC without CUPS.
    cupsSetServer("127.0.0.1:1");
    const auto restore =
        qScopeGuard([this] { cupsSetServer(m_print->server().toLatin1().constData()); });
    QVERIFY(PagePrinter::Printers().isEmpty());
    ClearLog();
    LiveShell shell(m_site.base(), m_dialogs);
    QVERIFY(shell.started);
    QString text;
    QString caption;
    shell.browser->navigate(QUrl(m_site.base() + QStringLiteral("/print/record/1")));
    const bool shown = WhenShown<QMessageBox>([&](QMessageBox& box) {
        text = box.text();
        caption = box.windowTitle();
        box.button(QMessageBox::Ok)->click();
    });
    QVERIFY2(shown, "the officer was told nothing");
    QCOMPARE(text, PagePrinter::kNoPrinterMessage);
    QCOMPARE(caption, QStringLiteral("打印"));
    QVERIFY(LiveShell::WaitFor([&] { return sawBeacon(QStringLiteral("print-returned-1")); }));
    QVERIFY2(LogMessages().contains(
                 QStringLiteral("打印网页失败,原因:the PC's print system lists no printer")),
             qPrintable(LogMessages()));
    QVERIFY(ShownDialog<QPrintDialog>() == nullptr);
}

QTEST_MAIN(tst_PrintDialog)
#include "tst_printdialog.moc"
