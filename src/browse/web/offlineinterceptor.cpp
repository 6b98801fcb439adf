#include "browse/web/offlineinterceptor.h"

#include <QUrl>
#include <QWebEngineUrlRequestInfo>

bool OfflineInterceptor::isLocal(const QUrl &url)
{
    const QString scheme = url.scheme().toLower();
    return scheme == u"file" || scheme == u"data" || scheme == u"blob" || scheme == u"qrc" ||
           scheme == u"about";
}

void OfflineInterceptor::interceptRequest(QWebEngineUrlRequestInfo &info)
{
    if (m_blocking && !isLocal(info.requestUrl()))
        info.block(true);
}
