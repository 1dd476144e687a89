#include "PageRequestGuard.h"

void PageRequestGuard::interceptRequest(QWebEngineUrlRequestInfo& info) {
    const QString scheme = info.requestUrl().scheme().toLower();
    if (scheme == QLatin1String("qrc") || scheme == QLatin1String("file")) {
        info.block(true);
        return;
    }
    // No service worker: one would answer the page's navigations (登录 and
    // 首页 among them) from the browser's memory instead of the back end.
    if (info.resourceType() == QWebEngineUrlRequestInfo::ResourceTypeServiceWorker) {
        info.block(true);
        emit refused(QStringLiteral("the page may not install a service worker (%1)")
                         .arg(info.requestUrl().adjusted(QUrl::RemoveQuery).toString().left(160)));
        return;
    }
    if (info.resourceType() == QWebEngineUrlRequestInfo::ResourceTypeMainFrame) {
        emit documentRequested(info.requestUrl(),
                               info.requestMethod() == "GET" &&
                                   info.navigationType() !=
                                       QWebEngineUrlRequestInfo::NavigationTypeFormSubmitted);
    }
}
