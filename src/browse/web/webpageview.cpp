#include "browse/web/webpageview.h"

#include "browse/web/findbar.h"
#include "browse/web/networkshutter.h"
#include "browse/web/pagedialogs.h"
#include "browse/web/peerguard.h"
#include "browse/web/requestguard.h"
#include "browse/web/savedpage.h"
#include "lang/messages.h"

#include <QChildEvent>
#include <QCoreApplication>
#include <QDesktopServices>
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
#include <QWebEngineScriptCollection>
#include <QWebEngineSettings>
#include <QWebEngineView>
#include <csignal>
#include <unistd.h>

namespace {

constexpr int kMaxPrintDpi = 300;
// How long the page on screen may take to answer when another is asked for.
constexpr int kHangTimeoutMs = 4000;

// Set before the engine starts; see prepareProcess. (The engine knows only
// switches of its own: tests show what each of these does.)
constexpr const char *kEngineSwitches[] = {
    // WebRTC sends nothing over UDP (STUN, TURN over UDP, its own traffic).
    "--force-webrtc-ip-handling-policy=disable_non_proxied_udp",
    // No QUIC, which the request guard would not see.
    "--disable-quic",
    // No WebTransport, in workers either.
    "--disable-blink-features=WebTransport",
};

bool isBlank(const QString &location)
{
    return location.isEmpty() || location == u"about:blank";
}

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
    : QWidget(parent), m_profile(new QWebEngineProfile(this)), m_guard(new RequestGuard(this)),
      m_dialogs(new PageDialogs(this)), m_findBar(new FindBar(this)),
      m_view(new QWebEngineView(this))
{
    // A profile without a name keeps everything in memory: no cookies,
    // storage, cache or history of a page outlive the program.
    m_profile->setUrlRequestInterceptor(m_guard);
    m_profile->setHttpCacheType(QWebEngineProfile::MemoryHttpCache);
    m_profile->setPersistentCookiesPolicy(QWebEngineProfile::NoPersistentCookies);
    QWebEngineSettings *settings = m_profile->settings();
    // Saved pages reach each other and their companion files through
    // relative links; the request guard keeps them inside their folders.
    settings->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, true);
    settings->setAttribute(QWebEngineSettings::DnsPrefetchEnabled, false);
    settings->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, false);
    settings->setAttribute(QWebEngineSettings::FullScreenSupportEnabled, false);
    settings->setAttribute(QWebEngineSettings::HyperlinkAuditingEnabled, false);
    settings->setAttribute(QWebEngineSettings::WebRTCPublicInterfacesOnly, true);
    settings->setUnknownUrlSchemePolicy(
        QWebEngineSettings::AllowUnknownUrlSchemesFromUserInteraction);
    setOffline(false);
    // WebRTC and WebTransport open connections no request guard sees: pages
    // go without them, in every frame.
    QWebEngineScript noPeers;
    noPeers.setName(QStringLiteral("peerGuard"));
    noPeers.setSourceCode(PeerGuard::script());
    noPeers.setInjectionPoint(QWebEngineScript::DocumentCreation);
    noPeers.setWorldId(QWebEngineScript::MainWorld);
    noPeers.setRunsOnSubFrames(true);
    m_profile->scripts()->insert(noPeers);

    // Files dropped on the page belong to the window (they join the open
    // archive); the browser would only navigate away to them. The widget that
    // renders the page comes and goes with the page, hence the filter.
    m_view->setAcceptDrops(false);
    m_view->installEventFilter(this);
    m_page = createPage();
    m_view->setPage(m_page);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_findBar);
    layout->addWidget(m_view, 1);
    m_findBar->hide();

    m_hangTimer.setSingleShot(true);
    m_hangTimer.setInterval(kHangTimeoutMs);
    connect(&m_hangTimer, &QTimer::timeout, this, &WebPageView::hangTimedOut);
    // A replaced page goes once its dialog has given the browser its answer.
    connect(m_dialogs, &PageDialogs::closed, this, [this] {
        for (QWebEnginePage *page : std::as_const(m_retired))
            page->deleteLater();
        m_retired.clear();
    });

    connect(m_findBar, &FindBar::findRequested, this, &WebPageView::findOnPage);
    connect(m_findBar, &FindBar::closed, this, [this] {
        clearMarks();
        m_view->findText(QString());
        m_view->setFocus();
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
    if (m_guard->blocking())
        NetworkShutter::instance().shut(false);
    // The pages must go before the profile they run in.
    delete m_view;
    m_view = nullptr;
    delete m_page;
    qDeleteAll(m_retired);
}

SavedPage *WebPageView::createPage()
{
    auto *page = new SavedPage(m_profile, m_guard, m_dialogs, this);
    // The result of clearing the highlights on close must not come back as
    // "not found" on a bar that is gone.
    connect(page, &QWebEnginePage::findTextFinished, this,
            [this](const QWebEngineFindTextResult &result) {
                if (m_findBar->isVisible())
                    m_findBar->showResult(result.activeMatch(), result.numberOfMatches());
            });
    connect(page, &QWebEnginePage::renderProcessTerminated, this,
            [this](QWebEnginePage::RenderProcessTerminationStatus status) {
                if (status != QWebEnginePage::NormalTerminationStatus)
                    rendererGone();
            });
    connect(page, &SavedPage::openElsewhereRequested, this, &WebPageView::openElsewhere);
    return page;
}

void WebPageView::replacePage(bool killRenderer)
{
    m_hangTimer.stop();
    m_probing = false;
    ++m_probe;
    SavedPage *old = m_page;
    disconnect(old, nullptr, this, nullptr);
    if (killRenderer) {
        const qint64 pid = old->renderProcessPid();
        if (pid > 0)
            ::kill(pid_t(pid), SIGKILL);
    }
    m_page = createPage();
    m_view->setPage(m_page);
    // A dialog of the old page may still wait for its answer, deep in the
    // browser's call: the page must outlive it.
    if (m_dialogs->isOpen()) {
        m_dialogs->stop();
        m_retired.append(old);
    } else {
        old->deleteLater();
    }
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
    // What the engine could open besides the requests the guard sees stays
    // shut: no UDP for WebRTC, no WebTransport, no QUIC.
    QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
    for (const char *flag : kEngineSwitches) {
        if (!flags.isEmpty())
            flags += ' ';
        flags += flag;
    }
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", flags);
}

void WebPageView::navigate(const QString &location)
{
    m_foundWords.clear(); // they were for the page asked for before
    m_loading = true;     // until the browser reports the load finished
    m_requested = location;
    ++m_request;
    if (isBlank(location)) {
        // Nothing left to search.
        m_findBar->hide();
        m_findBar->clearResult();
    }
    // The page left gets no more dialogs; an open one goes as cancelled.
    m_dialogs->stop();
    if (m_probing)
        return; // the answer awaited shows the page asked for last
    if (m_page->renderProcessPid() <= 0) {
        loadNow(location);
        return;
    }
    // The page on screen must answer before it is left: one that hangs would
    // never let the next one in.
    m_probing = true;
    const int probe = ++m_probe;
    QPointer<WebPageView> self(this);
    m_page->runJavaScript(QStringLiteral("0"), QWebEngineScript::ApplicationWorld,
                          [self, probe](const QVariant &) {
                              if (self)
                                  self->probeAnswered(probe);
                          });
    m_hangTimer.start();
}

void WebPageView::loadNow(const QString &location)
{
    m_dialogs->startPage();
    m_page->setUrl(isBlank(location) ? QUrl(QStringLiteral("about:blank"))
                                     : QUrl::fromLocalFile(location));
}

void WebPageView::probeAnswered(int probe)
{
    if (!m_probing || probe != m_probe)
        return;
    m_hangTimer.stop();
    m_probing = false;
    loadNow(m_requested);
}

void WebPageView::hangTimedOut()
{
    if (!m_probing)
        return;
    replacePage(true);
    loadNow(m_requested);
    Q_EMIT notice(msg(MessageId::PageHung));
}

void WebPageView::rendererGone()
{
    // Shown again once; a page that kills its renderer again is not loaded
    // over and over.
    const bool again = m_diedOnRequest == m_request;
    m_diedOnRequest = m_request;
    replacePage(false);
    loadNow(again ? QString() : m_requested);
    Q_EMIT notice(msg(again ? MessageId::PageDiedAgain : MessageId::PageDied));
}

void WebPageView::openElsewhere(const QUrl &url)
{
    if (m_guard->blocking()) {
        Q_EMIT notice(msg(MessageId::OpenElsewhereOffline));
        return;
    }
    const PageDialogs::Answer answer = m_dialogs->ask(
        ScriptDialog::Kind::OpenElsewhere, m_page->dialogTitle(), QString(), url.toString());
    // Whether the desktop has a program for it is the desktop's to tell.
    if (answer.accepted) [[maybe_unused]]
        const bool opened = QDesktopServices::openUrl(url);
}

bool WebPageView::hasPage() const
{
    // The page asked for while the one on screen is still to answer.
    if (m_probing)
        return !isBlank(m_requested);
    // The address of what is shown, set as soon as it is asked for; a link
    // followed inside a page shows a page too.
    const QUrl url = m_view->url();
    return !url.isEmpty() && url != QUrl(QStringLiteral("about:blank"));
}

void WebPageView::setFileRoot(const QString &folder)
{
    m_fileRoot = folder;
    m_guard->setFileRoots({m_fileRoot, m_helpFolder});
}

void WebPageView::setFileGate(std::function<void(const QString &)> gate)
{
    m_guard->setFileGate(std::move(gate));
}

void WebPageView::setHelpFolder(const QString &folder)
{
    m_helpFolder = folder;
    m_guard->setFileRoots({m_fileRoot, m_helpFolder});
}

bool WebPageView::offline() const
{
    return m_guard->blocking();
}

void WebPageView::setOffline(bool offline)
{
    if (offline != m_guard->blocking())
        NetworkShutter::instance().shut(offline);
    m_guard->setBlocking(offline);
    // The engine's own switch for everything a local page would load from
    // the web, pictures included: only on-line.
    m_profile->settings()->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls,
                                        !offline);
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
