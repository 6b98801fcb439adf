#pragma once

#include <QMutex>
#include <QString>
#include <QWebEngineUrlRequestInterceptor>
#include <atomic>

class QUrl;

// Sees every request of the page view before it is made. Keeps a saved page off
// the network: while blocking, every request that does not stay on this machine
// is refused before it leaves the browser. And finds the files of pages saved
// on Windows, which ask for them with other letter case (see LocalFiles).
class OfflineInterceptor : public QWebEngineUrlRequestInterceptor {
    Q_OBJECT
public:
    using QWebEngineUrlRequestInterceptor::QWebEngineUrlRequestInterceptor;

    void setBlocking(bool blocking) { m_blocking = blocking; }
    bool blocking() const { return m_blocking; }
    // Local files asked for below folder that are missing as asked are looked
    // for without regard to letter case; nowhere else.
    void setFileRoot(const QString &folder);

    // True for the schemes a page may still load while off-line.
    static bool isLocal(const QUrl &url);

    void interceptRequest(QWebEngineUrlRequestInfo &info) override;

private:
    // Read on the browser's own thread in older Qt releases.
    std::atomic<bool> m_blocking = false;
    QMutex m_rootLock;
    QString m_fileRoot;
};
