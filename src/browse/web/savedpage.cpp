#include "browse/web/savedpage.h"

#include "browse/pageaccess.h"
#include "browse/web/pagedialogs.h"
#include "browse/web/requestguard.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QTimer>
#include <QWebEngineNewWindowRequest>

SavedPage::SavedPage(QWebEngineProfile *profile, RequestGuard *guard, PageDialogs *dialogs,
                     QObject *parent)
    : QWebEnginePage(profile, parent), m_guard(guard), m_dialogs(dialogs)
{
    // Neither a window of its own nor the whole screen; no camera,
    // microphone, position or notifications.
    connect(this, &QWebEnginePage::newWindowRequested, this,
            [this](QWebEngineNewWindowRequest &request) {
                if (request.isUserInitiated())
                    followNewWindowLink(request.requestedUrl());
            });
    connect(this, &QWebEnginePage::featurePermissionRequested, this,
            [this](const QUrl &origin, Feature feature) {
                setFeaturePermission(origin, feature, PermissionDeniedByUser);
            });
}

QString SavedPage::dialogTitle() const
{
    const QString shown = title().trimmed();
    const QString file = url().fileName();
    // Without a title of its own the browser gives the address.
    if (shown.isEmpty() || shown == url().toString() || shown.contains(u'/'))
        return file;
    return shown;
}

bool SavedPage::acceptNavigationRequest(const QUrl &url, NavigationType, bool)
{
    if (!PageAccess::isShownInView(url)) {
        // Only a click gets this far (unknown schemes otherwise never reach
        // the page), and only for the address of a known kind is the user
        // asked; the question comes after the browser is out of this call.
        if (PageAccess::isForAnotherProgram(url))
            QTimer::singleShot(0, this, [this, url] { Q_EMIT openElsewhereRequested(url); });
        return false;
    }
    // A file outside the archive: the page stays as it is, rather than an
    // error shown in its place.
    if (url.isLocalFile() &&
        PageAccess::forRequest(url, m_guard->blocking(), m_guard->fileRoots()).kind ==
            PageAccess::Verdict::Refuse)
        return false;
    return true;
}

QWebEnginePage *SavedPage::createWindow(WebWindowType)
{
    return nullptr;
}

void SavedPage::followNewWindowLink(const QUrl &url)
{
    // As a plain link would go: files and the web in the view, addresses for
    // other programs after asking; nothing of the browser's own (its debug
    // addresses would act on loading, before any check).
    const QString scheme = url.scheme().toLower();
    if (PageAccess::isForAnotherProgram(url)) {
        QTimer::singleShot(0, this, [this, url] { Q_EMIT openElsewhereRequested(url); });
        return;
    }
    if (scheme != u"file" && scheme != u"http" && scheme != u"https")
        return;
    QTimer::singleShot(0, this, [this, url] { setUrl(url); });
}

void SavedPage::javaScriptAlert(const QUrl &, const QString &msg)
{
    m_dialogs->ask(ScriptDialog::Kind::Alert, dialogTitle(), msg);
}

bool SavedPage::javaScriptConfirm(const QUrl &, const QString &msg)
{
    // The browser asks before a page that wants to be asked is left: it is
    // always left, so the page shown is always the one asked for.
    if (msg == QCoreApplication::translate("QWebEnginePage",
                                           "Are you sure you want to leave this page? Changes "
                                           "that you made may not be saved."))
        return true;
    return m_dialogs->ask(ScriptDialog::Kind::Confirm, dialogTitle(), msg).accepted;
}

bool SavedPage::javaScriptPrompt(const QUrl &, const QString &msg, const QString &defaultValue,
                                 QString *result)
{
    const PageDialogs::Answer answer =
        m_dialogs->ask(ScriptDialog::Kind::Prompt, dialogTitle(), msg, defaultValue);
    if (answer.accepted && result)
        *result = answer.text;
    return answer.accepted;
}

// A page's messages to its developer are not the program's.
void SavedPage::javaScriptConsoleMessage(JavaScriptConsoleMessageLevel, const QString &, int,
                                         const QString &)
{
}
