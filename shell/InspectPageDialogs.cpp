// The page's dialogs: alert, confirm, prompt and the question before a page
// is left, each the officer's to answer without the window being held.
#include "InspectPage.h"

#include <QCoreApplication>
#include <QDialog>
#include <QEvent>
#include <QEventLoop>
#include <QInputDialog>
#include <QMessageBox>
#include <QPointer>
#include <QWebEngineView>

#include <functional>

namespace {

// The caption of a page's dialog: the page speaks, not the program, and no
// address (the start URL carries the enterprise's identity) is shown.
const QString kDialogCaption = QStringLiteral("网页消息");

// The question the browser asks before a page with an unload handler is left
// (the text Qt WebEngine gives javaScriptConfirm for it, in the running language).
QString LeaveQuestion() {
    return QCoreApplication::translate(
        "QWebEnginePage",
        "Are you sure you want to leave this page? Changes that you made may not be saved.");
}

// Calls back when the watched window is closed or hidden.
class WindowCloseWatch : public QObject {
public:
    WindowCloseWatch(QWidget* window, std::function<void()> closed)
        : m_window(window), m_closed(std::move(closed)) {
        if (m_window) {
            m_window->installEventFilter(this);
        }
    }
    ~WindowCloseWatch() override {
        if (m_window) {
            m_window->removeEventFilter(this);
        }
    }
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Close || event->type() == QEvent::Hide) {
            m_closed();
        }
        return false;
    }

private:
    QPointer<QWidget> m_window;
    std::function<void()> m_closed;
};

} // namespace

QWidget* InspectPage::dialogParent() const {
    QWebEngineView* view = QWebEngineView::forPage(this);
    return view != nullptr ? view->window() : nullptr;
}

bool InspectPage::mayOpenDialog() {
    const QWidget* window = dialogParent();
    if (m_officerLeaving) {
        // The page asks again while the shell moves it on: it would hold the
        // navigation for as long as it asks (a page in a loop never lets it
        // in), so it is ended and the navigation goes ahead.
        emit dialogOverNavigation();
        return false;
    }
    if (dialogOpen() || window == nullptr || !window->isVisible()) {
        return false; // one at a time, and none over a closed window
    }
    ++m_dialogsThisDocument;
    if (m_dialogsThisDocument > kDialogsPerDocument) {
        refuse("dialog", QStringLiteral("the page opened more than %1 dialogs; further ones are "
                                        "refused until the next page")
                             .arg(kDialogsPerDocument));
        return false;
    }
    return true;
}

void InspectPage::officerNavigates() {
    m_officerLeaving = true;
    closeDialog();
}

void InspectPage::closeDialog() {
    if (m_dialog) {
        m_dialog->reject();
    }
    if (m_dialogLoop) {
        m_dialogLoop->quit();
    }
}

bool InspectPage::runDialog(QDialog* dialog) {
    // Modal to nothing: the title buttons, Close among them, stay the officer's.
    dialog->setWindowModality(Qt::NonModal);
    if (dialog->windowTitle().isEmpty()) {
        dialog->setWindowTitle(kDialogCaption);
    }
    dialog->setAttribute(Qt::WA_DeleteOnClose, false);
    QEventLoop loop;
    m_dialogLoop = &loop;
    m_dialog = dialog;
    // The officer closing the window ends the page's dialog with it.
    WindowCloseWatch watch(dialogParent(), [this] { closeDialog(); });
    connect(dialog, &QDialog::finished, &loop, &QEventLoop::quit);
    dialog->show();
    loop.exec();
    m_dialogLoop = nullptr;
    m_dialog = nullptr;
    dialog->hide();
    // A message box finishes with the button pressed, not with Accepted.
    if (auto* box = qobject_cast<QMessageBox*>(dialog)) {
        return box->clickedButton() != nullptr &&
               box->buttonRole(box->clickedButton()) == QMessageBox::AcceptRole;
    }
    return dialog->result() == QDialog::Accepted;
}

void InspectPage::javaScriptAlert(const QUrl&, const QString& msg) {
    if (!mayOpenDialog()) {
        return;
    }
    QMessageBox box(QMessageBox::Information, kDialogCaption, msg, QMessageBox::Ok, dialogParent());
    box.setTextFormat(Qt::PlainText);
    runDialog(&box);
}

bool InspectPage::askToLeave(const QString& question) {
    // The officer's own navigation (登录, 刷新, 首页) always wins over a page
    // that may no longer ask: then the page is left without a question.
    const QWidget* window = dialogParent();
    if (dialogOpen() || window == nullptr || !window->isVisible() ||
        m_dialogsThisDocument >= kDialogsPerDocument) {
        return true;
    }
    const bool leave = askOkCancel(question);
    if (!leave) {
        emit leaveRefused();
    }
    return leave;
}

bool InspectPage::javaScriptConfirm(const QUrl&, const QString& msg) {
    if (msg == LeaveQuestion()) {
        return askToLeave(msg);
    }
    return mayOpenDialog() && askOkCancel(msg);
}

bool InspectPage::askOkCancel(const QString& question) {
    QMessageBox box(QMessageBox::Question, kDialogCaption, question,
                    QMessageBox::Ok | QMessageBox::Cancel, dialogParent());
    box.setTextFormat(Qt::PlainText);
    return runDialog(&box);
}

bool InspectPage::javaScriptPrompt(const QUrl& securityOrigin, const QString& msg,
                                   const QString& defaultValue, QString* result) {
    if (!m_printToken.isEmpty() && msg == m_printToken) {
        askToPrint(securityOrigin);
        return false;
    }
    if (!mayOpenDialog()) {
        return false;
    }
    QInputDialog dialog(dialogParent());
    dialog.setLabelText(msg);
    dialog.setTextValue(defaultValue);
    const bool accepted = runDialog(&dialog);
    if (accepted && result != nullptr) {
        *result = dialog.textValue();
    }
    return accepted;
}
