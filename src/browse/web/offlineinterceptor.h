#pragma once

#include <QWebEngineUrlRequestInterceptor>
#include <atomic>

class QUrl;

// Keeps a saved page off the network: while blocking, every request that does
// not stay on this machine is refused before it leaves the browser.
class OfflineInterceptor : public QWebEngineUrlRequestInterceptor {
    Q_OBJECT
public:
    using QWebEngineUrlRequestInterceptor::QWebEngineUrlRequestInterceptor;

    void setBlocking(bool blocking) { m_blocking = blocking; }
    bool blocking() const { return m_blocking; }

    // True for the schemes a page may still load while off-line.
    static bool isLocal(const QUrl &url);

    void interceptRequest(QWebEngineUrlRequestInfo &info) override;

private:
    // Read on the browser's own thread in older Qt releases.
    std::atomic<bool> m_blocking = false;
};
