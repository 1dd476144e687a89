// Keeps a page's requests away from the program's own resources: qrc: (the
// program's pictures and skin) and file: addresses are refused to every page,
// whatever asks for them (an image, a frame, a script's fetch); and a service
// worker's script is never loaded, so none registers.
#pragma once

#include <QWebEngineUrlRequestInterceptor>

class PageRequestGuard : public QWebEngineUrlRequestInterceptor {
    Q_OBJECT
public:
    using QWebEngineUrlRequestInterceptor::QWebEngineUrlRequestInterceptor;
    void interceptRequest(QWebEngineUrlRequestInfo& info) override;

signals:
    // A main frame's request passed the guard, with its address and whether
    // it is a plain GET, no form sent (it is called on the window's thread).
    void documentRequested(const QUrl& url, bool plainGet);
    // A request was refused; what says which (for the log).
    void refused(const QString& what);
};
