#pragma once

#include <QMutex>
#include <QStringList>
#include <QWebEngineUrlRequestInterceptor>
#include <atomic>
#include <functional>

// Sees every request of the page view before it is made (sub-resources,
// frames, scripts' requests, navigation, web sockets) and lets through only
// what PageAccess allows: files inside the folders pages are shown from, and
// the network only while not off-line. The files of pages saved on Windows,
// asked for with other letter case, are found (see LocalFiles).
class RequestGuard : public QWebEngineUrlRequestInterceptor {
    Q_OBJECT
public:
    using QWebEngineUrlRequestInterceptor::QWebEngineUrlRequestInterceptor;

    void setBlocking(bool blocking) { m_blocking = blocking; }
    bool blocking() const { return m_blocking; }
    // The folders whose files pages may load; none at first.
    void setFileRoots(const QStringList &folders);
    QStringList fileRoots() const;
    // Called with the path of every local file asked for before it is judged
    // and read: a working copy still being made unpacks it first.
    using FileGate = std::function<void(const QString &path)>;
    void setFileGate(FileGate gate);

    void interceptRequest(QWebEngineUrlRequestInfo &info) override;

private:
    // Read on the browser's own thread in older Qt releases.
    std::atomic<bool> m_blocking = false;
    mutable QMutex m_rootLock;
    QStringList m_fileRoots;
    FileGate m_fileGate;
};
