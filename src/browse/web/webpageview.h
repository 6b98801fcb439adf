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
    bool hasPage() const override;
    bool offline() const override;
    void setOffline(bool offline) override;
    void print() override;
    void printPreview() override;
    void find() override;
    void findText(const QString &text) override;
    void showFoundWords(const QStringList &words) override;

    // The working folder: files that pages in it ask for with other letter
    // case are found there (and only there).
    void setFileRoot(const QString &folder);

    QWebEngineView *browser() const { return m_view; }
    FindBar *findBar() const { return m_findBar; }

    // Renders the shown page onto printer and waits until it is done; false
    // when the browser could not. User input waits meanwhile: the preview
    // window must not ask for another rendering while this one runs.
    bool renderTo(QPrinter *printer);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    // A language switch reaches the find bar, open or not.
    void changeEvent(QEvent *event) override;

private:
    void findOnPage(const QString &text, bool backward);
    // Marks every one of the found words on the page shown, then finds the
    // first of them the page holds; clearMarks takes the marks away again.
    // Both change only what the browser shows, never the file.
    void markFoundWords();
    void clearMarks();

    QWebEngineProfile *m_profile;
    OfflineInterceptor *m_interceptor;
    FindBar *m_findBar;
    QWebEngineView *m_view;
    bool m_printing = false;
    bool m_loading = false;   // a page asked for has not finished loading
    QStringList m_foundWords; // to mark on the page loading now
};
