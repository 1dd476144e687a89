// The page policy of the shell: what a page of the web application may do.
//
// No pop-up windows; camera, microphone, location and every other permission
// refused; certificate errors refused (and reported); the main frame goes to
// http and https addresses only, and, when the site names them, only to its
// own origins; page dialogs (alert, confirm, prompt) never lock the officer
// out: they block neither the title buttons nor Close, and after a few from
// one document further ones are refused.
#pragma once

#include <QPointer>
#include <QStringList>
#include <QUrl>
#include <QWebEnginePage>

#include <QDialog>
#include <QEventLoop>

class InspectPage : public QWebEnginePage {
    Q_OBJECT
public:
    // How many dialogs one document may open before further ones are refused.
    static constexpr int kDialogsPerDocument = 3;

    InspectPage(QWebEngineProfile* profile, QObject* parent);

    // The main frame may go to http(s) addresses of base's origin and of
    // allowedOrigins; with no allowedOrigins, to any http(s) address.
    void setAllowedOrigins(const QUrl& base, const QStringList& allowedOrigins);
    bool allowsMainFrame(const QUrl& url) const;

    // A page dialog is open: the page's scripts wait for the officer.
    bool dialogOpen() const { return m_dialogLoop != nullptr; }
    // Ends an open page dialog as if the officer had cancelled it.
    void closeDialog();

signals:
    // Something the page asked for was refused; the text says what (UTF-8,
    // for the log).
    void refused(const QString& what);
    // A certificate error was refused; the text says which and where.
    void certificateRejected(const QString& description);

protected:
    QWebEnginePage* createWindow(WebWindowType) override { return nullptr; }
    bool acceptNavigationRequest(const QUrl& url, NavigationType type, bool isMainFrame) override;
    void javaScriptAlert(const QUrl& securityOrigin, const QString& msg) override;
    bool javaScriptConfirm(const QUrl& securityOrigin, const QString& msg) override;
    bool javaScriptPrompt(const QUrl& securityOrigin, const QString& msg,
                          const QString& defaultValue, QString* result) override;

private:
    // Whether one more dialog may open for the current document; says once
    // per document when not.
    bool mayOpenDialog();
    // Shows dialog without blocking other windows and waits for its answer;
    // false when it was dismissed or ended from outside.
    bool runDialog(QDialog* dialog);
    void handleLoadStarted();
    // The window a page dialog belongs to: the browser's.
    QWidget* dialogParent() const;

    QString m_baseOrigin;
    QStringList m_allowedOrigins;
    int m_dialogsThisDocument = 0;
    QPointer<QEventLoop> m_dialogLoop;
    QPointer<QDialog> m_dialog;
};
