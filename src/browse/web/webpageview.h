#pragma once

#include "browse/pageview.h"

#include <QTimer>
#include <QWidget>
#include <functional>

class FindBar;
class PageDialogs;
class QPrinter;
class QWebEnginePage;
class QWebEngineProfile;
class QWebEngineView;
class RequestGuard;
class SavedPage;

// The page view of the main window: a browser over the unpacked working copy,
// with a find bar above it. Saved pages are untrusted: they run in a private
// profile that keeps nothing on disk, read only the files of the folders set
// with setFileRoot and setHelpFolder, reach the network only while not
// off-line (and never by WebRTC), start no other program without the user's
// yes, and cannot trap the user with dialogs or a renderer that hangs or dies.
class WebPageView : public QWidget, public PageView {
    Q_OBJECT
public:
    explicit WebPageView(QWidget *parent = nullptr);
    ~WebPageView() override;

    // Must run before the QApplication exists: sets the browser engine's
    // switches, and turns its sandbox off when running as root (which it
    // cannot start as).
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

    // The working folder: pages shown from it read its files (and those
    // asked for with other letter case), and no file outside it.
    void setFileRoot(const QString &folder);
    // Called with every local file a page asks for before it is read.
    void setFileGate(std::function<void(const QString &path)> gate);
    // The shipped manual's folder, whose pages may be shown too.
    void setHelpFolder(const QString &folder);

    QWebEngineView *browser() const { return m_view; }
    FindBar *findBar() const { return m_findBar; }
    PageDialogs *dialogs() const { return m_dialogs; }

    // How long the page shown may take to answer when another is asked for
    // before it counts as hung.
    void setHangTimeout(int milliseconds) { m_hangTimer.setInterval(milliseconds); }

    // Renders the shown page onto printer and waits until it is done; false
    // when the browser could not. User input waits meanwhile: the preview
    // window must not ask for another rendering while this one runs.
    bool renderTo(QPrinter *printer);

Q_SIGNALS:
    // Something the user should know about the page view, for the status bar.
    void notice(const QString &text);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    // A language switch reaches the find bar, open or not.
    void changeEvent(QEvent *event) override;

private:
    SavedPage *createPage();
    // Puts a fresh page in place of the one shown, whose renderer is killed
    // when it hangs; the old page goes once no dialog of it is open.
    void replacePage(bool killRenderer);
    // Loads location into the page now.
    void loadNow(const QString &location);
    void probeAnswered(int probe);
    void hangTimedOut();
    void rendererGone();
    void openElsewhere(const QUrl &url);

    void findOnPage(const QString &text, bool backward);
    // Marks every one of the found words on the page shown, then finds the
    // first of them the page holds; clearMarks takes the marks away again.
    // Both change only what the browser shows, never the file.
    void markFoundWords();
    void clearMarks();

    QWebEngineProfile *m_profile;
    RequestGuard *m_guard;
    PageDialogs *m_dialogs;
    FindBar *m_findBar;
    QWebEngineView *m_view;
    SavedPage *m_page = nullptr;
    QList<QWebEnginePage *> m_retired; // replaced, waiting for their dialog to close
    QString m_fileRoot;
    QString m_helpFolder;

    // The page asked for last, shown once the page on screen has answered.
    QString m_requested;
    int m_request = 0;        // counts the pages asked for
    int m_diedOnRequest = -1; // the request whose page's renderer died
    QTimer m_hangTimer;
    int m_probe = 0; // counts the answers waited for
    bool m_probing = false;

    bool m_printing = false;
    bool m_loading = false;   // a page asked for has not finished loading
    QStringList m_foundWords; // to mark on the page loading now
};
