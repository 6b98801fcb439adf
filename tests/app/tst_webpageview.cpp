#include "browse/web/findbar.h"
#include "browse/web/webpageview.h"
#include "lang/messages.h"
#include "testfiles.h"

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>
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

    // Runs a script on the shown page and waits for what it returns.
    static QVariant evaluate(WebPageView &view, const QString &script)
    {
        QVariant out;
        bool done = false;
        view.browser()->page()->runJavaScript(script, [&](const QVariant &value) {
            out = value;
            done = true;
        });
        if (!QTest::qWaitFor([&] { return done; }, 10000))
            return QStringLiteral("no answer");
        return out;
    }

private Q_SLOTS:
    void cleanup() { Messages::useEnglish(); }

    // A saved page that points at the network reaches it only while on-line,
    // and then shows its picture from there.
    void offlineKeepsThePageOffTheNetwork()
    {
        QFile picture(QFINDTESTDATA("../../data/icons/hicolor/16x16/apps/"
                                    "org.tomekeeper.Tomekeeper.png"));
        QVERIFY(picture.open(QIODevice::ReadOnly));
        const QByteArray png = picture.readAll();
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost));
        int connections = 0;
        connect(&server, &QTcpServer::newConnection, &server, [&] {
            while (QTcpSocket *socket = server.nextPendingConnection()) {
                ++connections;
                connect(socket, &QTcpSocket::readyRead, socket, [socket, png] {
                    socket->readAll();
                    socket->write("HTTP/1.0 200 OK\r\nContent-Type: image/png\r\nContent-Length: " +
                                  QByteArray::number(png.size()) + "\r\n\r\n" + png);
                    socket->disconnectFromHost();
                });
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
        view.setFileRoot(dir.path());
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
        QTRY_COMPARE_WITH_TIMEOUT(evaluate(view, "document.images[0].naturalWidth").toInt(), 16,
                                  10000);
    }

    void navigateShowsLocalFilesAndBlankPages()
    {
        QTemporaryDir dir;
        const QString page = dir.filePath("страница с пробелом.htm");
        QVERIFY(TestFiles::write(page, "<html><head><title>Saved</title></head></html>"));

        WebPageView view;
        view.setFileRoot(dir.path());
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
        // Told of a switch, the open bar speaks the new language, its result too.
        Messages::useRussian();
        edit->setText("word");
        view.findBar()->showResult(2, 3);
        QCOMPARE(view.findBar()->resultText(), QString("2 из 3"));
        Messages::useEnglish();
        QEvent change(QEvent::LanguageChange);
        QApplication::sendEvent(&view, &change);
        QCOMPARE(view.findBar()->resultText(), QString("2 of 3"));
        QCOMPARE(edit->placeholderText(), msg(MessageId::FindOnPageHint));
        auto *next = view.findBar()->findChild<QToolButton *>("FindNext");
        QVERIFY(next);
        QCOMPARE(next->toolTip(), msg(MessageId::FindNextHint));
        QTest::keyClick(edit, Qt::Key_Escape);
        QVERIFY(!view.findBar()->isVisible());
    }

    // Only a page counts as shown: not the blank view, not an empty one.
    void hasPageOnlyForAPage()
    {
        QTemporaryDir dir;
        const QString page = dir.filePath("page.htm");
        QVERIFY(TestFiles::write(page, "<html><body>text</body></html>"));
        WebPageView view;
        view.setFileRoot(dir.path());
        view.show();
        QVERIFY(!view.hasPage());
        QVERIFY(load(view, page));
        QVERIFY(view.hasPage());
        QVERIFY(load(view, "about:blank"));
        QVERIFY(!view.hasPage());
        QVERIFY(load(view, page));
        QVERIFY(load(view, QString()));
        QVERIFY(!view.hasPage());
    }

    // The bar says which match is highlighted and how many there are, moves
    // forward and back through them, and says so when there is none, in the
    // active language.
    void findWalksThroughTheMatches_data()
    {
        QTest::addColumn<bool>("russian");
        QTest::addColumn<QString>("matches");
        QTest::addColumn<QString>("notFound");
        QTest::newRow("English") << false << "%1 of %2"
                                 << "Not found";
        QTest::newRow("Russian") << true << "%1 из %2"
                                 << "Не найдено";
    }
    void findWalksThroughTheMatches()
    {
        QFETCH(bool, russian);
        QFETCH(QString, matches);
        QFETCH(QString, notFound);
        QTemporaryDir dir;
        const QString page = dir.filePath("page.htm");
        QVERIFY(TestFiles::write(page, "<html><body><p>Яблоко apple</p><p>pear</p>"
                                       "<p>apple</p><p>APPLE pie</p></body></html>"));
        WebPageView view;
        view.setFileRoot(dir.path());
        view.resize(600, 400);
        view.show();
        QVERIFY(load(view, page));
        if (russian)
            Messages::useRussian();
        view.find();
        FindBar *bar = view.findBar();
        auto *edit = bar->findChild<QLineEdit *>("FindEdit");
        auto *next = bar->findChild<QToolButton *>("FindNext");
        auto *previous = bar->findChild<QToolButton *>("FindPrevious");
        QVERIFY(edit && next && previous);
        QVERIFY(edit->hasFocus());

        QTest::keyClicks(edit, "apple");
        QTRY_COMPARE_WITH_TIMEOUT(bar->resultText(), matches.arg(1).arg(3), 10000);
        QVERIFY(!bar->isNotFound());
        next->click();
        QTRY_COMPARE_WITH_TIMEOUT(bar->resultText(), matches.arg(2).arg(3), 10000);
        QTest::keyClick(edit, Qt::Key_Return);
        QTRY_COMPARE_WITH_TIMEOUT(bar->resultText(), matches.arg(3).arg(3), 10000);
        previous->click();
        QTRY_COMPARE_WITH_TIMEOUT(bar->resultText(), matches.arg(2).arg(3), 10000);
        QTest::keyClick(edit, Qt::Key_Return, Qt::ShiftModifier);
        QTRY_COMPARE_WITH_TIMEOUT(bar->resultText(), matches.arg(1).arg(3), 10000);

        edit->clear();
        edit->insert("яблоко");
        QTRY_COMPARE_WITH_TIMEOUT(bar->resultText(), matches.arg(1).arg(1), 10000);
        QTest::keyClicks(edit, "x");
        QTRY_COMPARE_WITH_TIMEOUT(bar->resultText(), notFound, 10000);
        QVERIFY(bar->isNotFound());
        QVERIFY(edit->palette().color(QPalette::Base) != bar->palette().color(QPalette::Base));

        // An empty field is neither a match nor a miss.
        edit->clear();
        QTRY_COMPARE_WITH_TIMEOUT(bar->resultText(), QString(), 10000);
        QVERIFY(!bar->isNotFound());

        // Closed, it forgets the result; the blank view closes it too.
        QTest::keyClicks(edit, "zzz");
        QTRY_VERIFY_WITH_TIMEOUT(bar->isNotFound(), 10000);
        QTest::keyClick(edit, Qt::Key_Escape);
        QVERIFY(!bar->isVisible());
        QVERIFY(!bar->isNotFound());
        QVERIFY(bar->resultText().isEmpty());
        view.find();
        QVERIFY(bar->isVisible());
        QVERIFY(load(view, "about:blank"));
        QVERIFY(!bar->isVisible());
    }

    // The words a search found are all marked on the page once it has
    // loaded, whole words only and never in scripts; the bar opens on the
    // first of them the page holds. Closing the bar gives the page back its
    // text as it was, and the file is never touched.
    void foundWordsAreMarked()
    {
        QTemporaryDir dir;
        const QString page = dir.filePath("page.htm");
        const QByteArray html =
            "<html><head><meta charset=\"utf-8\"><title>t</title></head><body>"
            "<p id=\"one\">Правление <b>собралось</b>.</p><p>Решение правления, ПРАВЛЕНИЕ.</p>"
            "<script>var hidden = 'правления';</script><p>управления (a+b)</p></body></html>";
        QVERIFY(TestFiles::write(page, html));
        WebPageView view;
        view.setFileRoot(dir.path());
        view.resize(600, 400);
        view.show();
        QVERIFY(load(view, page));
        const QString original = evaluate(view, "document.body.innerHTML").toString();

        QSignalSpy finished(view.browser(), &QWebEngineView::loadFinished);
        view.navigate(page);
        view.showFoundWords({"absent", "правления", "Правление", "(a+b)"});
        QVERIFY(finished.wait(20000));
        const QString count = "document.querySelectorAll('mark[data-found-word]').length";
        QTRY_COMPARE_WITH_TIMEOUT(evaluate(view, count).toInt(), 4, 10000);
        QCOMPARE(evaluate(view, "Array.from(document.querySelectorAll('mark[data-found-word]'))"
                                ".map(function (m) { return m.textContent; }).join('|')")
                     .toString(),
                 QString("Правление|правления|ПРАВЛЕНИЕ|(a+b)"));
        FindBar *bar = view.findBar();
        QVERIFY(bar->isVisible());
        QCOMPARE(bar->text(), QString("правления"));
        QTRY_VERIFY_WITH_TIMEOUT(bar->resultText().startsWith("1 of"), 10000);

        QTest::keyClick(bar->findChild<QLineEdit *>("FindEdit"), Qt::Key_Escape);
        QTRY_COMPARE_WITH_TIMEOUT(evaluate(view, count).toInt(), 0, 10000);
        QCOMPARE(evaluate(view, "document.body.innerHTML").toString(), original);
        QCOMPARE(TestFiles::read(page), html);

        // The next page shown is not marked with words meant for another.
        view.showFoundWords({"Правление"});
        QTRY_COMPARE_WITH_TIMEOUT(evaluate(view, count).toInt(), 2, 10000);
        QVERIFY(load(view, page));
        QCOMPARE(evaluate(view, count).toInt(), 0);
    }

    // The bar stays open from page to page and searches each new one.
    void findFollowsTheNextPage()
    {
        QTemporaryDir dir;
        const QString first = dir.filePath("first.htm");
        const QString second = dir.filePath("second.htm");
        QVERIFY(TestFiles::write(first, "<html><body>word</body></html>"));
        QVERIFY(TestFiles::write(second, "<html><body>word, word</body></html>"));
        WebPageView view;
        view.setFileRoot(dir.path());
        view.resize(600, 400);
        view.show();
        QVERIFY(load(view, first));
        view.find();
        QTest::keyClicks(view.findBar()->findChild<QLineEdit *>("FindEdit"), "word");
        QTRY_COMPARE_WITH_TIMEOUT(view.findBar()->resultText(), QString("1 of 1"), 10000);
        QVERIFY(load(view, second));
        QVERIFY(view.findBar()->isVisible());
        QTRY_COMPARE_WITH_TIMEOUT(view.findBar()->resultText(), QString("1 of 2"), 10000);
    }

    // The shown page goes onto a printer: here a PDF file, rendered off
    // screen; the printer's resolution is held down to what the page needs.
    void printRendersThePage()
    {
        QTemporaryDir dir;
        const QString page = dir.filePath("page.htm");
        QVERIFY(TestFiles::write(page, "<html><body><h1>Printed page</h1></body></html>"));
        WebPageView view;
        view.setFileRoot(dir.path());
        view.resize(600, 400);
        view.show();
        QVERIFY(load(view, page));

        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(dir.filePath("out.pdf"));
        QVERIFY(view.renderTo(&printer));
        QVERIFY(printer.resolution() <= 300);
        QFile pdf(dir.filePath("out.pdf"));
        QVERIFY(pdf.open(QIODevice::ReadOnly));
        QVERIFY(pdf.read(5) == "%PDF-");
        QVERIFY(pdf.size() > 1000);
    }

    // The preview shows the rendered page, and closes without printing.
    void previewShowsThePage()
    {
        QTemporaryDir dir;
        const QString page = dir.filePath("page.htm");
        QVERIFY(TestFiles::write(page, "<html><body><h1>Previewed page</h1></body></html>"));
        WebPageView view;
        view.setFileRoot(dir.path());
        view.resize(600, 400);
        view.show();
        QVERIFY(load(view, page));

        int pages = -1;
        QTimer poll;
        poll.setInterval(50);
        QElapsedTimer waited;
        waited.start();
        connect(&poll, &QTimer::timeout, &view, [&] {
            auto *preview = qobject_cast<QDialog *>(QApplication::activeModalWidget());
            if (!preview || preview->objectName() != "printPreview")
                return;
            auto *widget = preview->findChild<QPrintPreviewWidget *>();
            if (widget && (widget->pageCount() > 0 || waited.elapsed() > 20000)) {
                pages = widget->pageCount();
                preview->reject();
            }
        });
        poll.start();
        view.printPreview();
        QVERIFY(pages > 0);
    }
};

QTEST_MAIN(TestWebPageView)
#include "tst_webpageview.moc"
