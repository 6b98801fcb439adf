#include "browse/web/findbar.h"
#include "browse/web/offlineinterceptor.h"
#include "browse/web/webpageview.h"
#include "lang/messages.h"
#include "testfiles.h"

#include <QLineEdit>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <QWebEngineView>

// The browser must know before the application exists that it runs without its sandbox.
static void prepareBrowser()
{
    WebPageView::prepareProcess();
}
Q_CONSTRUCTOR_FUNCTION(prepareBrowser)

class TestWebPageView : public QObject {
    Q_OBJECT

    // Loads a location and waits until the browser has finished with it.
    static bool load(WebPageView &view, const QString &location)
    {
        QSignalSpy finished(view.browser(), &QWebEngineView::loadFinished);
        view.navigate(location);
        return finished.wait(20000);
    }

private Q_SLOTS:
    void localSchemes_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<bool>("local");
        QTest::newRow("file") << "file:///tmp/page.htm" << true;
        QTest::newRow("upper-case file") << "FILE:///tmp/page.htm" << true;
        QTest::newRow("data") << "data:image/png;base64,AAAA" << true;
        QTest::newRow("blob") << "blob:file:///1234" << true;
        QTest::newRow("qrc") << "qrc:/x.png" << true;
        QTest::newRow("about") << "about:blank" << true;
        QTest::newRow("http") << "http://example.com/a.png" << false;
        QTest::newRow("https") << "https://example.com/" << false;
        QTest::newRow("websocket") << "ws://example.com/feed" << false;
        QTest::newRow("ftp") << "ftp://example.com/f" << false;
        QTest::newRow("loopback http") << "http://127.0.0.1:8080/" << false;
    }
    void localSchemes()
    {
        QFETCH(QString, url);
        QFETCH(bool, local);
        QCOMPARE(OfflineInterceptor::isLocal(QUrl(url)), local);
    }

    // A saved page that points at the network reaches it only while on-line.
    void offlineKeepsThePageOffTheNetwork()
    {
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost));
        int connections = 0;
        connect(&server, &QTcpServer::newConnection, &server, [&] {
            while (QTcpSocket *socket = server.nextPendingConnection()) {
                ++connections;
                socket->write("HTTP/1.0 404 Not Found\r\nContent-Length: 0\r\n\r\n");
                socket->disconnectFromHost();
            }
        });

        QTemporaryDir dir;
        const QString page = dir.filePath("page.htm");
        QVERIFY(TestFiles::write(
            page,
            QStringLiteral("<html><body><img src=\"http://127.0.0.1:%1/x.png\"></body></html>")
                .arg(server.serverPort())
                .toUtf8()));

        WebPageView view;
        view.resize(300, 200);
        view.show();
        QVERIFY(!view.offline());
        view.setOffline(true);
        QVERIFY(view.offline());
        QVERIFY(load(view, page));
        QTest::qWait(300);
        QCOMPARE(connections, 0);

        QVERIFY(load(view, "about:blank"));
        view.setOffline(false);
        QVERIFY(!view.offline());
        QVERIFY(load(view, page));
        QTRY_VERIFY_WITH_TIMEOUT(connections > 0, 10000);
    }

    void navigateShowsLocalFilesAndBlankPages()
    {
        QTemporaryDir dir;
        const QString page = dir.filePath("страница с пробелом.htm");
        QVERIFY(TestFiles::write(page, "<html><head><title>Saved</title></head></html>"));

        WebPageView view;
        view.show();
        QVERIFY(load(view, page));
        QCOMPARE(view.browser()->url(), QUrl::fromLocalFile(page));
        QCOMPARE(view.browser()->title(), QString("Saved"));
        QVERIFY(load(view, QString()));
        QCOMPARE(view.browser()->url(), QUrl("about:blank"));
    }

    // Dropped files pass through the page to the window holding it.
    void pageTakesNoDrops()
    {
        WebPageView view;
        view.show();
        QVERIFY(load(view, "about:blank"));
        QVERIFY(!view.acceptDrops());
        QVERIFY(!view.browser()->acceptDrops());
        for (QWidget *child : view.browser()->findChildren<QWidget *>())
            QVERIFY2(!child->acceptDrops(), child->metaObject()->className());
    }

    void findBarSpeaksTheActiveLanguage()
    {
        WebPageView view;
        view.show();
        QVERIFY(!view.findBar()->isVisible());
        Messages::useRussian();
        view.find();
        Messages::useEnglish();
        QVERIFY(view.findBar()->isVisible());
        auto *edit = view.findBar()->findChild<QLineEdit *>("FindEdit");
        QVERIFY(edit);
        QCOMPARE(edit->placeholderText(), QString("Найти на открытой странице"));
        QTest::keyClick(edit, Qt::Key_Escape);
        QVERIFY(!view.findBar()->isVisible());
    }
};

QTEST_MAIN(TestWebPageView)
#include "tst_webpageview.moc"
