#include "PageRequestGuard.h"

void PageRequestGuard::interceptRequest(QWebEngineUrlRequestInfo& info) {
    const QString scheme = info.requestUrl().scheme().toLower();
    if (scheme == QLatin1String("qrc") || scheme == QLatin1String("file")) {
        info.block(true);
        return;
    }
    if (info.resourceType() == QWebEngineUrlRequestInfo::ResourceTypeMainFrame) {
        emit documentRequested();
    }
}
