#pragma once

#include "browse/pageview.h"

#include <QWidget>

class FindBar;
class OfflineInterceptor;
class QPrinter;
class QWebEngineProfile;
class QWebEngineView;

// The page view of the main window: a browser over the unpacked working copy,
// with a find bar above it. It has a private, memory-only profile, so pages
// leave no cache or cookies behind, and off-line mode really blocks the network.
class WebPageView : public QWidget, public PageView {
    Q_OBJECT
public:
    explicit WebPageView(QWidget *parent = nullptr);
    ~WebPageView() override;

    // Must run before the QApplication exists: the browser's sandbox cannot
    // start as root, so it is turned off then (and only then).
    static void prepareProcess();

    void navigate(const QString &location) override;
    bool offline() const override;
    void setOffline(bool offline) override;
    void print() override;
    void printPreview() override;
    void find() override;
    void findText(const QString &text) override;

    QWebEngineView *browser() const { return m_view; }
    FindBar *findBar() const { return m_findBar; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void printWith(QPrinter *printer);
    void findOnPage(const QString &text, bool backward);
    void findWhenLoaded();

    QWebEngineProfile *m_profile;
    OfflineInterceptor *m_interceptor;
    FindBar *m_findBar;
    QWebEngineView *m_view;
    QString m_findWhenLoaded; // for the page that is loading
    bool m_loading = false;
};
