#include "InspectPage.h"

#include <QDialog>
#include <QEvent>
#include <QPointer>

#include <QEventLoop>
#include <QInputDialog>
#include <QMessageBox>
#include <QWebEngineCertificateError>
#include <QWebEngineView>
#include <functional>

namespace {

// The caption of a page's dialog: the page speaks, not the program, and no
// address (the start URL carries the enterprise's identity) is shown.
const QString kDialogCaption = QStringLiteral("网页消息");

QString Origin(const QUrl& url) {
    return url
        .adjusted(QUrl::RemoveUserInfo | QUrl::RemovePath | QUrl::RemoveQuery |
                  QUrl::RemoveFragment)
        .toString(QUrl::FullyEncoded);
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

InspectPage::InspectPage(QWebEngineProfile* profile, QObject* parent)
    : QWebEnginePage(profile, parent) {
    // Certificate errors are refused, as any careful browser does; support
    // reads in the log why the page did not come.
    connect(this, &QWebEnginePage::certificateError, this,
            [this](QWebEngineCertificateError error) {
                error.rejectCertificate();
                emit certificateRejected(
                    QStringLiteral("certificate error %1 (%2) at %3")
                        .arg(static_cast<int>(error.type()))
                        .arg(error.description(), error.url().toString(QUrl::RemoveQuery)));
            });
    // Camera, microphone, location and the like: the page gets none of them.
    connect(this, &QWebEnginePage::featurePermissionRequested, this,
            [this](const QUrl& origin, QWebEnginePage::Feature feature) {
                setFeaturePermission(origin, feature, QWebEnginePage::PermissionDeniedByUser);
            });
    connect(this, &QWebEnginePage::loadStarted, this, &InspectPage::handleLoadStarted);
}

void InspectPage::setAllowedOrigins(const QUrl& base, const QStringList& allowedOrigins) {
    m_baseOrigin = Origin(base);
    m_allowedOrigins.clear();
    for (const QString& origin : allowedOrigins) {
        m_allowedOrigins.append(Origin(QUrl(origin)));
    }
}

bool InspectPage::allowsMainFrame(const QUrl& url) const {
    const QString scheme = url.scheme().toLower();
    if (scheme != QLatin1String("http") && scheme != QLatin1String("https")) {
        return false;
    }
    if (m_allowedOrigins.isEmpty()) {
        return true;
    }
    const QString origin = Origin(url);
    return origin == m_baseOrigin || m_allowedOrigins.contains(origin);
}

bool InspectPage::acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) {
    if (isMainFrame && !allowsMainFrame(url)) {
        emit refused(QStringLiteral("the page may not go to %1").arg(url.toString()));
        return false;
    }
    return QWebEnginePage::acceptNavigationRequest(url, type, isMainFrame);
}

void InspectPage::handleLoadStarted() {
    // A new document: its own count of dialogs, and no dialog of the last one.
    m_dialogsThisDocument = 0;
    closeDialog();
}

bool InspectPage::mayOpenDialog() {
    const QWidget* window = dialogParent();
    if (dialogOpen() || window == nullptr || !window->isVisible()) {
        return false; // one at a time, and none over a closed window
    }
    ++m_dialogsThisDocument;
    if (m_dialogsThisDocument == kDialogsPerDocument + 1) {
        emit refused(QStringLiteral("the page opened more than %1 dialogs; further ones are "
                                    "refused until the next page")
                         .arg(kDialogsPerDocument));
    }
    return m_dialogsThisDocument <= kDialogsPerDocument;
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
    dialog->setWindowTitle(kDialogCaption);
    dialog->setAttribute(Qt::WA_DeleteOnClose, false);
    QEventLoop loop;
    m_dialogLoop = &loop;
    m_dialog = dialog;
    // The officer closing the window ends the page's dialog with it.
    WindowCloseWatch watch(dialogParent(), [this] { closeDialog(); });
    bool accepted = false;
    connect(dialog, &QDialog::finished, &loop, [&loop, &accepted](int result) {
        accepted = result == QDialog::Accepted;
        loop.quit();
    });
    dialog->show();
    loop.exec();
    m_dialogLoop = nullptr;
    m_dialog = nullptr;
    return accepted;
}

void InspectPage::javaScriptAlert(const QUrl&, const QString& msg) {
    if (!mayOpenDialog()) {
        return;
    }
    QMessageBox box(QMessageBox::Information, kDialogCaption, msg, QMessageBox::Ok, dialogParent());
    box.setTextFormat(Qt::PlainText);
    runDialog(&box);
}

bool InspectPage::javaScriptConfirm(const QUrl&, const QString& msg) {
    if (!mayOpenDialog()) {
        return false;
    }
    QMessageBox box(QMessageBox::Question, kDialogCaption, msg,
                    QMessageBox::Ok | QMessageBox::Cancel, dialogParent());
    box.setTextFormat(Qt::PlainText);
    return runDialog(&box);
}

bool InspectPage::javaScriptPrompt(const QUrl&, const QString& msg, const QString& defaultValue,
                                   QString* result) {
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
