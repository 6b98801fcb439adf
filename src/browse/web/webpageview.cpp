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
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineView>
#include <unistd.h>
#include <utility>

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
    connect(m_view, &QWebEngineView::loadStarted, this, [this] { m_loading = true; });
    connect(m_view, &QWebEngineView::loadFinished, this, [this] {
        m_loading = false;
        findWhenLoaded();
    });
    connect(m_findBar, &FindBar::closed, this, [this] {
        m_view->findText(QString());
        m_view->setFocus();
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
    m_findWhenLoaded.clear();
    m_loading = true; // until the browser reports the load finished
    if (location.isEmpty() || location == u"about:blank")
        m_view->setUrl(QUrl(QStringLiteral("about:blank")));
    else
        m_view->setUrl(QUrl::fromLocalFile(location));
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
    QPrinter printer(QPrinter::HighResolution);
    QPrintDialog dialog(&printer, this);
    if (dialog.exec() == QDialog::Accepted)
        printWith(&printer);
}

void WebPageView::printPreview()
{
    QPrinter printer(QPrinter::HighResolution);
    QPrintPreviewDialog preview(&printer, this);
    connect(&preview, &QPrintPreviewDialog::paintRequested, this, &WebPageView::printWith);
    preview.exec();
}

void WebPageView::printWith(QPrinter *printer)
{
    // The browser renders asynchronously; the printer must live until it is done.
    QEventLoop loop;
    connect(m_view, &QWebEngineView::printFinished, &loop, &QEventLoop::quit);
    m_view->print(printer);
    loop.exec();
}

void WebPageView::find()
{
    m_findBar->activate();
}

void WebPageView::findText(const QString &text)
{
    m_findBar->activate(text);
    m_findWhenLoaded = text;
    if (!m_loading)
        findWhenLoaded();
}

void WebPageView::findWhenLoaded()
{
    if (m_findWhenLoaded.isEmpty())
        return;
    // The find bar shows the text; the browser marks every match.
    const QString text = std::exchange(m_findWhenLoaded, QString());
    findOnPage(text, false);
}

void WebPageView::findOnPage(const QString &text, bool backward)
{
    m_view->findText(text, backward ? QWebEnginePage::FindBackward : QWebEnginePage::FindFlags());
}
