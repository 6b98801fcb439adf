#include "browse/web/webpageview.h"

#include "browse/web/findbar.h"
#include "browse/web/offlineinterceptor.h"

#include <QChildEvent>
#include <QCoreApplication>
#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QPointer>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QUrl>
#include <QVBoxLayout>
#include <QWebEngineFindTextResult>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineSettings>
#include <QWebEngineView>
#include <unistd.h>

namespace {

constexpr int kMaxPrintDpi = 300;

// Wraps every whole-word match of the words (given as a JSON array) in the
// page's visible text in a highlighted mark; returns how many of each it
// marked. Runs in a world of its own: the page's scripts neither see nor
// break it, and it works with the page's scripts turned off.
constexpr char16_t kMarkScript[] = uR"js((function (words) {
  var limit = 5000;
  var counts = words.map(function () { return 0; });
  var lower = words.map(function (w) { return w.toLowerCase(); });
  if (!document.body || words.length === 0) return counts;
  var escaped = words.map(function (w) { return w.replace(/[.*+?^${}()|[\]\\]/g, '\\$&'); });
  var re = new RegExp('(?<![\\p{L}\\p{N}\\p{M}])(' + escaped.join('|') + ')(?![\\p{L}\\p{N}\\p{M}])', 'giu');
  var skip = { SCRIPT: 1, STYLE: 1, NOSCRIPT: 1, TEXTAREA: 1, TEMPLATE: 1 };
  var walker = document.createTreeWalker(document.body, NodeFilter.SHOW_TEXT, {
    acceptNode: function (node) {
      var parent = node.parentNode;
      if (!parent || skip[parent.nodeName] || parent.hasAttribute('data-found-word'))
        return NodeFilter.FILTER_REJECT;
      return NodeFilter.FILTER_ACCEPT;
    }
  });
  var nodes = [];
  while (walker.nextNode()) nodes.push(walker.currentNode);
  var marked = 0;
  for (var n = 0; n < nodes.length && marked < limit; ++n) {
    var node = nodes[n], text = node.nodeValue, at = 0, part = null, m;
    re.lastIndex = 0;
    while (marked < limit && (m = re.exec(text)) !== null) {
      if (!part) part = document.createDocumentFragment();
      part.appendChild(document.createTextNode(text.slice(at, m.index)));
      var mark = document.createElement('mark');
      mark.setAttribute('data-found-word', '');
      mark.style.cssText = 'background-color:#ffe36e;color:inherit;padding:0;margin:0';
      mark.textContent = m[0];
      part.appendChild(mark);
      at = m.index + m[0].length;
      var i = lower.indexOf(m[0].toLowerCase());
      if (i >= 0) counts[i]++;
      ++marked;
    }
    if (part) {
      part.appendChild(document.createTextNode(text.slice(at)));
      node.parentNode.replaceChild(part, node);
    }
  }
  return counts;
})(%1))js";

// Puts the page's text back as it was before the marks.
constexpr char16_t kClearScript[] = uR"js((function () {
  var marks = document.querySelectorAll('mark[data-found-word]');
  marks.forEach(function (mark) {
    var parent = mark.parentNode;
    parent.replaceChild(document.createTextNode(mark.textContent), mark);
    parent.normalize();
  });
  return marks.length;
})())js";

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
        clearMarks();
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
        if (!m_foundWords.isEmpty())
            markFoundWords();
        else if (m_findBar->isVisible() && !m_findBar->text().isEmpty())
            findOnPage(m_findBar->text(), false);
    });
}

WebPageView::~WebPageView()
{
    // The page must go before the profile it runs in.
    delete m_view;
    m_view = nullptr;
}

void WebPageView::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange)
        m_findBar->retranslate();
    QWidget::changeEvent(event);
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
    m_foundWords.clear(); // they were for the page asked for before
    m_loading = true;     // until the browser reports the load finished
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

void WebPageView::showFoundWords(const QStringList &words)
{
    if (words.isEmpty())
        return;
    m_foundWords = words;
    m_findBar->activate(words.first());
    if (!m_loading)
        markFoundWords();
}

void WebPageView::markFoundWords()
{
    const QStringList words = m_foundWords;
    m_foundWords.clear();
    const QString list = QString::fromUtf8(
        QJsonDocument(QJsonArray::fromStringList(words)).toJson(QJsonDocument::Compact));
    const QString script = QString::fromUtf16(kMarkScript).arg(list);
    QPointer<WebPageView> self(this);
    QWebEnginePage *page = m_view->page();
    page->runJavaScript(script, QWebEngineScript::ApplicationWorld,
                        [self, words](const QVariant &result) {
                            if (!self)
                                return;
                            // The find bar shows the first word the page holds; the browser
                            // brings its first match into sight.
                            const QVariantList counts = result.toList();
                            QString first = words.first();
                            for (qsizetype i = 0; i < words.size() && i < counts.size(); ++i) {
                                if (counts.at(i).toInt() > 0) {
                                    first = words.at(i);
                                    break;
                                }
                            }
                            self->m_findBar->activate(first);
                            self->findOnPage(first, false);
                        });
}

void WebPageView::clearMarks()
{
    m_view->page()->runJavaScript(QString::fromUtf16(kClearScript),
                                  QWebEngineScript::ApplicationWorld);
}

void WebPageView::findOnPage(const QString &text, bool backward)
{
    m_view->findText(text, backward ? QWebEnginePage::FindBackward : QWebEnginePage::FindFlags());
}
