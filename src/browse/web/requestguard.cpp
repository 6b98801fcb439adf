#include "browse/web/requestguard.h"

#include "browse/pageaccess.h"

#include <QUrl>
#include <QWebEngineUrlRequestInfo>

void RequestGuard::setFileRoots(const QStringList &folders)
{
    const QMutexLocker lock(&m_rootLock);
    m_fileRoots = folders;
}

QStringList RequestGuard::fileRoots() const
{
    const QMutexLocker lock(&m_rootLock);
    return m_fileRoots;
}

void RequestGuard::setFileGate(FileGate gate)
{
    const QMutexLocker lock(&m_rootLock);
    m_fileGate = std::move(gate);
}

void RequestGuard::interceptRequest(QWebEngineUrlRequestInfo &info)
{
    const QUrl url = info.requestUrl();
    if (url.isLocalFile()) {
        FileGate gate;
        {
            const QMutexLocker lock(&m_rootLock);
            gate = m_fileGate;
        }
        if (gate)
            gate(url.toLocalFile());
    }
    const PageAccess::Verdict verdict =
        PageAccess::forRequest(info.requestUrl(), m_blocking, fileRoots());
    switch (verdict.kind) {
    case PageAccess::Verdict::Allow:
        return;
    case PageAccess::Verdict::Redirect:
        info.redirect(QUrl::fromLocalFile(verdict.path));
        return;
    case PageAccess::Verdict::Refuse:
        info.block(true);
        return;
    }
}
