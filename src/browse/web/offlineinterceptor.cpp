#include "browse/web/offlineinterceptor.h"

#include "browse/localfiles.h"

#include <QUrl>
#include <QWebEngineUrlRequestInfo>

bool OfflineInterceptor::isLocal(const QUrl &url)
{
    const QString scheme = url.scheme().toLower();
    return scheme == u"file" || scheme == u"data" || scheme == u"blob" || scheme == u"qrc" ||
           scheme == u"about";
}

void OfflineInterceptor::setFileRoot(const QString &folder)
{
    const QMutexLocker lock(&m_rootLock);
    m_fileRoot = folder;
}

void OfflineInterceptor::interceptRequest(QWebEngineUrlRequestInfo &info)
{
    const QUrl url = info.requestUrl();
    if (m_blocking && !isLocal(url)) {
        info.block(true);
        return;
    }
    if (!url.isLocalFile())
        return;
    QString root;
    {
        const QMutexLocker lock(&m_rootLock);
        root = m_fileRoot;
    }
    const QString found = LocalFiles::resolveWithoutCase(root, url.toLocalFile());
    if (!found.isEmpty())
        info.redirect(QUrl::fromLocalFile(found));
}
