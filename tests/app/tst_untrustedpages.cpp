#include "browse/web/pagedialogs.h"
#include "browse/web/webpageview.h"
#include "lang/messages.h"
#include "testfiles.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QNetworkDatagram>
#include <QNetworkInterface>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QUdpSocket>
#include <QVBoxLayout>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineView>
#include <QWindow>
#include <csignal>
#include <memory>

namespace {

// The browser's folders of this test, away from the user's.
QString g_home;

} // namespace

// The browser must know before the application exists that it runs without
// its sandbox, and where its folders are.
static void prepareBrowser()
{
    static QTemporaryDir home;
    g_home = home.path();
    qputenv("XDG_DATA_HOME", (g_home + "/data").toUtf8());
    qputenv("XDG_CACHE_HOME", (g_home + "/cache").toUtf8());
    qputenv("XDG_CONFIG_HOME", (g_home + "/config").toUtf8());
    // A page that eats memory reaches its limit soon.
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--js-flags=--max-old-space-size=128");
    WebPageView::prepareProcess();
}
Q_CONSTRUCTOR_FUNCTION(prepareBrowser)

namespace {

// Listens on local ports and counts what reaches them: UDP datagrams and TCP
// connections, which get an empty HTTP answer (or a picture).
class Listener : public QObject {
public:
    explicit Listener(const QByteArray &answer = {})
    {
        m_answer = answer.isEmpty()
                       ? QByteArray("HTTP/1.0 404 Not Found\r\nContent-Length: 0\r\n\r\n")
                       : answer;
        // Every address of the machine: what reaches any of them is counted.
        m_udp.bind(QHostAddress::AnyIPv4, 0);
        m_tcp.listen(QHostAddress::AnyIPv4, m_udp.localPort());
        connect(&m_udp, &QUdpSocket::readyRead, this, [this] {
            while (m_udp.hasPendingDatagrams()) {
                m_udp.receiveDatagram(); // counted, not read
                ++datagrams;
            }
        });
        connect(&m_tcp, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *socket = m_tcp.nextPendingConnection()) {
                ++connections;
                connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                    socket->readAll();
                    socket->write(m_answer);
                    socket->disconnectFromHost();
                });
            }
        });
    }
    quint16 udpPort() const { return m_udp.localPort(); }
    quint16 tcpPort() const { return m_tcp.serverPort(); }
    int total() const { return datagrams + connections; }

    int datagrams = 0;
    int connections = 0;

private:
    QUdpSocket m_udp;
    QTcpServer m_tcp;
    QByteArray m_answer;
};

// An address of this machine that is not its loopback, when it has one: the
// engine goes there as to any host of the network.
QString networkAddress()
{
    for (const QHostAddress &address : QNetworkInterface::allAddresses()) {
        if (address.protocol() == QAbstractSocket::IPv4Protocol && !address.isLoopback())
            return address.toString();
    }
    return QStringLiteral("127.0.0.1");
}

// A frame of the page loading another of the archive's pages is a new
// window, which the browser prepares for the page only a little after it
// is made: a page polling it may reach WebRTC there first. Off-line, the
// engine's connections to the network lead nowhere all the same (those to
// the loopback are the machine's own: tried only where the machine has
// another address).
constexpr char kLoadingFrame[] =
    "var s = document.createElement('iframe'); s.src = 'inner.htm';"
    "document.body.appendChild(s); var w = s.contentWindow; var polls = 0;"
    "var channel = new MessageChannel(); channel.port1.onmessage = function () {"
    "try { if (w.location.href.indexOf('inner') >= 0 && w.RTCPeerConnection) rtc(w); }"
    "catch (e) { } if (++polls < 20000) channel.port2.postMessage(0); };"
    "channel.port2.postMessage(0);";

// Answers each dialog of the view as it shows, as the user would.
void answerDialogs(WebPageView &view, const std::function<void(ScriptDialog *)> &answer)
{
    auto *timer = new QTimer(&view);
    timer->setInterval(20);
    QObject::connect(timer, &QTimer::timeout, &view, [&view, answer] {
        ScriptDialog *dialog = view.dialogs()->openDialog();
        if (dialog && dialog->isVisible() && !dialog->property("answered").toBool()) {
            dialog->setProperty("answered", true);
            answer(dialog);
        }
    });
    timer->start();
}

// A click on the page, where a user would click.
void clickPage(WebPageView &view)
{
    QWidget *target = view.browser()->focusProxy();
    QTest::mouseClick(target ? target : view.browser(), Qt::LeftButton, {}, QPoint(40, 40));
}

} // namespace

// Saved pages are untrusted: the hostile pages below try every way out of
// their archive, off the machine while off-line, to other programs, and
// every trap for the user, in the real view.
class TestUntrustedPages : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<WebPageView> m_view;

    QString work() const { return m_dir->filePath("work"); }
    QString outside(const QString &name) const { return m_dir->filePath(name); }
    static QString fileUrl(const QString &path) { return QUrl::fromLocalFile(path).toString(); }

    // A page in the working folder, its path.
    QString page(const QString &name, const QString &html)
    {
        const QString path = work() + "/" + name;
        return TestFiles::write(path, html.toUtf8()) ? path : QString();
    }
    bool load(const QString &location)
    {
        QSignalSpy finished(m_view->browser(), &QWebEngineView::loadFinished);
        m_view->navigate(location);
        return finished.wait(30000);
    }
    QVariant evaluate(const QString &script)
    {
        QVariant out;
        bool done = false;
        m_view->browser()->page()->runJavaScript(script, [&](const QVariant &value) {
            out = value;
            done = true;
        });
        return QTest::qWaitFor([&] { return done; }, 10000) ? out : QVariant();
    }
    QString title() const { return m_view->browser()->title(); }

    QList<QUrl> m_opened;

public Q_SLOTS:
    void openedByDesktop(const QUrl &url) { m_opened << url; }

private Q_SLOTS:
    void init()
    {
        Messages::useEnglish();
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(TestFiles::write(outside("secret.txt"), "SECRET"));
        QVERIFY(TestFiles::write(outside("outside.htm"),
                                 "<html><head><title>LEAKED</title></head><body>"
                                 "<script>try { parent.postMessage('SECRET', '*'); } catch (e) {}"
                                 "</script></body></html>"));
        QVERIFY(QFile::copy(QFINDTESTDATA("../../data/icons/hicolor/16x16/apps/"
                                          "org.tomekeeper.Tomekeeper.png"),
                            outside("pic.png")));
        QVERIFY(TestFiles::write(work() + "/own_files/data.txt", "OWN"));
        QVERIFY(QFile::link(outside("secret.txt"), work() + "/link.txt"));
        m_view = std::make_unique<WebPageView>();
        m_view->setFileRoot(work());
        m_view->resize(500, 400);
        m_view->show();
    }
    void cleanup()
    {
        m_view.reset();
        m_dir.reset();
        Messages::useEnglish();
    }

    // The page's script reads, shows or goes to what it was told, then
    // reports: "GOT:" and what it read, or "done" when it is still there
    // without having read anything. A file outside the working folder is
    // never read, shown or gone to, whatever the off-line box says.
    void confinedToTheArchive_data()
    {
        QTest::addColumn<QString>("html");
        QTest::addColumn<QString>("expected");
        // Stand-ins for the addresses of the files outside.
        const QString secret = "SECRET_URL";
        const QString outsidePage = "OUTSIDE_URL";
        auto read = [](const QString &url) {
            return QString("<script>var x = new XMLHttpRequest();"
                           "x.onload = function () { found(x.responseText); };"
                           "x.onerror = function () { found(''); };"
                           "x.open('GET', '%1'); x.send();</script>")
                .arg(url);
        };
        QTest::newRow("own companion file") << read("own_files/data.txt") << "GOT:OWN";
        QTest::newRow("own file, other letter case") << read("OWN_FILES/Data.TXT") << "GOT:OWN";
        QTest::newRow("XMLHttpRequest") << read(secret) << "done";
        QTest::newRow("up and out") << read("../secret.txt") << "done";
        QTest::newRow("through a link") << read("link.txt") << "done";
        QTest::newRow("fetch") << QString("<script>fetch('%1').then(function (r) { return "
                                          "r.text(); }).then(found, function () { found(''); "
                                          "});</script>")
                                      .arg(secret)
                               << "done";
        QTest::newRow("worker") << QString(
                                       "<script>var w = new Worker(URL.createObjectURL(new "
                                       "Blob([\"fetch('%1').then(function (r) { return "
                                       "r.text(); }).then(postMessage, function () { "
                                       "postMessage(''); });\"])));"
                                       "w.onmessage = function (e) { found(e.data); };</script>")
                                       .arg(secret)
                                << "done";
        QTest::newRow("picture") << QString("<img src='%1' onload=\"found('SECRET')\" "
                                            "onerror=\"found('')\">")
                                        .arg("PICTURE_URL")
                                 << "done";
        QTest::newRow("frame") << QString("<iframe src='%1'></iframe>").arg(outsidePage) << "done";
        QTest::newRow("frame made by script")
            << QString("<script>var f = document.createElement('iframe'); f.src = '%1';"
                       "document.body.appendChild(f);</script>")
                   .arg(outsidePage)
            << "done";
        QTest::newRow("listing of the root")
            << QString("<iframe id='f' src='file:///' onload=\"try { "
                       "found(this.contentDocument.body.innerText.indexOf('etc') >= 0 ? "
                       "'SECRET' : ''); } catch (e) {}\"></iframe>")
            << "done";
        QTest::newRow("script redirect")
            << QString("<script>location.href = '%1';</script>").arg(outsidePage) << "done";
        QTest::newRow("meta refresh")
            << QString("<meta http-equiv='refresh' content='0;url=%1'>").arg(outsidePage) << "done";
    }
    void confinedToTheArchive()
    {
        QFETCH(QString, html);
        QFETCH(QString, expected);
        html.replace("SECRET_URL", fileUrl(outside("secret.txt")))
            .replace("OUTSIDE_URL", fileUrl(outside("outside.htm")))
            .replace("PICTURE_URL", fileUrl(outside("pic.png")));
        QStringList titles;
        connect(m_view->browser(), &QWebEngineView::titleChanged, this,
                [&titles](const QString &shown) { titles << shown; });
        const QString path =
            page("page.htm",
                 "<html><head><title>page</title><script>"
                 "function found(text) { document.title = 'GOT:' + (text.indexOf('SECRET') >= 0 ? "
                 "'SECRET' : text.indexOf('OWN') >= 0 ? 'OWN' : 'nothing'); }"
                 "window.onmessage = function (e) { found(String(e.data)); };"
                 "setTimeout(function () { if (document.title.indexOf('GOT:') != 0) document.title "
                 "= 'done'; }, 2000);</script></head><body>" +
                     html + "</body></html>");
        m_view->setOffline(false);
        m_view->navigate(path);
        QTRY_VERIFY_WITH_TIMEOUT(
            title() == "done" || title().startsWith("GOT:") || titles.contains("LEAKED"), 20000);
        if (expected == "done")
            QTest::qWait(300); // a late load would still show
        QVERIFY2(!titles.contains("LEAKED") && !titles.contains("GOT:SECRET"),
                 qPrintable(titles.join(", ")));
        QCOMPARE(m_view->browser()->url(), QUrl::fromLocalFile(path));
        if (expected == "done")
            QVERIFY2(title() == "done" || title() == "GOT:nothing", qPrintable(title()));
        else
            QCOMPARE(title(), expected);
    }

    // Everything the page can open: off-line nothing reaches the machine's
    // ports by any protocol; on-line the page reaches the web, but never by
    // WebRTC (STUN and TURN over UDP and TCP), from its own frames and
    // workers too.
    void offlineMeansOffline_data()
    {
        QTest::addColumn<bool>("offline");
        QTest::newRow("off-line") << true;
        QTest::newRow("on-line") << false;
    }
    void offlineMeansOffline()
    {
        QFETCH(bool, offline);
        Listener web;
        Listener rtc;
        const QString webUrl = QString("http://127.0.0.1:%1").arg(web.tcpPort());
        const QString rtcScript =
            QString("function rtc(w) { try { var Peer = w.RTCPeerConnection || "
                    "w.webkitRTCPeerConnection; var c = new Peer({iceServers: ["
                    "{urls: 'stun:%3:%1'},"
                    "{urls: 'turn:%3:%1?transport=udp', username: 'SECRET', credential: 'x'},"
                    "{urls: 'turn:%3:%2?transport=tcp', username: 'SECRET', credential: 'x'}"
                    "], iceCandidatePoolSize: 1}); c.createDataChannel('d');"
                    "c.createOffer().then(function (o) { return c.setLocalDescription(o); });"
                    "} catch (e) { } }")
                .arg(rtc.udpPort())
                .arg(rtc.tcpPort())
                .arg(networkAddress());
        const QString transport =
            QString("try { new WebTransport('https://%2:%1/').ready.catch(function () "
                    "{}); } catch (e) { }")
                .arg(rtc.udpPort())
                .arg(networkAddress());
        page("inner.htm", "<html><head><title>inner</title></head></html>");
        page("refresh.htm",
             QString("<html><head><meta http-equiv='refresh' content='0;url=%1/refresh'>"
                     "</head></html>")
                 .arg(webUrl));
        const QString path = page(
            "page.htm",
            QString("<html><head><title>page</title>"
                    "<link rel='preconnect' href='%1'><link rel='dns-prefetch' href='%1'>"
                    "<link rel='prefetch' href='%1/prefetch'><link rel='stylesheet' "
                    "href='%1/style.css'><script>%2</script></head><body>"
                    "<img src='%1/pic.png'><iframe src='%1/frame'></iframe>"
                    "<iframe src='refresh.htm'></iframe>"
                    "<iframe srcdoc=\"<script>%2; rtc(window);</script>\"></iframe>"
                    "<iframe src=\"data:text/html,<script>%2; rtc(window);</script>\"></iframe>"
                    "<iframe id='parsed'></iframe><script>rtc(window[window.length - 1]);</script>"
                    "<iframe onload='rtc(this.contentWindow)'></iframe>"
                    "<script>"
                    "rtc(window);"
                    "var f = document.createElement('iframe'); document.body.appendChild(f);"
                    "rtc(f.contentWindow); rtc(window.frames[window.frames.length - 1]);"
                    "var d = document.createElement('div'); document.body.appendChild(d);"
                    "d.innerHTML = '<iframe></iframe>'; rtc(d.firstChild.contentWindow);"
                    "document.write('<iframe></iframe>'); rtc(window[window.length - 1]);"
                    "var g = f.contentDocument.createElement('iframe');"
                    "f.contentDocument.body.appendChild(g); rtc(g.contentWindow);"
                    "document.body.insertAdjacentHTML('beforeend', '<iframe></iframe>');"
                    "rtc(window[window.length - 1]);"
                    "customElements.define('x-made', class extends HTMLElement { constructor() {"
                    "super(); rtc(window[window.length - 1]); } });"
                    "%5"
                    "document.onclick = function () { rtc(open()); };"
                    "%3"
                    "new Worker(URL.createObjectURL(new Blob([\"%3 fetch('%1/worker');\"])));"
                    "fetch('%1/fetch').catch(function () {});"
                    "var x = new XMLHttpRequest(); x.open('GET', '%1/xhr'); x.send();"
                    "navigator.sendBeacon('%1/beacon', 'SECRET');"
                    "try { new WebSocket('ws://127.0.0.1:%4/socket'); } catch (e) { }"
                    "try { new EventSource('%1/events'); } catch (e) { }"
                    "</script><iframe></iframe><x-made></x-made><script>"
                    "setTimeout(function () { location.href = '%1/redirect'; }, 2500);"
                    "</script></body></html>")
                .arg(webUrl, rtcScript, transport)
                .arg(web.tcpPort())
                .arg(offline && !QHostAddress(networkAddress()).isLoopback() ? kLoadingFrame : ""));
        m_view->setOffline(offline);
        QVERIFY(load(path));
        clickPage(*m_view);
        QTest::qWait(5000);
        QCOMPARE(rtc.datagrams, 0);
        QCOMPARE(rtc.connections, 0);
        if (offline)
            QCOMPARE(web.total(), 0);
        else
            QVERIFY(web.connections > 0);
    }

    // alert(), confirm() and prompt() show the program's own dialog, titled
    // with the page's title, never a path; the page gets the answers given.
    // From the second dialog on the page's dialogs can be stopped, in the
    // interface's language, and then it gets none.
    void scriptDialogs_data()
    {
        QTest::addColumn<bool>("russian");
        QTest::newRow("English") << false;
        QTest::newRow("Russian") << true;
    }
    void scriptDialogs()
    {
        QFETCH(bool, russian);
        if (russian)
            Messages::useRussian();
        struct Shown {
            ScriptDialog::Kind kind;
            QString title, message;
            bool stopOffered;
            QString stopText;
        };
        QList<Shown> shown;
        answerDialogs(*m_view, [&shown](ScriptDialog *dialog) {
            QCheckBox *stop = dialog->stopBox();
            shown.append({dialog->kind(), dialog->windowTitle(),
                          dialog->findChild<QLabel *>("scriptMessage")->text(), stop != nullptr,
                          stop ? stop->text() : QString()});
            if (dialog->kind() == ScriptDialog::Kind::Prompt) {
                QCOMPARE(dialog->findChild<QLineEdit *>("promptText")->text(), "default");
                dialog->findChild<QLineEdit *>("promptText")->setText("typed");
                stop->setChecked(true);
            }
            dialog->acceptButton()->click();
        });
        const QString path =
            page("page.htm", "<html><head><title>Hostile page</title></head><body><script>"
                             "alert('one'); var c = confirm('two');"
                             "var p = prompt('three', 'default'); alert('four');"
                             "var again = confirm('five');"
                             "document.title = 'answers:' + c + ':' + p + ':' + again;"
                             "</script></body></html>");
        m_view->navigate(path);
        QTRY_COMPARE_WITH_TIMEOUT(title(), QString("answers:true:typed:false"), 20000);
        QCOMPARE(shown.size(), 3);
        QCOMPARE(shown[0].kind, ScriptDialog::Kind::Alert);
        QCOMPARE(shown[0].message, QString("one"));
        QVERIFY(!shown[0].stopOffered);
        QCOMPARE(shown[1].kind, ScriptDialog::Kind::Confirm);
        QCOMPARE(shown[1].message, QString("two"));
        QCOMPARE(shown[2].kind, ScriptDialog::Kind::Prompt);
        for (const Shown &one : shown)
            QCOMPARE(one.title, QString("Hostile page"));
        for (int i = 1; i < shown.size(); ++i) {
            QVERIFY(shown[i].stopOffered);
            QCOMPARE(shown[i].stopText, msg(MessageId::ScriptDialogStop));
        }
        QCOMPARE(shown[1].stopText, russian ? QString::fromUtf16(u"Запретить этой странице "
                                                                 u"открывать новые окна сообщений")
                                            : QString("Stop further dialogs from this page"));
        // The next page asked for may show dialogs again.
        const QString next = page("next.htm", "<html><body><script>alert('next');"
                                              "document.title = 'next';</script></body></html>");
        m_view->navigate(next);
        QTRY_COMPARE_WITH_TIMEOUT(title(), QString("next"), 20000);
        QCOMPARE(shown.size(), 4);
    }

    // A page that answers every dialog with the next one cannot keep the
    // window open: its close button closes it, the window taking no other
    // input meanwhile.
    void closingTheWindowEndsADialogLoop()
    {
        QWidget window;
        auto *layout = new QVBoxLayout(&window);
        auto *view = new WebPageView(&window);
        layout->addWidget(view);
        view->setFileRoot(work());
        window.resize(500, 400);
        window.show();
        const QString path = page("page.htm", "<html><head><title>trap</title></head><body>"
                                              "<script>for (;;) alert('trapped');</script>"
                                              "</body></html>");
        // The user's part, while the dialog waits for an answer: the window
        // takes no input, nothing is modal, and the window system's close
        // reaches the window.
        QString title;
        bool windowEnabled = true;
        QWidget *modal = nullptr;
        answerDialogs(*view, [&](ScriptDialog *dialog) {
            title = dialog->windowTitle();
            windowEnabled = window.isEnabled();
            modal = QApplication::activeModalWidget();
            QCloseEvent close;
            QCoreApplication::sendEvent(window.windowHandle(), &close);
        });
        view->navigate(path);
        QTRY_VERIFY_WITH_TIMEOUT(!window.isVisible(), 20000);
        QCOMPARE(title, QString("trap"));
        QVERIFY(!windowEnabled);
        QCOMPARE(modal, nullptr);
        QVERIFY(!view->dialogs()->openDialog());
        QVERIFY(view->dialogs()->stopped());
    }

    // Addresses of unknown kinds are never handed to the desktop from a
    // page, even on a click; a mail address only after the user said yes to
    // a box that shows it whole, and never off-line.
    void noOtherProgramStartedByAPage_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<bool>("offline");
        QTest::addColumn<bool>("yes");
        QTest::addColumn<bool>("asked");
        const QString mail = "mailto:someone@example.com?subject=x&body=SECRET";
        QTest::newRow("made-up scheme") << "made-up-scheme:SECRET" << false << true << false;
        QTest::newRow("mail, no") << mail << false << false << true;
        QTest::newRow("mail, yes") << mail << false << true << true;
        QTest::newRow("mail, off-line") << mail << true << true << false;
    }
    void noOtherProgramStartedByAPage()
    {
        QFETCH(QString, address);
        QFETCH(bool, offline);
        QFETCH(bool, yes);
        QFETCH(bool, asked);
        // Whatever goes to the desktop comes here instead.
        m_opened.clear();
        const QString scheme = QUrl(address).scheme();
        QDesktopServices::setUrlHandler(scheme, this, "openedByDesktop");
        auto unset = qScopeGuard([scheme] { QDesktopServices::unsetUrlHandler(scheme); });
        QStringList shownAddresses;
        answerDialogs(*m_view, [&shownAddresses, yes](ScriptDialog *dialog) {
            shownAddresses << dialog->findChild<QPlainTextEdit *>("address")->toPlainText();
            if (yes)
                dialog->acceptButton()->click();
            else
                dialog->reject();
        });
        QSignalSpy notices(m_view.get(), &WebPageView::notice);
        m_view->setOffline(offline);
        QVERIFY(load(page("page.htm", QString("<html><body style='margin:0'>"
                                              "<a href='%1' style='display:block;height:300px'>"
                                              "link</a></body></html>")
                                          .arg(address))));
        clickPage(*m_view);
        QTest::qWait(1500);
        QCOMPARE(shownAddresses, asked ? QStringList{address} : QStringList{});
        QCOMPARE(m_opened, asked && yes ? QList<QUrl>{QUrl(address)} : QList<QUrl>{});
        if (offline)
            QCOMPARE(notices.value(0).value(0).toString(), msg(MessageId::OpenElsewhereOffline));
    }

    // A link meant for a new window, and window.open() on a click, open in
    // the view as a plain link does; without a click nothing opens, and
    // never a window.
    void newWindowsOpenInTheView_data()
    {
        QTest::addColumn<QString>("body");
        QTest::addColumn<bool>("click");
        QTest::addColumn<bool>("followed");
        QTest::newRow("target=_blank") << "<a href='second.htm' target='_blank' "
                                          "style='display:block;height:300px'>link</a>"
                                       << true << true;
        QTest::newRow("window.open on a click")
            << "<div onclick=\"window.open('second.htm')\" style='height:300px'>x</div>" << true
            << true;
        QTest::newRow("window.open by itself")
            << "<script>window.open('second.htm'); window.open('second.htm', '_blank');</script>"
            << false << false;
    }
    void newWindowsOpenInTheView()
    {
        QFETCH(QString, body);
        QFETCH(bool, click);
        QFETCH(bool, followed);
        page("second.htm", "<html><head><title>second</title></head></html>");
        const QString path =
            page("page.htm", "<html><head><title>first</title></head><body style='margin:0'>" +
                                 body + "</body></html>");
        const int windows = QApplication::topLevelWidgets().size();
        QVERIFY(load(path));
        if (click)
            clickPage(*m_view);
        if (followed) {
            QTRY_COMPARE_WITH_TIMEOUT(title(), QString("second"), 10000);
        } else {
            QTest::qWait(1500);
            QCOMPARE(title(), QString("first"));
        }
        QCOMPARE(QApplication::topLevelWidgets().size(), windows);
    }

    // A page that hangs is not waited for when another is asked for: a fresh
    // view shows the page asked for, the hung one's renderer is gone, and
    // the user is told.
    void hungPageIsReplaced()
    {
        m_view->setHangTimeout(1500);
        const QString hung = page("hung.htm", "<html><head><title>hung</title></head><body>"
                                              "<script>setTimeout(function () { for (;;) {} }, "
                                              "200);</script></body></html>");
        const QString next = page("next.htm", "<html><head><title>next</title></head></html>");
        QVERIFY(load(hung));
        QTest::qWait(500);
        const qint64 pid = m_view->browser()->page()->renderProcessPid();
        QVERIFY(pid > 0);
        QSignalSpy notices(m_view.get(), &WebPageView::notice);
        m_view->navigate(next);
        QVERIFY(m_view->hasPage());
        QTRY_COMPARE_WITH_TIMEOUT(title(), QString("next"), 20000);
        QCOMPARE(m_view->browser()->url(), QUrl::fromLocalFile(next));
        QCOMPARE(notices.size(), 1);
        QCOMPARE(notices.at(0).at(0).toString(), msg(MessageId::PageHung));
        QTRY_VERIFY_WITH_TIMEOUT(::kill(pid_t(pid), 0) != 0, 10000);
        // Pages that answer are left without a word.
        QVERIFY(load(hung));
        QVERIFY(m_view->browser()->page()->renderProcessPid() > 0);
        QCOMPARE(notices.size(), 1);
    }

    // A renderer that dies (killed, or out of memory) leaves no grey view:
    // the page is shown again once, in a fresh view, and the user is told;
    // one that dies again is not loaded over and over.
    void deadRendererIsReplaced_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<bool>("shownAgain");
        QTest::newRow("killed") << "" << true;
        QTest::newRow("memory bomb")
            << "<script>setTimeout(function () { var a = []; for (;;) a.push(new "
               "Array(1000000).fill(1.5)); }, 100);</script>"
            << false;
    }
    void deadRendererIsReplaced()
    {
        QFETCH(QString, script);
        QFETCH(bool, shownAgain);
        const QString path = page("page.htm", "<html><head><title>page</title></head><body>" +
                                                  script + "</body></html>");
        QSignalSpy notices(m_view.get(), &WebPageView::notice);
        QVERIFY(load(path));
        if (shownAgain) {
            const qint64 pid = m_view->browser()->page()->renderProcessPid();
            QVERIFY(pid > 0);
            ::kill(pid_t(pid), SIGKILL);
            QTRY_COMPARE_WITH_TIMEOUT(notices.size(), 1, 20000);
            QCOMPARE(notices.at(0).at(0).toString(), msg(MessageId::PageDied));
            QTRY_COMPARE_WITH_TIMEOUT(title(), QString("page"), 20000);
            QCOMPARE(m_view->browser()->url(), QUrl::fromLocalFile(path));
            QVERIFY(m_view->browser()->page()->renderProcessPid() != pid);
        } else {
            QTRY_COMPARE_WITH_TIMEOUT(notices.size(), 2, 60000);
            QCOMPARE(notices.at(0).at(0).toString(), msg(MessageId::PageDied));
            QCOMPARE(notices.at(1).at(0).toString(), msg(MessageId::PageDiedAgain));
            QTRY_COMPARE_WITH_TIMEOUT(m_view->browser()->url(), QUrl("about:blank"), 20000);
        }
    }

    // Pages run in a profile of the program's own that keeps nothing: what a
    // page stored is gone for the next view (the next run), and nothing of it
    // is on disk.
    void nothingKeptBetweenRuns()
    {
        const QString path = page(
            "page.htm",
            "<html><body><script>"
            "if (localStorage.getItem('k')) document.title = 'kept';"
            "else { localStorage.setItem('k', 'SECRET'); sessionStorage.setItem('k', 'SECRET');"
            "document.cookie = 'k=SECRET';"
            "var r = indexedDB.open('db'); r.onupgradeneeded = function () {"
            "r.result.createObjectStore('s'); };"
            "r.onsuccess = function () { document.title = 'stored'; }; "
            "r.onerror = function () { document.title = 'stored'; }; }"
            "</script></body></html>");
        QVERIFY(m_view->browser()->page()->profile()->isOffTheRecord());
        m_view->navigate(path);
        QTRY_COMPARE_WITH_TIMEOUT(title(), QString("stored"), 20000);
        m_view.reset();
        m_view = std::make_unique<WebPageView>();
        m_view->setFileRoot(work());
        m_view->show();
        QVERIFY(load(path));
        QTRY_COMPARE_WITH_TIMEOUT(title(), QString("stored"), 20000);
        QStringList written;
        QDirIterator files(g_home, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (files.hasNext())
            written << files.next();
        QVERIFY2(written.isEmpty(), qPrintable(written.join(", ")));
    }

    // The shipped manual shows in the view.
    void theManualShows()
    {
        const QString manual = QFINDTESTDATA("../../data/manual/en.html");
        QVERIFY(!manual.isEmpty());
        m_view->setHelpFolder(QFileInfo(manual).absolutePath());
        QVERIFY(load(manual));
        QVERIFY(title().contains("Tomekeeper"));
    }
};

QTEST_MAIN(TestUntrustedPages)
#include "tst_untrustedpages.moc"
