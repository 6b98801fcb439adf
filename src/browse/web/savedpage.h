#pragma once

#include <QWebEnginePage>

class PageDialogs;
class RequestGuard;

// The browser page a saved page runs in. A saved page is untrusted: it
// navigates only where its requests may go (see PageAccess), opens no windows
// (a link meant for a new one is followed in the view, when clicked), hands
// no address to another program by itself, and its dialogs are the program's
// own (see PageDialogs).
class SavedPage : public QWebEnginePage {
    Q_OBJECT
public:
    SavedPage(QWebEngineProfile *profile, RequestGuard *guard, PageDialogs *dialogs,
              QObject *parent = nullptr);

    // The title a dialog of the page carries: the page's title, or the name
    // of its file when it has none.
    QString dialogTitle() const;

Q_SIGNALS:
    // A click asked for an address that a program of the desktop would open.
    void openElsewhereRequested(const QUrl &url);

protected:
    bool acceptNavigationRequest(const QUrl &url, NavigationType type, bool isMainFrame) override;
    QWebEnginePage *createWindow(WebWindowType type) override;
    void javaScriptAlert(const QUrl &securityOrigin, const QString &msg) override;
    bool javaScriptConfirm(const QUrl &securityOrigin, const QString &msg) override;
    bool javaScriptPrompt(const QUrl &securityOrigin, const QString &msg,
                          const QString &defaultValue, QString *result) override;
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString &message,
                                  int lineNumber, const QString &sourceID) override;

private:
    void followNewWindowLink(const QUrl &url);

    RequestGuard *m_guard;
    PageDialogs *m_dialogs;
};
