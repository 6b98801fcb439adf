#include "browse/web/webpageview.h"

#include "browse/web/findbar.h"
#include "browse/web/offlineinterceptor.h"

#include <QChildEvent>
#include <QCoreApplication>
#include <QEventLoop>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QUrl>
#include <QVBoxLayout>
#include <QWebEngineFindTextResult>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineView>
#include <unistd.h>

namespace {

constexpr int kMaxPrintDpi = 300;

} // namespace

WebPageView::WebPageView(QWidget *parent)
    : QWidget(parent), m_profile(new QWebEngineProfile(this)),
      m_interceptor(new OfflineInterceptor(this)), m_findBar(new FindBar(this)),
      m_view(new QWebEngineView(this))
{
    m_profile->setUrlRequestInterceptor(m_interceptor);
    m_profile->setHttpCacheType(QWebEngineProfile::MemoryHttpCache);
    m_profile->setPersistentCookiesPolicy(QWebEngineProfile::NoPersistentCookies);
    // Files dropped on the page belong to the window (they join the open
    // archive); the browser would only navigate away to them. The widget that
    // renders the page comes and goes with the page, hence the filter.
    m_view->setAcceptDrops(false);
    m_view->installEventFilter(this);
    auto *page = new QWebEnginePage(m_profile, m_view);
    m_view->setPage(page);
    // Saved pages reach each other through relative links to files, and their
    // pictures on the web while on-line; off-line the interceptor stops those.
    page->settings()->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, true);
    page->settings()->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, true);
    page->settings()->setAttribute(QWebEngineSettings::DnsPrefetchEnabled, false);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_findBar);
    layout->addWidget(m_view, 1);
    m_findBar->hide();

    connect(m_findBar, &FindBar::findRequested, this, &WebPageView::findOnPage);
    connect(m_findBar, &FindBar::closed, this, [this] {
        m_view->findText(QString());
        m_view->setFocus();
    });
    // The result of clearing the highlights on close must not come back as
    // "not found" on a bar that is gone.
    connect(page, &QWebEnginePage::findTextFinished, this,
            [this](const QWebEngineFindTextResult &result) {
                if (m_findBar->isVisible())
                    m_findBar->showResult(result.activeMatch(), result.numberOfMatches());
            });
    // The bar stays open from page to page, and searches each new one.
    connect(m_view, &QWebEngineView::loadStarted, m_findBar, &FindBar::clearResult);
    connect(m_view, &QWebEngineView::loadStarted, this, [this] { m_loading = true; });
    connect(m_view, &QWebEngineView::loadFinished, this, [this] {
        m_loading = false;
        if (m_findBar->isVisible() && !m_findBar->text().isEmpty())
            findOnPage(m_findBar->text(), false);
    });
}

WebPageView::~WebPageView()
{
    // The page must go before the profile it runs in.
    delete m_view;
    m_view = nullptr;
}

bool WebPageView::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_view && event->type() == QEvent::ChildPolished) {
        if (auto *child = qobject_cast<QWidget *>(static_cast<QChildEvent *>(event)->child()))
            child->setAcceptDrops(false);
    }
    return QWidget::eventFilter(watched, event);
}

void WebPageView::prepareProcess()
{
    if (::geteuid() == 0)
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
}

void WebPageView::navigate(const QString &location)
{
    m_loading = true; // until the browser reports the load finished
    if (location.isEmpty() || location == u"about:blank") {
        // Nothing left to search.
        m_findBar->hide();
        m_findBar->clearResult();
        m_view->setUrl(QUrl(QStringLiteral("about:blank")));
    } else {
        m_view->setUrl(QUrl::fromLocalFile(location));
    }
}

bool WebPageView::hasPage() const
{
    // The address of what is shown, set as soon as it is asked for; a link
    // followed inside a page shows a page too.
    const QUrl url = m_view->url();
    return !url.isEmpty() && url != QUrl(QStringLiteral("about:blank"));
}

void WebPageView::setFileRoot(const QString &folder)
{
    m_interceptor->setFileRoot(folder);
}

bool WebPageView::offline() const
{
    return m_interceptor->blocking();
}

void WebPageView::setOffline(bool offline)
{
    m_interceptor->setBlocking(offline);
}

void WebPageView::print()
{
    if (m_printing)
        return;
    QPrinter printer(QPrinter::HighResolution);
    QPrintDialog dialog(&printer, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    // A page that cannot be printed leaves nothing to do: the printer shows
    // the user what it got, and there is nothing to undo.
    [[maybe_unused]] const bool printed = renderTo(&printer);
}

void WebPageView::printPreview()
{
    if (m_printing)
        return;
    QPrinter printer(QPrinter::HighResolution);
    QPrintPreviewDialog preview(&printer, this);
    preview.setObjectName(QStringLiteral("printPreview"));
    connect(&preview, &QPrintPreviewDialog::paintRequested, this,
            [this](QPrinter *target) { [[maybe_unused]] const bool rendered = renderTo(target); });
    preview.exec();
}

bool WebPageView::renderTo(QPrinter *printer)
{
    if (m_printing)
        return false;
    m_printing = true;
    // The browser rasterises every page at the printer's resolution: 1200 dpi
    // for a PDF file would take over half a gigabyte a page. Text and pictures
    // of a saved page print sharp at 300.
    if (printer->resolution() > kMaxPrintDpi)
        printer->setResolution(kMaxPrintDpi);

    // The browser renders on its own threads; the printer must live until it
    // is done. Input waits: a click in the preview meanwhile would ask for a
    // second rendering onto the printer still in use.
    QEventLoop loop;
    bool finished = false;
    bool success = false;
    connect(m_view, &QWebEngineView::printFinished, &loop, [&](bool ok) {
        finished = true;
        success = ok;
        loop.quit();
    });
    connect(m_view->page(), &QWebEnginePage::renderProcessTerminated, &loop, [&] {
        finished = true;
        loop.quit();
    });
    m_view->print(printer);
    if (!finished)
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    m_printing = false;
    return success;
}

void WebPageView::find()
{
    m_findBar->activate();
    // Reopened over the same text: its matches light up again.
    if (!m_findBar->text().isEmpty())
        findOnPage(m_findBar->text(), false);
}

void WebPageView::findText(const QString &text)
{
    // The bar stays open with the text; a page still loading is searched
    // when it has loaded, like every page the open bar meets.
    m_findBar->activate(text);
    if (!m_loading)
        findOnPage(text, false);
}

void WebPageView::findOnPage(const QString &text, bool backward)
{
    m_view->findText(text, backward ? QWebEnginePage::FindBackward : QWebEnginePage::FindFlags());
}
